#pragma once

#include <QString>

namespace klv {

// Build-time configuration, each value overridable per run by an environment variable of the same name.
struct Configuration {
    QString storeUrl;
    QString storeKey;
    QString marketingKey;
    QString downloadBucketUrl;
    QString pluginSiteUrl;
    QString fontStoreUrl;
    QString logoUrl;
    QString tutorialUrl;
    QString videoPlayerUrl;
    QString groupId;
    QString bundleId;
    QString caFile;
    QString appVersion;
    // The largest download accepted when the store announces no size (KLV_DOWNLOAD_MAX_BYTES).
    qint64 downloadMaximumBytes = 0;
    // A download that receives less than 1 KB a second over this window fails (KLV_DOWNLOAD_STALL_WINDOW_MS).
    qint64 downloadStallWindowMs = 0;

    static Configuration fromEnvironment();
    // Empty when usable; otherwise why the store address may not be used by this build.
    QString storeUrlProblem() const;
};

} // namespace klv
