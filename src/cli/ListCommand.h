#pragma once

#include "cli/Command.h"

#include "library/OutlineViewItem.h"

namespace klv::cli {

class ListCommand final : public Command {
    Q_OBJECT
public:
    using Command::Command;
    QString name() const override { return QStringLiteral("list"); }
    QString summary() const override { return QStringLiteral("List your products as the library shows them."); }
    void describe(CommandArguments &arguments) const override;
    void run(const CommandArguments &arguments) override;

private:
    bool applyOptions(const CommandArguments &arguments);
    void show(bool asJson);
    void printRow(const OutlineViewItem &record, int depth);
};

} // namespace klv::cli
