#include "app/AppContext.h"
#include "app/StartupSequence.h"
#include "core/BinaryPlistBounds.h"
#include "core/ProductImageMapArchive.h"
#include "store/Services.h"

#include "SandboxHome.h"
#include "ScriptedAlerts.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QList>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

QByteArray bigEndian(quint64 value, int width) {
    QByteArray bytes(width, '\0');
    for (int i = width - 1; i >= 0; --i, value >>= 8)
        bytes[i] = char(value & 0xFF);
    return bytes;
}

// A binary property list made of arrays only: element i lists the objects array i refers to.
QByteArray arrayPlist(const QList<QList<quint64>> &arrays) {
    constexpr int width = 4;
    QByteArray data("bplist00");
    QList<quint64> offsets;
    for (const QList<quint64> &references : arrays) {
        offsets.append(quint64(data.size()));
        if (references.size() < 15) {
            data.append(char(0xA0 | references.size()));
        } else {
            data.append(char(0xAF));
            data.append(char(0x12));
            data.append(bigEndian(quint64(references.size()), 4));
        }
        for (const quint64 reference : references)
            data.append(bigEndian(reference, width));
    }
    const quint64 offsetTable = quint64(data.size());
    for (const quint64 offset : offsets)
        data.append(bigEndian(offset, width));
    data.append(QByteArray(6, '\0'));
    data.append(char(width));
    data.append(char(width));
    data.append(bigEndian(quint64(arrays.size()), 8));
    data.append(bigEndian(0, 8));
    data.append(bigEndian(offsetTable, 8));
    return data;
}

// Each array holds the next one; the last is empty.
QByteArray nestedPlist(int levels) {
    QList<QList<quint64>> arrays;
    for (int i = 0; i < levels; ++i)
        arrays.append(QList<quint64>{quint64(i + 1)});
    arrays.append(QList<quint64>{});
    return arrayPlist(arrays);
}

constexpr BinaryPlistBounds::Limits limits{1 << 20, 32, 100'000};

TEST(PictureMapBoundsTest, DeepWideCyclicAndBrokenListsAreRefusedBeforeParsing) {
    const QByteArray deep = nestedPlist(100'000);
    EXPECT_GT(deep.size(), 800'000);
    EXPECT_TRUE(BinaryPlistBounds::check(deep, {qint64(16) << 20, 32, 1 << 22}));
    // libplist would recurse once per level and overflow the stack: decoding must not reach it.
    EXPECT_FALSE(ProductImageMapArchive::decode(deep));

    EXPECT_FALSE(BinaryPlistBounds::check(nestedPlist(30), limits));
    EXPECT_TRUE(BinaryPlistBounds::check(nestedPlist(40), limits));
    EXPECT_TRUE(BinaryPlistBounds::check(arrayPlist({{0}}), limits)) << "an array holding itself";
    // Three levels of a thousand references to one shared array: a billion visits in a walk.
    EXPECT_TRUE(BinaryPlistBounds::check(
        arrayPlist({QList<quint64>(1000, 1), QList<quint64>(1000, 2), QList<quint64>(1000, 3), {}}), limits));
    EXPECT_TRUE(BinaryPlistBounds::check(arrayPlist({{7}}), limits)) << "a reference past the objects";
    QByteArray truncated = nestedPlist(3);
    truncated.remove(12, 4);
    EXPECT_TRUE(BinaryPlistBounds::check(truncated, limits));
    EXPECT_TRUE(BinaryPlistBounds::check(QByteArray(2 << 20, 'x'), limits));
}

TEST(PictureMapBoundsTest, RealMapsOfManyPicturesStayWithinTheBounds) {
    ProductImageMap map;
    for (qint64 id = 0; id < 20'000; ++id)
        map.insert(id, QUrl::fromLocalFile(u"/pictures/Product number %1.png"_s.arg(id)));
    const QByteArray archive = ProductImageMapArchive::encode(map);
    EXPECT_LT(archive.size() * 5, ProductImageMapArchive::maxArchiveBytes) << "room for 100,000 pictures";
    // Decoding takes linear time: twenty thousand pictures read back in moments.
    EXPECT_EQ(ProductImageMapArchive::decode(archive), map);
}

// Found by fuzzing: a class name read as UTF-16 that holds U+0000 made libplist 2.2 abort the program.
TEST(PictureMapBoundsTest, AStringHoldingANulMakesTheMapUnreadable) {
    const QByteArray archive =
        test::readFile(QStringLiteral(KLV_FUZZ_CORPUS_DIR "/picture-map/regression-string-with-nul"));
    ASSERT_FALSE(archive.isEmpty());
    EXPECT_FALSE(ProductImageMapArchive::decode(archive));
}

TEST(PictureMapBoundsTest, AMapTooDeepOrTooLargeIsRewrittenEmptyAtStartUp) {
    const QByteArray oversized = QByteArray("bplist00") + QByteArray(ProductImageMapArchive::maxArchiveBytes, '\0');
    for (const QByteArray &hostile : {nestedPlist(100'000), oversized}) {
        const test::SandboxHome home;
        test::ScriptedAlerts alerts;
        AppContext context(Configuration::fromEnvironment(), alerts);
        const Locations &l = context.services().locations();
        ASSERT_TRUE(QDir().mkpath(l.sharedContainerURL));
        QFile file(l.userDataFileURL);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(hostile), hostile.size());
        file.close();

        runStartupSequence(context, {}, UpdaterFetch::onDemand);
        EXPECT_TRUE(context.services().productImageMap.isEmpty());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(ProductImageMapArchive::decode(file.readAll()), ProductImageMap{});
    }
}

} // namespace
} // namespace klv
