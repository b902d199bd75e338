#pragma once

#include <QList>
#include <QMessageBox>
#include <QStringList>

class QPushButton;

namespace klv::ui {

// An alert as the window shows it: the application's icon beside a plain-text message and the buttons in the given
// order, the first the default and the last the escape. Modal or not is the caller's choice.
class AlertBox final : public QMessageBox {
    Q_OBJECT
public:
    AlertBox(const QString &title, const QString &message, const QStringList &buttons, QWidget *parent = nullptr);

    // The index of the button that closed the box: the last one when it was closed otherwise.
    int chosenIndex() const;

private:
    QList<QPushButton *> m_buttons;
};

} // namespace klv::ui
