#pragma once

#include <QString>

#include <memory>
#include <vector>

namespace klv::cli {

class Command;
class CommandLine;

// klv(1) in roff: every command with its usage and options as the command line declares them, the configuration,
// the exit codes, the fields of the JSON output, the environment, the files and examples.
QString manualPage(const CommandLine &commandLine, const std::vector<std::unique_ptr<Command>> &commands,
                   const QString &version);

} // namespace klv::cli
