#include "Command.h"

#include <QCommandLineParser>

namespace klv::cli {

Command::Command(AppContext &context, const Terminal &terminal)
    : m_context(context)
    , m_terminal(terminal) {}

void Command::describe(QCommandLineParser &) const {}

} // namespace klv::cli
