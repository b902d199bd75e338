#include "products/LibraryRowDelegate.h"

#include "controls/ProductButtonLook.h"
#include "library/LibraryRow.h"
#include "products/LibraryModel.h"
#include "style/CachedRoundedBox.h"
#include "style/CachedText.h"
#include "style/IconLibrary.h"
#include "style/Theme.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace klv::ui {

namespace {

constexpr int cellPadding = 14;
constexpr int memberIndent = 22;
constexpr int kindIconSide = 16;

struct KindIcon {
    KindBit bit;
    const char16_t *asset;
    const char16_t *name;
};

constexpr std::array<KindIcon, 5> kindIcons{{
    {effectsKind, u"Effects", u"Effects"},
    {generatorsKind, u"Generators", u"Generators"},
    {titlesKind, u"Titles", u"Titles"},
    {transitionsKind, u"Transitions", u"Transitions"},
    {compositeKind, u"Composites", u"Composite"},
}};

// The sub-line names Apple silicon with a private-use character that only Apple's fonts draw; here a chip icon
// stands in its place.
void drawSubLine(QPainter &painter, const CachedText &texts, const QRect &area, const QString &text) {
    const qsizetype mark = text.indexOf(QChar(0xf8ff));
    if (mark < 0) {
        texts.draw(painter, area, Qt::AlignLeft, text, Qt::ElideRight);
        return;
    }
    const QString before = text.left(mark);
    const QString after = text.mid(mark + 1);
    const QFontMetrics metrics(painter.font());
    texts.draw(painter, area, Qt::AlignLeft, before);
    const int iconSide = metrics.height() - 2;
    const QRect icon(area.left() + metrics.horizontalAdvance(before), area.center().y() - iconSide / 2, iconSide,
                     iconSide);
    IconLibrary::icon(u"chip"_s).paint(&painter, icon);
    texts.draw(painter, area.adjusted(icon.right() + 1 - area.left(), 0, 0, 0), Qt::AlignLeft, after, Qt::ElideRight);
}

QString expandTitle(bool expanded) {
    return expanded ? u"Collapse"_s : u"Expand"_s;
}

} // namespace

LibraryRowDelegate::LibraryRowDelegate(const LibraryModel &model, QTreeView &view, QObject *parent)
    : PaintedButtonDelegate(view, parent)
    , m_model(model)
    , m_view(view) {
    // Painted from renderings kept by each icon: a row draws five of them.
    for (const KindIcon &kind : kindIcons) {
        const QString asset = u":/icons/"_s + QString::fromUtf16(kind.asset);
        m_kindIcons.emplace_back(SvgIcon(asset + u"-Installed.svg"_s), SvgIcon(asset + u"-Not-Installed.svg"_s));
    }
}

QRect LibraryRowDelegate::expandButtonRect(const QRect &nameCell) {
    return {nameCell.right() - 116, nameCell.center().y() - 13, 104, 26};
}

QRect LibraryRowDelegate::productButtonRect(const QRect &actionCell) {
    return {actionCell.right() - 16 - 36 - 10 - 136, actionCell.center().y() - 16, 136, 32};
}

QRect LibraryRowDelegate::optionButtonRect(const QRect &actionCell) {
    return {actionCell.right() - 16 - 36, actionCell.center().y() - 18, 36, 36};
}

QList<PaintedButtonDelegate::Zone> LibraryRowDelegate::zones(const QRect &cell, const QModelIndex &index) const {
    const OutlineViewItem *record = m_model.record(index);
    if (!record)
        return {};
    if (index.column() == LibraryModel::nameColumn && record->isGroup())
        return {{expandZone, expandButtonRect(cell)}};
    if (index.column() == LibraryModel::actionColumn)
        return {{productZone, productButtonRect(cell)}, {optionZone, optionButtonRect(cell)}};
    return {};
}

PaintedButtonDelegate::ZoneText LibraryRowDelegate::zoneText(const QModelIndex &index, int zone) const {
    switch (zone) {
    case expandZone:
        return {expandTitle(m_view.isExpanded(index.siblingAtColumn(0))), {}, true};
    case productZone: {
        const ProductButtonState state = m_model.buttonState(index);
        return {state.title, {}, state.enabled};
    }
    case optionZone:
        return {tr("Options"), m_model.hasUpdate(index) ? tr("Update available") : QString(),
                !m_model.optionMenuItems(index).isEmpty()};
    default:
        return {};
    }
}

QSize LibraryRowDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const {
    return {QStyledItemDelegate::sizeHint(option, index).width(), rowHeight};
}

void LibraryRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const {
    m_model.noteCellShown(index);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRect cell = option.rect;
    const QModelIndex current = m_view.currentIndex();
    // The keyboard's row: tinted, with an accent bar at its start, while the list has the focus.
    const bool keyboardRow =
        m_view.hasFocus() && current.isValid() && current.row() == index.row() && current.parent() == index.parent();
    if (keyboardRow)
        painter->fillRect(cell, theme::color(NamedColor::appMenuBGColor));
    else if (option.state.testFlag(QStyle::State_MouseOver))
        painter->fillRect(cell, theme::color(NamedColor::accountSettingSectionBG).darker(115));
    if (keyboardRow && index.column() == LibraryModel::pictureColumn)
        painter->fillRect(QRect(cell.left(), cell.top() + 8, 3, cell.height() - 16), theme::color(NamedColor::accent));
    // A filled pixel row: crisp, and far cheaper than an antialiased line through the stroker.
    painter->fillRect(QRect(cell.left(), cell.bottom(), cell.width(), 1), theme::color(NamedColor::separator));
    painter->setFont(option.font);
    switch (index.column()) {
    case LibraryModel::pictureColumn:
        paintPicture(*painter, cell, index);
        break;
    case LibraryModel::nameColumn:
        paintName(*painter, cell, index);
        break;
    case LibraryModel::actionColumn:
        paintAction(*painter, cell, index);
        break;
    default:
        break;
    }
    painter->restore();
}

void LibraryRowDelegate::paintPicture(QPainter &painter, const QRect &cell, const QModelIndex &index) const {
    const int indent = index.parent().isValid() ? memberIndent : 0;
    const int side = LibraryModel::pictureSide;
    const QRect frame(cell.left() + cellPadding + indent, cell.center().y() - side / 2 + 1, side, side);
    // Pictures come with their corners rounded already.
    const QPixmap picture = m_model.picture(index, painter.device()->devicePixelRatioF());
    if (!picture.isNull()) {
        painter.drawPixmap(frame, picture);
        return;
    }
    theme::drawPlaceholderTile(painter, frame, LibraryModel::pictureCornerRadius,
                               index.siblingAtColumn(LibraryModel::nameColumn).data().toString(),
                               NamedFont::tileInitial);
}

QRect LibraryRowDelegate::nameTextArea(const QRect &cell, const QModelIndex &index) const {
    const OutlineViewItem *record = m_model.record(index);
    const int right = record && record->isGroup() ? expandButtonRect(cell).left() - 12 : cell.right() - 8;
    // A member's picture sits further in; its texts follow it.
    const int indent = index.parent().isValid() ? memberIndent : 0;
    return {cell.left() + 4 + indent, cell.top() + 10, right - cell.left() - 4 - indent, 20};
}

bool LibraryRowDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                                   const QModelIndex &index) {
    if (event->type() != QEvent::ToolTip || index.column() != LibraryModel::nameColumn)
        return PaintedButtonDelegate::helpEvent(event, view, option, index);
    const QString title = index.data().toString();
    const QRect area = nameTextArea(option.rect, index);
    if (QFontMetrics(theme::font(NamedFont::paintedTitle, option.font)).horizontalAdvance(title) <= area.width()) {
        QToolTip::hideText();
        return true;
    }
    QToolTip::showText(event->globalPos(), title, view->viewport(), option.rect);
    return true;
}

void LibraryRowDelegate::paintName(QPainter &painter, const QRect &cell, const QModelIndex &index) const {
    const OutlineViewItem *record = m_model.record(index);
    if (!record)
        return;
    const LibraryRow row = describeLibraryRow(*record, m_model.libraryProducts(), m_model.groupMembers(index));
    const QRect textArea = nameTextArea(cell, index);

    const QFont base = painter.font();
    painter.setFont(theme::font(NamedFont::paintedTitle, base));
    painter.setPen(theme::color(NamedColor::textPrimary));
    m_texts.draw(painter, textArea, Qt::AlignLeft, row.title, Qt::ElideRight);

    painter.setFont(theme::font(NamedFont::paintedSubLine, base));
    painter.setPen(theme::color(NamedColor::textSecondary));
    drawSubLine(painter, m_texts, textArea.translated(0, 20), row.subLine);

    int x = textArea.left();
    const int y = cell.bottom() - 10 - kindIconSide;
    for (std::size_t at = 0; at < kindIcons.size(); ++at) {
        const bool lit = row.kindText.contains(QStringView(kindIcons[at].name));
        const auto &[litIcon, unlitIcon] = m_kindIcons[at];
        (lit ? litIcon : unlitIcon).paint(painter, QRectF(x, y, kindIconSide, kindIconSide));
        x += kindIconSide + 8;
    }
    painter.setFont(base);

    if (record->isGroup()) {
        const bool expanded = m_view.isExpanded(index.siblingAtColumn(0));
        paintExpandButton(painter, expandButtonRect(cell), expanded, isHovered(index, expandZone));
    }
}

void LibraryRowDelegate::paintExpandButton(QPainter &painter, const QRect &button, bool expanded, bool hovered) const {
    CachedRoundedBox::draw(painter, QRectF(button).adjusted(0.5, 0.5, -0.5, -0.5), 13,
                           hovered ? theme::color(NamedColor::accountSettingSectionBG) : QColor(Qt::transparent),
                           theme::color(NamedColor::outlinePrimaryButtonDefault), 1.0);
    const QRect chevron(button.right() - 22, button.center().y() - 6, 12, 12);
    painter.save();
    painter.translate(chevron.center());
    if (expanded)
        painter.rotate(180);
    IconLibrary::icon(u"chevron-down"_s).paint(&painter, QRect(-6, -6, 12, 12));
    painter.restore();
    painter.setPen(theme::color(NamedColor::textPrimary));
    m_texts.draw(painter, button.adjusted(12, 0, -24, 0), Qt::AlignLeft, expandTitle(expanded));
}

void LibraryRowDelegate::paintAction(QPainter &painter, const QRect &cell, const QModelIndex &index) const {
    const OutlineViewItem *record = m_model.record(index);
    if (!record)
        return;
    const ProductButtonLook look = ProductButtonLook::forState(m_model.buttonState(index));
    m_buttonPainter.paint(painter, productButtonRect(cell), look, isHovered(index, productZone),
                          isPressed(index, productZone));
    m_optionPainter.paint(painter, optionButtonRect(cell), m_model.hasUpdate(index), isHovered(index, optionZone),
                          isPressed(index, optionZone));
}

} // namespace klv::ui
