#include "DoctorCommand.h"

#include "ExitCode.h"
#include "Terminal.h"

#include "app/AppContext.h"
#include "store/Services.h"

#include <QFileInfo>

namespace klv::cli {

void DoctorCommand::run(const QCommandLineParser &) {
    const Locations &l = m_context.services().locations();
    const QList<std::pair<const char *, QString>> rows{
        {"moviesFolderURL", l.moviesFolderURL},
        {"libraryFolderURL", l.libraryFolderURL},
        {"applicationsFolderURL", l.applicationsFolderURL},
        {"sharedContainerURL", l.sharedContainerURL},
        {"appBundleURL", l.appBundleURL},
        {"vantoryFolderURL", l.vantoryFolderURL},
        {"pluginsFolderURL", l.pluginsFolderURL},
        {"logFolderURL", l.logFolderURL},
        {"downloadFolderURL", l.downloadFolderURL},
        {"resolveTemplatesFolderURL", l.resolveTemplatesFolderURL},
        {"customLUTsFolderURL", l.customLUTsFolderURL},
        {"fontsFolderURL", l.fontsFolderURL},
        {"appCacheFolderURL", l.appCacheFolderURL},
        {"compositeFolderURL", l.compositeFolderURL},
        {"motionEffectsFolderURL", l.motionEffectsFolderURL},
        {"motionTitlesFolderURL", l.motionTitlesFolderURL},
        {"motionTransitionsFolderURL", l.motionTransitionsFolderURL},
        {"motionGeneratorsFolderURL", l.motionGeneratorsFolderURL},
        {"userDataFileURL", l.userDataFileURL},
        {"productCacheFileURL", l.productCacheFileURL},
        {"productImageFolderURL", l.productImageFolderURL},
        {"updaterAppURL", l.updaterAppURL},
        {"appUpdateArchiveURL", l.appUpdateArchiveURL},
        {"logFile", l.logFileURL},
        {"settingsFile", l.settingsFileURL},
    };

    m_terminal.printResult(u"Store:       " + m_context.services().configuration().storeUrl);
    m_terminal.printResult(u"OS version:  " + m_context.services().macOSVersion.trimmed());
    m_terminal.printResult(u"App version: " + m_context.services().appVersion);
    m_terminal.printResult(QStringLiteral("Signed in:   ") + (m_context.services().settings().sessionActive
                                                                  ? QStringLiteral("yes")
                                                                  : QStringLiteral("no")));
    m_terminal.printResult(QStringLiteral("Locations:"));
    for (const auto &[name, path] : rows) {
        const QFileInfo info(path);
        const QString state = !info.exists() ? QStringLiteral("missing")
                              : info.isDir() ? QStringLiteral("folder")
                                             : QStringLiteral("file");
        m_terminal.printResult(QStringLiteral("  %1 %2 %3").arg(QLatin1StringView(name), -27).arg(state, -8).arg(path));
    }
    Q_EMIT finished(ExitCode::success);
}

} // namespace klv::cli
