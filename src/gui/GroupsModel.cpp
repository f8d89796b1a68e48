#include "gui/GroupsModel.h"

#include "app/AppEvents.h"
#include "duplicates/DuplicateItem.h"
#include "duplicates/DuplicatesGroup.h"
#include "duplicates/GroupContent.h"
#include "gui/CopyCheckBox.h"
#include "gui/GuiText.h"
#include "selection/ManualSelection.h"

#include <QFont>
#include <QIcon>

#include <algorithm>

namespace kestrane::gui {

namespace {

const std::vector<std::shared_ptr<DuplicateItem>> kNoItems;

QString nameWithoutExtensionFolded(const DuplicatesGroup& group) {
    return toQString(group.getGroupNameWithoutExtension()).toCaseFolded();
}

bool containsFolded(const std::string& text, const QString& folded) {
    return toQString(text).toCaseFolded().contains(folded);
}

}  // namespace

GroupsModel::GroupsModel(QObject* parent) : QAbstractItemModel(parent) {
    m_selectionObservation = platform::NotificationCenter::defaultCenter().addObserver(
        AppEvents::kDuplicateItemSelectionChanged, [this](const platform::Notification&) { repaintAll(); });
}

GroupsModel::~GroupsModel() = default;

void GroupsModel::setGroups(std::vector<std::shared_ptr<DuplicatesGroup>> groups) {
    beginResetModel();
    m_all = std::move(groups);
    applyFilterAndSort();
    endResetModel();
}

void GroupsModel::setFilterText(const QString& text) {
    if (text == m_filter) return;
    beginResetModel();
    m_filter = text;
    applyFilterAndSort();
    endResetModel();
}

void GroupsModel::setSortType(int sortType, bool descending) {
    if (sortType == m_sortType && descending == m_descending) return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<std::pair<const DuplicatesGroup*, const DuplicateItem*>> remembered;
    for (const QModelIndex& index : before) remembered.emplace_back(groupAt(index).get(), itemAt(index).get());
    m_sortType = sortType;
    m_descending = descending;
    applyFilterAndSort();
    QModelIndexList after;
    for (std::size_t i = 0; i < remembered.size(); ++i) {
        const auto& [group, item] = remembered[i];
        QModelIndex moved = item ? indexOfItem(*item) : group ? indexOfGroup(*group) : QModelIndex();
        after.push_back(moved.isValid() ? moved.sibling(moved.row(), before[static_cast<qsizetype>(i)].column())
                                        : QModelIndex());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int GroupsModel::sortTypeOfColumn(int column) {
    switch (column) {
        case nameColumn: return byName;
        case folderColumn: return byCount;
        case sizeColumn: return bySize;
        default: return -1;
    }
}

int GroupsModel::columnOfSortType(int sortType) {
    switch (sortType) {
        case byName: return nameColumn;
        case byCount: return folderColumn;
        case bySelectedCount: return folderColumn;
        case 0:
        case 1:
        case 2: return sizeColumn;
        default: return -1;
    }
}

void GroupsModel::applyFilterAndSort() {
    m_shown.clear();
    const QString folded = m_filter.trimmed().toCaseFolded();
    if (folded.isEmpty()) {
        m_shown = m_all;
    } else {
        for (const auto& group : m_all) {
            bool match = containsFolded(group->getGroupName(), folded);
            if (!match && group->getContent()) {
                for (const auto& item : group->getContent()->getItems())
                    if ((match = containsFolded(item->getFileItemPath(), folded))) break;
            }
            if (match) m_shown.push_back(group);
        }
    }
    // Ties keep the order in which the scan found the groups.
    auto ordered = [this](auto key) {
        std::stable_sort(m_shown.begin(), m_shown.end(), [&](const auto& a, const auto& b) {
            return m_descending ? key(*b) < key(*a) : key(*a) < key(*b);
        });
    };
    switch (m_sortType) {
        case 0:
        case 1:
        case 2: ordered([](const DuplicatesGroup& g) { return g.getTotalSize(); }); break;
        case byName: {
            // Each name folded once, not once per comparison.
            std::vector<std::pair<QString, std::shared_ptr<DuplicatesGroup>>> keyed;
            keyed.reserve(m_shown.size());
            for (auto& group : m_shown) keyed.emplace_back(nameWithoutExtensionFolded(*group), std::move(group));
            std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
                const int order = QString::localeAwareCompare(a.first, b.first);
                return m_descending ? order > 0 : order < 0;
            });
            for (std::size_t i = 0; i < keyed.size(); ++i) m_shown[i] = std::move(keyed[i].second);
            break;
        }
        case byCount: ordered([](const DuplicatesGroup& g) { return g.getTotalCount(); }); break;
        case bySelectedCount:
            ordered([](const DuplicatesGroup& g) { return g.getSelectedCountWithDuplicatesFolderContent(); });
            break;
        default: break;  // unsorted
    }
}

void GroupsModel::repaintAll() {
    if (m_shown.empty()) return;
    // One range over the top level: views repaint what they show, copies included.
    emit dataChanged(index(0, 0), index(static_cast<int>(m_shown.size()) - 1, kColumnCount - 1),
                     {Qt::CheckStateRole, Qt::DisplayRole, Qt::FontRole, Qt::ToolTipRole});
}

const std::vector<std::shared_ptr<DuplicateItem>>& GroupsModel::itemsOf(std::size_t row) const {
    if (row >= m_shown.size() || !m_shown[row]->getContent()) return kNoItems;
    return m_shown[row]->getContent()->getItems();
}

std::shared_ptr<DuplicatesGroup> GroupsModel::groupAt(const QModelIndex& index) const {
    if (!index.isValid()) return nullptr;
    const std::size_t row = index.internalId() == 0 ? static_cast<std::size_t>(index.row()) : index.internalId() - 1;
    return row < m_shown.size() ? m_shown[row] : nullptr;
}

std::shared_ptr<DuplicateItem> GroupsModel::itemAt(const QModelIndex& index) const {
    if (!index.isValid() || index.internalId() == 0) return nullptr;
    const auto& items = itemsOf(index.internalId() - 1);
    const auto row = static_cast<std::size_t>(index.row());
    return row < items.size() ? items[row] : nullptr;
}

QModelIndex GroupsModel::indexOfGroup(const DuplicatesGroup& group) const {
    for (std::size_t row = 0; row < m_shown.size(); ++row)
        if (m_shown[row].get() == &group) return index(static_cast<int>(row), 0);
    return {};
}

QModelIndex GroupsModel::indexOfItem(const DuplicateItem& item) const {
    const auto group = item.getGroup();
    if (!group) return {};
    const QModelIndex parentIndex = indexOfGroup(*group);
    if (!parentIndex.isValid()) return {};
    const auto& items = itemsOf(static_cast<std::size_t>(parentIndex.row()));
    for (std::size_t row = 0; row < items.size(); ++row)
        if (items[row].get() == &item) return index(static_cast<int>(row), 0, parentIndex);
    return {};
}

QModelIndex GroupsModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column < 0 || column >= kColumnCount) return {};
    if (!parent.isValid()) {
        if (static_cast<std::size_t>(row) >= m_shown.size()) return {};
        return createIndex(row, column, quintptr(0));
    }
    if (parent.internalId() != 0) return {};
    if (static_cast<std::size_t>(row) >= itemsOf(static_cast<std::size_t>(parent.row())).size()) return {};
    return createIndex(row, column, quintptr(parent.row()) + 1);
}

QModelIndex GroupsModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() == 0) return {};
    return createIndex(static_cast<int>(child.internalId() - 1), 0, quintptr(0));
}

int GroupsModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return static_cast<int>(m_shown.size());
    if (parent.internalId() != 0 || parent.column() != 0) return 0;
    return static_cast<int>(itemsOf(static_cast<std::size_t>(parent.row())).size());
}

int GroupsModel::columnCount(const QModelIndex&) const {
    return kColumnCount;
}

bool GroupsModel::hasChildren(const QModelIndex& parent) const {
    if (!parent.isValid()) return !m_shown.empty();
    return parent.internalId() == 0 && parent.column() == 0;
}

QVariant GroupsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (index.internalId() == 0) {
        const auto& group = m_shown[static_cast<std::size_t>(index.row())];
        switch (role) {
            case Qt::DisplayRole:
                switch (index.column()) {
                    case nameColumn: return toQString(group->getGroupName());
                    case folderColumn: {
                        const auto count = group->getTotalCount();
                        const auto selected = group->getSelectedCountWithDuplicatesFolderContent();
                        QString text = QStringLiteral("%1 copies").arg(count);
                        if (selected > 0) text += QStringLiteral(", %1 selected").arg(selected);
                        return text;
                    }
                    case sizeColumn: return sizeText(group->oneItemSize());
                    default: return {};
                }
            case Qt::DecorationRole:
                if (index.column() == nameColumn)
                    return themeIcon(group->isFolderGroup() ? QStringLiteral("folder-copy")
                                                                   : QStringLiteral("edit-copy"),
                                            themeIcon(QStringLiteral("folder")));
                return {};
            case Qt::FontRole: {
                QFont font;
                font.setBold(true);
                return font;
            }
            case Qt::ToolTipRole:
                if (group->isComparedInPart())
                    return QStringLiteral("These copies were compared by three blocks of their content.");
                return {};
            case isGroupRole: return true;
            default: return {};
        }
    }
    const auto item = itemAt(index);
    if (!item) return {};
    switch (role) {
        case Qt::DisplayRole:
            switch (index.column()) {
                case nameColumn: return toQString(item->getName());
                case sizeColumn: return sizeText(item->getFileItemSize());
                case dateColumn: return dateText(item->getLastModificationDate());
                case folderColumn: return toQString(item->getParentFolderItemPath());
                default: return {};
            }
        case Qt::CheckStateRole: return index.column() == nameColumn ? copyCheckState(*item) : QVariant();
        case Qt::ToolTipRole: return copyToolTip(*item);
        case pathRole: return toQString(item->getFileItemPath());
        case isGroupRole: return false;
        default: return {};
    }
}

Qt::ItemFlags GroupsModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.internalId() != 0 && index.column() == nameColumn) flags |= Qt::ItemIsUserCheckable;
    return flags;
}

bool GroupsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole) return false;
    const auto item = itemAt(index);
    return setCopyChecked(
        item, value, ManualSelection::Place::resultLists, [&] { emit confirmationNeeded(item); },
        [&](const QString& explanation) { emit lastCopyRefused(index, explanation); });
}

QVariant GroupsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case nameColumn: return QStringLiteral("Name");
        case sizeColumn: return QStringLiteral("Size");
        case dateColumn: return QStringLiteral("Modified");
        case folderColumn: return QStringLiteral("Folder");
        default: return {};
    }
}

}  // namespace kestrane::gui
