#include "updater/ApplicationStart.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <thread>

#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

namespace klv {

using namespace Qt::StringLiterals;

namespace {

constexpr std::chrono::milliseconds pollInterval{50};

} // namespace

Error startApplication(const QString &applicationPath, std::chrono::milliseconds watch) {
    return startProgram(applicationPath + u"/AppRun"_s, watch);
}

Error startProgram(const QString &programPath, std::chrono::milliseconds watch) {
    const QByteArray program = QFile::encodeName(programPath);
    const QByteArray home = QFile::encodeName(QDir::homePath());
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, home.constData());
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    char *arguments[] = {const_cast<char *>(program.constData()), nullptr};
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, program.constData(), &actions, &attributes, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0)
        return u"it could not be started: "_s + QString::fromLocal8Bit(std::strerror(spawned));

    const QDeadlineTimer deadline(watch);
    while (true) {
        int status = 0;
        const pid_t ended = ::waitpid(pid, &status, WNOHANG);
        if (ended == pid) {
            if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
                return std::nullopt;
            return WIFEXITED(status) ? u"it ended at its start with status %1"_s.arg(WEXITSTATUS(status))
                                     : u"it ended at its start by signal %1"_s.arg(WTERMSIG(status));
        }
        // Still up once the watch is over: it stays running after the updater has ended.
        if (ended < 0 || deadline.hasExpired())
            return std::nullopt;
        std::this_thread::sleep_for(pollInterval);
    }
}

} // namespace klv
