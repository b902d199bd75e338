#include "controls/AlertBox.h"

#include <QIcon>
#include <QPushButton>

namespace klv::ui {

AlertBox::AlertBox(const QString &title, const QString &message, const QStringList &buttons, QWidget *parent)
    : QMessageBox(parent) {
    setWindowTitle(title);
    // As a desktop alert shows it: the application's icon beside the message.
    setIconPixmap(QIcon(QStringLiteral(":/icons/logo.svg")).pixmap(QSize(48, 48)));
    // Messages carry names from the store: shown as they are, never read as markup.
    setTextFormat(Qt::PlainText);
    setText(message);
    setAccessibleName(title);
    setAccessibleDescription(message);
    for (const QString &text : buttons) {
        // One role for all: the box keeps buttons of one role in the order they were added.
        m_buttons.append(addButton(text, QMessageBox::ActionRole));
    }
    if (m_buttons.isEmpty())
        m_buttons.append(addButton(QMessageBox::Ok));
    setDefaultButton(m_buttons.first());
    if (m_buttons.size() > 1)
        setEscapeButton(m_buttons.last());
}

int AlertBox::chosenIndex() const {
    const auto chosen = m_buttons.indexOf(qobject_cast<QPushButton *>(clickedButton()));
    return chosen < 0 ? int(m_buttons.size()) - 1 : int(chosen);
}

} // namespace klv::ui
