#include "CliRun.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace klv::test {

using namespace Qt::StringLiterals;

CliResult runKlv(const QStringList &arguments, const QProcessEnvironment &environment, const QByteArray &input) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QString::fromUtf8(KLV_CLI_BINARY), arguments);
    process.waitForStarted();
    process.write(input);
    process.closeWriteChannel();
    CliResult result;
    if (!process.waitForFinished(120'000)) {
        process.kill();
        process.waitForFinished();
        result.err = u"klv did not finish in time"_s;
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

CliResult runKlvOnTerminal(const QStringList &arguments, const QProcessEnvironment &environment, unsigned short columns,
                           const QByteArray &input) {
    // Everything exec needs is made before the fork: the child may only call async-signal-safe functions.
    std::vector<QByteArray> argumentBytes{QByteArray(KLV_CLI_BINARY)};
    for (const QString &argument : arguments)
        argumentBytes.push_back(argument.toUtf8());
    std::vector<char *> argv;
    for (QByteArray &argument : argumentBytes)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<QByteArray> environmentBytes;
    for (const QString &entry : environment.toStringList())
        environmentBytes.push_back(entry.toUtf8());
    std::vector<char *> envp;
    for (QByteArray &entry : environmentBytes)
        envp.push_back(entry.data());
    envp.push_back(nullptr);

    CliResult result;
    winsize size{};
    size.ws_row = 24;
    size.ws_col = columns;
    int master = -1;
    const pid_t child = ::forkpty(&master, nullptr, nullptr, &size);
    if (child < 0) {
        result.err = u"no pseudo-terminal"_s;
        return result;
    }
    if (child == 0) {
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    if (!input.isEmpty())
        (void)::write(master, input.constData(), size_t(input.size()));
    QByteArray output;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        pollfd readable{master, POLLIN, 0};
        const int ready = ::poll(&readable, 1, 1000);
        if (ready > 0) {
            char buffer[4096];
            const ssize_t count = ::read(master, buffer, sizeof buffer);
            // EIO: the child and every process that had the terminal open are gone.
            if (count <= 0)
                break;
            output.append(buffer, count);
        } else if (ready < 0 && errno != EINTR) {
            break;
        }
        if (clock.elapsed() > 120'000) {
            ::kill(child, SIGKILL);
            result.err = u"klv did not finish in time"_s;
            break;
        }
    }
    ::close(master);
    int status = 0;
    ::waitpid(child, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = QString::fromUtf8(output);
    return result;
}

QByteArray readUntil(QProcess &process, QProcess::ProcessChannel channel, const QByteArray &text, int timeoutMs) {
    process.setReadChannel(channel);
    QByteArray seen;
    const QDeadlineTimer deadline(timeoutMs);
    while (!seen.contains(text) && !deadline.hasExpired()) {
        process.waitForReadyRead(int(qMin<qint64>(100, deadline.remainingTime())));
        seen += process.readAll();
    }
    return seen;
}

} // namespace klv::test
