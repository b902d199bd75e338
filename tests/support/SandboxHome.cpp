#include "SandboxHome.h"

#include <QDir>
#include <QFile>

namespace klv::test {

using namespace Qt::StringLiterals;

namespace {

const std::map<QByteArray, QString> sandboxVariables{
    {"HOME", QString()},
    {"XDG_DATA_HOME", u"/.local/share"_s},
    {"XDG_CONFIG_HOME", u"/.config"_s},
    {"XDG_CACHE_HOME", u"/.cache"_s},
    {"XDG_STATE_HOME", u"/.local/state"_s},
    {"XDG_RUNTIME_DIR", u"/.runtime"_s},
    // The system's configuration folder, so that no test reads the real /etc/klv-app.
    {"KLV_SYSTEM_CONFIG_DIR", u"/etc/klv-app"_s},
};

} // namespace

SandboxHome::SandboxHome() {
    for (const auto &[name, relative] : sandboxVariables) {
        m_saved[name] =
            qEnvironmentVariableIsSet(name.constData()) ? std::optional(qgetenv(name.constData())) : std::nullopt;
        const QString value = m_dir.path() + relative;
        QDir().mkpath(value);
        qputenv(name.constData(), QFile::encodeName(value));
    }
    QFile::setPermissions(m_dir.path() + u"/.runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Settings of the user folders would otherwise leak in from the real home.
    qunsetenv("XDG_VIDEOS_DIR");
}

SandboxHome::~SandboxHome() {
    for (const auto &[name, value] : m_saved) {
        if (value)
            qputenv(name.constData(), *value);
        else
            qunsetenv(name.constData());
    }
}

QProcessEnvironment SandboxHome::environment() const {
    return QProcessEnvironment::systemEnvironment();
}

} // namespace klv::test
