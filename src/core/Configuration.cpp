#include "core/Configuration.h"

#include "BuildConfig.h"

#include <QHostAddress>
#include <QUrl>

namespace klv {

namespace {

QString valueOf(const char *variable, const char *builtIn) {
    const QByteArray overridden = qgetenv(variable);
    return overridden.isEmpty() ? QString::fromUtf8(builtIn) : QString::fromUtf8(overridden);
}

} // namespace

Configuration Configuration::fromEnvironment() {
    Configuration config;
    config.storeUrl = valueOf("KLV_STORE_URL", build::storeUrl);
    while (config.storeUrl.endsWith(u'/'))
        config.storeUrl.chop(1);
    config.storeKey = valueOf("KLV_STORE_KEY", build::storeKey);
    config.marketingKey = valueOf("KLV_MARKETING_KEY", build::marketingKey);
    config.downloadBucketUrl = valueOf("KLV_DOWNLOAD_BUCKET_URL", build::downloadBucketUrl);
    config.pluginSiteUrl = valueOf("KLV_PLUGIN_SITE_URL", build::pluginSiteUrl);
    config.fontStoreUrl = valueOf("KLV_FONT_STORE_URL", build::fontStoreUrl);
    config.logoUrl = valueOf("KLV_LOGO_URL", build::logoUrl);
    config.tutorialUrl = valueOf("KLV_TUTORIAL_URL", build::tutorialUrl);
    config.videoPlayerUrl = valueOf("KLV_VIDEO_PLAYER_URL", build::videoPlayerUrl);
    config.groupId = valueOf("KLV_GROUP_ID", build::groupId);
    config.bundleId = valueOf("KLV_BUNDLE_ID", build::bundleId);
    config.caFile = valueOf("KLV_CA_FILE", "");
    config.appVersion = QString::fromUtf8(build::shortVersion) + u'.' + QString::fromUtf8(build::buildNumber);
    const QByteArray selfUpdate = qgetenv("KLV_SELF_UPDATE").toLower();
    config.selfUpdate = build::selfUpdate && selfUpdate != "off" && selfUpdate != "0" && selfUpdate != "false";
    return config;
}

QString Configuration::storeUrlProblem() const {
    const QUrl url(storeUrl);
    if (!url.isValid() || url.host().isEmpty() || (url.scheme() != u"https" && url.scheme() != u"http"))
        return QStringLiteral("The store address \"%1\" is not a web address.").arg(storeUrl);
    if (!url.path().isEmpty())
        return QStringLiteral("The store address \"%1\" must not have a path.").arg(storeUrl);
    if (build::releaseBuild && url.scheme() == u"http") {
        const QHostAddress host(url.host());
        if (!host.isLoopback() && url.host() != u"localhost")
            return QStringLiteral("The store address \"%1\" is not secure (https is required).").arg(storeUrl);
    }
    return {};
}

} // namespace klv
