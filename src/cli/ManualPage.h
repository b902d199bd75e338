#pragma once

#include <QString>

#include <memory>
#include <vector>

namespace klv::cli {

class Command;
class CommandLine;

// klv(1) in roff, from the texts `klv --help` and `klv COMMAND --help` print: every command with its options,
// the exit codes and the fields of the JSON output.
QString manualPage(const CommandLine &commandLine, const std::vector<std::unique_ptr<Command>> &commands,
                   const QString &version);

} // namespace klv::cli
