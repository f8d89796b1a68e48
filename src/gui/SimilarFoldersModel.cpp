#include "gui/SimilarFoldersModel.h"

#include "app/AppEvents.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/HeapsCollection.h"
#include "folders/DuplicatesHeap.h"
#include "gui/GuiText.h"
#include "scan/FolderSystemItem.h"
#include "selection/FolderSelection.h"
#include "selection/SimilarFolderSelection.h"
#include "duplicates/DuplicateItem.h"

#include <QIcon>

namespace kestrane::gui {

namespace {

QString folderPath(const FolderSystemItem* folder, const HeapsFolderData& data) {
    return toQString(folder ? folder->path() : data.getFolderPath());
}

bool isSide(const QModelIndex& index) {
    return index.column() == SimilarFoldersModel::folderColumn || index.column() == SimilarFoldersModel::similarFolderColumn;
}

// A duplicate folder is selected with its group in the duplicate folders, not here.
bool hasCheckbox(const DuplicatesHeap& heap, bool mainSide) {
    const FolderSystemItem* folder = mainSide ? heap.getMainFolderItem() : heap.getSecondFolderItem();
    return folder && !FolderSelection::isDuplicateFolder(*folder);
}

}  // namespace

SimilarFoldersModel::SimilarFoldersModel(QObject* parent) : QAbstractTableModel(parent) {
    auto& center = platform::NotificationCenter::defaultCenter();
    m_dataObservation = center.addObserver(AppEvents::kDuplicatesContainerDataChanged,
                                           [this](const platform::Notification&) { rebuild(); });
    m_selectionObservation =
        center.addObserver(AppEvents::kDuplicateItemSelectionChanged, [this](const platform::Notification&) {
            if (!m_heaps.empty())
                emit dataChanged(index(0, 0), index(static_cast<int>(m_heaps.size()) - 1, kColumnCount - 1));
        });
}

SimilarFoldersModel::~SimilarFoldersModel() = default;

void SimilarFoldersModel::setContainer(std::shared_ptr<DuplicatesContainer> container) {
    m_container = std::move(container);
    rebuild();
}

void SimilarFoldersModel::rebuild() {
    beginResetModel();
    m_heaps.clear();
    if (m_container && m_container->getHeaps()) {
        const auto& heaps = m_container->getHeaps();
        m_heaps = heaps->biggestHeaps(static_cast<std::size_t>(heaps->getCountOfPairs()));
    }
    endResetModel();
}

std::shared_ptr<DuplicatesHeap> SimilarFoldersModel::heapAt(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= m_heaps.size()) return nullptr;
    return m_heaps[static_cast<std::size_t>(row)];
}

int SimilarFoldersModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_heaps.size());
}

int SimilarFoldersModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant SimilarFoldersModel::data(const QModelIndex& index, int role) const {
    const auto heap = heapAt(index.row());
    if (!heap) return {};
    const bool main = index.column() == folderColumn;
    const FolderSystemItem* folder = main ? heap->getMainFolderItem() : heap->getSecondFolderItem();
    const HeapsFolderData& data = main ? *heap->getMainHeapsFolderData() : *heap->getSecondHeapsFolderData();
    switch (role) {
        case Qt::DisplayRole:
            switch (index.column()) {
                case folderColumn:
                case similarFolderColumn: return shortPath(toStdString(folderPath(folder, data)));
                case sharedColumn: return QStringLiteral("%1 files").arg(heap->getCountOfGroups());
                case sizeColumn: return sizeText(heap->getHeapSize());
                default: return {};
            }
        case Qt::CheckStateRole: {
            if (!isSide(index) || !hasCheckbox(*heap, main)) return {};
            std::size_t selected = 0;
            const auto items = SimilarFolderSelection::itemsOfPairSide(*heap, main);
            for (const auto& item : items) selected += item->isSelected() ? 1 : 0;
            if (selected == 0) return Qt::Unchecked;
            return selected == items.size() ? Qt::Checked : Qt::PartiallyChecked;
        }
        case Qt::ToolTipRole: {
            if (!isSide(index)) return {};
            if (folder && FolderSelection::isDuplicateFolder(*folder))
                return folderPath(folder, data) + QLatin1Char('\n') +
                       QString::fromLatin1(SimilarFolderSelection::kOpenInDuplicateFoldersTitle);
            const std::string why = SimilarFolderSelection::rowExplanation(SimilarFolderSelection::itemsOfPairSide(*heap, main));
            return why.empty() ? folderPath(folder, data) : toQString(why);
        }
        case Qt::DecorationRole:
            if (index.column() <= similarFolderColumn) return themeIcon(QStringLiteral("folder"));
            return {};
        case Qt::TextAlignmentRole:
            if (index.column() >= sharedColumn) return int(Qt::AlignRight | Qt::AlignVCenter);
            return {};
        default: return {};
    }
}

Qt::ItemFlags SimilarFoldersModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    const auto heap = heapAt(index.row());
    if (heap && isSide(index) && hasCheckbox(*heap, index.column() == folderColumn)) flags |= Qt::ItemIsUserCheckable;
    return flags;
}

bool SimilarFoldersModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !(flags(index) & Qt::ItemIsUserCheckable)) return false;
    // A partly ticked folder is ticked whole.
    const bool selected = index.data(Qt::CheckStateRole).toInt() != Qt::Checked && value.toInt() != Qt::Unchecked;
    setSideSelected(index, selected, false);
    return true;
}

void SimilarFoldersModel::setSideSelected(const QModelIndex& index, bool selected, bool confirmed) {
    const auto heap = heapAt(index.row());
    if (!heap || !isSide(index)) return;
    const bool main = index.column() == folderColumn;
    if (SimilarFolderSelection::setPairSideSelected(*heap, main, selected, confirmed) ==
        SimilarFolderSelection::Outcome::confirmationNeeded)
        emit confirmationNeeded(index, selected);
}

QVariant SimilarFoldersModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case folderColumn: return QStringLiteral("Folder");
        case similarFolderColumn: return QStringLiteral("Similar Folder");
        case sharedColumn: return QStringLiteral("Shared");
        case sizeColumn: return QStringLiteral("Size");
        default: return {};
    }
}

}  // namespace kestrane::gui
