#pragma once

#include "OptionButtonPainter.h"

#include <QAbstractButton>
#include <QStringList>

class QMenu;

namespace klv::ui {

// The small "..." button of a library row: it pops up a menu of the given item titles and reports the one chosen.
// A red badge shows while the product has an update.
class KLVApp_CustomProductOptionBtn : public QAbstractButton {
    Q_OBJECT

public:
    explicit KLVApp_CustomProductOptionBtn(QWidget *parent = nullptr);

    bool isHaveUpdate() const { return haveUpdate; }
    void setHaveUpdate(bool update);
    // The menu's items, in order. Titles are reported exactly as given; their leading blanks are not shown.
    void setItems(const QStringList &titles);
    QStringList items() const { return titles; }
    qint64 tag() const { return productTag; }
    void setTag(qint64 tag) { productTag = tag; }
    // The menu while it is open, else null.
    QMenu *openMenu() const { return menu; }

    QSize sizeHint() const override;

Q_SIGNALS:
    void itemChosen(const QString &title);

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void popUpMenu();
    QRectF drawingBounds() const;

    OptionButtonPainter painter;
    QStringList titles;
    bool haveUpdate = false;
    bool hovered = false;
    qint64 productTag = 0;
    QMenu *menu = nullptr;
};

} // namespace klv::ui
