#pragma once

#include <QList>
#include <QPersistentModelIndex>
#include <QRect>
#include <QStyledItemDelegate>

class QAbstractItemView;

namespace klv::ui {

// The base of every row delegate that paints buttons into its cells. A subclass says which buttons (zones) a cell
// has and where; this class follows the mouse over them, presses them and reports a click when a press is released
// on the zone of the cell it started on. A press released anywhere else, Escape or the view losing the focus puts
// the button back as it was and reports nothing.
class PaintedButtonDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    // One painted button of a cell: an id of the subclass's choosing and its rectangle in the viewport.
    struct Zone {
        int id;
        QRect rect;
    };
    // What a screen reader says of a painted button: what it does, anything more it shows (a badge), and whether
    // it can be pressed now.
    struct ZoneText {
        QString name;
        QString description;
        bool enabled = true;
    };

    explicit PaintedButtonDelegate(QAbstractItemView &view, QObject *parent = nullptr);

    // The buttons of the cell `index` drawn at `cell`; none when it has none.
    virtual QList<Zone> zones(const QRect &cell, const QModelIndex &index) const = 0;
    // The cell's button `zone` in words.
    virtual ZoneText zoneText(const QModelIndex &index, int zone) const = 0;
    // Where the cell's button `zone` lies in the viewport now; empty when the cell has no such button.
    QRect zoneRect(const QModelIndex &index, int zone) const;
    // No button stays lit or pressed: the view is about to show another delegate's rows.
    void reset();
    // Presses the cell's button as a click on it would: how screen readers press it.
    void press(const QModelIndex &index, int zone);

    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

Q_SIGNALS:
    void buttonClicked(const QModelIndex &index, int zone);

protected:
    bool isHovered(const QModelIndex &index, int zone) const;
    bool isPressed(const QModelIndex &index, int zone) const;
    // The row the keyboard is on, while the view has the focus: its button shows the focus ring.
    bool hasKeyboardFocus(const QModelIndex &index) const;

private:
    static constexpr int noZone = -1;

    int zoneAt(const QModelIndex &index, const QPoint &position) const;
    void setHover(const QModelIndex &index, int zone);
    void setPress(const QModelIndex &index, int zone);
    void release(const QPoint &position);

    QAbstractItemView &m_view;
    QWidget *m_viewport;
    QPersistentModelIndex m_hoverIndex;
    int m_hoverZone = noZone;
    QPersistentModelIndex m_pressIndex;
    int m_pressZone = noZone;
};

} // namespace klv::ui
