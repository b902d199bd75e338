#include "updater/ApplicationSwap.h"

#include "store/LogFile.h"
#include "update/SelfUpdate.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {

constexpr int usageError = 2;
// Long enough for the app to close its window and finish writing; short enough not to linger forever.
constexpr std::chrono::seconds quitTimeout{60};
// A new version that fails its start-up ends within moments.
constexpr std::chrono::seconds startWatch{3};

int refuse(const QString &message) {
    std::fprintf(stderr, "klv-updater: %s\n", qUtf8Printable(message));
    return usageError;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("klv-updater"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Replaces KLV App with the version in a downloaded archive once the running app has quit, and starts it "
        "again. Started by KLV App."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption appOption(QStringLiteral("app"), QStringLiteral("The installed application folder."),
                                       QStringLiteral("FOLDER"));
    const QCommandLineOption archiveOption(QStringLiteral("archive"),
                                           QStringLiteral("The archive holding the new application folder."),
                                           QStringLiteral("ZIP"));
    const QCommandLineOption pidOption(QStringLiteral("pid"), QStringLiteral("The running app, to wait for."),
                                       QStringLiteral("PID"));
    const QCommandLineOption logOption(QStringLiteral("log"), QStringLiteral("The app's log file."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption versionOption(QStringLiteral("installed-version"),
                                           QStringLiteral("The running app's version; the archive's must be newer."),
                                           QStringLiteral("VERSION"));
    const QCommandLineOption sha256Option(
        QStringLiteral("sha256"), QStringLiteral("The archive's SHA-256 as the store gave it."), QStringLiteral("HEX"));
    const QCommandLineOption relaunchOption(
        QStringLiteral("relaunch"),
        QStringLiteral("The program that asked for the update, started again should it be refused."),
        QStringLiteral("PROGRAM"));
    const QCommandLineOption reportOption(
        QStringLiteral("report"), QStringLiteral("Where to write why an update was refused."), QStringLiteral("FILE"));
    parser.addOptions(
        {appOption, archiveOption, pidOption, logOption, versionOption, sha256Option, relaunchOption, reportOption});
    if (!parser.parse(QCoreApplication::arguments()))
        return refuse(parser.errorText());
    if (parser.isSet(helpOption))
        parser.showHelp(0);
    for (const QCommandLineOption &required : {appOption, archiveOption, pidOption, logOption, versionOption}) {
        if (parser.value(required).isEmpty())
            return refuse(u"--" + required.names().constFirst() + u" is required");
    }
    bool pidValid = false;
    const qint64 pid = parser.value(pidOption).toLongLong(&pidValid);
    if (!pidValid || pid <= 0)
        return refuse(QStringLiteral("--pid must be a process number"));

    const QString sha256 = parser.value(sha256Option);
    if (parser.isSet(sha256Option) && !klv::isSha256Text(sha256))
        return refuse(QStringLiteral("--sha256 must be 64 hexadecimal digits"));

    klv::LogFile log(parser.value(logOption));
    klv::ApplicationSwap swap({parser.value(appOption), parser.value(archiveOption), pid, parser.value(versionOption),
                               sha256, parser.value(relaunchOption), parser.value(reportOption)},
                              log, {quitTimeout, startWatch});
    return swap.run() ? 0 : 1;
}
