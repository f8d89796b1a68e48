#include "gui/CategoriesModel.h"

#include "app/AppEvents.h"
#include "duplicates/DuplicatesCategory.h"
#include "duplicates/DuplicatesContainer.h"
#include "duplicates/HeapsCollection.h"
#include "gui/GuiText.h"

#include <QIcon>

namespace kestrane::gui {

CategoriesModel::CategoriesModel(QObject* parent) : QAbstractListModel(parent) {
    auto& center = platform::NotificationCenter::defaultCenter();
    m_selectionObservation = center.addObserver(AppEvents::kDuplicateItemSelectionChanged,
                                                [this](const platform::Notification&) { refreshFigures(); });
    m_dataObservation = center.addObserver(AppEvents::kDuplicatesContainerDataChanged,
                                           [this](const platform::Notification&) { rebuild(); });
}

CategoriesModel::~CategoriesModel() = default;

void CategoriesModel::setContainer(std::shared_ptr<DuplicatesContainer> container) {
    m_container = std::move(container);
    rebuild();
}

void CategoriesModel::rebuild() {
    beginResetModel();
    m_rows.clear();
    if (m_container) {
        for (FileCategory category : kAllFileCategories) {
            const auto groups = m_container->getCategoryWithType(category);
            if (groups && groups->getGroupsCount() > 0) m_rows.push_back(Row{category});
        }
        const auto& heaps = m_container->getHeaps();
        if (heaps && heaps->getCountOfPairs() > 0) m_rows.push_back(Row{std::nullopt});
    }
    endResetModel();
}

void CategoriesModel::refreshFigures() {
    if (!m_rows.empty()) emit dataChanged(index(0), index(static_cast<int>(m_rows.size()) - 1), {subtitleRole});
}

std::optional<FileCategory> CategoriesModel::categoryAt(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= m_rows.size()) return std::nullopt;
    return m_rows[static_cast<std::size_t>(row)].category;
}

bool CategoriesModel::isSimilarFoldersRow(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < m_rows.size() &&
           !m_rows[static_cast<std::size_t>(row)].category;
}

int CategoriesModel::rowOfCategory(FileCategory category) const {
    for (std::size_t row = 0; row < m_rows.size(); ++row)
        if (m_rows[row].category == category) return static_cast<int>(row);
    return -1;
}

int CategoriesModel::similarFoldersRow() const {
    for (std::size_t row = 0; row < m_rows.size(); ++row)
        if (!m_rows[row].category) return static_cast<int>(row);
    return -1;
}

int CategoriesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant CategoriesModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !m_container || static_cast<std::size_t>(index.row()) >= m_rows.size()) return {};
    const Row& row = m_rows[static_cast<std::size_t>(index.row())];
    if (!row.category) {
        const auto& heaps = m_container->getHeaps();
        switch (role) {
            case Qt::DisplayRole: return QStringLiteral("Similar Folders");
            case subtitleRole:
                return QStringLiteral("%1 pairs").arg(countText(heaps ? heaps->getCountOfPairs() : 0));
            case Qt::DecorationRole: return themeIcon(QStringLiteral("folder-open"));
            case isSimilarFoldersRole: return true;
            default: return {};
        }
    }
    const auto category = m_container->getCategoryWithType(row.category);
    switch (role) {
        case Qt::DisplayRole: return categoryTitle(*row.category);
        case subtitleRole: {
            if (!category) return {};
            QString text = QStringLiteral("%1 groups · %2")
                               .arg(countText(category->getGroupsCount()),
                                    sizeText(static_cast<std::uint64_t>(category->getTotalSize())));
            if (category->getTotalSelectedSize() > 0)
                text += QStringLiteral(" · %1 selected")
                            .arg(sizeText(static_cast<std::uint64_t>(category->getTotalSelectedSize())));
            return text;
        }
        case Qt::ToolTipRole: return data(index, subtitleRole);
        case Qt::DecorationRole: return themeIcon(categoryIconName(*row.category));
        case categoryRole: return static_cast<int>(*row.category);
        case isSimilarFoldersRole: return false;
        default: return {};
    }
}

}  // namespace kestrane::gui
