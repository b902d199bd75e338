#include "cli/Terminal.h"

#include "core/ControlCharacters.h"
#include "store/LogFile.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

// A product name that would clear the screen, retitle the window and forge a line of its own.
const QString hostileName = u"Line1\nInstalled Evil\x1b[2J\x1b]0;owned\x07\r\u009b31m\x7f"_s;

QString readAll(const QString &path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll());
}

bool hasControlCharacter(const QString &text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() <= 0x9f))
            return true;
    }
    return false;
}

TEST(ControlCharacterEscapingTest, EveryControlCharacterBecomesVisibleAndTheRestStays) {
    EXPECT_EQ(escapeControlCharacters(hostileName),
              u"Line1\\nInstalled Evil\\x1b[2J\\x1b]0;owned\\x07\\r\\u009b31m\\x7f"_s);
    EXPECT_EQ(escapeControlCharacters(u"Tab\there"_s), u"Tab\\there"_s);
    // Bidirectional controls would show the rest of the line reversed or reordered.
    EXPECT_EQ(escapeControlCharacters(u"Glow \u202eslooT.exe \u2066x\u2069 \u200f"_s),
              u"Glow \\u202eslooT.exe \\u2066x\\u2069 \\u200f"_s);
    const QString plain = u"Élan Titles – 日本 😀 \\n stays as typed"_s;
    EXPECT_EQ(escapeControlCharacters(plain), plain);
}

// The terminal's three streams, each a temporary file read back after the fact.
class TerminalOutputTest : public ::testing::Test {
protected:
    QString output() const { return contents(m_output.get()); }
    QString errors() const { return contents(m_errors.get()); }

    static QString contents(std::FILE *stream) {
        std::fflush(stream);
        std::rewind(stream);
        QByteArray bytes;
        for (int c = std::fgetc(stream); c != EOF; c = std::fgetc(stream))
            bytes.append(char(c));
        return QString::fromUtf8(bytes);
    }

    using File = std::unique_ptr<std::FILE, decltype(&std::fclose)>;
    File m_input{std::tmpfile(), &std::fclose};
    File m_output{std::tmpfile(), &std::fclose};
    File m_errors{std::tmpfile(), &std::fclose};
    cli::Terminal m_terminal{m_input.get(), m_output.get(), m_errors.get()};
};

TEST_F(TerminalOutputTest, TextFromTheStoreCannotDriveTheTerminalOrForgeALine) {
    m_terminal.printResult(u"  + "_s + hostileName + u" (not installed)"_s);
    m_terminal.printMessage(u"Alert: "_s + hostileName);
    m_terminal.redrawLine(hostileName + u" [####] 40%"_s);
    m_terminal.endLine();

    const QStringList results = output().split(u'\n');
    ASSERT_EQ(results.size(), 2) << "one line and the empty rest after its line break";
    EXPECT_FALSE(hasControlCharacter(results.first())) << results.first().toStdString();
    EXPECT_TRUE(results.first().startsWith(u"  + Line1\\nInstalled Evil"_s));

    const QStringList messages = errors().split(u'\n');
    ASSERT_EQ(messages.size(), 3);
    EXPECT_FALSE(hasControlCharacter(messages.at(0)));
    // The redrawn progress line keeps only its own carriage return and erase sequence.
    EXPECT_TRUE(messages.at(1).startsWith(u"\r\x1b[2KLine1\\nInstalled Evil\\x1b[2J"_s))
        << messages.at(1).toStdString();
    EXPECT_FALSE(hasControlCharacter(messages.at(1).sliced(5)));
}

TEST_F(TerminalOutputTest, AMessageTakesTheProgressLineAwayBeforeItIsPrinted) {
    m_terminal.redrawLine(u"(1/2) Glow [###...]  30%"_s);
    m_terminal.printMessage(u"log: written"_s);
    m_terminal.printMessage(u"Alert: next"_s);
    EXPECT_EQ(errors(), u"\r\x1b[2K(1/2) Glow [###...]  30%\r\x1b[2Klog: written\nAlert: next\n"_s);
}

TEST_F(TerminalOutputTest, JsonResultsReadBackToTheStoresTextAndStayInert) {
    const QJsonArray rows{QJsonObject{{u"product_name"_s, hostileName}}};
    m_terminal.printJson({{u"products"_s, rows}});
    const QString printed = output();
    EXPECT_FALSE(hasControlCharacter(printed.trimmed().remove(u'\n'))) << printed.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(printed.toUtf8())[u"products"].toArray(), rows);
    EXPECT_EQ(QJsonDocument::fromJson(printed.toUtf8())[u"version"], 1);
}

TEST_F(TerminalOutputTest, OurOwnTextOfSeveralLinesKeepsItsLines) {
    m_terminal.printResultLines(u"Usage: klv\n\nCommands:"_s);
    EXPECT_EQ(output(), u"Usage: klv\n\nCommands:\n"_s);
}

TEST(LogEscapingTest, AStoreMessageIsOneEntryWhateverItHolds) {
    QTemporaryDir dir;
    LogFile log(dir.filePath(u"KLVAppLog.txt"_s));
    log.appendLog(u"KLVApp_Error: While get sale tier 0. for email a@b, with error "_s + hostileName +
                  u"\n2026-01-01 00:00:00 +0000 : forged entry"_s);
    const QStringList lines = readAll(log.filePath()).split(u'\n');
    ASSERT_EQ(lines.size(), 2) << "the leading line break and one entry";
    EXPECT_FALSE(hasControlCharacter(lines.at(1)));
    EXPECT_TRUE(lines.at(1).endsWith(u"\\n2026-01-01 00:00:00 +0000 : forged entry"_s));
}

} // namespace
} // namespace klv
