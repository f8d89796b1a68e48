#include "gui/PairFilesModel.h"

#include "app/AppEvents.h"
#include "duplicates/DuplicateItem.h"
#include "folders/DuplicatesHeap.h"
#include "gui/CopyCheckBox.h"
#include "gui/GuiText.h"
#include "scan/FolderSystemItem.h"
#include "selection/ManualSelection.h"

#include <QFont>
#include <QIcon>

#include <unordered_set>

namespace kestrane::gui {

// Section rows have internal id 0; a file row has its section + 1.
PairFilesModel::PairFilesModel(Side side, QObject* parent) : QAbstractItemModel(parent), m_side(side) {
    m_selectionObservation = platform::NotificationCenter::defaultCenter().addObserver(
        AppEvents::kDuplicateItemSelectionChanged, [this](const platform::Notification&) {
            emit dataChanged(index(0, 0), index(kSectionCount - 1, kColumnCount - 1));
        });
}

PairFilesModel::~PairFilesModel() = default;

void PairFilesModel::setHeap(std::shared_ptr<DuplicatesHeap> heap) {
    beginResetModel();
    m_heap = std::move(heap);
    rebuild();
    endResetModel();
}

void PairFilesModel::rebuild() {
    m_shared.clear();
    m_unique.clear();
    m_folderPath.clear();
    if (!m_heap) return;
    const auto& data = m_side == mainSide ? m_heap->getMainHeapsFolderData() : m_heap->getSecondHeapsFolderData();
    m_folderPath = data->getFolderPath();
    m_shared = m_side == mainSide ? m_heap->getMainFolderItems() : m_heap->getSecondFolderItems();
    const FolderSystemItem* folder = data->getFolderSystemItem();
    if (!folder) return;
    std::unordered_set<const FileSystemItem*> shared;
    for (const auto& item : m_shared) shared.insert(item->getFileSystemItem());
    for (const auto& child : folder->childrenArray()) {
        if (shared.contains(child.get())) continue;
        m_unique.push_back(UniqueEntry{std::string(child->name()), child->path(),
                                       static_cast<std::uint64_t>(child->logicalSize()), child->isDir()});
    }
}

std::vector<std::string> PairFilesModel::uniqueNames() const {
    std::vector<std::string> names;
    for (const auto& entry : m_unique) names.push_back(entry.name);
    return names;
}

std::shared_ptr<DuplicateItem> PairFilesModel::itemAt(const QModelIndex& index) const {
    if (!index.isValid() || index.internalId() != duplicatesSection + 1) return nullptr;
    const auto row = static_cast<std::size_t>(index.row());
    return row < m_shared.size() ? m_shared[row] : nullptr;
}

QModelIndex PairFilesModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column < 0 || column >= kColumnCount) return {};
    if (!parent.isValid()) return row < kSectionCount ? createIndex(row, column, quintptr(0)) : QModelIndex();
    if (parent.internalId() != 0) return {};
    if (row >= rowCount(parent)) return {};
    return createIndex(row, column, quintptr(parent.row() + 1));
}

QModelIndex PairFilesModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() == 0) return {};
    return createIndex(static_cast<int>(child.internalId() - 1), 0, quintptr(0));
}

int PairFilesModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return m_heap ? kSectionCount : 0;
    if (parent.internalId() != 0 || parent.column() != 0) return 0;
    return static_cast<int>(parent.row() == duplicatesSection ? m_shared.size() : m_unique.size());
}

int PairFilesModel::columnCount(const QModelIndex&) const {
    return kColumnCount;
}

QVariant PairFilesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (index.internalId() == 0) {
        if (role == Qt::DisplayRole && index.column() == nameColumn)
            return index.row() == duplicatesSection ? QStringLiteral("Duplicate Files (%1)").arg(m_shared.size())
                                                    : QStringLiteral("Unique Files (%1)").arg(m_unique.size());
        if (role == Qt::FontRole) {
            QFont font;
            font.setBold(true);
            return font;
        }
        return {};
    }
    if (index.internalId() == uniqueSection + 1) {
        const auto& entry = m_unique[static_cast<std::size_t>(index.row())];
        switch (role) {
            case Qt::DisplayRole:
                if (index.column() == nameColumn) return toQString(entry.name);
                return entry.isFolder ? QVariant() : QVariant(sizeText(entry.size));
            case Qt::DecorationRole:
                if (index.column() == nameColumn && entry.isFolder) return themeIcon(QStringLiteral("folder"));
                return {};
            case Qt::ToolTipRole:
            case pathRole: return toQString(entry.path);
            default: return {};
        }
    }
    const auto item = itemAt(index);
    if (!item) return {};
    switch (role) {
        case Qt::DisplayRole:
            return index.column() == nameColumn ? toQString(item->getName()) : sizeText(item->getFileItemSize());
        case Qt::CheckStateRole: return index.column() == nameColumn ? copyCheckState(*item) : QVariant();
        case Qt::ToolTipRole: return copyToolTip(*item);
        case pathRole: return toQString(item->getFileItemPath());
        default: return {};
    }
}

bool PairFilesModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole) return false;
    const auto item = itemAt(index);
    return setCopyChecked(
        item, value, ManualSelection::Place::similarFolders, [&] { emit confirmationNeeded(item); },
        [&](const QString& explanation) { emit lastCopyRefused(index, explanation); });
}

Qt::ItemFlags PairFilesModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.internalId() == duplicatesSection + 1 && index.column() == nameColumn) flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant PairFilesModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::ToolTipRole && section == nameColumn) return toQString(m_folderPath);
    if (role != Qt::DisplayRole) return {};
    if (section == nameColumn) return m_folderPath.empty() ? QStringLiteral("Name") : shortPath(m_folderPath);
    if (section == sizeColumn) return QStringLiteral("Size");
    return {};
}

}  // namespace kestrane::gui
