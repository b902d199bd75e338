#include "core/DownloadFolder.h"
#include "core/Locations.h"
#include "install/PlacementJournal.h"

#include "TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace klv {
namespace {

using namespace Qt::StringLiterals;

// Product names come from the store and may hold '#', spaces and wildcard characters; every name built for one
// reads back to it, and never to another product whose name it starts with.
TEST(DownloadFolderTest, EveryNameReadsBackToItsOwnProduct) {
    const DownloadFolder downloads(u"/d/KLV-Download/"_s);
    for (const QString &product : {u"Glow"_s, u"Glow#4K"_s, u"Pack #2 [HD] *"_s}) {
        EXPECT_EQ(DownloadFolder::productOf(QFileInfo(downloads.partialFile(product, u"templates"_s)).fileName()),
                  product);
        const QString note = DownloadFolder::noteOf(downloads.partialFile(product, u"fonts"_s));
        EXPECT_EQ(DownloadFolder::productOf(QFileInfo(note).fileName()), product);
        const QString journal = downloads.journalFile(product, u"plugin-Blur"_s);
        EXPECT_EQ(DownloadFolder::productOf(QFileInfo(journal).fileName()), product);
        const QString kept = DownloadFolder::keptJournalOf(journal);
        EXPECT_TRUE(DownloadFolder::isKeptJournal(QFileInfo(kept).fileName()));
        EXPECT_EQ(DownloadFolder::productOf(QFileInfo(kept).fileName()), product);
    }
    EXPECT_EQ(downloads.looksFolder(u"Glow"_s), u"/d/KLV-Download.Glow/"_s) << "beside the folder, not in it";
    EXPECT_EQ(downloads.packageFile(u"Glow"_s), u"/d/KLV-Download/Glow.zip"_s);
    EXPECT_EQ(downloads.jobFolder(u"Glow"_s), u"/d/KLV-Download/Glow"_s);
}

TEST(DownloadFolderTest, RecoveringOneProductLeavesWhatAnotherProductOfALongerNameKeeps) {
    QTemporaryDir root;
    // Recovery removes only inside the app's folders, which making the map allows.
    const Locations locations =
        Locations::forLinux(root.filePath(u"Videos"_s),
                            {root.filePath(u"data"_s), root.filePath(u"cache"_s), root.filePath(u"config"_s), {}},
                            u"group.example"_s, u"com.example"_s);
    const DownloadFolder downloads = locations.downloads();
    ASSERT_TRUE(QDir().mkpath(downloads.path()));
    // A placement of Glow cut short, and beside it a partial of Glow#4K whose note went with a finished download.
    ASSERT_TRUE(test::writeFile(downloads.journalFile(u"Glow"_s, u"templates"_s), "W\n"));
    const QString wholePartialOfGlow = downloads.partialFile(u"Glow"_s, u"templates"_s);
    const QString otherPartial = downloads.partialFile(u"Glow#4K"_s, u"templates"_s);
    ASSERT_TRUE(test::writeFile(wholePartialOfGlow, "zip"));
    ASSERT_TRUE(test::writeFile(otherPartial, "zip"));
    ASSERT_TRUE(QDir().mkpath(downloads.jobFolder(u"Glow"_s)));
    ASSERT_TRUE(QDir().mkpath(downloads.looksFolder(u"Glow"_s)));

    const PlacementJournal::Recovery recovery = PlacementJournal::recoverAll(downloads);

    EXPECT_EQ(recovery.products, QStringList{u"Glow"_s});
    EXPECT_TRUE(recovery.problems.isEmpty()) << recovery.problems.join(u'\n').toStdString();
    EXPECT_FALSE(QFileInfo::exists(wholePartialOfGlow));
    EXPECT_FALSE(QFileInfo::exists(downloads.jobFolder(u"Glow"_s)));
    EXPECT_FALSE(QFileInfo::exists(downloads.looksFolder(u"Glow"_s)));
    EXPECT_TRUE(QFileInfo::exists(otherPartial)) << "Glow#4K's partial is not Glow's";
    EXPECT_TRUE(downloads.journals().isEmpty());
}

} // namespace
} // namespace klv
