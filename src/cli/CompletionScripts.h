#pragma once

#include <QString>

#include <memory>
#include <vector>

namespace klv::cli {

class Command;
class CommandLine;

// Shell completion for klv: commands, their options and the options' choices, and for commands that take
// product names the names of the cached library, which `klv --complete-products` prints.
QString bashCompletion(const CommandLine &commandLine, const std::vector<std::unique_ptr<Command>> &commands);
QString zshCompletion(const CommandLine &commandLine, const std::vector<std::unique_ptr<Command>> &commands);

} // namespace klv::cli
