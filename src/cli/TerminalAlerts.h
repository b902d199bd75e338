#pragma once

#include "store/Alerts.h"

namespace klv::cli {

class Terminal;

// Alerts as lines on the error stream. The core's buttons keep their texts and order; where one of two buttons is
// the safe one ("Cancel", "OK") the choice is a yes/no question whose default, and whose answer without a
// terminal, is the safe button. Other choices are asked by number.
class TerminalAlerts final : public Alerts {
public:
    explicit TerminalAlerts(const Terminal &terminal);
    int present(const QString &title, const QString &message, const QStringList &buttons) override;

    // While set (--yes), yes/no questions are answered yes without asking.
    void setAnswersYes(bool answersYes) { m_answersYes = answersYes; }

private:
    int askYesNo(int safe, int other, const QStringList &buttons) const;
    int askByNumber(const QStringList &buttons, int safe) const;

    const Terminal &m_terminal;
    bool m_answersYes = false;
};

} // namespace klv::cli
