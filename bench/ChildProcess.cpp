#include "ChildProcess.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace klv::bench {

namespace {

double seconds(const timeval &time) {
    return double(time.tv_sec) + double(time.tv_usec) * 1e-6;
}

std::vector<std::string> nativeStrings(const QStringList &texts) {
    std::vector<std::string> strings;
    strings.reserve(size_t(texts.size()));
    for (const QString &text : texts)
        strings.push_back(QFile::encodeName(text).toStdString());
    return strings;
}

std::vector<char *> nullTerminated(std::vector<std::string> &strings) {
    std::vector<char *> pointers;
    pointers.reserve(strings.size() + 1);
    for (std::string &text : strings)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

ChildRun runChild(const QStringList &command, const QStringList &environment, const QString &outputFile,
                  const QString &inputFile) {
    std::vector<std::string> arguments = nativeStrings(command);
    std::vector<std::string> variables = nativeStrings(environment);
    const std::vector<char *> argv = nullTerminated(arguments);
    const std::vector<char *> envp = nullTerminated(variables);
    const QByteArray input = QFile::encodeName(inputFile);
    const QByteArray output = QFile::encodeName(outputFile);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, input.constData(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);

    ChildRun run;
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int spawned = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return run;
    int status = 0;
    rusage usage{};
    pid_t waited = 0;
    do {
        waited = ::wait4(child, &status, 0, &usage);
    } while (waited < 0 && errno == EINTR);
    run.seconds = secondsSince(start);
    if (waited == child && WIFEXITED(status)) {
        run.exitCode = WEXITSTATUS(status);
        run.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
        run.peakMegabytes = double(usage.ru_maxrss) / 1024.0; // reported in KiB
    }
    return run;
}

} // namespace klv::bench
