#pragma once

#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QString>

#include <compare>
#include <functional>
#include <optional>

namespace klv {

class Services;
class PackageDownload;
struct StoreResponse;

// How the offered version stands to the installed one: greater means newer. Both are split at ".", the shorter
// padded with "0" components, and compared with runs of digits taken as numbers ("1.2.10" after "1.2.9").
std::weak_ordering compareVersions(const QString &installed, const QString &offered);

// A SHA-256 written as 64 hexadecimal digits.
bool isSha256Text(const QString &text);

// The app updating itself: the separate updater kept in the shared container, the store's version of the app,
// the new application archive, and the hand-over to the updater.
//
// An update is offered only once its archive is complete on disk: the archive is downloaded beside its place and
// renamed into it at the end, and the offer (button and alert) waits for that. The archive's SHA-256, when the
// store gives one ("sha256" in the version answer, or "KLV+App.zip.sha256" beside the archive in the bucket), goes
// to the updater, which refuses an archive that does not match it.
class SelfUpdate final : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 storeAppProductID = 945391;

    explicit SelfUpdate(Services &services, QObject *parent = nullptr);
    ~SelfUpdate() override;

    // False in a build installed by the system's package manager: the app then never replaces itself (no version
    // check, download, updater or hand-over), and the account page and klv self-update show packageManagerNote().
    bool replacesItself() const;
    static QString packageManagerNote();

    // Asks the store for a product's version; the completion gets the answer only when its "status" is true.
    // Every other ending is logged (or alerted) and signalled with versionRequestFailed.
    void requestProductVersion(qint64 productId, std::function<void(const QJsonObject &)> completion);
    // The account page's check: the store's version of the app, its archive downloaded when it is newer, then
    // updateAreaChanged. Does nothing once the updater has been started.
    void checkAppVersion();
    // Replaces the archive of the new version with a fresh download; updateAreaChanged when it ends.
    void downloadAppUpdate();
    // Start-up: downloads and unpacks the updater when none is in the shared container; updaterAppFetched at the end.
    void fetchUpdaterApp();
    // Starts the updater for a complete archive and returns whether it runs. The app must then quit: the updater
    // waits for it before it replaces the application folder, and starts the app again from where it was
    // started (the new version, or the old one when it refused the update).
    bool startAppUpdate();
    // The program the updater starts again when it refuses an update: the window, wherever it was started from.
    // Without one (klv) the installed application is started, as after an update.
    void setRelaunchProgram(const QString &program);
    // Why the last update was refused, once: the updater leaves it for the app's next start.
    std::optional<QString> takeUpdateRefusal();

    const QString &serverAppVersion() const { return m_serverAppVersion; }
    // The store's version is newer than the installed one.
    bool isNewerVersionAvailable() const;
    // Newer, and its archive is complete: the update can be offered.
    bool isUpdateReady() const;
    bool isUpdating() const { return m_updating; }
    // Why the downloaded archive of the store's version was not offered; empty when it was, or is not there yet.
    const QString &archiveProblem() const { return m_archiveProblem; }
    // Why the archive of the store's version could not be downloaded or kept; empty when it was.
    const QString &downloadProblem() const { return m_downloadProblem; }
    bool isFetchingUpdate() const;
    // A newer version that is not offered (yet): what stands in the way, for the customer; empty otherwise.
    QString unofferedNote() const;

    // The account page's update area: the offer, or a new try when the newer version could not be had.
    QString updateButtonTitle() const;
    bool updateButtonEnabled() const;
    bool updateButtonRetries() const;
    QString updateOfferMessage() const;

    enum class OfferOutcome { notReady, declined, started, startFailed };
    // Asks whether to update now ("Update Now", "Update later") and starts the updater when so answered.
    OfferOutcome offerUpdate();

Q_SIGNALS:
    // The update area shows something new: a version answer arrived (and the archive it called for is done), or
    // the updater was started.
    void updateAreaChanged();
    // The archive of a newer version started downloading: the update area says so until updateAreaChanged.
    void updateDownloadStarted();
    // A version request ended without an answer to use; refused is true when the store said no.
    void versionRequestFailed(bool refused, const QString &message);
    void updaterAppFetched(bool succeeded);
    // The updater runs; the app should quit so that it can proceed.
    void updaterStarted();

private:
    void handleVersionAnswer(const StoreResponse &response, const QString &requestUrl, qint64 productId,
                             const std::function<void(const QJsonObject &)> &completion);
    void unpackUpdater(const QString &archivePath);
    // The archive of that version is complete; fetches its SHA-256 from the bucket when the answer gave none.
    void archiveDownloaded(const QString &version, const QString &answerSha256);
    void archiveReady(const QString &version, const QString &sha256);

    Services &m_services;
    QString m_serverAppVersion;
    // The version whose archive is complete at the archive's place; empty while there is none.
    QString m_downloadedVersion;
    // The SHA-256 the store gave: of the last version answer, and of the archive at the archive's place.
    QString m_serverSha256;
    QString m_downloadedSha256;
    QPointer<PackageDownload> m_appDownload;
    QPointer<PackageDownload> m_checksumDownload;
    QPointer<PackageDownload> m_updaterDownload;
    QString m_archiveProblem;
    QString m_downloadProblem;
    QString m_relaunchProgram;
    bool m_unpackingUpdater = false;
    bool m_updating = false;
};

} // namespace klv
