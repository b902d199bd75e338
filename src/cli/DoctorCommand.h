#pragma once

#include "Command.h"

namespace klv::cli {

class DoctorCommand final : public Command {
    Q_OBJECT
public:
    using Command::Command;
    QString name() const override { return QStringLiteral("doctor"); }
    QString summary() const override {
        return QStringLiteral("Show every folder and file the app uses, the store address and the OS version.");
    }
    void run(const QCommandLineParser &parser) override;
};

} // namespace klv::cli
