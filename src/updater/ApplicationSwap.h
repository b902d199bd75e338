#pragma once

#include "core/Error.h"

#include <QString>

#include <chrono>
#include <optional>

namespace klv {

class LogFile;

// Replaces the installed application folder with the one in a downloaded archive, once the running application
// has quit. The archive is checked (its SHA-256 when one is known, its entries, a newer version) and unpacked
// beside the installed folder, then the two folders trade places in one atomic exchange, so that some complete
// version is always in place whenever the updater is stopped. The previous version stays until the new one has
// started and stayed up for a while; otherwise it is put back and started again. Application folders are AppDirs:
// opening one runs its AppRun; the file "version" in it names its version.
class ApplicationSwap final {
public:
    struct Request {
        QString applicationPath;  // the installed "KLV App.app"
        QString archivePath;      // "KLV App.zip", holding a folder of the same name
        qint64 runningPid = 0;    // the application to wait for
        QString installedVersion; // the running application's version; the new one must be newer
        QString expectedSha256;   // the archive's SHA-256 in hexadecimal; empty when the store gave none
        QString relaunchProgram;  // the program that asked for the update, started again when it is refused
        QString refusalReport;    // where the app's next start finds why an update was refused; empty for none
    };
    struct Timing {
        std::chrono::milliseconds quitTimeout;
        // How long the new version must stay up, or end by itself with status 0, to count as started.
        std::chrono::milliseconds startWatch;
    };

    ApplicationSwap(Request request, LogFile &log, Timing timing);

    // Blocks until done; true when the new version runs.
    bool run();

private:
    bool waitForApplicationToQuit() const;
    void removeLeftStagingFolders() const;
    Error checkArchive() const;
    Error unpackNewVersion(const QString &stagingFolder) const;
    // Leaves the reason where the app's next start finds it.
    void reportRefusal(const QString &reason) const;
    void giveUp(const QString &reason, bool swapped, const QString &stagingFolder) const;

    Request m_request;
    LogFile &m_log;
    Timing m_timing;
};

} // namespace klv
