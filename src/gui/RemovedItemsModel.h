#pragma once

#include <QAbstractTableModel>

#include <map>
#include <memory>
#include <vector>

namespace kestrane {
class BaseRemovedItem;
}

namespace kestrane::gui {

// The files one removal run (or one day of runs) removed: name, original
// folder, size, how they went (to the Trash or permanently) and where they
// stand now (restored, restorable and from where, or what went wrong). A
// file is ticked to be restored; one that cannot be (restored already, or
// without a source) cannot be ticked.
class RemovedItemsModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { nameColumn, folderColumn, sizeColumn, removedColumn, statusColumn, kColumnCount };

    explicit RemovedItemsModel(QObject* parent = nullptr);
    ~RemovedItemsModel() override;

    void setItems(std::vector<std::shared_ptr<BaseRemovedItem>> items);
    const std::vector<std::shared_ptr<BaseRemovedItem>>& items() const { return m_items; }
    std::shared_ptr<BaseRemovedItem> itemAt(int row) const;
    // The ticked files.
    std::vector<std::shared_ptr<BaseRemovedItem>> selectedItems() const;
    void selectAll(bool selected);
    // What happened to a file in the last restore, shown in its status.
    void setOutcome(const BaseRemovedItem& item, const QString& text);
    // The items' answers may have changed (a restore ran): recompute and repaint.
    void refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // "in the Trash", "from the kept copy", ... for the status column.
    static QString statusText(const BaseRemovedItem& item);

signals:
    void selectionChanged();

private:
    std::vector<std::shared_ptr<BaseRemovedItem>> m_items;
    std::map<const BaseRemovedItem*, QString> m_outcomes;
};

}  // namespace kestrane::gui
