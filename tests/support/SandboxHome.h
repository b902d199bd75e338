#pragma once

#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <map>
#include <optional>

namespace klv::test {

// A throw-away home folder: HOME, the XDG folders and the system's configuration folder point into it for this process
// and its children, and are put back when it goes. Every test process runs in one (TestMain, UiTestMain); a test that
// needs a fresh home makes its own.
class SandboxHome final {
public:
    SandboxHome();
    ~SandboxHome();
    Q_DISABLE_COPY_MOVE(SandboxHome)

    QString path() const { return m_dir.path(); }
    QString filePath(const QString &relative) const { return m_dir.filePath(relative); }
    QProcessEnvironment environment() const;

private:
    QTemporaryDir m_dir;
    std::map<QByteArray, std::optional<QByteArray>> m_saved;
};

} // namespace klv::test
