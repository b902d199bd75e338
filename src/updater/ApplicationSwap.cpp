#include "updater/ApplicationSwap.h"

#include "updater/ApplicationStart.h"

#include "core/AtomicRename.h"
#include "install/ArchiveExtractor.h"
#include "store/LogFile.h"
#include "update/SelfUpdate.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <thread>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

constexpr std::chrono::milliseconds pollInterval{100};
const QString stagingInfix = u".update-"_s;

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

std::optional<QByteArray> sha256Of(const QString &path) {
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return std::nullopt;
    return hash.result().toHex();
}

// The first line of the folder's "version" file; empty when there is none.
QString versionOf(const QString &applicationFolder) {
    QFile file(applicationFolder + u"/version"_s);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(256)).section(u'\n', 0, 0).trimmed();
}

} // namespace

ApplicationSwap::ApplicationSwap(Request request, LogFile &log, Timing timing)
    : m_request(std::move(request))
    , m_log(log)
    , m_timing(timing) {
    m_request.applicationPath = QDir::cleanPath(m_request.applicationPath);
}

bool ApplicationSwap::run() {
    if (!waitForApplicationToQuit()) {
        const QString reason = u"KLV App (process %1) did not quit within %2 seconds."_s.arg(m_request.runningPid)
                                   .arg(std::chrono::duration_cast<std::chrono::seconds>(m_timing.quitTimeout).count());
        m_log.appendLog(u"KLV App Updater: the update was not installed: "_s + reason);
        reportRefusal(reason);
        return false;
    }
    removeLeftStagingFolders();

    const QFileInfo installed(m_request.applicationPath);
    // Beside the installed folder, so that the swap is a rename within one file system.
    QTemporaryDir staging(installed.absolutePath() + u"/."_s + installed.fileName() + stagingInfix + u"XXXXXX"_s);
    Error error = checkArchive();
    if (!error && !staging.isValid())
        error = u"no folder to unpack into: "_s + staging.errorString();
    if (!error)
        error = unpackNewVersion(staging.path());
    if (error) {
        giveUp(*error, false, staging.path());
        return false;
    }

    const QString application = m_request.applicationPath;
    const QString newFolder = staging.filePath(installed.fileName());
    const bool hadOld = installed.exists();
    error = hadOld ? exchangeItems(newFolder, application, staging.filePath(u"previous"_s))
                   : renameToFreePath(newFolder, application);
    if (error) {
        giveUp(u"the new version could not be put in place: "_s + *error, false, staging.path());
        return false;
    }
    // From here the staging folder holds the previous version, until the new one has proved itself.
    if (const auto failedStart = startApplication(application, m_timing.startWatch)) {
        giveUp(u"the new version did not start: "_s + *failedStart, true, staging.path());
        return false;
    }
    staging.remove();
    QFile::remove(m_request.archivePath);
    m_log.appendLog(u"KLV App Updater: KLV App was updated from "_s + m_request.archivePath + u" and started again."_s);
    return true;
}

bool ApplicationSwap::waitForApplicationToQuit() const {
    const QDeadlineTimer deadline(m_timing.quitTimeout);
    while (isRunning(m_request.runningPid)) {
        if (deadline.hasExpired())
            return false;
        std::this_thread::sleep_for(pollInterval);
    }
    return true;
}

void ApplicationSwap::removeLeftStagingFolders() const {
    // An updater stopped on its way left its staging folder: a partial unpack, or the previous version after a
    // swap that was never confirmed. Where a file system cannot exchange two folders in one step, a stop between the
    // renames leaves no application at its path, the previous version set aside in the staging folder: it goes back
    // before anything is removed.
    const QFileInfo installed(m_request.applicationPath);
    QDir folder(installed.absolutePath());
    const QStringList left = folder.entryList({u"."_s + installed.fileName() + stagingInfix + u"*"_s},
                                              QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString &name : left) {
        const QString setAside = folder.filePath(name) + u"/previous"_s;
        if (!QFileInfo::exists(m_request.applicationPath) && QFileInfo(setAside).isDir()) {
            if (const Error error = renameToFreePath(setAside, m_request.applicationPath))
                m_log.appendLog(u"KLV App Updater: the set-aside version could not be put back: "_s + *error);
            else
                m_log.appendLog(u"KLV App Updater: put back the version a stopped update had set aside"_s);
        }
        QDir(folder.filePath(name)).removeRecursively();
    }
}

Error ApplicationSwap::checkArchive() const {
    if (m_request.expectedSha256.isEmpty())
        return std::nullopt;
    const std::optional<QByteArray> actual = sha256Of(m_request.archivePath);
    if (!actual)
        return u"the archive "_s + m_request.archivePath + u" cannot be read"_s;
    if (QString::fromLatin1(*actual).compare(m_request.expectedSha256, Qt::CaseInsensitive) != 0) {
        return u"the archive's SHA-256 is %1, not %2 as the store says"_s.arg(QString::fromLatin1(*actual),
                                                                              m_request.expectedSha256);
    }
    return std::nullopt;
}

Error ApplicationSwap::unpackNewVersion(const QString &stagingFolder) const {
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
    const QString version = versionOf(folder);
    if (version.isEmpty())
        return u"the archive's “%1” names no version"_s.arg(name);
    if (!std::is_gt(compareVersions(m_request.installedVersion, version))) {
        return u"the archive holds version %1, which is not newer than the installed %2"_s.arg(
            version, m_request.installedVersion);
    }
    return std::nullopt;
}

void ApplicationSwap::giveUp(const QString &reason, bool swapped, const QString &stagingFolder) const {
    const QString application = m_request.applicationPath;
    const QString previous = stagingFolder + u'/' + QFileInfo(application).fileName();
    QString outcome;
    if (swapped) {
        const bool hadOld = QFileInfo::exists(previous);
        const Error error = hadOld ? exchangeItems(previous, application, stagingFolder + u"/rejected"_s)
                                   : renameToFreePath(application, stagingFolder + u"/rejected"_s);
        if (error)
            outcome = u" and the previous version could not be put back: "_s + *error;
        else if (!hadOld)
            outcome = u" and the rejected version was removed"_s;
    }
    // The customer is never left without the app: the program that asked for the update comes back, wherever it
    // was started from, or else the installed one.
    if (outcome.isEmpty()) {
        std::optional<std::optional<QString>> failedStart;
        if (!m_request.relaunchProgram.isEmpty() && QFileInfo(m_request.relaunchProgram).isExecutable())
            failedStart = startProgram(m_request.relaunchProgram);
        else if (QFileInfo::exists(application))
            failedStart = startApplication(application);
        if (failedStart)
            outcome = *failedStart ? u" and the previous version could not be started again"_s
                                   : u" and the previous version was started again"_s;
    }
    m_log.appendLog(u"KLV App Updater: the update was not installed"_s + outcome + u": "_s + reason);
    reportRefusal(reason);
}

void ApplicationSwap::reportRefusal(const QString &reason) const {
    if (m_request.refusalReport.isEmpty())
        return;
    QSaveFile report(m_request.refusalReport);
    if (!report.open(QIODevice::WriteOnly) || report.write((reason + u'\n').toUtf8()) < 0 || !report.commit())
        m_log.appendLog(u"KLV App Updater: why the update was refused could not be written to "_s +
                        m_request.refusalReport);
}

} // namespace klv
