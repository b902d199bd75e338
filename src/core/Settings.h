#pragma once

#include "core/Error.h"

#include "core/Clock.h"

#include <QString>

#include <memory>
#include <optional>

class QSettings;

namespace klv {

// The signed-in customer and the library's commit number, kept in the per-user settings store.
class Settings final {
public:
    Settings(const QString &settingsFilePath, Clock clock);
    ~Settings();
    Q_DISABLE_COPY_MOVE(Settings)

    QString userName;
    QString userEmail;
    QString userPassword;
    bool sessionActive = false;
    QString storedCommitID;
    QString firstRunDate;

    void loadSettings();
    // Nothing when every value reached the settings file; otherwise why not, and the file stays as it was.
    Error saveSettings();
    // Sign-out: removes every key and puts the values back to their defaults.
    void resetSettings();
    // The commit number as stored, which lags behind storedCommitID until a library download succeeds.
    void reloadStoredCommitID();
    void forgetStoredCommitID();
    // Until a library belonging to the stored commit number is on hand, that number means nothing: the next
    // commit check then always downloads the library. Only the value in memory changes.
    void treatStoredCommitIDAsUnknown();

private:
    QString todayInPacificTime() const;
    void setDefaults();

    std::unique_ptr<QSettings> m_store;
    Clock m_clock;
};

} // namespace klv
