#include "shell/WidgetAlerts.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>

namespace klv::ui {

int WidgetAlerts::present(const QString &title, const QString &message, const QStringList &buttons) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(title);
    // As a desktop alert shows it: the application's icon beside the message.
    box.setIconPixmap(QIcon(QStringLiteral(":/icons/logo.svg")).pixmap(QSize(48, 48)));
    // Messages carry names from the store: shown as they are, never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(message);
    box.setAccessibleName(title);
    box.setAccessibleDescription(message);
    QList<QPushButton *> added;
    for (const QString &text : buttons) {
        // One role for all: the box keeps buttons of one role in the order they were added.
        added.append(box.addButton(text, QMessageBox::ActionRole));
    }
    if (added.isEmpty())
        added.append(box.addButton(QMessageBox::Ok));
    box.setDefaultButton(added.first());
    if (added.size() > 1)
        box.setEscapeButton(added.last());
    box.exec();
    const auto chosen = added.indexOf(qobject_cast<QPushButton *>(box.clickedButton()));
    return chosen < 0 ? int(added.size()) - 1 : int(chosen);
}

} // namespace klv::ui
