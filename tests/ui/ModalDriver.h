#pragma once

#include <QMessageBox>

#include <functional>

namespace klv::test {

// Answers the next modal message box once it is shown: the action gets the box and closes it (clicking a button,
// pressing a key). Tests use it where the real window would wait for a person.
void whenMessageBoxShows(std::function<void(QMessageBox &)> action);

// Clicks the button with that text on the next message box; its texts in order go to `seen` when given.
void answerMessageBox(const QString &buttonText, QStringList *seenButtons = nullptr, QString *seenText = nullptr);

// The message box's buttons as they are laid out, left to right.
QList<QAbstractButton *> buttonsLeftToRight(const QMessageBox &box);

} // namespace klv::test
