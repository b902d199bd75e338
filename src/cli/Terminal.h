#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace klv::cli {

// The client's streams: results on one, messages and questions on the other, answers read from a third.
class Terminal {
public:
    Terminal(std::FILE *input, std::FILE *output, std::FILE *errors);
    virtual ~Terminal() = default;

    void printResult(const QString &line) const;
    void printMessage(const QString &line) const;
    // Writes to the message stream without a line break (progress redrawn in place).
    void printPartial(const QString &text) const;
    bool errorsAreInteractive() const;
    // True when answers can be asked for: the input is a terminal.
    virtual bool isInteractive() const;
    // One line without its line break; nothing at the end of the input.
    virtual std::optional<QString> readLine() const;
    // Asks with the prompt and reads one line without echoing it.
    std::optional<QString> readSecret(const QString &prompt) const;

private:
    std::FILE *m_input;
    std::FILE *m_output;
    std::FILE *m_errors;
};

} // namespace klv::cli
