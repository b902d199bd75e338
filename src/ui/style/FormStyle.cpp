#include "style/FormStyle.h"

#include "style/Theme.h"

namespace klv::ui {

using namespace Qt::StringLiterals;

namespace {

QString css(NamedColor name) {
    return theme::color(name).name(QColor::HexArgb);
}

} // namespace

QString formStyleSheet() {
    QString sheet = uR"(
QLineEdit {
    background: @field; color: @text; border: 1px solid @outline; border-radius: 8px;
    padding: 0 10px; min-height: 34px; selection-background-color: @accent;
}
QLineEdit:focus { border: 2px solid @accent; padding: 0 9px; }
QLineEdit:disabled { color: @dim; background: @section; }
QPushButton {
    border-radius: 8px; min-height: 34px; padding: 0 16px; font-weight: 600;
    color: @text; background: transparent; border: 1px solid @outline;
}
QPushButton:hover { background: @hoverWash; }
QPushButton:pressed { background: @pressWash; }
QPushButton:focus { border: 2px solid @accent; }
QPushButton:disabled { color: @dim; border-color: @separator; }
QPushButton[look="primary"] { background: @primary; color: @primaryText; border: none; }
QPushButton[look="primary"]:hover { background: @primaryHover; }
QPushButton[look="primary"]:pressed { background: @primaryActive; }
QPushButton[look="primary"]:focus { border: 2px solid @focusOnAccent; }
QPushButton[look="primary"]:disabled { background: @outline; color: @dim; }
QPushButton[look="danger"] { color: @danger; border-color: @danger; }
QPushButton[look="link"] {
    border: none; background: transparent; color: @link; padding: 0 4px; min-height: 24px; font-weight: 500;
}
QPushButton[look="link"]:hover { text-decoration: underline; }
QPushButton[look="link"]:focus { border: 1px solid @accent; }
QPushButton[look="value"] {
    border: none; background: transparent; padding: 0 4px; min-height: 26px; text-align: left; font-weight: 500;
}
QPushButton[look="value"]:hover { background: @hoverWash; }
QPushButton[look="value"]:focus { border: 1px solid @accent; }
QToolButton { border: none; border-radius: 6px; background: transparent; padding: 4px; }
QToolButton:hover { background: @hoverWash; }
QToolButton:pressed { background: @pressWash; }
QToolButton:focus { border: 1px solid @accent; }
)"_s;
    const QList<std::pair<QString, QString>> colours{
        {u"@field"_s, css(NamedColor::fieldBackground)},
        {u"@text"_s, css(NamedColor::textPrimary)},
        {u"@dim"_s, css(NamedColor::textSecondary)},
        {u"@outline"_s, css(NamedColor::outlinePrimaryButtonDefault)},
        {u"@separator"_s, css(NamedColor::separator)},
        {u"@section"_s, css(NamedColor::accountSettingSectionBG)},
        {u"@accent"_s, css(NamedColor::accent)},
        {u"@primaryText"_s, css(NamedColor::textPrimaryButtonDefault)},
        {u"@primaryHover"_s, css(NamedColor::backgroundPrimaryButtonHover)},
        {u"@primaryActive"_s, css(NamedColor::backgroundPrimaryButtonActive)},
        {u"@primary"_s, css(NamedColor::backgroundPrimaryButtonDefault)},
        {u"@danger"_s, css(NamedColor::danger)},
        {u"@link"_s, css(NamedColor::backgroundPrimaryButtonHover)},
        {u"@focusOnAccent"_s, u"#ffffff"_s},
        {u"@hoverWash"_s, u"rgba(255, 255, 255, 20)"_s},
        {u"@pressWash"_s, u"rgba(255, 255, 255, 40)"_s},
    };
    // Longer names first where one is the start of another (@primaryText before @primary).
    for (const auto &[name, value] : colours)
        sheet.replace(name, value);
    return sheet;
}

} // namespace klv::ui
