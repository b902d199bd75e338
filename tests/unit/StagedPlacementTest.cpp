#include "install/StagedPlacement.h"

#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

class StagedPlacementTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        ASSERT_TRUE(QDir().mkpath(unpacked()));
        ASSERT_TRUE(QDir().mkpath(destination()));
    }

    QString unpacked(const QString &relative = {}) const { return root.filePath(u"unpacked/"_s + relative); }
    QString destination(const QString &relative = {}) const { return root.filePath(u"installed/"_s + relative); }

    static QStringList entries(const QString &folder) {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    QTemporaryDir root;
};

TEST_F(StagedPlacementTest, ANewItemIsTakenBackEvenOnceTheFolderItCameFromIsGone) {
    ASSERT_TRUE(test::writeFile(unpacked(u"One/One.moti"_s), "new"));
    StagedPlacement placement;
    ASSERT_FALSE(placement.stage(unpacked(u"One"_s), destination(u"One"_s)));
    EXPECT_EQ(entries(destination()), QStringList()) << "nothing shows before the swap";
    ASSERT_FALSE(placement.swapIn());
    EXPECT_EQ(test::readFile(destination(u"One/One.moti"_s)), "new");

    // The installer removes its unpacking before the job as a whole succeeds or fails.
    ASSERT_TRUE(QDir(unpacked()).removeRecursively());
    placement.takeBack();
    EXPECT_EQ(entries(destination()), QStringList());
}

TEST_F(StagedPlacementTest, ANameTakenAfterStagingKeepsWhatItHeldUntilThePlacementIsKept) {
    ASSERT_TRUE(test::writeFile(unpacked(u"One/One.moti"_s), "new"));
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep);
        StagedPlacement placement;
        ASSERT_FALSE(placement.stage(unpacked(u"One"_s), destination(u"One"_s)));
        // Another program installs the same template meanwhile.
        ASSERT_TRUE(test::writeFile(destination(u"One/One.moti"_s), "other"));
        ASSERT_FALSE(placement.swapIn());
        EXPECT_EQ(test::readFile(destination(u"One/One.moti"_s)), "new");
        ASSERT_TRUE(QDir(unpacked()).removeRecursively());
        if (keep) {
            placement.keep();
            EXPECT_EQ(entries(destination()), QStringList{u"One"_s});
            EXPECT_EQ(test::readFile(destination(u"One/One.moti"_s)), "new");
        } else {
            placement.takeBack();
            EXPECT_EQ(entries(destination()), QStringList{u"One"_s});
            EXPECT_EQ(test::readFile(destination(u"One/One.moti"_s)), "other");
            ASSERT_TRUE(test::writeFile(unpacked(u"One/One.moti"_s), "new"));
        }
    }
}

} // namespace
} // namespace klv
