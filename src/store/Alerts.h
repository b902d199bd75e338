#pragma once

#include <QString>
#include <QStringList>

namespace klv {

// How the core asks a person something. Each front end implements it: the window with a modal box,
// the command-line client on the terminal, tests with scripted answers.
class Alerts {
public:
    virtual ~Alerts() = default;
    // Shows the title, the message and the buttons (one to three); returns the index of the chosen button.
    virtual int present(const QString &title, const QString &message, const QStringList &buttons) = 0;
};

} // namespace klv
