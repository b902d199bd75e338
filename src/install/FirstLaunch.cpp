#include "install/FirstLaunch.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <chrono>
#include <csignal>

#include <unistd.h>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

// Every application is given this long to begin; none is waited for longer than the longest.
constexpr std::chrono::milliseconds leastStart{500};
constexpr std::chrono::milliseconds longestStart{5'000};
constexpr std::chrono::milliseconds pollInterval{100};

// The fields of /proc/PID/stat after the command name, which may itself hold blanks and parentheses.
QList<QByteArray> statFields(const QString &statPath) {
    QFile stat(statPath);
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = stat.readAll();
    const qsizetype nameEnd = text.lastIndexOf(')');
    return nameEnd < 0 ? QList<QByteArray>{} : text.sliced(nameEnd + 1).simplified().split(' ');
}

constexpr qsizetype stateField = 0;
constexpr qsizetype groupField = 2;
constexpr qsizetype userTimeField = 11;
constexpr qsizetype systemTimeField = 12;
// The time of its ended children: a start-up that runs many short commands is busy too.
constexpr qsizetype childrenUserTimeField = 13;
constexpr qsizetype childrenSystemTimeField = 14;

struct GroupActivity {
    bool alive = false;
    bool busy = false;
    qint64 cpuTicks = 0;
};

GroupActivity activityOf(qint64 group) {
    GroupActivity activity;
    const QStringList processes = QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &process : processes) {
        if (!process.front().isDigit())
            continue;
        const QList<QByteArray> fields = statFields(u"/proc/"_s + process + u"/stat"_s);
        if (fields.size() <= childrenSystemTimeField || fields.at(groupField).toLongLong() != group)
            continue;
        const char state = fields.at(stateField).front();
        if (state == 'Z' || state == 'X')
            continue;
        activity.alive = true;
        // Running, or waiting for the disk: still starting up.
        activity.busy = activity.busy || state == 'R' || state == 'D';
        activity.cpuTicks += fields.at(userTimeField).toLongLong() + fields.at(systemTimeField).toLongLong() +
                             fields.at(childrenUserTimeField).toLongLong() +
                             fields.at(childrenSystemTimeField).toLongLong();
    }
    return activity;
}

} // namespace

FirstLaunch::FirstLaunch(QString program, QString workingDirectory, bool endWhenUp, QObject *parent)
    : QObject(parent)
    , m_program(std::move(program))
    , m_workingDirectory(std::move(workingDirectory))
    , m_endWhenUp(endWhenUp) {
    m_poll.setInterval(pollInterval);
    connect(&m_poll, &QTimer::timeout, this, &FirstLaunch::watch);
}

FirstLaunch::~FirstLaunch() {
    if (m_poll.isActive())
        end();
}

void FirstLaunch::start() {
    // Detached, in a session of its own, so that an application that keeps running outlives this program.
    QProcess launcher;
    launcher.setProgram(m_program);
    launcher.setWorkingDirectory(m_workingDirectory);
    qint64 pid = 0;
    if (!launcher.startDetached(&pid)) {
        Q_EMIT finished(launcher.errorString());
        return;
    }
    const QList<QByteArray> fields = statFields(u"/proc/%1/stat"_s.arg(pid));
    m_group = fields.size() > groupField ? fields.at(groupField).toLongLong() : 0;
    // Never our own group: ending it would end this program too.
    if (m_group == ::getpgrp())
        m_group = 0;
    if (!m_endWhenUp || m_group <= 1) {
        // Gone already (it ran and ended), or to keep running.
        Q_EMIT finished(std::nullopt);
        return;
    }
    m_running.start();
    m_poll.start();
}

void FirstLaunch::watch() {
    const GroupActivity activity = activityOf(m_group);
    const bool idle = !activity.busy && m_lastCpuTicks == activity.cpuTicks;
    m_lastCpuTicks = activity.cpuTicks;
    const auto elapsed = std::chrono::milliseconds(m_running.elapsed());
    if (activity.alive && elapsed < longestStart && !(idle && elapsed >= leastStart))
        return;
    m_poll.stop();
    if (activity.alive)
        end();
    Q_EMIT finished(std::nullopt);
}

void FirstLaunch::end() {
    m_poll.stop();
    ::kill(static_cast<pid_t>(-m_group), SIGTERM);
}

} // namespace klv
