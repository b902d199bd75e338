#include "cli/TerminalAlerts.h"

#include "cli/Terminal.h"

namespace klv::cli {

using namespace Qt::StringLiterals;

namespace {

// Buttons that leave everything as it is, by their text: an alert's button order says nothing about safety.
bool isSafeButton(const QString &button) {
    return button == u"Cancel"_s || button == u"OK"_s;
}

} // namespace

TerminalAlerts::TerminalAlerts(const Terminal &terminal)
    : m_terminal(terminal) {}

int TerminalAlerts::present(const QString &title, const QString &message, const QStringList &buttons) {
    m_terminal.printMessage(title + u": " + message);
    if (buttons.size() < 2)
        return 0;
    qsizetype safe = -1;
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        if (isSafeButton(buttons.at(i))) {
            safe = i;
            break;
        }
    }
    if (buttons.size() == 2 && safe >= 0)
        return askYesNo(int(safe), int(1 - safe), buttons);
    return askByNumber(buttons, int(qMax<qsizetype>(safe, 0)));
}

int TerminalAlerts::askYesNo(int safe, int other, const QStringList &buttons) const {
    if (m_answersYes)
        return other;
    if (!m_terminal.isInteractive())
        return safe;
    for (;;) {
        m_terminal.printMessage(buttons.at(other) + u"? [y/N] "_s);
        const std::optional<QString> answer = m_terminal.readLine();
        const QString word = answer.value_or(QString()).trimmed().toLower();
        if (word == u"y"_s || word == u"yes"_s)
            return other;
        if (!answer || word.isEmpty() || word == u"n"_s || word == u"no"_s)
            return safe;
        m_terminal.printMessage(u"Answer y or n."_s);
    }
}

int TerminalAlerts::askByNumber(const QStringList &buttons, int safe) const {
    if (!m_terminal.isInteractive())
        return safe;
    QStringList choices;
    for (qsizetype i = 0; i < buttons.size(); ++i)
        choices << QStringLiteral("[%1] %2").arg(i + 1).arg(buttons.at(i));
    for (;;) {
        m_terminal.printMessage(choices.join(u"  ") + u" — choose 1-" + QString::number(buttons.size()) + u" (" +
                                QString::number(safe + 1) + u"): ");
        const std::optional<QString> answer = m_terminal.readLine();
        if (!answer || answer->trimmed().isEmpty())
            return safe;
        bool isNumber = false;
        const int chosen = answer->trimmed().toInt(&isNumber);
        if (isNumber && chosen >= 1 && chosen <= buttons.size())
            return chosen - 1;
    }
}

} // namespace klv::cli
