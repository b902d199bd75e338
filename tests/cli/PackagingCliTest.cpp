#include "CliRun.h"
#include "SandboxHome.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace klv::test {
namespace {

using namespace Qt::StringLiterals;

class PackagingCliTest : public ::testing::Test {
protected:
    CliResult klv(const QStringList &arguments) const { return runKlv(arguments, home.environment()); }

    SandboxHome home;
};

TEST_F(PackagingCliTest, TheManualPageHasEveryCommandOfTheHelpAndRendersWithoutWarnings) {
    const CliResult page = klv({u"--manual-page"_s});
    ASSERT_EQ(page.exitCode, 0) << page.err.toStdString();
    EXPECT_TRUE(page.out.startsWith(u".TH KLV 1 "_s));

    const QString help = klv({u"--help"_s}).out;
    const QString commands = help.section(u"Commands:\n"_s, 1).section(u"\n\n"_s, 0, 0);
    qsizetype described = 0;
    for (const QString &line : commands.split(u'\n')) {
        const QString name = line.trimmed().section(u' ', 0, 0);
        if (line.startsWith(u"  "_s) && !line.startsWith(u"    "_s) && name != u"help") {
            EXPECT_TRUE(page.out.contains(u".SS "_s + QString(name).replace(u'-', u"\\-"_s) + u'\n'))
                << name.toStdString();
            ++described;
        }
    }
    EXPECT_GE(described, 19);
    for (const char *code : {"0", "1", "2", "3", "4", "130"})
        EXPECT_TRUE(page.out.contains(u".TP\n.B "_s + QLatin1StringView(code) + u'\n')) << code;
    EXPECT_TRUE(page.out.contains(u".SH JSON OUTPUT"_s));
    EXPECT_TRUE(page.out.contains(u"updateAvailable"_s));

    QTemporaryDir dir;
    QFile file(dir.filePath(u"klv.1"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(page.out.toUtf8());
    file.close();
    QProcess groff;
    groff.start(u"groff"_s, {u"-man"_s, u"-Tutf8"_s, u"-ww"_s, u"-z"_s, file.fileName()});
    ASSERT_TRUE(groff.waitForFinished(30'000));
    EXPECT_EQ(groff.exitCode(), 0);
    EXPECT_TRUE(groff.readAllStandardError().isEmpty());
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
