#pragma once

#include "cli/Command.h"

namespace klv {
class MarketingCenter;
}

namespace klv::cli {

class FreeCommand final : public Command {
    Q_OBJECT
public:
    using Command::Command;
    QString name() const override { return QStringLiteral("free"); }
    QString summary() const override { return QStringLiteral("Show the free products you do not own yet."); }
    void describe(CommandArguments &arguments) const override;
    bool needsStore() const override { return true; }
    void run(const CommandArguments &arguments) override;

private:
    void show(const MarketingCenter &marketing, bool asJson);

    QString m_libraryMessage;
};

} // namespace klv::cli
