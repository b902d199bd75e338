#include "style/FormStyle.h"

#include "style/Theme.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QHash>
#include <QRegularExpression>
#include <QScrollBar>
#include <QWidget>

namespace klv::ui {

using namespace Qt::StringLiterals;

namespace {

QString css(const QColor &colour) {
    return colour.name(QColor::HexArgb);
}

QString css(NamedColor name) {
    return css(theme::color(name));
}

// Every "@name" of the sheet replaced by its colour.
QString withColours(const QString &sheet, const QHash<QString, QString> &colours) {
    static const QRegularExpression placeholder(u"@(\\w+)"_s);
    QString filled;
    qsizetype copied = 0;
    QRegularExpressionMatchIterator matches = placeholder.globalMatch(sheet);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        filled += QStringView(sheet).sliced(copied, match.capturedStart() - copied);
        filled += colours.value(match.captured(1));
        copied = match.capturedEnd();
    }
    return filled + QStringView(sheet).sliced(copied);
}

QString lookSheet() {
    const QString sheet = uR"(
*[look="form"] QLineEdit {
    background: @field; color: @text; border: 1px solid @outline; border-radius: 8px;
    padding: 0 10px; min-height: 34px; selection-background-color: @accent;
}
*[look="form"] QLineEdit:focus { border: 2px solid @accent; padding: 0 9px; }
*[look="form"] QLineEdit:disabled { color: @dim; background: @section; }
*[look="form"] QPushButton {
    border-radius: 8px; min-height: 34px; padding: 0 16px; font-weight: 600;
    color: @text; background: transparent; border: 1px solid @outline;
}
*[look="form"] QPushButton:hover { background: @hoverWash; }
*[look="form"] QPushButton:pressed { background: @pressWash; }
*[look="form"] QPushButton:focus { border: 2px solid @accent; }
*[look="form"] QPushButton:disabled { color: @dim; border-color: @separator; }
*[look="form"] QPushButton[look="primary"] { background: @primary; color: @primaryText; border: none; }
*[look="form"] QPushButton[look="primary"]:hover { background: @primaryHover; }
*[look="form"] QPushButton[look="primary"]:pressed { background: @primaryActive; }
*[look="form"] QPushButton[look="primary"]:focus { border: 2px solid @onColor; }
*[look="form"] QPushButton[look="primary"]:disabled { background: @outline; color: @dim; }
*[look="form"] QPushButton[look="danger"] { color: @danger; border-color: @danger; }
*[look="form"] QPushButton[look="link"] {
    border: none; background: transparent; color: @link; padding: 0 4px; min-height: 24px; font-weight: 500;
}
*[look="form"] QPushButton[look="link"]:hover { text-decoration: underline; }
*[look="form"] QPushButton[look="link"]:focus { border: 1px solid @accent; }
*[look="form"] QPushButton[look="value"] {
    border: none; background: transparent; padding: 0 4px; min-height: 26px; text-align: left; font-weight: 500;
}
*[look="form"] QPushButton[look="value"]:hover { background: @hoverWash; }
*[look="form"] QPushButton[look="value"]:focus { border: 1px solid @accent; }
*[look="form"] QComboBox {
    background: @field; color: @text; border: 1px solid @outline; border-radius: 8px; padding: 0 10px;
    min-height: 34px;
}
*[look="form"] QComboBox:focus { border: 2px solid @accent; padding: 0 9px; }
*[look="form"] QComboBox::drop-down { border: none; width: 26px; }
*[look="form"] QComboBox::down-arrow { image: url(:/icons/chevron-down.svg); width: 12px; height: 12px; }
/* The list drops below the field, in the theme's colours, with rows as tall as the option menu's. */
*[look="form"] QComboBox { combobox-popup: 0; }
*[look="form"] QComboBox QAbstractItemView {
    background: @section; color: @text; border: 1px solid @optionOutline; border-radius: 8px; padding: 4px;
    selection-background-color: @accent; selection-color: @onColor; outline: none;
}
*[look="form"] QComboBox QAbstractItemView::item { min-height: 30px; padding: 0 10px; border-radius: 6px; }
*[look="form"] QToolButton { border: none; border-radius: 6px; background: transparent; padding: 4px; }
*[look="form"] QToolButton:hover { background: @hoverWash; }
*[look="form"] QToolButton:pressed { background: @pressWash; }
*[look="form"] QToolButton:focus { border: 1px solid @accent; }

QPushButton[look="logo"] {
    color: @text; font-size: 17px; font-weight: 700; text-align: left; border: none; padding: 4px 6px;
}
QPushButton[look="logo"]:focus { border: 1px solid @accent; border-radius: 8px; }
/* The item spans the whole menu entry; its title starts right of the icon (14 + 18 + 12 pixels in). */
QPushButton[look="appMenuItem"], QPushButton[look="selectedAppMenuItem"] {
    border: none; background: transparent; text-align: left; padding-left: 44px; color: @appMenuText;
    font-size: 13px;
}
QPushButton[look="selectedAppMenuItem"] { color: @appMenuSelectedText; }
/* Under the pointer an item the person can pick is washed with the selected item's shape; the selected one stays. */
QPushButton[look="appMenuItem"]:hover:enabled { background: @hoverWash; border-radius: 4px; color: @appMenuSelectedText; }
QPushButton[look="appMenuItem"]:disabled, QPushButton[look="selectedAppMenuItem"]:disabled {
    color: @appMenuDisabledText;
}
QPushButton[look="appMenuItem"]:focus, QPushButton[look="selectedAppMenuItem"]:focus {
    border: 2px solid @accent; border-radius: 4px;
}
/* Thin bars in the theme's colours, without arrow buttons. */
QScrollBar[look="scrollBar"] { background: transparent; border: none; margin: 0; }
QScrollBar[look="scrollBar"]:vertical { width: 12px; }
QScrollBar[look="scrollBar"]:horizontal { height: 12px; }
QScrollBar[look="scrollBar"]::handle { background: @outline; border-radius: 3px; }
QScrollBar[look="scrollBar"]::handle:hover, QScrollBar[look="scrollBar"]::handle:pressed { background: @scrollHover; }
QScrollBar[look="scrollBar"]::handle:vertical { min-height: 36px; margin: 2px 3px; }
QScrollBar[look="scrollBar"]::handle:horizontal { min-width: 36px; margin: 3px 2px; }
QScrollBar[look="scrollBar"]::add-line, QScrollBar[look="scrollBar"]::sub-line {
    width: 0; height: 0; border: none; background: none;
}
QScrollBar[look="scrollBar"]::add-page, QScrollBar[look="scrollBar"]::sub-page { background: none; }
QLabel[look="placeholderTitle"] { font-size: 22px; font-weight: 600; }
/* One title for every section: My Products, Free Products, Account Settings. */
QLabel[look="sectionTitle"], QLabel[look="listTitle"] { color: @text; font-size: 22px; font-weight: 700; }
QLabel[look="listTitle"] { padding: 18px 24px 14px 24px; }
QLabel[look="strong"] { font-weight: 600; }
QLabel[look="fieldLabel"] { color: @dim; }
QLabel[look="saleTitle"] { color: @onColor; font-size: 16px; font-weight: 700; }
QLabel[look="saleCountdown"] { color: @onColor; font-size: 16px; font-weight: 600; }

QLabel[look="productName"] { color: @text; font-size: 26px; font-weight: 700; }
QLabel[look="productSummary"] { color: @dim; font-size: 15px; }
QLabel[look="productDescription"] { color: @text; font-size: 14px; }
QPushButton[look="back"] {
    color: @text; background: transparent; border: 1px solid transparent; border-radius: 8px;
    padding: 6px 14px 6px 8px; font-size: 14px;
}
QPushButton[look="back"]:hover { background: @section; }
QPushButton[look="back"]:focus { border-color: @accent; }
QPushButton[look="addToCart"] {
    color: @onColor; background: @addToCart; border: 2px solid @addToCart; border-radius: 8px; font-size: 15px;
    font-weight: 700; letter-spacing: 1px;
}
QPushButton[look="addToCart"]:hover { background: @addToCartHover; border-color: @addToCartHover; }
QPushButton[look="addToCart"]:pressed { background: @addToCartPressed; border-color: @addToCartPressed; }
QPushButton[look="addToCart"]:focus { border-color: @onColor; }

QMenu[look="themed"], QMenu[look="squareThemed"] {
    background: @section; border: 1px solid @optionOutline; border-radius: 8px; padding: 5px;
}
/* Without a compositor a pop-up cannot show what lies beyond its rounded corners: it is square instead. */
QMenu[look="squareThemed"] { border-radius: 0; }
QMenu[look="themed"]::item, QMenu[look="squareThemed"]::item {
    color: @text; padding: 6px 22px 6px 12px; border: none; border-radius: 5px; font-size: 13px;
}
QMenu[look="themed"]::item:selected, QMenu[look="squareThemed"]::item:selected {
    background: @accent; color: @onColor;
}
QMenu[look="themed"]::item:disabled, QMenu[look="squareThemed"]::item:disabled { color: @dim; }
QMenu[look="themed"]::separator, QMenu[look="squareThemed"]::separator {
    height: 1px; background: @optionOutline; margin: 4px 6px;
}
)"_s;
    const QColor addToCart = theme::color(NamedColor::addToCart);
    return withColours(sheet, {
                                  {u"field"_s, css(NamedColor::fieldBackground)},
                                  {u"text"_s, css(NamedColor::textPrimary)},
                                  {u"dim"_s, css(NamedColor::textSecondary)},
                                  {u"onColor"_s, css(NamedColor::textOnColor)},
                                  {u"outline"_s, css(NamedColor::outlinePrimaryButtonDefault)},
                                  {u"optionOutline"_s, css(NamedColor::outlineOptionButton)},
                                  {u"separator"_s, css(NamedColor::separator)},
                                  {u"scrollHover"_s, css(NamedColor::textSecondary)},
                                  {u"section"_s, css(NamedColor::accountSettingSectionBG)},
                                  {u"accent"_s, css(NamedColor::accent)},
                                  {u"primaryText"_s, css(NamedColor::textPrimaryButtonDefault)},
                                  {u"primaryHover"_s, css(NamedColor::backgroundPrimaryButtonHover)},
                                  {u"primaryActive"_s, css(NamedColor::backgroundPrimaryButtonActive)},
                                  {u"primary"_s, css(NamedColor::backgroundPrimaryButtonDefault)},
                                  {u"danger"_s, css(NamedColor::danger)},
                                  {u"link"_s, css(NamedColor::backgroundPrimaryButtonHover)},
                                  {u"hoverWash"_s, css(theme::color(NamedColor::wash, 20))},
                                  {u"pressWash"_s, css(theme::color(NamedColor::wash, 40))},
                                  {u"appMenuText"_s, css(NamedColor::appMenuTextDefaultColor)},
                                  {u"appMenuSelectedText"_s, css(NamedColor::appMenuTextColor)},
                                  {u"appMenuDisabledText"_s, css(NamedColor::appMenuTextDisabledColor)},
                                  {u"addToCart"_s, css(addToCart)},
                                  {u"addToCartHover"_s, css(addToCart.lighter(110))},
                                  {u"addToCartPressed"_s, css(addToCart.darker(115))},
                              });
}

} // namespace

void setScrollBarLook(QAbstractScrollArea &area) {
    for (QScrollBar *bar : {area.verticalScrollBar(), area.horizontalScrollBar()})
        setLook(*bar, "scrollBar");
    // Said by screen readers, which offer a scroll bar's actions.
    area.verticalScrollBar()->setAccessibleName(QCoreApplication::translate("FormStyle", "Scroll up and down"));
    area.horizontalScrollBar()->setAccessibleName(QCoreApplication::translate("FormStyle", "Scroll sideways"));
}

void setLook(QWidget &widget, const char *look) {
    // The sheet goes on the widgets that take a look, not on the application: under any style sheet Fusion draws
    // the frames of the other widgets (fields, combo boxes, scroll bars) differently. Setting it polishes the
    // widget again, which is how a look that changes is seen.
    static const QString sheet = lookSheet();
    widget.setProperty("look", QString::fromLatin1(look));
    widget.setStyleSheet(sheet);
}

} // namespace klv::ui
