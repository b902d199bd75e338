#include "CliRun.h"
#include "SandboxHome.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace klv::test {
namespace {

using namespace Qt::StringLiterals;

class PackagingCliTest : public ::testing::Test {
protected:
    CliResult klv(const QStringList &arguments) const { return runKlv(arguments, home.environment()); }

    SandboxHome home;
};

TEST_F(PackagingCliTest, TheManualPageReadsAsDebiansOwn) {
    const CliResult page = klv({u"--manual-page"_s});
    ASSERT_EQ(page.exitCode, 0) << page.err.toStdString();
    EXPECT_TRUE(page.out.contains(QRegularExpression(u"^\\.TH KLV 1 \"\\d{4}-\\d\\d-\\d\\d\" \"klv "_s)))
        << page.out.left(80).toStdString();

    const QString help = klv({u"--help"_s}).out;
    const QString commands = help.section(u"Commands:\n"_s, 1).section(u"\n\n"_s, 0, 0);
    qsizetype described = 0;
    for (const QString &line : commands.split(u'\n')) {
        const QString name = line.trimmed().section(u' ', 0, 0);
        if (line.startsWith(u"  "_s) && !line.startsWith(u"    "_s) && name != u"help") {
            EXPECT_TRUE(page.out.contains(u".TP\n.B klv "_s + QString(name).replace(u'-', u"\\-"_s)))
                << name.toStdString();
            ++described;
        }
    }
    EXPECT_GE(described, 19);
    for (const char *code : {"0", "1", "2", "3", "4", "5", "130"})
        EXPECT_TRUE(page.out.contains(u".TP\n.B "_s + QLatin1StringView(code) + u'\n')) << code;
    for (const char *section : {"OPTIONS", "COMMANDS", "CONFIGURATION", "EXIT STATUS", "JSON OUTPUT", "ENVIRONMENT",
                                "FILES", "EXAMPLES", "SEE ALSO"})
        EXPECT_TRUE(page.out.contains(u".SH "_s + QLatin1StringView(section) + u'\n')) << section;
    for (const char *variable : {"KLV_STORE_URL", "KLV_STORE_KEY", "KLV_MARKETING_KEY", "KLV_DOWNLOAD_BUCKET_URL",
                                 "KLV_PLUGIN_SITE_URL", "KLV_FONT_STORE_URL", "KLV_LOGO_URL", "KLV_TUTORIAL_URL",
                                 "KLV_VIDEO_PLAYER_URL", "KLV_CA_FILE", "KLV_SYSTEM_CONFIG_DIR", "KLV_SELF_UPDATE",
                                 "KLV_DOWNLOAD_MAX_BYTES", "KLV_DOWNLOAD_STALL_WINDOW_MS", "https_proxy", "NO_COLOR"})
        EXPECT_TRUE(
            page.out.section(u".SH ENVIRONMENT"_s, 1).section(u".SH "_s, 0, 0).contains(QString::fromLatin1(variable)))
            << variable;
    for (const char *file : {"/etc/klv\\-app/klv\\-app.conf", "KLVAppLog.txt", "KLV\\-Installation.lock",
                             "KLVApp_MyProductCache.bin", "com.vantory.klvapp.conf"})
        EXPECT_TRUE(page.out.section(u".SH FILES"_s, 1).contains(QString::fromLatin1(file))) << file;

    QTemporaryDir dir;
    QFile file(dir.filePath(u"klv.1"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(page.out.toUtf8());
    file.close();
    QProcess groff;
    groff.start(u"groff"_s, {u"-man"_s, u"-Tutf8"_s, u"-ww"_s, u"-rLL=80n"_s, file.fileName()});
    ASSERT_TRUE(groff.waitForFinished(30'000));
    EXPECT_EQ(groff.exitCode(), 0);
    EXPECT_TRUE(groff.readAllStandardError().isEmpty());
    // Filled text as man shows it: no line beyond 80 columns, one usage line per command, each summary once.
    const QString shown = QString::fromUtf8(groff.readAllStandardOutput()).remove(QRegularExpression(u".\b"_s));
    for (const QString &line : shown.split(u'\n'))
        EXPECT_LE(line.size(), 80) << line.toStdString();
    EXPECT_FALSE(shown.contains(u"Usage:"_s));
    EXPECT_EQ(shown.count(u"Install products: templates, plug-ins, fonts, LUTs, composites."_s), 1);
}

TEST_F(PackagingCliTest, PackagingRequestsStayOutOfTheHelpAndTouchNothing) {
    const QString help = klv({u"--help"_s}).out;
    for (const QString &hidden :
         {u"--complete-products"_s, u"--manual-page"_s, u"--bash-completion"_s, u"--zsh-completion"_s}) {
        EXPECT_FALSE(help.contains(hidden)) << hidden.toStdString();
        const CliResult result = klv({hidden});
        EXPECT_EQ(result.exitCode, 0) << hidden.toStdString();
        EXPECT_TRUE(result.err.isEmpty()) << result.err.toStdString();
    }
    EXPECT_TRUE(klv({u"--complete-products"_s}).out.isEmpty()) << "no cached library, no names";
    EXPECT_TRUE(QDir(home.filePath(u".local/share"_s)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty())
        << "asking created the app's folders";
    // One option alone: with a command it is an unknown option as any other.
    EXPECT_EQ(klv({u"list"_s, u"--manual-page"_s}).exitCode, 2);
}

} // namespace
} // namespace klv::test
