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
    // Whether the app replaces itself with the store's newer versions. Off in builds whose updates come from the
    // system's package manager; KLV_SELF_UPDATE=OFF turns it off in others, nothing turns it on there.
    bool selfUpdate = true;

    static Configuration fromEnvironment();
    // Empty when usable; otherwise why the store address may not be used by this build.
    QString storeUrlProblem() const;
};

} // namespace klv
