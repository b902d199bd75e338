#include "TerminalAlerts.h"

#include "Terminal.h"

namespace klv::cli {

TerminalAlerts::TerminalAlerts(const Terminal &terminal)
    : m_terminal(terminal) {}

int TerminalAlerts::present(const QString &title, const QString &message, const QStringList &buttons) {
    m_terminal.printMessage(title + u": " + message);
    if (buttons.size() < 2 || !m_terminal.isInteractive())
        return 0;

    QStringList choices;
    for (qsizetype i = 0; i < buttons.size(); ++i)
        choices << QStringLiteral("[%1] %2").arg(i + 1).arg(buttons.at(i));
    for (;;) {
        m_terminal.printMessage(choices.join(u"  ") + u" — choose 1-" + QString::number(buttons.size()) + u" (1): ");
        const std::optional<QString> answer = m_terminal.readLine();
        if (!answer || answer->trimmed().isEmpty())
            return 0;
        bool isNumber = false;
        const int chosen = answer->trimmed().toInt(&isNumber);
        if (isNumber && chosen >= 1 && chosen <= buttons.size())
            return chosen - 1;
    }
}

} // namespace klv::cli
