#include "app/StoreNotifications.h"

#include "install/PackageDownload.h"
#include "store/DesktopServices.h"
#include "store/Notifier.h"
#include "store/Services.h"
#include "update/SelfUpdate.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

constexpr std::chrono::seconds logoWaitLimit{2};

} // namespace

StoreNotifications::StoreNotifications(Services &services, Notifier &notifier, SelfUpdate &selfUpdate, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_notifier(notifier)
    , m_selfUpdate(selfUpdate) {
    connect(&m_notifier, &Notifier::answered, this, &StoreNotifications::didReceiveNotificationResponse);
    connect(&m_notifier, &Notifier::deliveryFinished, this, &StoreNotifications::reportIfDone);
    m_logoWait.setSingleShot(true);
    m_logoWait.setInterval(logoWaitLimit);
    connect(&m_logoWait, &QTimer::timeout, this, [this] { deliverWaiting({}); });
}

StoreNotifications::~StoreNotifications() = default;

// Kept in the shared container: the cache folder is emptied at every start, and a short-lived klv would then
// fetch it for every notification.
QString StoreNotifications::logoPath() const {
    const QString suffix = QFileInfo(QUrl(m_services.configuration().logoUrl).path()).suffix();
    return m_services.locations().sharedContainerURL + u"companyLogo"_s +
           (suffix.isEmpty() ? QString() : u'.' + suffix);
}

bool StoreNotifications::postStoreNotification(notificationType kind, const QVariantMap &userInfo) {
    std::optional<NotificationContent> content = NotificationContent::make(kind, userInfo);
    if (!content) {
        m_services.reporter().appendLog(
            u"KLV App Error: notification of kind %1 not posted: its user-info lacks the texts it shows"_s.arg(
                static_cast<int>(kind)));
        return false;
    }
    m_waiting = std::move(content);
    const QString logo = logoPath();
    if (QFileInfo::exists(logo)) {
        deliverWaiting(logo);
        return true;
    }
    if (m_logoMissing) {
        deliverWaiting({});
        return true;
    }
    // The notification that arrives while the logo is on its way goes out with it.
    if (!m_logoWait.isActive())
        m_logoWait.start();
    if (!m_logoDownload)
        fetchLogo(logo);
    return true;
}

void StoreNotifications::fetchLogo(const QString &logo) {
    // Fetched beside its place and renamed into it, so a half-written picture is never attached.
    const QString partial = logo + u".download"_s;
    auto *download = new PackageDownload(m_services.network(), m_services.store(),
                                         QUrl(m_services.configuration().logoUrl), partial, this);
    m_logoDownload = download;
    connect(download, &PackageDownload::finished, this,
            [this, download, logo, partial](const PackageDownload::Result &result) {
                download->deleteLater();
                QString reason = result.error;
                if (result.succeeded() && !QFile::rename(partial, logo)) {
                    reason = u"it could not be saved to "_s + logo;
                    QFile::remove(partial);
                }
                if (!reason.isEmpty()) {
                    m_logoMissing = true;
                    m_services.reporter().appendLog(u"Error while try to get company logo "_s + reason);
                    deliverWaiting({});
                    return;
                }
                deliverWaiting(logo);
            });
    download->start();
}

void StoreNotifications::deliverWaiting(const QString &attachmentPath) {
    m_logoWait.stop();
    if (!m_waiting)
        return;
    NotificationContent content = std::move(*m_waiting);
    m_waiting.reset();
    content.attachmentPath = attachmentPath;
    m_notifier.post(content);
    reportIfDone();
}

bool StoreNotifications::isPosting() const {
    return m_waiting.has_value() || m_notifier.isDelivering();
}

void StoreNotifications::reportIfDone() {
    if (!isPosting())
        Q_EMIT postingFinished();
}

void StoreNotifications::announceReadyUpdates() {
    if (std::exchange(m_announcingUpdates, true))
        return;
    connect(&m_selfUpdate, &SelfUpdate::updateAreaChanged, this, [this] {
        const QString version = m_selfUpdate.serverAppVersion();
        if (!m_selfUpdate.isUpdateReady() || m_selfUpdate.isUpdating() || version == m_announcedVersion)
            return;
        m_announcedVersion = version;
        const QVariantMap userInfo{{u"Request Data Main String"_s, QVariant(u"KLV App "_s + version)},
                                   {u"Request Data Sub String"_s, QVariant(u"A new version is ready to install."_s)}};
        postStoreNotification(notificationType::klvAppUpdate, userInfo);
    });
}

void StoreNotifications::didReceiveNotificationResponse(const NotificationContent &content,
                                                        const QString &actionIdentifier) {
    if (content.categoryIdentifier == NotificationContent::buySaleCategory) {
        // Any answer to a sale, the button or a click, leads to its page.
        QString path;
        if (content.title.compare("Throw Back Thursday"_L1, Qt::CaseInsensitive) == 0)
            path = u"/product-category/throwback/"_s;
        else if (content.title.compare("Sale of the Day"_L1, Qt::CaseInsensitive) == 0)
            path = u"/product-category/sale-of-the-day/"_s;
        if (!path.isEmpty())
            m_services.desktop().openUrl(QUrl(m_services.configuration().storeUrl + path));
    } else if (content.categoryIdentifier == NotificationContent::updateAppCategory && actionIdentifier == u"now") {
        m_selfUpdate.startAppUpdate();
    }
}

} // namespace klv
