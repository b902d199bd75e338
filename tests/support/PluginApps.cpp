#include "PluginApps.h"

#include "TestFiles.h"

#include <QDir>
#include <QFile>

#include <csignal>

namespace klv::test {

using namespace Qt::StringLiterals;

namespace {

bool runs(qint64 pid) {
    const QByteArray stat = readFile(u"/proc/%1/stat"_s.arg(pid));
    const qsizetype nameEnd = stat.lastIndexOf(')');
    return nameEnd > 0 && stat.size() > nameEnd + 2 && stat.at(nameEnd + 2) != 'Z';
}

} // namespace

PluginApps::PluginApps(QString startsFile)
    : m_startsFile(std::move(startsFile)) {}

PluginApps::~PluginApps() {
    for (const qint64 pid : started())
        ::kill(pid_t(pid), SIGKILL);
}

bool PluginApps::add(const QString &pluginsFolder, const QString &name) const {
    const QString folder = pluginsFolder + name;
    QFile appRun(folder + u"/AppRun"_s);
    if (!QDir().mkpath(folder) || !appRun.open(QIODevice::WriteOnly))
        return false;
    appRun.write("#!/bin/sh\necho $$ >> '" + QFile::encodeName(m_startsFile) + "'\nexec sleep 60\n");
    appRun.close();
    return appRun.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QList<qint64> PluginApps::started() const {
    QList<qint64> pids;
    const QList<QByteArray> lines = readFile(m_startsFile).split('\n');
    for (const QByteArray &line : lines) {
        if (!line.isEmpty())
            pids.append(line.toLongLong());
    }
    return pids;
}

int PluginApps::stillRunning() const {
    int running = 0;
    for (const qint64 pid : started())
        running += runs(pid) ? 1 : 0;
    return running;
}

} // namespace klv::test
