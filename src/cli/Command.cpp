#include "cli/Command.h"

#include "cli/CommandArguments.h"

namespace klv::cli {

Command::Command(AppContext &context, const Terminal &terminal)
    : m_context(context)
    , m_terminal(terminal) {}

void Command::describe(CommandArguments &) const {}

} // namespace klv::cli
