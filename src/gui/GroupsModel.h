#pragma once

#include "platform/NotificationCenter.h"

#include <QAbstractItemModel>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

namespace kestrane {
class DuplicateItem;
class DuplicatesGroup;
}  // namespace kestrane

namespace kestrane::gui {

// The groups of one category as a two-level tree: a row per group, under it
// a row per copy (checkable: ticked copies are selected for removal).
// Sorted by the lists' sort type and filtered by a search text; the copies
// of a group are read only when the view asks for them, so that a result of
// 100,000 groups shows at once and scrolls smoothly.
//
// Follows the core: a selection change repaints the rows, a change of the
// result (a removal) rebuilds the list. Ticking goes through
// ManualSelection's keep-one-copy rule; when that rule wants the person to
// confirm, confirmationNeeded is emitted and nothing changes yet.
class GroupsModel final : public QAbstractItemModel {
    Q_OBJECT

public:
    // A group's row shows its copy count in the folder column.
    enum Column { nameColumn, folderColumn, sizeColumn, dateColumn, kColumnCount };
    // The lists' sort types (the stored "KEY_sortType").
    enum SortType { bySize = 0, byName = 3, byCount = 4, bySelectedCount = 5 };
    enum Role { isGroupRole = Qt::UserRole + 1, pathRole };
    // Where the lists' order is stored, shared with the folder lists.
    static constexpr const char* kSortTypeKey = "KEY_sortType";
    static constexpr const char* kSortDirectionKey = "KEY_sortDirection";

    explicit GroupsModel(QObject* parent = nullptr);
    ~GroupsModel() override;

    // Shows these groups (a category's), sorted and filtered as set.
    void setGroups(std::vector<std::shared_ptr<DuplicatesGroup>> groups);
    // Case-insensitive; matches a group's name or the path of one of its copies.
    void setFilterText(const QString& text);
    const QString& filterText() const { return m_filter; }
    void setSortType(int sortType, bool descending);
    int sortType() const { return m_sortType; }
    bool sortDescending() const { return m_descending; }

    // The groups shown, in order (after the search filter).
    const std::vector<std::shared_ptr<DuplicatesGroup>>& shownGroups() const { return m_shown; }
    std::shared_ptr<DuplicatesGroup> groupAt(const QModelIndex& index) const;
    // The copy of a copy row; null for a group row.
    std::shared_ptr<DuplicateItem> itemAt(const QModelIndex& index) const;
    QModelIndex indexOfGroup(const DuplicatesGroup& group) const;
    QModelIndex indexOfItem(const DuplicateItem& item) const;

    // The sort type of a column (-1: the column does not sort).
    static int sortTypeOfColumn(int column);
    static int columnOfSortType(int sortType);

    // QAbstractItemModel
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;

signals:
    // The last unselected copy may be selected once the person agrees.
    void confirmationNeeded(std::shared_ptr<kestrane::DuplicateItem> item);
    // The last unselected copy cannot be selected: the settings forbid it.
    void lastCopyRefused(const QModelIndex& index, const QString& explanation);

private:
    void applyFilterAndSort();
    void repaintAll();
    const std::vector<std::shared_ptr<DuplicateItem>>& itemsOf(std::size_t row) const;

    std::vector<std::shared_ptr<DuplicatesGroup>> m_all;
    std::vector<std::shared_ptr<DuplicatesGroup>> m_shown;
    QString m_filter;
    int m_sortType = bySize;
    bool m_descending = true;
    std::unique_ptr<platform::NotificationCenter::Observation> m_selectionObservation;
};

}  // namespace kestrane::gui
