#pragma once

#include <QObject>
#include <QString>

namespace klv {
class AppContext;
}

namespace klv::cli {

class CommandArguments;
class Terminal;

// One subcommand of klv. It reports its end, synchronously or later from the event loop, with finished().
class Command : public QObject {
    Q_OBJECT
public:
    Command(AppContext &context, const Terminal &terminal);

    virtual QString name() const = 0;
    virtual QString summary() const = 0;
    // Declares the command's own options and positional arguments.
    virtual void describe(CommandArguments &arguments) const;
    // False when the command works without the store (it then skips the address check).
    virtual bool needsStore() const { return false; }
    virtual void run(const CommandArguments &arguments) = 0;

Q_SIGNALS:
    void finished(int exitCode);

protected:
    AppContext &m_context;
    const Terminal &m_terminal;
};

} // namespace klv::cli
