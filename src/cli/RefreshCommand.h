#pragma once

#include "cli/Command.h"

#include "library/OutlineViewItem.h"

namespace klv::cli {

class RefreshCommand final : public Command {
    Q_OBJECT
public:
    using Command::Command;
    QString name() const override { return QStringLiteral("refresh"); }
    QString summary() const override {
        return QStringLiteral("Fetch library changes from the store; detect what is installed.");
    }
    bool needsStore() const override { return true; }
    void describe(CommandArguments &arguments) const override;
    void run(const CommandArguments &arguments) override;

private:
    void reportChanges(const QList<OutlineViewItem> &before, const QString &what, bool asJson);
};

} // namespace klv::cli
