#pragma once

#include <QString>

#include <chrono>
#include <optional>

namespace klv {

class LogFile;

// Replaces the installed application folder with the one in a downloaded archive, once the running application
// has quit. The new folder is unpacked and checked beside the installed one, then swapped in by two renames that
// keep the old folder until the new version has been started; any failure puts the old folder back and starts it
// again. Application folders are AppDirs: opening one runs its AppRun.
class ApplicationSwap final {
public:
    struct Request {
        QString applicationPath; // the installed "KLV App.app"
        QString archivePath;     // "KLV App.zip", holding a folder of the same name
        qint64 runningPid = 0;   // the application to wait for
    };

    ApplicationSwap(Request request, LogFile &log, std::chrono::milliseconds quitTimeout);

    // Blocks until done; true when the new version runs.
    bool run();

private:
    bool waitForApplicationToQuit() const;
    std::optional<QString> unpackNewVersion(const QString &stagingFolder) const;
    std::optional<QString> swapIn(const QString &newFolder, const QString &backup, bool hadOld) const;
    void restoreAfterFailure(const QString &reason, const QString &backup, bool hadOld,
                             const QString &stagingFolder) const;
    static bool openApplication(const QString &path);

    Request m_request;
    LogFile &m_log;
    std::chrono::milliseconds m_quitTimeout;
};

} // namespace klv
