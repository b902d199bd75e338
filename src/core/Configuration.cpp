#include "core/Configuration.h"

#include "core/ConfigurationFile.h"

#include "BuildConfig.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>
#include <functional>
#include <utility>

namespace klv {

namespace {

const QString fileName = QStringLiteral("klv-app.conf");
const QString builtInOrigin = QStringLiteral("built in");
const QString derivedOrigin = QStringLiteral("derived from the store address");
const QString environmentOrigin = QStringLiteral("environment");
constexpr int hexKeyDigits = 64;

// The values a configuration file may set. A file names them as their variable without "KLV_", in lower case.
struct Setting {
    const char *variable;
    QString Configuration::*field;
    const char *builtIn;
    // Below the store address, for an address the store serves itself; null for other values.
    const char *storePath;
    bool secret;
};

const Setting settings[] = {
    {"KLV_STORE_URL", &Configuration::storeUrl, build::storeUrl, nullptr, false},
    {"KLV_STORE_KEY", &Configuration::storeKey, build::storeKey, nullptr, true},
    {"KLV_MARKETING_KEY", &Configuration::marketingKey, build::marketingKey, nullptr, true},
    {"KLV_DOWNLOAD_BUCKET_URL", &Configuration::downloadBucketUrl, build::downloadBucketUrl, "/files/bucket/", false},
    {"KLV_PLUGIN_SITE_URL", &Configuration::pluginSiteUrl, build::pluginSiteUrl, "/files/plugins/", false},
    {"KLV_FONT_STORE_URL", &Configuration::fontStoreUrl, build::fontStoreUrl, "/files/fonts/", false},
    {"KLV_LOGO_URL", &Configuration::logoUrl, build::logoUrl, "/files/logo.png", false},
    {"KLV_TUTORIAL_URL", &Configuration::tutorialUrl, build::tutorialUrl, "/tutorials/", false},
    {"KLV_VIDEO_PLAYER_URL", &Configuration::videoPlayerUrl, build::videoPlayerUrl, "/player/#", false},
    {"KLV_CA_FILE", &Configuration::caFile, "", nullptr, false},
};

QString fileKey(const char *variable) {
    return QString::fromLatin1(variable).mid(4).toLower();
}

QString environmentValue(const char *variable, const char *builtIn) {
    const QByteArray overridden = qgetenv(variable);
    return overridden.isEmpty() ? QString::fromUtf8(builtIn) : QString::fromUtf8(overridden);
}

bool isHexKey(const QString &key) {
    return key.size() == hexKeyDigits && std::all_of(key.begin(), key.end(), [](QChar c) {
               return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
           });
}

// Lowest level first.
struct Level {
    QString origin;
    std::function<QString(const char *variable)> valueOf;
};

} // namespace

QString Configuration::originOf(const QString &variable) const {
    const auto source = std::find_if(sources.begin(), sources.end(),
                                     [&variable](const Source &candidate) { return candidate.variable == variable; });
    return source == sources.end() ? builtInOrigin : source->origin;
}

QString Configuration::systemFilePath() {
    const QString folder = qEnvironmentVariable("KLV_SYSTEM_CONFIG_DIR", QStringLiteral("/etc/klv-app"));
    return folder + u'/' + fileName;
}

QString Configuration::userFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u"/klv-app/" + fileName;
}

Configuration Configuration::fromEnvironment() {
    QStringList keys;
    for (const Setting &setting : settings)
        keys.append(fileKey(setting.variable));
    const ConfigurationFile systemFile = ConfigurationFile::read(systemFilePath(), keys);
    const ConfigurationFile userFile = ConfigurationFile::read(userFilePath(), keys);
    const QList<Level> levels{
        {builtInOrigin,
         [](const char *) {
             return QString();
         }},
        {systemFile.path(),
         [&systemFile](const char *variable) {
             return systemFile.value(fileKey(variable));
         }},
        {userFile.path(),
         [&userFile](const char *variable) {
             return userFile.value(fileKey(variable));
         }},
        {environmentOrigin,
         [](const char *variable) {
             return qEnvironmentVariable(variable);
         }},
    };

    Configuration config;
    config.fileProblems = systemFile.problems() + userFile.problems();
    qsizetype storeLevel = 0;
    for (const Setting &setting : settings) {
        QString value = QString::fromUtf8(setting.builtIn);
        qsizetype level = 0;
        for (qsizetype candidate = levels.size() - 1; candidate > 0; --candidate) {
            if (const QString set = levels.at(candidate).valueOf(setting.variable); !set.isEmpty()) {
                value = set;
                level = candidate;
                break;
            }
        }
        QString origin = levels.at(level).origin;
        if (setting.field == &Configuration::storeUrl) {
            while (value.endsWith(u'/'))
                value.chop(1);
            storeLevel = level;
        } else if (setting.storePath && (value.isEmpty() || level < storeLevel)) {
            value = config.storeUrl + QString::fromLatin1(setting.storePath);
            origin = derivedOrigin;
        }
        config.*setting.field = value;
        config.sources.append({QString::fromLatin1(setting.variable), value, origin, setting.secret});
    }
    config.groupId = environmentValue("KLV_GROUP_ID", build::groupId);
    config.bundleId = environmentValue("KLV_BUNDLE_ID", build::bundleId);
    config.appVersion = builtVersion();
    const QByteArray selfUpdate = qgetenv("KLV_SELF_UPDATE").toLower();
    config.selfUpdate = build::selfUpdate && selfUpdate != "off" && selfUpdate != "0" && selfUpdate != "false";
    return config;
}

QString Configuration::builtVersion() {
    return QString::fromUtf8(build::shortVersion) + u'.' + QString::fromUtf8(build::buildNumber);
}

QString Configuration::identifierProblem() const {
    static const QRegularExpression reverseDomain(
        QStringLiteral("^[A-Za-z][A-Za-z0-9-]*(\\.[A-Za-z0-9][A-Za-z0-9-]*)+$"));
    for (const auto &[variable, value] : {std::pair{"KLV_GROUP_ID", &groupId}, std::pair{"KLV_BUNDLE_ID", &bundleId}}) {
        if (!reverseDomain.match(*value).hasMatch())
            return QStringLiteral("%1 \"%2\" is not a reverse-domain identifier such as com.example.app; nothing was "
                                  "changed.")
                .arg(QString::fromLatin1(variable), *value);
    }
    return {};
}

QString Configuration::storeProblem() const {
    if (const QString problem = identifierProblem(); !problem.isEmpty())
        return problem;
    if (!fileProblems.isEmpty())
        return fileProblems.join(u'\n');
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
    for (const Setting &setting : settings) {
        const QString &value = this->*setting.field;
        if (!setting.secret || isHexKey(value))
            continue;
        const QString variable = QString::fromLatin1(setting.variable);
        return QStringLiteral("%1 (from %2) must be %3 hexadecimal digits; it has %4 characters.")
            .arg(variable, originOf(variable))
            .arg(hexKeyDigits)
            .arg(value.size());
    }
    return {};
}

} // namespace klv
