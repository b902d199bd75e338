#include "products/LibraryRowDelegate.h"

#include "controls/ProductButtonLook.h"
#include "library/LibraryRow.h"
#include "library/ProductActions.h"
#include "products/LibraryModel.h"
#include "style/CachedRoundedBox.h"
#include "style/CachedText.h"
#include "style/IconLibrary.h"
#include "style/Theme.h"

#include <QMouseEvent>
#include <QPainter>
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

QFont titleFont(const QFont &base) {
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() + 1.0);
    font.setWeight(QFont::DemiBold);
    return font;
}

QFont subLineFont(const QFont &base) {
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() - 1.0);
    return font;
}

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

} // namespace

LibraryRowDelegate::LibraryRowDelegate(const LibraryModel &model, QTreeView &view, QObject *parent)
    : QStyledItemDelegate(parent)
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
    // No picture yet: the product's initial on a quiet tile.
    CachedRoundedBox::draw(painter, frame, LibraryModel::pictureCornerRadius,
                           theme::color(NamedColor::accountSettingSectionBG), Qt::transparent, 0);
    const QString title = index.siblingAtColumn(LibraryModel::nameColumn).data().toString();
    QFont initial = painter.font();
    initial.setPointSizeF(initial.pointSizeF() + 6.0);
    initial.setWeight(QFont::Bold);
    painter.setFont(initial);
    painter.setPen(theme::color(NamedColor::textSecondary));
    m_texts.draw(painter, frame, Qt::AlignCenter, title.left(1).toUpper());
}

void LibraryRowDelegate::paintName(QPainter &painter, const QRect &cell, const QModelIndex &index) const {
    const OutlineViewItem *record = m_model.record(index);
    if (!record)
        return;
    const LibraryRow row = describeLibraryRow(*record, m_model.libraryProducts(), m_model.groupMembers(index));
    const int right = record->isGroup() ? expandButtonRect(cell).left() - 12 : cell.right() - 8;
    // A member's picture sits further in; its texts follow it.
    const int indent = index.parent().isValid() ? memberIndent : 0;
    const QRect textArea(cell.left() + 4 + indent, cell.top() + 10, right - cell.left() - 4 - indent, 20);

    const QFont base = painter.font();
    painter.setFont(titleFont(base));
    painter.setPen(theme::color(NamedColor::textPrimary));
    m_texts.draw(painter, textArea, Qt::AlignLeft, row.title, Qt::ElideRight);

    painter.setFont(subLineFont(base));
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
        paintExpandButton(painter, expandButtonRect(cell), expanded, isHovered(index, Part::expand));
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
    m_texts.draw(painter, button.adjusted(12, 0, -24, 0), Qt::AlignLeft, expanded ? u"Collapse"_s : u"Expand"_s);
}

ProductButtonState LibraryRowDelegate::buttonState(const QModelIndex &index) const {
    const OutlineViewItem *record = m_model.record(index);
    if (!record)
        return {};
    return productButtonState(*record, m_model.jobState(index), record->isInstalled, m_model.libraryProducts(),
                              m_model.groupMembers(index));
}

void LibraryRowDelegate::paintAction(QPainter &painter, const QRect &cell, const QModelIndex &index) const {
    const OutlineViewItem *record = m_model.record(index);
    if (!record)
        return;
    const ProductButtonLook look = ProductButtonLook::forState(buttonState(index));
    const bool productPressed = m_pressPart == Part::product && m_pressIndex == index;
    m_buttonPainter.paint(painter, productButtonRect(cell), look, isHovered(index, Part::product), productPressed);

    const bool hasUpdate = ProductActions::isHaveUpdate(
        ProductActions::optionMenuItems(*record, m_model.libraryProducts(), m_model.groupMembers(index)));
    const bool optionPressed = m_pressPart == Part::option && m_pressIndex == index;
    m_optionPainter.paint(painter, optionButtonRect(cell), hasUpdate, isHovered(index, Part::option), optionPressed);
}

LibraryRowDelegate::Part LibraryRowDelegate::partAt(const QRect &cell, const QModelIndex &index,
                                                    const QPoint &position) const {
    const OutlineViewItem *record = m_model.record(index);
    if (!record)
        return Part::none;
    if (index.column() == LibraryModel::nameColumn && record->isGroup() && expandButtonRect(cell).contains(position))
        return Part::expand;
    if (index.column() == LibraryModel::actionColumn) {
        if (productButtonRect(cell).contains(position))
            return Part::product;
        if (optionButtonRect(cell).contains(position))
            return Part::option;
    }
    return Part::none;
}

bool LibraryRowDelegate::isHovered(const QModelIndex &index, Part part) const {
    return m_hoverPart == part && m_hoverIndex == index;
}

void LibraryRowDelegate::clearHover() {
    setHover({}, Part::none);
}

void LibraryRowDelegate::setHover(const QModelIndex &index, Part part) {
    if (m_hoverIndex == index && m_hoverPart == part)
        return;
    if (m_hoverIndex.isValid())
        m_view.update(m_hoverIndex);
    m_hoverIndex = index;
    m_hoverPart = part;
    if (index.isValid())
        m_view.update(index);
}

bool LibraryRowDelegate::editorEvent(QEvent *event, QAbstractItemModel *, const QStyleOptionViewItem &option,
                                     const QModelIndex &index) {
    switch (event->type()) {
    case QEvent::MouseMove: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        setHover(index, partAt(option.rect, index, mouse->position().toPoint()));
        return false;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        m_pressPart = partAt(option.rect, index, mouse->position().toPoint());
        m_pressIndex = index;
        m_view.update(index);
        return m_pressPart != Part::none;
    }
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const Part pressed = m_pressPart;
        const bool sameCell = m_pressIndex == index;
        m_pressPart = Part::none;
        m_pressIndex = QPersistentModelIndex();
        m_view.update(index);
        if (!sameCell || pressed == Part::none || partAt(option.rect, index, mouse->position().toPoint()) != pressed)
            return false;
        switch (pressed) {
        case Part::expand:
            Q_EMIT expandToggled(index.siblingAtColumn(0));
            break;
        case Part::product:
            Q_EMIT productButtonClicked(index);
            break;
        case Part::option:
            Q_EMIT optionButtonClicked(index, optionButtonRect(option.rect));
            break;
        case Part::none:
            break;
        }
        return true;
    }
    default:
        return false;
    }
}

} // namespace klv::ui
