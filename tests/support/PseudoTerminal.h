#pragma once

#include <QByteArray>
#include <QString>

namespace klv::test {

// A pseudo-terminal whose far end a child process takes as its standard input (QProcess::setStandardInputFile
// with path()), so that it believes a person types: what is written here is what it reads.
class PseudoTerminal final {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    Q_DISABLE_COPY_MOVE(PseudoTerminal)

    bool isOpen() const { return m_controller >= 0; }
    QString path() const { return m_path; }
    void type(const QByteArray &keys) const;
    // Whether the terminal echoes what is typed, as the child last left it.
    bool echoes() const;

private:
    int m_controller = -1;
    int m_device = -1;
    QString m_path;
};

} // namespace klv::test
