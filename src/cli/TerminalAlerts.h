#pragma once

#include "store/Alerts.h"

namespace klv::cli {

class Terminal;

// Alerts as lines on the error stream. A choice is asked on the terminal; without one the first button is taken.
class TerminalAlerts final : public Alerts {
public:
    explicit TerminalAlerts(const Terminal &terminal);
    int present(const QString &title, const QString &message, const QStringList &buttons) override;

private:
    const Terminal &m_terminal;
};

} // namespace klv::cli
