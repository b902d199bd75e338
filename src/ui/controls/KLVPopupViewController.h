#pragma once

#include <QUrl>
#include <QWidget>

#include <functional>

class QLabel;

namespace klv::ui {

// A popover: a frameless popup holding one text, sized to fit it. A link in the text is clickable; the popover
// closes on Escape or on a click outside it.
class KLVPopupViewController : public QWidget {
    Q_OBJECT

public:
    static constexpr int textTop = 15;
    static constexpr int textSideMargin = 15;

    explicit KLVPopupViewController(QWidget *parent = nullptr);

    QLabel *textField() const { return label; }
    // Rich text as built by popoverRichText; the popover is fitted to it.
    void setText(const QString &richText);
    // Sizes the text to the popover's width and the popover to the text: text height + 30, the text at y 15.
    void fit();
    // Opens an activated link; by default the desktop's browser.
    void setLinkHandler(std::function<void(const QUrl &)> handler);
    // Shows the popover centred below `anchor`.
    void showBelow(const QWidget &anchor);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QLabel *label;
    std::function<void(const QUrl &)> linkHandler;
};

} // namespace klv::ui
