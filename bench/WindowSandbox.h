#pragma once

#include "ChildProcess.h"
#include "storeservice/StoreProcess.h"

#include <QString>
#include <QTemporaryDir>

namespace klv::bench {

// A home in a temporary folder, made this process's own (HOME, XDG_*, the store's addresses), with the synthetic
// library of 10,000 products signed in and cached, a picture on disk for every product and the installed template
// folders; klv-store serves the same library on loopback, so the library check finds the commit unchanged.
class WindowSandbox final {
public:
    WindowSandbox() = default;
    WindowSandbox(const WindowSandbox &) = delete;
    WindowSandbox &operator=(const WindowSandbox &) = delete;

    // Builds it all once; false (see error()) when that failed.
    bool ready();
    const QString &error() const { return m_error; }

    // `klv list --json` in the home, its output discarded.
    ChildRun klvList();
    // This program in the home with the arguments; its output lands in outputFile().
    ChildRun self(const QStringList &arguments);
    QString outputFile() const { return m_root.filePath(QStringLiteral("child-output.txt")); }

private:
    bool prepare();
    void enterHome();
    bool writeCatalog();
    bool writePictures();
    bool makeInstalledFolders();
    bool startStore();
    bool signIn();
    ChildRun checked(const QString &what, const ChildRun &run);
    bool fail(const QString &error);

    QTemporaryDir m_root;
    storeservice::StoreProcess m_store{m_root.filePath(QStringLiteral("catalog"))};
    QString m_error;
    std::optional<bool> m_ready;
};

} // namespace klv::bench
