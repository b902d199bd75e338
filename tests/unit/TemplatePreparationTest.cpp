#include "install/TemplatePreparation.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <stop_token>

#include <sys/mount.h>
#include <sys/resource.h>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

using Outcome = TemplatePreparation::Outcome;

class TemplatePreparationTest : public ::testing::Test {
protected:
    QString write(const QString &relative, const QByteArray &content) {
        EXPECT_TRUE(test::writeFile(dir.filePath(relative), content));
        return dir.filePath(relative);
    }

    QTemporaryDir dir;
};

const QByteArray document = "<?xml version=\"1.0\"?>\n<ozml version=\"5.11\">\n"
                            "\t<layout>1</layout>\n"
                            "\t<scene>\n\t\t<layout>1</layout>\n\t\t<layout>10</layout>\n\t</scene>\n"
                            "  <layout>1</layout>\n<layout>1</layout>\n\t<layout>2</layout>\n"
                            "\t<name>Überblende \xff</name>\n\t<layout>1";

TEST_F(TemplatePreparationTest, InsertsCanvasExactlyAsTheStreamEditorRuleDoes) {
    const QString path = write(u"Title.moti"_s, document);
    const QString reference = write(u"reference"_s, document);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);

    const auto result = TemplatePreparation::prepare(path);
    EXPECT_EQ(result.outcome, Outcome::Inserted);
    EXPECT_EQ(result.insertions, 4);
    EXPECT_EQ(test::readFile(path),
              "<?xml version=\"1.0\"?>\n<ozml version=\"5.11\">\n"
              "<canvas>\n\t<layout>1</layout>\n"
              "\t<scene>\n\t<canvas>\n\t<layout>1</layout>\n\t<canvas>\n\t<layout>10</layout>\n\t</scene>\n"
              "  <layout>1</layout>\n<layout>1</layout>\n\t<layout>2</layout>\n"
              "\t<name>Überblende \xff</name>\n<canvas>\n\t<layout>1");
    // The rule is the one of `sed 's/\t<layout>1/<canvas>\n\t<layout>1/g'`; GNU sed understands it as written.
    QProcess sed;
    sed.start(u"sed"_s, {u"-i"_s, u"s/\\t<layout>1/<canvas>\\n\\t<layout>1/g"_s, reference});
    ASSERT_TRUE(sed.waitForFinished());
    EXPECT_EQ(test::readFile(path), test::readFile(reference));

    EXPECT_EQ(QFileInfo(path).permissions(),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{u"Title.moti"_s, u"reference"_s}));

    // Prepared once, the document has its canvas and stays as it is.
    const QDateTime modified = QFileInfo(path).lastModified();
    const QByteArray prepared = test::readFile(path);
    EXPECT_EQ(TemplatePreparation::prepare(path).outcome, Outcome::CanvasPresent);
    EXPECT_EQ(test::readFile(path), prepared);
    EXPECT_EQ(QFileInfo(path).lastModified(), modified);
}

TEST_F(TemplatePreparationTest, KeepsLineEndingsAndLeavesDocumentsThatNeedNothingUntouched) {
    const QString crlf = write(u"a.motn"_s, "<ozml>\r\n\t\t<layout>1</layout>\r\n\t<layout>1\r\n</ozml>");
    EXPECT_EQ(TemplatePreparation::prepare(crlf).insertions, 2);
    EXPECT_EQ(test::readFile(crlf),
              "<ozml>\r\n\t<canvas>\r\n\t<layout>1</layout>\r\n<canvas>\r\n\t<layout>1\r\n</ozml>");

    const QByteArray withCanvas = "<ozml>\n<canvas>\n\t<layout>1\n<!--uuid:123-->\n";
    const QString present = write(u"b.motr"_s, withCanvas);
    const auto presentResult = TemplatePreparation::prepare(present);
    EXPECT_EQ(presentResult.outcome, Outcome::CanvasPresent);
    EXPECT_TRUE(presentResult.mentionsUuid);
    EXPECT_EQ(test::readFile(present), withCanvas);

    const QString noLayout = write(u"c.moef"_s, "<ozml>\n  <layout>1\n</ozml>\n");
    EXPECT_EQ(TemplatePreparation::prepare(noLayout).outcome, Outcome::NothingToInsert);
    EXPECT_EQ(test::readFile(noLayout), "<ozml>\n  <layout>1\n</ozml>\n");

    const auto missing = TemplatePreparation::prepare(dir.filePath(u"gone.motn"_s));
    EXPECT_EQ(missing.outcome, Outcome::Failed);
    EXPECT_TRUE(missing.error->contains(u"gone.motn")) << missing.error->toStdString();
}

TEST_F(TemplatePreparationTest, PreparesEveryDocumentInOrderAndTakesThosePreparedAlready) {
    QStringList documents;
    for (int i = 0; i < 1000; ++i)
        documents.append(write(u"Titles/T%1/T%2.%3"_s.arg(i % 10).arg(i).arg(i % 2 ? u"moti" : u"motn"), document));
    // Already prepared on its way to the disk: counted with its result, never opened (it is not there).
    const QString unpacked = dir.filePath(u"Titles/T0/Unpacked.moti"_s);
    documents.insert(500, unpacked);
    TemplatePreparation::PreparedDocuments prepared;
    prepared.insert(unpacked, {Outcome::CanvasPresent, 0, true, std::nullopt});

    QElapsedTimer timer;
    timer.start();
    qsizetype calls = 0;
    const auto summary = TemplatePreparation::prepareDocuments(
        documents,
        [&](qsizetype index, qsizetype count, const QString &path, const auto &result) {
            EXPECT_EQ(index, calls++);
            EXPECT_EQ(count, 1001);
            EXPECT_EQ(path, documents[index]);
            EXPECT_EQ(result.outcome, path == unpacked ? Outcome::CanvasPresent : Outcome::Inserted);
        },
        {}, prepared);
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_EQ(summary.documents, 1001);
    EXPECT_EQ(summary.inserted, 1000);
    EXPECT_TRUE(summary.errors.isEmpty());
    EXPECT_NE(test::readFile(documents.constFirst()), document);

    std::stop_source stop;
    qsizetype preparedAfterStop = 0;
    TemplatePreparation::prepareDocuments(
        documents,
        [&](qsizetype, qsizetype, const QString &, const auto &) {
            ++preparedAfterStop;
            stop.request_stop();
        },
        stop.get_token());
    EXPECT_EQ(preparedAfterStop, 1);
}

TEST_F(TemplatePreparationTest, GivesTheSameDocumentWhereverTheChunksEnd) {
    // Markers split at every possible place: a long CRLF line whose break lies chunks ahead of its layout lines,
    // layout lines at the very start and end, and "<canvas>" or "uuid:" only at the end of a document.
    const QByteArray longLine = "\t<layout>1" + QByteArray(50, 'x') + "\t<layout>1" + QByteArray(30, 'y') + "\r\n";
    const QByteArray editable = "\t<layout>1</layout>\n" + longLine + document + "\r\n" + longLine + "\t<layout>1";
    const struct {
        QByteArray content;
        Outcome outcome;
        bool uuid;
    } cases[] = {
        {editable, Outcome::Inserted, false},
        {editable + "\n<canvas>", Outcome::CanvasPresent, false},
        {"uuid:" + editable + "<canvas>", Outcome::CanvasPresent, true},
        {"<canvas>" + editable + "uuid:", Outcome::CanvasPresent, true},
        {QByteArray(100, '\t') + "<layout>2\n<layout>1", Outcome::NothingToInsert, false},
    };
    for (const auto &example : cases) {
        const QString whole = write(u"whole.motn"_s, example.content);
        const auto expected = TemplatePreparation::prepare(whole);
        ASSERT_EQ(expected.outcome, example.outcome);
        EXPECT_EQ(expected.mentionsUuid, example.uuid);
        // Held whole in memory, as a small document is while it is unpacked.
        QByteArray inMemory = example.content;
        const auto fromMemory = TemplatePreparation::prepareContent(inMemory);
        EXPECT_EQ(fromMemory.outcome, expected.outcome);
        EXPECT_EQ(fromMemory.insertions, expected.insertions);
        EXPECT_EQ(fromMemory.mentionsUuid, expected.mentionsUuid);
        EXPECT_EQ(inMemory, test::readFile(whole));
        for (const qsizetype chunk : {1, 2, 3, 5, 7, 9, 10, 11, 13, 17, 31, 64, 89}) {
            SCOPED_TRACE(chunk);
            const QString path = write(u"chunked.motn"_s, example.content);
            const auto result = TemplatePreparation::prepare(path, chunk);
            EXPECT_EQ(result.outcome, expected.outcome);
            EXPECT_EQ(result.insertions, expected.insertions);
            EXPECT_EQ(result.mentionsUuid, expected.mentionsUuid);
            EXPECT_EQ(test::readFile(path), test::readFile(whole));
        }
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{u"chunked.motn"_s, u"whole.motn"_s}));
}

long peakResidentKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST_F(TemplatePreparationTest, PreparesAHugeDocumentInBoundedMemory) {
    // 64 MB of layout lines and one 8 MB line without a break; read whole and copied, it would take 144 MB.
    QByteArray block;
    for (int i = 0; block.size() < (1 << 20) - 100; ++i)
        block += "\t<layout>1</layout> <layer id=\"" + QByteArray::number(i) + "\"/>\n";
    const QByteArray longLine = QByteArray(8 << 20, 'x');
    const QString path = dir.filePath(u"Huge.moti"_s);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        for (int i = 0; i < 64; ++i)
            ASSERT_EQ(file.write(block), block.size());
        ASSERT_EQ(file.write("\t<layout>1" + longLine + "\r\n"), longLine.size() + 12);
    }
    const int perBlock = int(block.count("\t<layout>1"));

    const long before = peakResidentKilobytes();
    const auto result = TemplatePreparation::prepare(path);
    const long grownKilobytes = peakResidentKilobytes() - before;
    ASSERT_EQ(result.outcome, Outcome::Inserted) << result.error.value_or(QString()).toStdString();
    EXPECT_EQ(result.insertions, 64 * perBlock + 1);
    EXPECT_LT(grownKilobytes, 24 * 1024);

    QByteArray expectedBlock = block;
    expectedBlock.replace("\t<layout>1", "<canvas>\n\t<layout>1");
    QFile prepared(path);
    ASSERT_TRUE(prepared.open(QIODevice::ReadOnly));
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(prepared.read(expectedBlock.size()), expectedBlock) << "block " << i;
    EXPECT_EQ(prepared.readAll(), "<canvas>\r\n\t<layout>1" + longLine + "\r\n");
}

// A full disk: nothing of the copy stays, the document is as it was and the error names it.
TEST_F(TemplatePreparationTest, AFailedWriteLeavesTheDocumentAsItWas) {
    const QString small = dir.filePath(u"small"_s);
    QDir().mkpath(small);
    if (::mount("tmpfs", QFile::encodeName(small).constData(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "mounting a small tmpfs needs root: " << std::strerror(errno);
    QByteArray content;
    while (content.size() < 700 * 1024)
        content += "\t<layout>1</layout>\n";
    const QString path = write(u"small/Full.motr"_s, content);
    const auto result = TemplatePreparation::prepare(path);
    const QStringList left = QDir(small).entryList(QDir::Files | QDir::Hidden);
    const QByteArray after = test::readFile(path);
    ::umount2(QFile::encodeName(small).constData(), MNT_DETACH);

    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_EQ(result.insertions, 0);
    EXPECT_TRUE(result.error && result.error->contains(u"Full.motr") && result.error->contains(u"written"))
        << result.error.value_or(QString()).toStdString();
    EXPECT_EQ(after, content);
    EXPECT_EQ(left, QStringList{u"Full.motr"_s});
}

} // namespace
} // namespace klv
