#pragma once

#include <QStyledItemDelegate>

namespace kestrane::gui {

// Draws a category row as its icon, its title and, in a smaller and dimmer
// line below, its figures (CategoriesModel::subtitleRole), in the palette's
// colours so that light and dark themes both read well.
class CategoryDelegate final : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace kestrane::gui
