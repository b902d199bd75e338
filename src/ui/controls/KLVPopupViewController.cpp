#include "controls/KLVPopupViewController.h"

#include "style/SeeThroughWindows.h"
#include "style/Theme.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QTextDocumentFragment>

namespace klv::ui {

namespace {

constexpr int popoverWidth = 300;
constexpr qreal popoverCorner = 8;

} // namespace

KLVPopupViewController::KLVPopupViewController(QWidget *parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint)
    , label(new QLabel(this))
    , linkHandler([](const QUrl &url) { QDesktopServices::openUrl(url); }) {
    setAccessibleName(tr("Information"));
    label->setWordWrap(true);
    label->setTextFormat(Qt::RichText);
    // Links are followed with the mouse or the keyboard; the text is read, not edited, so no caret blinks in it.
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse |
                                   Qt::LinksAccessibleByKeyboard);
    label->setOpenExternalLinks(false);
    QPalette textPalette = label->palette();
    textPalette.setColor(QPalette::WindowText, theme::color(NamedColor::textPrimary));
    label->setPalette(textPalette);
    connect(label, &QLabel::linkActivated, this, [this](const QString &link) {
        if (linkHandler) {
            linkHandler(QUrl(link));
        }
    });
    resize(popoverWidth, 2 * textTop);
}

void KLVPopupViewController::setText(const QString &richText) {
    label->setText(richText);
    // Screen readers get the words, not the markup.
    label->setAccessibleName(QTextDocumentFragment::fromHtml(richText).toPlainText());
    fit();
}

void KLVPopupViewController::fit() {
    const int textWidth = width() - 2 * textSideMargin;
    const int textHeight = label->heightForWidth(textWidth);
    label->setGeometry(textSideMargin, textTop, textWidth, textHeight);
    resize(width(), textHeight + 2 * textTop);
}

void KLVPopupViewController::setLinkHandler(std::function<void(const QUrl &)> handler) {
    linkHandler = std::move(handler);
}

void KLVPopupViewController::showBelow(const QWidget &anchor) {
    const QPoint below = anchor.mapToGlobal(QPoint(anchor.width() / 2 - width() / 2, anchor.height() + 4));
    move(below);
    makeSeeThrough(*this, seeThroughWindowsShown());
    show();
    label->setFocus(Qt::PopupFocusReason);
}

void KLVPopupViewController::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(theme::color(NamedColor::outlineOptionButton), 1));
    painter.setBrush(theme::color(NamedColor::accountSettingSectionBG));
    // Rounded only where the corners beyond can show what lies below.
    const qreal corner = testAttribute(Qt::WA_TranslucentBackground) ? popoverCorner : 0;
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), corner, corner);
}

void KLVPopupViewController::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace klv::ui
