#pragma once

#include "platform/NotificationCenter.h"

#include <QAbstractItemModel>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace kestrane {
class DuplicateItem;
class ItemPresentation;
class SelectedItemsPresenter;
}  // namespace kestrane

namespace kestrane::gui {

// The review of the copies selected for removal, as a tree over the core's
// presenter (SelectedItemsPresenter): a file tree, the copies grouped by
// their folders, or a plain list, sorted in one of the review's eight
// orders. Copies can be unticked (and ticked again) here; they stay in the
// review until it is built again. Copies a removal took away leave the
// review as they go, and folders left with nothing in them go too; a copy
// that could not be removed shows why.
//
// The model keeps its own mirror of the presenter's tree: the presenter
// changes all at once (a sort, a removal), the mirror then follows it step
// by step with the notifications Qt's views need, so that expanded folders
// and the current row survive a sort or a removal.
class ReviewModel final : public QAbstractItemModel {
    Q_OBJECT

public:
    enum Column { nameColumn, folderColumn, sizeColumn, dateColumn, kColumnCount };
    enum Role { pathRole = Qt::UserRole + 1, isFolderRole, errorRole };
    // A row of the mirror (defined in the .cpp).
    struct Node;

    explicit ReviewModel(QObject* parent = nullptr);
    ~ReviewModel() override;

    // Shows these copies (the removal list) in a presentation and an order.
    void setItems(std::vector<std::shared_ptr<DuplicateItem>> items, std::int32_t presentationType,
                  std::int32_t sortType);
    // Builds the review again in another presentation, from the copies it
    // shows now (ticked or not), keeping what failed.
    void setPresentationType(std::int32_t type);
    // Sorts every level in the order (a number that is no order leaves it).
    void setSortType(std::int32_t sortType);
    // Takes the removed copies out, and the folders left without children.
    void removeItems(const std::vector<std::shared_ptr<DuplicateItem>>& items);
    // Why a copy is still there after a removal (shown on its row).
    void setErrorInfo(const DuplicateItem& item, const std::string& error);
    // While a removal runs the copies cannot be ticked or unticked.
    void setCheckable(bool checkable);

    std::int32_t presentationType() const { return m_presentationType; }
    std::int32_t sortType() const { return m_sortType; }
    // The copies shown, in no particular order.
    std::size_t copyCount() const { return m_nodesByItem.size(); }
    std::shared_ptr<DuplicateItem> itemAt(const QModelIndex& index) const;
    QModelIndex indexOfItem(const DuplicateItem& item) const;
    const ItemPresentation* presentationAt(const QModelIndex& index) const;

    // QAbstractItemModel
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    // The last unselected copy may be selected once the person agrees.
    void confirmationNeeded(std::shared_ptr<kestrane::DuplicateItem> item);
    // The last unselected copy cannot be selected: the settings forbid it.
    void lastCopyRefused(const QModelIndex& index, const QString& explanation);

private:
    void build(const std::vector<std::shared_ptr<DuplicateItem>>& items);
    void mirror(Node& node);
    void reorder(Node& node);
    void followRemovals(Node& node);
    void sumUp(Node& node);
    QModelIndex indexOfNode(const Node& node, int column = 0) const;
    Node* nodeOf(const QModelIndex& index) const;
    void repaintAll();

    std::unique_ptr<SelectedItemsPresenter> m_presenter;
    std::unique_ptr<Node> m_root;
    std::unordered_map<const DuplicateItem*, Node*> m_nodesByItem;
    std::unordered_map<const DuplicateItem*, std::string> m_errors;
    std::int32_t m_presentationType = 0;
    std::int32_t m_sortType = 1;
    bool m_checkable = true;
    std::unique_ptr<platform::NotificationCenter::Observation> m_selectionObservation;
};

}  // namespace kestrane::gui
