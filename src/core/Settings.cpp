#include "core/Settings.h"

#include "core/Platform.h"

#include <QSettings>
#include <QTimeZone>

namespace klv {

namespace {

const QString nameKey = QStringLiteral("_sUserName");
const QString emailKey = QStringLiteral("_sUserEmail");
const QString passwordKey = QStringLiteral("_sPassword");
const QString sessionKey = QStringLiteral("_sSession");
const QString commitKey = QStringLiteral("commitID");
const QString firstRunDateKey = QStringLiteral("lastestSDate");

const QString defaultName = QStringLiteral("Unknown member user");
const QString defaultEmail = QStringLiteral("Unknown member email");
const QString defaultPassword = QStringLiteral("Unknown member password");
const QString defaultCommit = QStringLiteral("Unknown commit id");
const QString unknownDate = QStringLiteral("Unknown Date");

} // namespace

Settings::Settings(const QString &settingsFilePath, Clock clock)
    : m_store(std::make_unique<QSettings>(settingsFilePath, platform::settingsInDefaultsStore ? QSettings::NativeFormat
                                                                                              : QSettings::IniFormat))
    , m_clock(std::move(clock)) {
    setDefaults();
    firstRunDate = unknownDate;
}

Settings::~Settings() = default;

void Settings::loadSettings() {
    firstRunDate = m_store->value(firstRunDateKey, unknownDate).toString();
    userName = m_store->value(nameKey, defaultName).toString();
    userEmail = m_store->value(emailKey, defaultEmail).toString();
    userPassword = m_store->value(passwordKey, defaultPassword).toString();
    sessionActive = m_store->value(sessionKey, false).toBool();
    storedCommitID = m_store->value(commitKey, defaultCommit).toString();
    if (firstRunDate == unknownDate) {
        firstRunDate = todayInPacificTime();
        m_store->setValue(firstRunDateKey, firstRunDate);
        m_store->sync();
    }
}

Error Settings::saveSettings() {
    m_store->setValue(firstRunDateKey, firstRunDate);
    m_store->setValue(nameKey, userName);
    m_store->setValue(emailKey, userEmail);
    m_store->setValue(passwordKey, userPassword);
    m_store->setValue(sessionKey, sessionActive);
    m_store->setValue(commitKey, storedCommitID);
    m_store->sync();
    if (m_store->status() == QSettings::NoError)
        return std::nullopt;
    return u"the settings could not be written to " + m_store->fileName();
}

void Settings::resetSettings() {
    for (const QString &key : {firstRunDateKey, nameKey, emailKey, passwordKey, sessionKey, commitKey})
        m_store->remove(key);
    m_store->sync();
    firstRunDate = todayInPacificTime();
    setDefaults();
}

void Settings::reloadStoredCommitID() {
    m_store->sync();
    storedCommitID = m_store->value(commitKey, defaultCommit).toString();
}

void Settings::forgetStoredCommitID() {
    m_store->remove(commitKey);
    m_store->sync();
    storedCommitID = defaultCommit;
}

void Settings::treatStoredCommitIDAsUnknown() {
    storedCommitID = defaultCommit;
}

QString Settings::todayInPacificTime() const {
    // "PST" names the Pacific zone with its daylight saving time, not a fixed offset.
    return m_clock().toTimeZone(QTimeZone("America/Los_Angeles")).toString(QStringLiteral("yyyy-MM-dd"));
}

void Settings::setDefaults() {
    userName = defaultName;
    userEmail = defaultEmail;
    userPassword = defaultPassword;
    sessionActive = false;
    storedCommitID = defaultCommit;
}

} // namespace klv
