#include "offers/MarketingRowDelegate.h"

#include "offers/MarketingProductModel.h"
#include "style/FocusRing.h"
#include "style/Theme.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <QToolTip>

using namespace Qt::StringLiterals;

namespace klv::ui {

namespace {

constexpr int cellPadding = 20;
constexpr int pictureRadius = 10;
constexpr QSize viewButtonSize{96, 34};

// The short description wrapped to at most two lines, the second elided.
void drawWrapped(QPainter &painter, const QRect &area, const QString &text) {
    const QFontMetrics metrics(painter.font());
    QTextLayout layout(text, painter.font());
    layout.beginLayout();
    int y = area.top();
    for (int lineNumber = 0; lineNumber < 2; ++lineNumber) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(area.width());
        QString shown = text.mid(line.textStart(), line.textLength()).trimmed();
        if (lineNumber == 1 && line.textStart() + line.textLength() < text.size())
            shown = metrics.elidedText(text.mid(line.textStart()), Qt::ElideRight, area.width());
        painter.drawText(QRect(area.left(), y, area.width(), metrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                         shown);
        y += metrics.lineSpacing();
    }
    layout.endLayout();
}

QRect nameArea(const QRect &cell) {
    return cell.adjusted(4, 0, -12, 0);
}

} // namespace

MarketingRowDelegate::MarketingRowDelegate(const MarketingProductModel &model, QAbstractItemView &view, QObject *parent)
    : PaintedButtonDelegate(view, parent)
    , m_model(model) {}

QSize MarketingRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const {
    return {QStyledItemDelegate::sizeHint(option, index).width(), rowHeight};
}

QList<PaintedButtonDelegate::Zone> MarketingRowDelegate::zones(const QRect &cell, const QModelIndex &index) const {
    if (index.column() != MarketingProductModel::actionColumn)
        return {};
    return {{viewZone, viewButtonRect(cell)}};
}

PaintedButtonDelegate::ZoneText MarketingRowDelegate::zoneText(const QModelIndex &index, int) const {
    const OnSaleProductInfo *product = m_model.product(index);
    return {viewTitle(), product ? tr("Opens the page of %1").arg(product->product_name) : QString(), true};
}

QString MarketingRowDelegate::viewTitle() {
    return u"View"_s;
}

bool MarketingRowDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                                     const QModelIndex &index) {
    const OnSaleProductInfo *product = m_model.product(index);
    if (event->type() != QEvent::ToolTip || index.column() != MarketingProductModel::nameColumn || !product)
        return PaintedButtonDelegate::helpEvent(event, view, option, index);
    if (QFontMetrics(theme::font(NamedFont::paintedLargeTitle, option.font)).horizontalAdvance(product->product_name) <=
        nameArea(option.rect).width()) {
        QToolTip::hideText();
        return true;
    }
    QToolTip::showText(event->globalPos(), product->product_name, view->viewport(), option.rect);
    return true;
}

QRect MarketingRowDelegate::viewButtonRect(const QRect &cell) {
    return {cell.right() - cellPadding - viewButtonSize.width() + 1, cell.center().y() - viewButtonSize.height() / 2,
            viewButtonSize.width(), viewButtonSize.height()};
}

void MarketingRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                 const QModelIndex &index) const {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRect cell = option.rect;
    if (option.state.testFlag(QStyle::State_MouseOver))
        painter->fillRect(cell, theme::color(NamedColor::accountSettingSectionBG).darker(115));
    painter->setPen(theme::color(NamedColor::separator));
    painter->drawLine(cell.bottomLeft(), cell.bottomRight());
    painter->setFont(option.font);
    switch (index.column()) {
    case MarketingProductModel::pictureColumn:
        paintPicture(*painter, cell, index);
        break;
    case MarketingProductModel::nameColumn:
        paintName(*painter, cell, index);
        break;
    case MarketingProductModel::actionColumn:
        paintViewButton(*painter, cell, index);
        break;
    default:
        break;
    }
    painter->restore();
}

void MarketingRowDelegate::paintPicture(QPainter &painter, const QRect &cell, const QModelIndex &index) const {
    const int side = MarketingProductModel::pictureSide;
    const QRect frame(cell.left() + cellPadding, cell.center().y() - side / 2, side, side);
    QPainterPath rounded;
    rounded.addRoundedRect(frame, pictureRadius, pictureRadius);
    const QPixmap picture = m_model.picture(index, painter.device()->devicePixelRatioF());
    if (!picture.isNull()) {
        painter.setClipPath(rounded);
        painter.drawPixmap(frame, picture);
        painter.setClipping(false);
        return;
    }
    const OnSaleProductInfo *product = m_model.product(index);
    theme::drawPlaceholderTile(painter, frame, pictureRadius, product ? product->product_name : QString(),
                               NamedFont::largeTileInitial);
}

void MarketingRowDelegate::paintName(QPainter &painter, const QRect &cell, const QModelIndex &index) const {
    const OnSaleProductInfo *product = m_model.product(index);
    if (!product)
        return;
    const QFont base = painter.font();
    const QFont title = theme::font(NamedFont::paintedLargeTitle, base);
    painter.setFont(title);
    const QFontMetrics titleMetrics(title);
    const QRect area = nameArea(cell);
    // The block of name and description is centred on the row, however many lines the description takes.
    const QFontMetrics metrics(base);
    const QString &description = product->product_shortDesc;
    const int descriptionLines =
        description.isEmpty() ? 0 : (metrics.horizontalAdvance(description) > area.width() ? 2 : 1);
    const int top = cell.center().y() -
                    (titleMetrics.height() + 6 * (descriptionLines > 0) + descriptionLines * metrics.lineSpacing()) / 2;
    painter.setPen(theme::color(NamedColor::textPrimary));
    painter.drawText(QRect(area.left(), top, area.width(), titleMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     titleMetrics.elidedText(product->product_name, Qt::ElideRight, area.width()));
    painter.setFont(base);
    painter.setPen(theme::color(NamedColor::textSecondary));
    drawWrapped(painter, QRect(area.left(), top + titleMetrics.height() + 6, area.width(), area.height()),
                product->product_shortDesc);
}

void MarketingRowDelegate::paintViewButton(QPainter &painter, const QRect &cell, const QModelIndex &index) const {
    const QRectF button = viewButtonRect(cell);
    // The product buttons' palette: one blue for every button that acts.
    const NamedColor fill = isPressed(index, viewZone)   ? NamedColor::backgroundPrimaryButtonActive
                            : isHovered(index, viewZone) ? NamedColor::backgroundPrimaryButtonHover
                                                         : NamedColor::backgroundPrimaryButtonDefault;
    painter.setPen(Qt::NoPen);
    painter.setBrush(theme::color(fill));
    painter.drawRoundedRect(button, 4, 4);
    painter.setFont(theme::font(NamedFont::paintedButton, painter.font()));
    painter.setPen(theme::color(NamedColor::textOnColor));
    painter.drawText(button, Qt::AlignCenter, viewTitle());
    if (hasKeyboardFocus(index))
        drawFocusRing(painter, button.adjusted(-3, -3, 3, 3), 6);
}

} // namespace klv::ui
