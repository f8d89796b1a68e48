#include "gui/RemovedItemsModel.h"

#include "gui/GuiText.h"
#include "log/BaseRemovedItem.h"

#include <QFileInfo>

namespace kestrane::gui {

RemovedItemsModel::RemovedItemsModel(QObject* parent) : QAbstractTableModel(parent) {}

RemovedItemsModel::~RemovedItemsModel() = default;

void RemovedItemsModel::setItems(std::vector<std::shared_ptr<BaseRemovedItem>> items) {
    beginResetModel();
    m_items = std::move(items);
    m_outcomes.clear();
    endResetModel();
    emit selectionChanged();
}

std::shared_ptr<BaseRemovedItem> RemovedItemsModel::itemAt(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= m_items.size()) return nullptr;
    return m_items[static_cast<std::size_t>(row)];
}

std::vector<std::shared_ptr<BaseRemovedItem>> RemovedItemsModel::selectedItems() const {
    std::vector<std::shared_ptr<BaseRemovedItem>> selected;
    for (const auto& item : m_items)
        if (item->isSelected()) selected.push_back(item);
    return selected;
}

void RemovedItemsModel::selectAll(bool selected) {
    for (const auto& item : m_items) item->setIsSelected(selected);
    refresh();
    emit selectionChanged();
}

void RemovedItemsModel::setOutcome(const BaseRemovedItem& item, const QString& text) {
    m_outcomes[&item] = text;
    for (std::size_t row = 0; row < m_items.size(); ++row) {
        if (m_items[row].get() != &item) continue;
        emit dataChanged(index(static_cast<int>(row), 0), index(static_cast<int>(row), kColumnCount - 1));
    }
}

void RemovedItemsModel::refresh() {
    for (const auto& item : m_items) item->clearCache();
    if (!m_items.empty())
        emit dataChanged(index(0, 0), index(static_cast<int>(m_items.size()) - 1, kColumnCount - 1));
}

int RemovedItemsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_items.size());
}

int RemovedItemsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QString RemovedItemsModel::statusText(const BaseRemovedItem& item) {
    if (item.isRestoreFailed()) {
        const auto error = item.restoreError();
        return QStringLiteral("Not restored: %1").arg(error ? toQString(error->message) : QStringLiteral("failed"));
    }
    switch (item.restoreAvailability()) {
        case RestoreAvailability::restored: return QStringLiteral("Restored");
        case RestoreAvailability::fromTrash: return QStringLiteral("In the Trash");
        case RestoreAvailability::fromKeptCopy: return QStringLiteral("From the kept copy");
        case RestoreAvailability::fromOtherCopy: return QStringLiteral("From another copy");
        case RestoreAvailability::fromChosenFile: return QStringLiteral("From a chosen file");
        case RestoreAvailability::none: return QStringLiteral("Cannot be restored");
    }
    return {};
}

QVariant RemovedItemsModel::data(const QModelIndex& index, int role) const {
    const auto item = itemAt(index.row());
    if (!item) return {};
    const QString path = toQString(item->originalPath());
    switch (role) {
        case Qt::DisplayRole:
            switch (index.column()) {
                case nameColumn: return lastComponent(item->originalPath());
                case folderColumn: return QFileInfo(path).path();
                case sizeColumn:
                    return item->fileSize() >= 0 ? sizeText(static_cast<std::uint64_t>(item->fileSize())) : QString();
                case removedColumn:
                    return item->isTrashItem() ? QStringLiteral("To the Trash") : QStringLiteral("Permanently");
                case statusColumn: {
                    const auto outcome = m_outcomes.find(item.get());
                    return outcome != m_outcomes.end() ? outcome->second : statusText(*item);
                }
                default: return {};
            }
        case Qt::CheckStateRole:
            if (index.column() == nameColumn) return item->isSelected() ? Qt::Checked : Qt::Unchecked;
            return {};
        case Qt::ToolTipRole: return path;
        case Qt::DecorationRole:
            if (index.column() == nameColumn && item->isDirectory()) return themeIcon(QStringLiteral("folder"));
            return {};
        default: return {};
    }
}

bool RemovedItemsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    const auto item = itemAt(index.row());
    if (!item || role != Qt::CheckStateRole || index.column() != nameColumn) return false;
    if (!item->setIsSelected(value.toInt() == Qt::Checked) && value.toInt() == Qt::Checked) return false;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    emit selectionChanged();
    return true;
}

Qt::ItemFlags RemovedItemsModel::flags(const QModelIndex& index) const {
    const auto item = itemAt(index.row());
    if (!item) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == nameColumn && !item->isRestored() && item->isRestorable()) flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant RemovedItemsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case nameColumn: return QStringLiteral("Name");
        case folderColumn: return QStringLiteral("Original Folder");
        case sizeColumn: return QStringLiteral("Size");
        case removedColumn: return QStringLiteral("Removed");
        case statusColumn: return QStringLiteral("Status");
        default: return {};
    }
}

}  // namespace kestrane::gui
