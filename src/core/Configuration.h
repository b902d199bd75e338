#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace klv {

// Where the client finds its store. Each value comes from the first of: the environment variable of its name
// (KLV_STORE_URL …), the user's configuration file, the system's, the build. An address the build or a file sets
// below the level the store address came from is derived from the store address instead, so a client pointed at
// one store never fetches from another by accident.
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

    // A value that can be set in the configuration files, and where its value came from.
    struct Source {
        QString variable;
        QString value;
        // "built in", "derived from the store address", "environment", or a configuration file's path.
        QString origin;
        bool secret = false;
    };
    QList<Source> sources;
    // The lines of the configuration files that could not be used.
    QStringList fileProblems;

    // The environment's variables and the configuration files they lead to (the system's folder is
    // $KLV_SYSTEM_CONFIG_DIR, else /etc/klv-app; the user's $XDG_CONFIG_HOME/klv-app), over the build's values.
    static Configuration fromEnvironment();
    // This build's version, as appVersion holds it.
    static QString builtVersion();
    // Where the variable's value came from; "built in" for one not among the sources.
    QString originOf(const QString &variable) const;
    static QString systemFilePath();
    static QString userFilePath();
    // Empty when usable; otherwise why the store cannot be used: an unusable file line, an address this build may
    // not use, or a key that is not 64 hexadecimal digits.
    QString storeProblem() const;
    // Why the group or bundle identifier cannot be used, or empty. They name the app's folders (its cache folder is
    // emptied at every start), so anything but a reverse-domain identifier ("com.example.app") is refused before any
    // folder is touched.
    QString identifierProblem() const;
};

} // namespace klv
