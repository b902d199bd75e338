#include "CliRun.h"
#include "SandboxHome.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace klv::test {
namespace {

using namespace Qt::StringLiterals;

const QStringList commandNames{u"login"_s,   u"logout"_s, u"whoami"_s,     u"refresh"_s, u"list"_s,   u"outdated"_s,
                               u"install"_s, u"update"_s, u"uninstall"_s,  u"verify"_s,  u"repair"_s, u"open"_s,
                               u"show"_s,    u"sale"_s,   u"free"_s,       u"rewards"_s, u"claim"_s,  u"clear-cache"_s,
                               u"doctor"_s,  u"log"_s,    u"self-update"_s};

class CommandLineCliTest : public ::testing::Test {
protected:
    CliResult klv(const QStringList &arguments) const { return runKlv(arguments, home.environment()); }

    SandboxHome home;
};

QStringList tooWide(const QString &text) {
    QStringList lines;
    for (const QString &line : text.split(u'\n')) {
        if (line.size() > 80)
            lines.append(line);
    }
    return lines;
}

TEST_F(CommandLineCliTest, StrayArgumentsAndUnknownOptionsAreRefusedWithTheCommandsUsage) {
    const struct {
        QStringList arguments;
        QString problem;
    } cases[] = {
        {{u"list"_s, u"extra"_s}, u"unexpected argument \"extra\""_s},
        {{u"list"_s, u"--bogus"_s}, u"unknown option --bogus"_s},
        {{u"whoami"_s, u"-x"_s}, u"unknown option -x"_s},
        {{u"claim"_s, u"1"_s, u"2"_s}, u"unexpected argument \"2\""_s},
        {{u"login"_s, u"tester"_s, u"other"_s}, u"unexpected argument \"other\""_s},
        {{u"open"_s, u"Twin Titles"_s, u"Glow"_s}, u"unexpected argument \"Glow\""_s},
        {{u"install"_s, u"--all"_s, u"Glow"_s}, u"unknown option --all"_s},
        {{u"list"_s, u"--filter"_s}, u"--filter"_s},
        {{u"list"_s, u"--json=3"_s}, u"json"_s},
    };
    for (const auto &[arguments, problem] : cases) {
        const CliResult result = klv(arguments);
        const std::string context = arguments.join(u' ').toStdString() + "\n" + result.err.toStdString();
        EXPECT_EQ(result.exitCode, 2) << context;
        EXPECT_TRUE(result.out.isEmpty()) << context;
        EXPECT_TRUE(result.err.startsWith(u"klv " + arguments.first() + u": ")) << context;
        EXPECT_TRUE(result.err.contains(problem)) << context;
        EXPECT_TRUE(result.err.contains(u"\nUsage: klv " + arguments.first() + u" [OPTIONS]")) << context;
    }

    EXPECT_EQ(klv({u"--quiet"_s, u"log"_s}).exitCode, 0) << "--quiet and --verbose also come before the command";
    EXPECT_EQ(klv({u"log"_s, u"--verbose"_s, u"-q"_s}).exitCode, 0);

    const CliResult unknown = klv({u"frobnicate"_s});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_EQ(unknown.err,
              u"Unknown command \"frobnicate\".\nRun 'klv --help' for the commands and their options.\n"_s);
}

TEST_F(CommandLineCliTest, MistakesGetTheLikelyMeaningAndJsonWhenAskedFor) {
    const struct {
        QStringList arguments;
        QString said;
    } cases[] = {
        {{u"instal"_s, u"Glow"_s}, u"Unknown command \"instal\". Did you mean \"install\"?\n"_s},
        {{u"lsit"_s}, u"Did you mean \"list\"?"_s},
        {{u"list"_s, u"--jsn"_s}, u"unknown option --jsn (did you mean --json?)."_s},
        {{u"list"_s, u"--filter=installed"_s, u"--sotr=az"_s}, u"(did you mean --sort?)"_s},
        {{u"install"_s}, u"klv install: NAME is required.\nUsage: klv install [OPTIONS] NAME...\n"_s},
        {{u"uninstall"_s, u"-y"_s}, u"klv uninstall: NAME is required.\n"_s},
        {{u"repair"_s, u"-y"_s}, u"klv repair: NAME is required.\nUsage: klv repair [OPTIONS] NAME...\n"_s},
        {{u"claim"_s, u"eleven"_s}, u"klv claim: TIER is a number from 1 to 10.\nUsage: klv claim"_s},
    };
    for (const auto &[arguments, said] : cases) {
        const CliResult result = klv(arguments);
        EXPECT_EQ(result.exitCode, 2) << arguments.join(u' ').toStdString();
        EXPECT_TRUE(result.err.contains(said)) << result.err.toStdString();
        EXPECT_FALSE(result.err.contains(u"Commands:"_s)) << "not the whole overview: " << result.err.toStdString();
    }
    EXPECT_FALSE(klv({u"list"_s, u"--xy"_s}).err.contains(u"did you mean"_s)) << "nothing close";

    const CliResult asJson = klv({u"whoami"_s, u"-x"_s, u"--json"_s});
    EXPECT_EQ(asJson.exitCode, 2);
    const QJsonObject refusal = QJsonDocument::fromJson(asJson.out.toUtf8()).object();
    EXPECT_EQ(refusal[u"exitCode"], 2);
    EXPECT_EQ(refusal[u"version"], 1);
    EXPECT_TRUE(refusal[u"error"].toString().startsWith(u"klv whoami: unknown option -x"_s))
        << asJson.out.toStdString();
}

TEST_F(CommandLineCliTest, HelpNamesTheCommandAndIsTheSameEitherWay) {
    const CliResult overview = klv({u"--help"_s});
    EXPECT_EQ(overview.exitCode, 0);
    EXPECT_EQ(klv({u"help"_s}).out, overview.out);
    for (const QString &name : commandNames) {
        const CliResult help = klv({name, u"--help"_s});
        EXPECT_EQ(help.exitCode, 0) << name.toStdString();
        EXPECT_TRUE(help.out.contains(u"\nUsage: klv " + name + u" [OPTIONS]")) << help.out.toStdString();
        EXPECT_FALSE(help.out.contains(u'/')) << "no program path: " << help.out.toStdString();
        EXPECT_TRUE(help.out.contains(u"--quiet"_s) && help.out.contains(u"--verbose"_s)) << name.toStdString();
        const CliResult viaHelp = klv({u"help"_s, name});
        EXPECT_EQ(viaHelp.exitCode, 0) << name.toStdString();
        EXPECT_EQ(viaHelp.out, help.out) << name.toStdString();
        EXPECT_TRUE(overview.out.contains(u"\n  " + name + u' ')) << "listed: " << name.toStdString();
    }
    EXPECT_TRUE(klv({u"install"_s, u"--help"_s}).out.contains(u"as klv list shows them"_s));
    EXPECT_EQ(klv({u"help"_s, u"frobnicate"_s}).exitCode, 2);
}

TEST_F(CommandLineCliTest, HelpFitsEightyColumnsWithTheSummariesInOneColumn) {
    const QString overview = klv({u"--help"_s}).out;
    EXPECT_EQ(tooWide(overview), QStringList());
    const QString commands = overview.section(u"Commands:\n"_s, 1).section(u"\n\n"_s, 0, 0);
    const QRegularExpression row(u"^  (\\S+)( +)\\S"_s);
    QList<qsizetype> summaryColumns;
    for (const QString &line : commands.split(u'\n')) {
        const QRegularExpressionMatch match = row.match(line);
        ASSERT_TRUE(match.hasMatch()) << "one line per command: " << line.toStdString();
        summaryColumns.append(match.capturedEnd(2));
    }
    EXPECT_EQ(summaryColumns.size(), commandNames.size() + 1) << "and help";
    EXPECT_EQ(std::count(summaryColumns.begin(), summaryColumns.end(), summaryColumns.first()), summaryColumns.size())
        << commands.toStdString();

    for (const QString &name : commandNames)
        EXPECT_EQ(tooWide(klv({name, u"--help"_s}).out), QStringList()) << name.toStdString();
}

} // namespace
} // namespace klv::test
