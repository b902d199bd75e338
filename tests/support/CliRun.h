#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

namespace klv::test {

struct CliResult {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the built klv with the arguments, the environment and what to feed its standard input.
CliResult runKlv(const QStringList &arguments, const QProcessEnvironment &environment, const QByteArray &input = {});

// Runs klv on a pseudo-terminal of the given width, its input, output and errors all on it; what it wrote is in
// `out` (the terminal merges the two streams). The input is typed after the start.
CliResult runKlvOnTerminal(const QStringList &arguments, const QProcessEnvironment &environment,
                           unsigned short columns = 80, const QByteArray &input = {});

// What a running process wrote on the channel until it wrote the text, or until the time ran out.
QByteArray readUntil(QProcess &process, QProcess::ProcessChannel channel, const QByteArray &text,
                     int timeoutMs = 10'000);

} // namespace klv::test
