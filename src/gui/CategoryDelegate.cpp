#include "gui/CategoryDelegate.h"

#include "gui/CategoriesModel.h"

#include <QApplication>
#include <QPainter>

namespace kestrane::gui {

namespace {
constexpr int kMargin = 6;
constexpr int kIconExtent = 32;
}  // namespace

void CategoryDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QString title = item.text;
    const QString subtitle = index.data(CategoriesModel::subtitleRole).toString();
    item.text.clear();
    item.icon = QIcon();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    const QRect area = option.rect.adjusted(kMargin, kMargin, -kMargin, -kMargin);
    const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
    const QRect iconRect(area.left(), area.top() + (area.height() - kIconExtent) / 2, kIconExtent, kIconExtent);
    icon.paint(painter, iconRect);

    const bool selected = option.state & QStyle::State_Selected;
    const QPalette::ColorGroup group = option.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    QRect textRect = area.adjusted(kIconExtent + kMargin, 0, 0, 0);
    painter->save();
    QFont titleFont = option.font;
    titleFont.setBold(true);
    painter->setFont(titleFont);
    painter->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(textRect.adjusted(0, 0, 0, -textRect.height() / 2), Qt::AlignLeft | Qt::AlignBottom,
                      QFontMetrics(titleFont).elidedText(title, Qt::ElideRight, textRect.width()));
    QFont smallFont = option.font;
    smallFont.setPointSizeF(smallFont.pointSizeF() * 0.9);
    painter->setFont(smallFont);
    QColor dim = option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::PlaceholderText);
    painter->setPen(dim);
    painter->drawText(textRect.adjusted(0, textRect.height() / 2, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                      QFontMetrics(smallFont).elidedText(subtitle, Qt::ElideRight, textRect.width()));
    painter->restore();
}

QSize CategoryDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    const int lines = QFontMetrics(option.font).height() * 2 + kMargin;
    return QSize(200, std::max(kIconExtent, lines) + 2 * kMargin);
}

}  // namespace kestrane::gui
