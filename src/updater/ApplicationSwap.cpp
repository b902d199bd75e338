#include "ApplicationSwap.h"

#include "install/ArchiveExtractor.h"
#include "store/LogFile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <thread>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

constexpr std::chrono::milliseconds pollInterval{100};

bool isRunning(qint64 pid) {
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
        return false;
    // A process that has quit but has not been collected by its parent yet no longer holds its files.
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray fields = stat.readAll();
        const qsizetype nameEnd = fields.lastIndexOf(')');
        if (nameEnd >= 0 && fields.size() > nameEnd + 2 && fields.at(nameEnd + 2) == 'Z')
            return false;
    }
    return true;
}

bool moveFolder(const QString &from, const QString &to) {
    return QDir().rename(from, to);
}

} // namespace

ApplicationSwap::ApplicationSwap(Request request, LogFile &log, std::chrono::milliseconds quitTimeout)
    : m_request(std::move(request))
    , m_log(log)
    , m_quitTimeout(quitTimeout) {
    m_request.applicationPath = QDir::cleanPath(m_request.applicationPath);
}

bool ApplicationSwap::run() {
    const QString application = m_request.applicationPath;
    const QString backup = application + u".previous"_s;
    // An update stopped between its two renames left the installed version only under the backup name; one
    // stopped before removing the backup left a stale one. From here on a backup is always this run's.
    if (!QFileInfo::exists(application) && QFileInfo(backup).isDir())
        moveFolder(backup, application);
    else if (QFileInfo::exists(backup))
        QDir(backup).removeRecursively();
    const bool hadOld = QFileInfo::exists(application);

    if (!waitForApplicationToQuit()) {
        m_log.appendLog(u"KLV App Updater: the update was not installed: KLV App (process %1) did not quit within "
                        u"%2 seconds."_s.arg(m_request.runningPid)
                            .arg(std::chrono::duration_cast<std::chrono::seconds>(m_quitTimeout).count()));
        return false;
    }

    const QFileInfo installed(application);
    // Beside the installed folder, so that the swap is a rename within one file system.
    QTemporaryDir staging(installed.absolutePath() + u"/."_s + installed.fileName() + u".update-XXXXXX"_s);
    std::optional<QString> error;
    if (!staging.isValid())
        error = u"no folder to unpack into: "_s + staging.errorString();
    if (!error)
        error = unpackNewVersion(staging.path());
    if (!error)
        error = swapIn(staging.filePath(installed.fileName()), backup, hadOld);
    if (!error && !openApplication(application))
        error = u"the new version could not be started"_s;
    if (error) {
        restoreAfterFailure(*error, backup, hadOld, staging.path());
        return false;
    }

    QDir(backup).removeRecursively();
    QFile::remove(m_request.archivePath);
    m_log.appendLog(u"KLV App Updater: KLV App was updated from "_s + m_request.archivePath + u" and started again."_s);
    return true;
}

bool ApplicationSwap::waitForApplicationToQuit() const {
    const QDeadlineTimer deadline(m_quitTimeout);
    while (isRunning(m_request.runningPid)) {
        if (deadline.hasExpired())
            return false;
        std::this_thread::sleep_for(pollInterval);
    }
    return true;
}

std::optional<QString> ApplicationSwap::unpackNewVersion(const QString &stagingFolder) const {
    // Unpacking reads every entry and its checksum: a truncated or damaged archive fails here.
    const ArchiveExtractor::Result result = ArchiveExtractor().extract(m_request.archivePath, stagingFolder);
    if (!result.succeeded())
        return result.error;
    const QString name = QFileInfo(m_request.applicationPath).fileName();
    const QString folder = stagingFolder + u'/' + name;
    if (!QFileInfo(folder).isDir())
        return u"the archive holds no “%1” folder"_s.arg(name);
    const QFileInfo appRun(folder + u"/AppRun"_s);
    if (!appRun.isFile() || !appRun.isExecutable())
        return u"the archive's “%1” has no executable AppRun"_s.arg(name);
    return std::nullopt;
}

std::optional<QString> ApplicationSwap::swapIn(const QString &newFolder, const QString &backup, bool hadOld) const {
    const QString application = m_request.applicationPath;
    if (hadOld && !moveFolder(application, backup))
        return u"the installed version could not be moved aside to "_s + backup;
    if (!moveFolder(newFolder, application))
        return u"the new version could not be moved to "_s + application;
    return std::nullopt;
}

void ApplicationSwap::restoreAfterFailure(const QString &reason, const QString &backup, bool hadOld,
                                          const QString &stagingFolder) const {
    const QString application = m_request.applicationPath;
    QString outcome;
    if (hadOld) {
        // A backup means the swap had begun: the rejected version goes into the staging folder, which is removed
        // on the way out, and the previous one comes back.
        if (QFileInfo::exists(backup)) {
            if (QFileInfo::exists(application))
                moveFolder(application, stagingFolder + u"/rejected"_s);
            if (!moveFolder(backup, application))
                outcome = u" and the previous version could not be put back from "_s + backup;
        }
        if (outcome.isEmpty()) {
            outcome = openApplication(application) ? u" and the previous version was started again"_s
                                                   : u" and the previous version could not be started again"_s;
        }
    }
    m_log.appendLog(u"KLV App Updater: the update was not installed"_s + outcome + u": "_s + reason);
}

bool ApplicationSwap::openApplication(const QString &path) {
    return QProcess::startDetached(path + u"/AppRun"_s, {}, QDir::homePath());
}

} // namespace klv
