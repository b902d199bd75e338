#include "SignedInKlvTest.h"

#include "TestFiles.h"

#include "cli/ProgressDisplay.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>

namespace klv::test {
namespace {

using cli::ProgressDisplay;
using namespace Qt::StringLiterals;

class ProgressCliTest : public SignedInKlvTest {
protected:
    void prepareCatalog() override {
        // A slow line: the first download lasts a few seconds, long enough for speed and time left.
        editCatalog([](QJsonObject &root) {
            root[u"faults"] = QJsonArray{QJsonObject{{u"path"_s, u"/files/templates/fixture-titles.zip"_s},
                                                     {u"kind"_s, u"throttle"_s},
                                                     {u"bytesPerSecond"_s, bytesPerSecond}}};
        });
    }

    QProcessEnvironment environment() const override {
        QProcessEnvironment environment = SignedInKlvTest::environment();
        environment.insert(u"KLV_DOWNLOAD_STALL_WINDOW_MS"_s, u"60000"_s);
        environment.insert(u"TERM"_s, u"xterm"_s);
        return environment;
    }
    static QStringList twoProducts() { return {u"install"_s, u"Fixture Titles"_s, u"Fixture Alpha"_s}; }

    // What the terminal shows after each redraw or line break, without colours.
    static QStringList frames(QString output) {
        output.remove(QRegularExpression(u"\\x1b\\[[0-9;]*m"_s));
        return output.split(QRegularExpression(u"\\r\\x1b\\[2K|\\r?\\n"_s), Qt::SkipEmptyParts);
    }

    static constexpr int bytesPerSecond = 500;
};

TEST(ProgressLineTest, FitsTheWidthWithOneNumberFormat) {
    for (const int columns : {20, 40, 60, 80, 200}) {
        const QString line = ProgressDisplay::composeLine(u"A Product With A Rather Long Name Indeed"_s, 2, 4, 37.9,
                                                          2.5 * 1024 * 1024, 65, columns);
        EXPECT_LE(line.size(), columns - 1) << columns << ": " << line.toStdString();
        EXPECT_TRUE(line.startsWith(u"(2/4) "_s)) << line.toStdString();
        EXPECT_TRUE(line.contains(u" 37%"_s)) << line.toStdString();
    }
    const QString wide = ProgressDisplay::composeLine(u"Glow"_s, 1, 1, 50, 2.5 * 1024 * 1024, 3725, 120);
    EXPECT_EQ(wide, u"(1/1) Glow [##############..............]  50%  2.50 MB/s  1:02:05 left"_s);
    EXPECT_TRUE(ProgressDisplay::composeLine(u"Glow"_s, 1, 1, 99.7, 0, -1, 80).endsWith(u" 99%"_s))
        << "nearly done is not done";
    EXPECT_TRUE(ProgressDisplay::composeLine(u"Glow"_s, 1, 1, 100, 0, -1, 80).endsWith(u"100%"_s));
}

TEST_F(ProgressCliTest, OnATerminalTheBarRedrawsInPlaceWithinTheWidthAndAStableJobCount) {
    const CliResult result = runKlvOnTerminal(twoProducts(), environment(), 50);
    ASSERT_EQ(result.exitCode, 0) << result.out.toStdString();
    EXPECT_TRUE(result.out.contains(u"\r\x1b[2K"_s)) << "redrawn in place";
    const QStringList shown = frames(result.out);
    QStringList bars;
    for (const QString &frame : shown) {
        EXPECT_LE(frame.size(), 49) << frame.toStdString();
        if (frame.startsWith(u'('))
            bars << frame;
    }
    ASSERT_FALSE(bars.isEmpty()) << result.out.toStdString();
    for (const QString &bar : bars)
        EXPECT_TRUE(bar.startsWith(u"(1/2) "_s) || bar.startsWith(u"(2/2) "_s)) << bar.toStdString();
    // Each job starts from nothing: the last job's 100 % does not carry over.
    const auto firstOf = [&](const QString &place) {
        for (const QString &bar : bars) {
            if (bar.startsWith(place))
                return bar;
        }
        return QString();
    };
    EXPECT_TRUE(firstOf(u"(1/2)"_s).contains(u" 0%"_s)) << firstOf(u"(1/2)"_s).toStdString();
    EXPECT_TRUE(firstOf(u"(2/2)"_s).contains(u" 0%"_s)) << firstOf(u"(2/2)"_s).toStdString();
    EXPECT_TRUE(bars.filter(u" left"_s).size() > 0) << "time left on the slow download";
    int shownPercent = 0;
    QString place;
    for (const QString &bar : bars) {
        const int percent = QRegularExpression(u" (\\d+)%"_s).match(bar).captured(1).toInt();
        if (bar.left(5) == place) {
            EXPECT_GE(percent, shownPercent) << "a job's percentage never goes back: " << bar.toStdString();
        }
        place = bar.left(5);
        shownPercent = percent;
    }
    EXPECT_TRUE(shown.contains(u"Installed Fixture Titles"_s)) << "the outcome replaces the bar";
    EXPECT_TRUE(shown.contains(u"Installed Fixture Alpha"_s));
    EXPECT_TRUE(result.out.contains(u"\x1b[32mInstalled Fixture Titles\x1b[0m"_s)) << "success in colour";
}

TEST_F(ProgressCliTest, TheBarFollowsTheWholeJobAtThePaceOfTheDownload) {
    const QString package = catalog.filePath(u"files/templates/fixture-titles.zip"_s);
    const double seconds = double(QFileInfo(package).size()) / bytesPerSecond;
    const CliResult result = runKlvOnTerminal({u"install"_s, u"Fixture Titles"_s}, environment(), 100);
    ASSERT_EQ(result.exitCode, 0) << result.out.toStdString();
    QSet<int> percents;
    QList<double> speeds;
    QList<int> secondsLeft;
    static const QRegularExpression shown(u" (\\d+)%(?:  ([0-9.]+) (bytes|KB|MB)/s)?(?:  (\\d+):(\\d+) left)?$"_s);
    for (const QString &frame : frames(result.out)) {
        const QRegularExpressionMatch match = shown.match(frame);
        if (!frame.startsWith(u'(') || !match.hasMatch())
            continue;
        percents.insert(match.captured(1).toInt());
        if (!match.captured(2).isEmpty())
            speeds << match.captured(2).toDouble() * (match.captured(3) == u"KB" ? 1024 : 1);
        if (!match.captured(4).isEmpty())
            secondsLeft << match.captured(4).toInt() * 60 + match.captured(5).toInt();
    }
    const int between = int(std::count_if(percents.cbegin(), percents.cend(), [](int p) { return p > 0 && p < 100; }));
    EXPECT_GE(between, 3) << "the bar passes through the job, not from nothing to done: " << result.out.toStdString();
    ASSERT_FALSE(speeds.isEmpty()) << result.out.toStdString();
    for (const double speed : speeds) {
        EXPECT_GT(speed, bytesPerSecond / 3.0) << result.out.toStdString();
        EXPECT_LT(speed, bytesPerSecond * 3.0) << result.out.toStdString();
    }
    ASSERT_FALSE(secondsLeft.isEmpty());
    EXPECT_GT(*std::max_element(secondsLeft.cbegin(), secondsLeft.cend()), 0) << "time left counts down from above 0";
    EXPECT_LE(*std::max_element(secondsLeft.cbegin(), secondsLeft.cend()), int(std::ceil(seconds)) + 1);
}

TEST_F(ProgressCliTest, OffATerminalPlainLinesOnDumbOrQuietNone) {
    const CliResult piped = runKlv(twoProducts(), environment());
    ASSERT_EQ(piped.exitCode, 0) << piped.err.toStdString();
    EXPECT_FALSE(piped.err.contains(u'\r')) << "no redrawing into a file";
    EXPECT_FALSE(piped.err.contains(u'\x1b'));
    EXPECT_TRUE(piped.err.contains(u"(1/2) Fixture Titles"_s)) << piped.err.toStdString();
    EXPECT_EQ(piped.out, u"Installed Fixture Titles\nInstalled Fixture Alpha\n2 installed\n"_s)
        << "no colour into a pipe";

    ASSERT_EQ(runKlv({u"uninstall"_s, u"Fixture Titles"_s, u"Fixture Alpha"_s, u"--yes"_s}, environment()).exitCode, 0);
    QProcessEnvironment dumb = environment();
    dumb.insert(u"TERM"_s, u"dumb"_s);
    const CliResult onDumb = runKlvOnTerminal(twoProducts(), dumb, 80);
    ASSERT_EQ(onDumb.exitCode, 0) << onDumb.out.toStdString();
    EXPECT_FALSE(onDumb.out.contains(u"(1/2)"_s)) << onDumb.out.toStdString();
    EXPECT_FALSE(onDumb.out.contains(u'\x1b')) << "no colour on a dumb terminal";

    ASSERT_EQ(runKlv({u"uninstall"_s, u"Fixture Titles"_s, u"Fixture Alpha"_s, u"--yes"_s}, environment()).exitCode, 0);
    const CliResult quiet = runKlvOnTerminal(twoProducts() + QStringList{u"--quiet"_s}, environment(), 80);
    ASSERT_EQ(quiet.exitCode, 0) << quiet.out.toStdString();
    EXPECT_FALSE(quiet.out.contains(u"(1/2)"_s)) << quiet.out.toStdString();
    EXPECT_TRUE(quiet.out.contains(u"Installed Fixture Alpha"_s));

    ASSERT_EQ(runKlv({u"uninstall"_s, u"Fixture Titles"_s, u"Fixture Alpha"_s, u"--yes"_s}, environment()).exitCode, 0);
    const CliResult json = runKlv(twoProducts() + QStringList{u"--json"_s}, environment());
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    QJsonParseError error{};
    const QJsonObject summary = QJsonDocument::fromJson(json.out.toUtf8(), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.out.toStdString();
    EXPECT_EQ(summary[u"version"], 1);
    EXPECT_EQ(summary[u"installed"].toArray(), (QJsonArray{u"Fixture Titles"_s, u"Fixture Alpha"_s}));
    EXPECT_EQ(summary[u"failed"].toArray(), QJsonArray());
    EXPECT_EQ(summary[u"cancelled"], false);
}

} // namespace
} // namespace klv::test
