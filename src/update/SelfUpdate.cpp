#include "update/SelfUpdate.h"

#include "core/Diagnostics.h"
#include "core/Platform.h"
#include "install/ArchiveExtractor.h"
#include "install/PackageDownload.h"
#include "install/WorkerTask.h"
#include "store/JsonDecoding.h"
#include "store/Services.h"
#include "store/StoreClient.h"
#include "store/StoreEndpoint.h"
#include "update/UpdateArchiveCheck.h"
#include "update/VersionAnswer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

qsizetype digitRunEnd(QStringView text, qsizetype from) {
    while (from < text.size() && isAsciiDigit(text[from]))
        ++from;
    return from;
}

// A run of digits without its leading zeros, so that runs compare as numbers of any length.
QStringView significantDigits(QStringView run) {
    qsizetype start = 0;
    while (start < run.size() && run[start] == u'0')
        ++start;
    return run.sliced(start);
}

std::weak_ordering numericOrder(QStringView a, QStringView b) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (isAsciiDigit(a[i]) && isAsciiDigit(b[j])) {
            const qsizetype aEnd = digitRunEnd(a, i);
            const qsizetype bEnd = digitRunEnd(b, j);
            const QStringView aNumber = significantDigits(a.sliced(i, aEnd - i));
            const QStringView bNumber = significantDigits(b.sliced(j, bEnd - j));
            if (aNumber.size() != bNumber.size())
                return aNumber.size() <=> bNumber.size();
            if (const int order = aNumber.compare(bNumber); order != 0)
                return order <=> 0;
            i = aEnd;
            j = bEnd;
            continue;
        }
        if (a[i] != b[j])
            return a[i].unicode() <=> b[j].unicode();
        ++i;
        ++j;
    }
    return (a.size() - i) <=> (b.size() - j);
}

QString paddedTo(QStringList components, qsizetype count) {
    while (components.size() < count)
        components.append(u"0"_s);
    return components.join(u'.');
}

constexpr auto appArchiveObject = "KLV+App.zip"_L1;
constexpr auto appChecksumObject = "KLV+App.zip.sha256"_L1;
constexpr auto updaterArchiveName = "updateKLVApp.zip"_L1;
constexpr auto updaterFolderName = "updateKLVApp.app"_L1;

} // namespace

std::weak_ordering compareVersions(const QString &installed, const QString &offered) {
    const QStringList installedComponents = installed.split(u'.');
    const QStringList offeredComponents = offered.split(u'.');
    const qsizetype count = qMax(installedComponents.size(), offeredComponents.size());
    return numericOrder(paddedTo(offeredComponents, count), paddedTo(installedComponents, count));
}

bool isSha256Text(const QString &text) {
    const auto isHexDigit = [](QChar c) {
        return isAsciiDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    };
    return text.size() == 64 && std::all_of(text.begin(), text.end(), isHexDigit);
}

SelfUpdate::SelfUpdate(Services &services, QObject *parent)
    : QObject(parent)
    , m_services(services) {}

SelfUpdate::~SelfUpdate() = default;

void SelfUpdate::requestProductVersion(qint64 productId, std::function<void(const QJsonObject &)> completion) {
    auto url = std::make_shared<QString>();
    *url = m_services.store().send(
        StoreEndpoint::product, u"getProductVersion"_s, {QString::number(productId)}, this,
        [this, url, productId, completion = std::move(completion)](const StoreResponse &response) {
            handleVersionAnswer(response, *url, productId, completion);
        });
}

void SelfUpdate::handleVersionAnswer(const StoreResponse &response, const QString &requestUrl, qint64 productId,
                                     const std::function<void(const QJsonObject &)> &completion) {
    const Reporter &reporter = m_services.reporter();
    if (!response.hasBody) {
        reporter.appendLog(u"Error while get Customer Product Info "_s + response.transportError);
        Q_EMIT versionRequestFailed(false, u"The store could not be reached: "_s + response.transportError);
        return;
    }
    if (response.body.isEmpty()) {
        // The sale's wording here would send the reader to the wrong request.
        reporter.showAlert(u"Alert"_s, u"Failed to request the version info"_s, u"OK"_s);
        Q_EMIT versionRequestFailed(false, u"The store sent an empty answer."_s);
        return;
    }
    const std::optional<QJsonObject> answer = decodeJSONObject(response.body, m_services.log());
    if (!answer) {
        reporter.appendLog(u"Failed to convert the data object result from "_s +
                           m_services.store().endpointAddress(StoreEndpoint::product) + u"with url : "_s + requestUrl);
        Q_EMIT versionRequestFailed(false, u"The store's answer could not be read."_s);
        return;
    }
    const VersionAnswer decoded = VersionAnswer::decode(*answer, productId);
    if (!decoded.refusal) {
        completion(*answer);
        return;
    }
    reporter.appendLog(*decoded.refusal);
    Q_EMIT versionRequestFailed(true, *decoded.refusal);
}

bool SelfUpdate::replacesItself() const {
    return m_services.configuration().selfUpdate;
}

QString SelfUpdate::packageManagerNote() {
    return u"KLV App was installed by the system's package manager: updates come from the package manager."_s;
}

void SelfUpdate::checkAppVersion() {
    if (m_updating || !replacesItself())
        return;
    requestProductVersion(storeAppProductID, [this](const QJsonObject &answer) {
        const VersionAnswer offer = VersionAnswer::decode(answer, storeAppProductID);
        m_serverAppVersion = offer.version;
        m_serverSha256 = offer.sha256;
        // A complete archive of the same version is kept rather than fetched again, so a standing offer never
        // loses its archive; and none is touched once the updater may be reading it.
        if (isNewerVersionAvailable() && !m_updating &&
            !(m_downloadedVersion == m_serverAppVersion &&
              QFileInfo::exists(m_services.locations().appUpdateArchiveURL))) {
            downloadAppUpdate();
            return;
        }
        Q_EMIT updateAreaChanged();
    });
}

void SelfUpdate::downloadAppUpdate() {
    // One download at a time; its end refreshes the update area for every caller.
    if (m_appDownload || m_checksumDownload || !replacesItself())
        return;
    const QString archive = m_services.locations().appUpdateArchiveURL;
    m_downloadedVersion.clear();
    m_downloadedSha256.clear();
    m_archiveProblem.clear();
    m_downloadProblem.clear();
    if (QFile file(archive); file.exists() && !file.remove()) {
        qCWarning(klvUpdate).noquote() << "Failed to remove Folder at:" << archive
                                       << "\n with Error:" << file.errorString();
    }
    // Downloaded beside its place and renamed into it when complete: the updater never sees part of an archive.
    const QString partial = archive + u".download"_s;
    const QUrl source(m_services.configuration().downloadBucketUrl + appArchiveObject);
    auto *download = new PackageDownload(m_services.network(), m_services.store(), source, partial, this);
    m_appDownload = download;
    connect(download, &PackageDownload::finished, this,
            [this, download, archive, partial, version = m_serverAppVersion,
             sha256 = m_serverSha256](const PackageDownload::Result &result) {
                download->deleteLater();
                // Over from here, although the object lives until the event loop takes it.
                m_appDownload = nullptr;
                if (!result.succeeded()) {
                    m_downloadProblem = result.error;
                    m_services.reporter().appendLog(u"KLV App Error: the new version could not be downloaded: "_s +
                                                    result.error);
                } else if (std::rename(QFile::encodeName(partial).constData(),
                                       QFile::encodeName(archive).constData()) != 0) {
                    m_downloadProblem =
                        u"it could not be saved ("_s + QString::fromLocal8Bit(std::strerror(errno)) + u")."_s;
                    qCWarning(klvUpdate).noquote().nospace()
                        << "Error during  write Update file:" << std::strerror(errno);
                    QFile::remove(partial);
                } else {
                    archiveDownloaded(version, sha256);
                    return;
                }
                Q_EMIT updateAreaChanged();
            });
    download->start();
    Q_EMIT updateDownloadStarted();
}

void SelfUpdate::archiveDownloaded(const QString &version, const QString &answerSha256) {
    if (!answerSha256.isEmpty()) {
        archiveReady(version, answerSha256);
        return;
    }
    const QString checksumFile = m_services.locations().appUpdateArchiveURL + u".sha256.download"_s;
    const QUrl source(m_services.configuration().downloadBucketUrl + appChecksumObject);
    auto *download = new PackageDownload(m_services.network(), m_services.store(), source, checksumFile, this);
    m_checksumDownload = download;
    connect(download, &PackageDownload::finished, this,
            [this, download, version, checksumFile](const PackageDownload::Result &result) {
                download->deleteLater();
                m_checksumDownload = nullptr;
                QFile file(checksumFile);
                const QString sha256 = result.succeeded() && file.open(QIODevice::ReadOnly)
                                           ? QString::fromLatin1(file.read(1024)).section(u' ', 0, 0).trimmed()
                                           : QString();
                file.remove();
                // A bucket without a checksum file answers 404, or 403 where it does not list what it lacks; any
                // other failure refuses the archive rather than leave it unchecked.
                if (result.succeeded() || result.httpStatus == 404 || result.httpStatus == 403) {
                    archiveReady(version, sha256);
                    return;
                }
                m_downloadProblem = u"its SHA-256 could not be downloaded: "_s + result.error;
                m_services.reporter().appendLog(
                    u"KLV App Error: the SHA-256 of the new version could not be downloaded: "_s + result.error);
                Q_EMIT updateAreaChanged();
            });
    download->start();
}

void SelfUpdate::archiveReady(const QString &version, const QString &sha256) {
    const QString archive = m_services.locations().appUpdateArchiveURL;
    const auto refuse = [this, archive](const QString &reason) {
        m_archiveProblem = reason;
        m_services.reporter().appendLog(u"KLV App Error: the new version was not offered: "_s + reason);
        QFile::remove(archive);
        Q_EMIT updateAreaChanged();
    };
    // A checksum that cannot be one refuses the archive: the store promised a check that cannot be made.
    if (!sha256.isEmpty() && !isSha256Text(sha256)) {
        refuse(u"its SHA-256 “"_s + sha256 + u"” is not 64 hexadecimal digits."_s);
        return;
    }
    // Offered only once the archive itself shows what the updater will check: quitting for an archive the
    // updater then refuses would leave the customer without a window.
    const UpdateArchiveCheck check{QFileInfo(m_services.locations().appBundleURL).fileName(), m_services.appVersion,
                                   sha256};
    runOnWorker(
        this, [check, archive] { return check.run(archive); },
        [this, version, sha256, refuse](const UpdateArchiveCheck::Outcome &outcome) {
            if (outcome.problem) {
                refuse(*outcome.problem);
                return;
            }
            m_downloadedVersion = version;
            m_downloadedSha256 = sha256;
            Q_EMIT updateAreaChanged();
        });
}

void SelfUpdate::fetchUpdaterApp() {
    if (!replacesItself()) {
        Q_EMIT updaterAppFetched(false);
        return;
    }
    const Locations &locations = m_services.locations();
    if (QFileInfo::exists(locations.updaterAppURL)) {
        Q_EMIT updaterAppFetched(true);
        return;
    }
    if (m_updaterDownload || m_unpackingUpdater)
        return;
    const QString archive = locations.downloadFolderURL + updaterArchiveName;
    const QUrl source(m_services.configuration().downloadBucketUrl + updaterArchiveName);
    auto *download = new PackageDownload(m_services.network(), m_services.store(), source, archive, this);
    m_updaterDownload = download;
    connect(download, &PackageDownload::finished, this, [this, download](const PackageDownload::Result &result) {
        download->deleteLater();
        if (!result.succeeded()) {
            m_services.reporter().appendLog(u"Error during  Save update file:"_s + result.error);
            Q_EMIT updaterAppFetched(false);
            return;
        }
        unpackUpdater(result.filePath);
    });
    download->start();
}

void SelfUpdate::unpackUpdater(const QString &archivePath) {
    const QString target = m_services.locations().updaterAppURL;
    const auto fail = [this](const QString &reason) {
        m_services.reporter().appendLog(u"KLV App Error: the updater could not be unpacked: "_s + reason);
        Q_EMIT updaterAppFetched(false);
    };
    // Unpacked aside and renamed into place, so a half-unpacked updater is never taken for a present one.
    auto staging =
        std::make_shared<QTemporaryDir>(m_services.locations().sharedContainerURL + u"updateKLVApp-XXXXXX"_s);
    if (!staging->isValid()) {
        fail(staging->errorString());
        return;
    }
    m_unpackingUpdater = true;
    runOnWorker(
        this,
        [archivePath, destination = staging->path()] { return ArchiveExtractor().extract(archivePath, destination); },
        [this, staging, target, fail](const ArchiveExtractor::Result &result) {
            m_unpackingUpdater = false;
            const QString unpacked = staging->filePath(updaterFolderName);
            if (!result.succeeded()) {
                fail(*result.error);
            } else if (!QFileInfo(unpacked).isDir()) {
                fail(u"the archive holds no "_s + updaterFolderName);
            } else if (!QFileInfo::exists(target) && !QDir().rename(unpacked, target)) {
                fail(u"it could not be moved to "_s + target);
            } else {
                Q_EMIT updaterAppFetched(true);
            }
        });
}

bool SelfUpdate::startAppUpdate() {
    if (m_updating)
        return true;
    if (!replacesItself())
        return false;
    if (!isUpdateReady()) {
        m_services.reporter().appendLog(u"KLV App Error: the update was not started: no complete archive of a newer "
                                        u"version is there yet."_s);
        return false;
    }
    const Locations &locations = m_services.locations();
    // An app started from its own AppDir is updated where it stands; any other start updates the installed one.
    const QString startedFrom = QCoreApplication::applicationDirPath();
    const bool fromAppDir =
        QFileInfo(startedFrom + u"/AppRun"_s).isExecutable() && QFileInfo::exists(startedFrom + u"/version"_s);
    QStringList handOver{u"--app"_s,
                         fromAppDir ? startedFrom : locations.appBundleURL,
                         u"--report"_s,
                         locations.updateRefusalFileURL,
                         u"--archive"_s,
                         locations.appUpdateArchiveURL,
                         u"--pid"_s,
                         QString::number(QCoreApplication::applicationPid()),
                         u"--log"_s,
                         locations.logFileURL,
                         u"--installed-version"_s,
                         m_services.appVersion};
    if (!m_downloadedSha256.isEmpty())
        handOver << u"--sha256"_s << m_downloadedSha256;
    if (!m_relaunchProgram.isEmpty())
        handOver << u"--relaunch"_s << m_relaunchProgram;
    // An AppDir is opened by running its AppRun.
    const QString program =
        platform::opensBundlesWithLaunchServices ? u"/usr/bin/open"_s : locations.updaterAppURL + u"/AppRun"_s;
    const QStringList arguments = platform::opensBundlesWithLaunchServices
                                      ? QStringList{locations.updaterAppURL, u"--args"_s} + handOver
                                      : handOver;
    if (!QProcess::startDetached(program, arguments, QDir::homePath())) {
        m_services.reporter().appendLog(u"KLV App Error: the updater could not be started: "_s + program);
        return false;
    }
    m_updating = true;
    Q_EMIT updateAreaChanged();
    Q_EMIT updaterStarted();
    return true;
}

void SelfUpdate::setRelaunchProgram(const QString &program) {
    m_relaunchProgram = program;
}

std::optional<QString> SelfUpdate::takeUpdateRefusal() {
    QFile report(m_services.locations().updateRefusalFileURL);
    if (!report.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QString reason = QString::fromUtf8(report.read(64 * 1024)).trimmed();
    report.remove();
    return reason.isEmpty() ? std::nullopt : std::optional<QString>(reason);
}

bool SelfUpdate::isNewerVersionAvailable() const {
    return std::is_gt(compareVersions(m_services.appVersion, m_serverAppVersion));
}

bool SelfUpdate::isUpdateReady() const {
    return isNewerVersionAvailable() && !m_downloadedVersion.isEmpty() && m_downloadedVersion == m_serverAppVersion;
}

bool SelfUpdate::isFetchingUpdate() const {
    return m_appDownload || m_checksumDownload;
}

QString SelfUpdate::unofferedNote() const {
    if (!isNewerVersionAvailable() || isUpdateReady() || m_updating)
        return {};
    const QString version = u"Version "_s + m_serverAppVersion;
    if (isFetchingUpdate())
        return version + u" is being downloaded."_s;
    if (!m_archiveProblem.isEmpty())
        return version + u" was not offered: "_s + m_archiveProblem;
    if (!m_downloadProblem.isEmpty())
        return version + u" could not be downloaded: "_s + m_downloadProblem;
    return version + u" could not be downloaded."_s;
}

QString SelfUpdate::updateButtonTitle() const {
    if (m_updating)
        return u"Updating"_s;
    if (isUpdateReady())
        return u"Update Avaliable"_s;
    if (isNewerVersionAvailable())
        return isFetchingUpdate() ? u"Downloading"_s : u"Try Again"_s;
    return u"Up to Date"_s;
}

bool SelfUpdate::updateButtonEnabled() const {
    return !m_updating && (isUpdateReady() || updateButtonRetries());
}

bool SelfUpdate::updateButtonRetries() const {
    return !m_updating && replacesItself() && isNewerVersionAvailable() && !isUpdateReady() && !isFetchingUpdate();
}

QString SelfUpdate::updateOfferMessage() const {
    return u"New version of KLV App is avaliable "_s + m_serverAppVersion + u", compare to current "_s +
           m_services.appVersion;
}

SelfUpdate::OfferOutcome SelfUpdate::offerUpdate() {
    if (!isUpdateReady() || m_updating)
        return OfferOutcome::notReady;
    if (m_services.reporter().showAlert(u"Alert"_s, updateOfferMessage(), u"Update Now"_s, u"Update later"_s) != 0)
        return OfferOutcome::declined;
    return startAppUpdate() ? OfferOutcome::started : OfferOutcome::startFailed;
}

} // namespace klv
