#include "store/JsonDecoding.h"
#include "store/LogFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <vector>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

QString readAll(const QString &path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll());
}

class LogFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    LogFile log{dir.filePath(u"KLVAppLog.txt"_s)};
};

TEST_F(LogFileTest, StartsWithALineBreakAndStampsEveryEntryInUtc) {
    log.appendLog(u"first"_s);
    log.appendLog(u"second : with colon\nand a second line"_s);
    const QString text = readAll(log.filePath());
    ASSERT_TRUE(text.startsWith(u'\n'));
    const QRegularExpression entry(u"^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2} \\+0000 : "_s);
    const QStringList lines = text.mid(1).split(u'\n');
    ASSERT_EQ(lines.size(), 2) << "a line break inside a message is written escaped";
    EXPECT_TRUE(entry.match(lines[0]).hasMatch()) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith(u" : first"));
    EXPECT_TRUE(entry.match(lines[1]).hasMatch());
    EXPECT_TRUE(lines[1].endsWith(u" : second : with colon\\nand a second line"));
}

TEST_F(LogFileTest, TheFirstEntryOfANewHomeMakesTheLogsFolder) {
    LogFile early(dir.filePath(u"Vantory/Log/KLVAppLog.txt"_s));
    early.appendLog(u"before start-up made the folder"_s);
    EXPECT_TRUE(readAll(early.filePath()).endsWith(u" : before start-up made the folder"));
}

TEST_F(LogFileTest, AppendsToWhatIsThereAndKeepsConcurrentEntriesWhole) {
    QFile existing(log.filePath());
    existing.open(QIODevice::WriteOnly);
    existing.write("\nolder entry");
    existing.close();

    constexpr int writers = 4;
    constexpr int perWriter = 200;
    std::vector<std::unique_ptr<QThread>> threads;
    for (int w = 0; w < writers; ++w) {
        threads.emplace_back(QThread::create([this, w] {
            for (int i = 0; i < perWriter; ++i)
                log.appendLog(u"writer %1 entry %2 "_s.arg(w).arg(i) + QString(100, u'x'));
        }));
        threads.back()->start();
    }
    for (auto &thread : threads)
        thread->wait();

    const QStringList lines = readAll(log.filePath()).split(u'\n');
    EXPECT_EQ(lines.value(1), u"older entry");
    EXPECT_EQ(lines.size(), 2 + writers * perWriter);
    const QRegularExpression whole(u" : writer \\d entry \\d+ x{100}$"_s);
    for (qsizetype i = 2; i < lines.size(); ++i)
        ASSERT_TRUE(whole.match(lines[i]).hasMatch()) << lines[i].toStdString();
}

TEST_F(LogFileTest, RotatesAtFiveMegabytesKeepingOneOldFile) {
    const QString threeMegabytes(3 * 1024 * 1024, u'a');
    log.appendLog(u"first " + threeMegabytes);
    log.appendLog(u"second " + threeMegabytes);
    EXPECT_LE(QFileInfo(log.filePath()).size(), LogFile::defaultRotationBytes);
    EXPECT_TRUE(readAll(log.filePath()).contains(u" : second a"));
    EXPECT_TRUE(readAll(log.rotatedFilePath()).contains(u" : first a"));

    log.appendLog(u"third " + threeMegabytes);
    EXPECT_TRUE(readAll(log.filePath()).contains(u" : third a"));
    EXPECT_TRUE(readAll(log.rotatedFilePath()).contains(u" : second a"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2) << "only one old file is kept";

    // Small entries fill the file up to the cap before it moves aside.
    LogFile small(dir.filePath(u"small.txt"_s), 100);
    for (int i = 0; i < 5; ++i)
        small.appendLog(u"entry %1"_s.arg(i));
    EXPECT_LE(QFileInfo(small.filePath()).size(), 100);
    // Entries of 36 bytes: two fit, the third and the fifth start a new file.
    EXPECT_EQ(readAll(small.filePath()).count(u'\n'), 1);
    EXPECT_TRUE(readAll(small.filePath()).endsWith(u" : entry 4"));
    const QString previous = readAll(small.rotatedFilePath());
    EXPECT_TRUE(previous.contains(u" : entry 2\n") && previous.endsWith(u" : entry 3")) << previous.toStdString();
}

TEST_F(LogFileTest, DecodingAcceptsOnlyObjectsAndLogsParseErrors) {
    EXPECT_EQ(decodeJSONObject(R"({"status":true})", log)->value(u"status").toBool(), true);
    EXPECT_FALSE(decodeJSONObject("[]", log));
    EXPECT_FALSE(QFile::exists(log.filePath())) << "a top-level array is refused without a log line";

    EXPECT_FALSE(decodeJSONObject("true", log));
    EXPECT_FALSE(decodeJSONObject("<html>Bad gateway</html>", log));
    EXPECT_FALSE(decodeJSONObject("", log));
    const QString text = readAll(log.filePath());
    EXPECT_EQ(text.count(u" : Error : JSONSerialization Error: "_s), 3) << text.toStdString();
}

} // namespace
} // namespace klv
