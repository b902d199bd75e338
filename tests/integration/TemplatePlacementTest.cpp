#include "InstallerFixture.h"

#include "ArchiveWriter.h"
#include "TestFiles.h"

#include "install/TemplateInstaller.h"
#include "library/InstalledProducts.h"
#include "library/ProductLibrary.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>

#include <algorithm>

#include <unistd.h>

namespace klv::test {
namespace {

using namespace Qt::StringLiterals;

// A mount over a folder for one test; undone however the test ends.
class ScopedMount final {
public:
    explicit ScopedMount(QString folder)
        : m_folder(std::move(folder)) {}
    ~ScopedMount() {
        for (int i = 0; i < m_layers; ++i)
            QProcess::execute(u"umount"_s, {u"-l"_s, m_folder});
    }
    Q_DISABLE_COPY_MOVE(ScopedMount)

    bool tmpfs(const QString &size) {
        return run({u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size="_s + size, u"tmpfs"_s, m_folder});
    }
    // Root writes through permission bits; a read-only mount refuses it too.
    bool readOnly() {
        return run({u"--bind"_s, m_folder, m_folder}) &&
               QProcess::execute(u"mount"_s, {u"-o"_s, u"remount,bind,ro"_s, m_folder}) == 0;
    }

private:
    bool run(const QStringList &arguments) {
        if (QProcess::execute(u"mount"_s, arguments) != 0)
            return false;
        ++m_layers;
        return true;
    }

    QString m_folder;
    int m_layers = 0;
};

class TemplatePlacementTest : public InstallerFixture {
protected:
    void SetUp() override {
        InstallerFixture::SetUp();
        for (const QString &folder : locations().motionFolderByCategory)
            ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(QDir().mkpath(locations().downloadFolderURL));
    }

    const Locations &locations() const { return context->services().locations(); }
    QString titles(const QString &relative = {}) const { return locations().motionTitlesFolderURL + relative; }
    QString transitions(const QString &relative = {}) const {
        return locations().motionTransitionsFolderURL + relative;
    }
    static QStringList entries(const QString &folder) {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }
    void requireMounts() {
        if (::geteuid() != 0)
            GTEST_SKIP() << "mounting needs root";
    }
    // A package with one template document of `size` bytes: random (cannot be compressed) or tab-indented
    // "<layout>1" lines that need "<canvas>".
    QString serveLargePackage(const QString &name, qsizetype size, bool random) {
        QByteArray data = QByteArray("\t<layout>1\n").repeated(size / 11);
        if (random) {
            data.resize(size);
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(data.data()), size / 4);
        }
        ArchiveWriter zip(served(name + u".zip"_s));
        zip.addFile(u"Pack/Titles/KLV - "_s + name + u"/Big/Big.moti"_s, data);
        EXPECT_TRUE(zip.finish()) << zip.errorString().toStdString();
        return address(name + u".zip"_s);
    }
    InstallerReport install(const QString &name, const QString &link, std::unique_ptr<TemplateInstaller> *kept = {}) {
        auto installer = std::make_unique<TemplateInstaller>(InstallEnvironment{context->services(), notAutoKillList},
                                                             job(name, link));
        InstallerReport report = run(*installer);
        if (kept)
            *kept = std::move(installer);
        return report;
    }
};

TEST_F(TemplatePlacementTest, ProgressRisesThroughUnpackingAndPlacingInsteadOfJumpingAtTheEnd) {
    QList<std::pair<QString, QString>> entries;
    for (int i = 0; i < 40; ++i)
        entries.append({QStringLiteral("Pack/Titles/KLV - Steps/T%1/T%1.moti").arg(i), u"\t<layout>1\n"_s});
    const InstallerReport report = install(u"Steps"_s, serveZip(u"steps.zip"_s, entries));
    ASSERT_FALSE(report.failure) << report.failure->toStdString();
    const QList<double> &progress = report.templateProgress;
    EXPECT_TRUE(std::is_sorted(progress.cbegin(), progress.cend()));
    EXPECT_TRUE(progress.contains(0.9)) << "downloaded and unpacked whole";
    EXPECT_TRUE(std::any_of(progress.cbegin(), progress.cend(), [](double value) {
        return value > 0.95 && value < 1.0;
    })) << "the moves are counted before the end";
    EXPECT_EQ(progress.constLast(), 1.0);
}

TEST_F(TemplatePlacementTest, StrayEntriesBesideTheTypeFoldersAreSkipped) {
    const QString link = serveZip(u"stray.zip"_s, {{u"Pack/Titles/KLV - Stray/One/One.moti"_s, u"\t<layout>1\n"_s},
                                                   {u"Pack/Read Me.txt"_s, u"read me"_s},
                                                   {u"Pack/._Titles"_s, u"fork"_s},
                                                   {u"Pack/titles/KLV - Stray/Two/Two.moti"_s, u"x"_s}});
    const InstallerReport report = install(u"Stray"_s, link);
    ASSERT_FALSE(report.failure) << report.failure->toStdString();
    EXPECT_EQ(report.templateProgress.constLast(), 1.0);
    EXPECT_TRUE(readFile(titles(u"KLV - Stray/One/One.moti"_s)).contains("<canvas>"));
    EXPECT_EQ(entries(titles(u"KLV - Stray"_s)), QStringList{u"One"_s});
    for (const QString &stray : {u"Read Me.txt"_s, u"titles"_s})
        EXPECT_TRUE(logText().contains(u"the effect type: "_s + stray)) << stray.toStdString();
    EXPECT_FALSE(logText().contains(u"._Titles"_s)) << "an AppleDouble file is never unpacked";

    const QString none = serveZip(
        u"none.zip"_s, {{u"Pack/titles/KLV - None/Two/Two.moti"_s, u"x"_s}, {u"Pack/Read Me.txt"_s, u"read me"_s}});
    const InstallerReport failed = install(u"None"_s, none);
    ASSERT_TRUE(failed.failure);
    EXPECT_TRUE(failed.failure->contains(u"holds no Motion templates"_s)) << failed.failure->toStdString();
}

TEST_F(TemplatePlacementTest, AnUpdateSwapsWholeFoldersAndKeepsTheOldOnesUntilTheJobEnds) {
    ASSERT_TRUE(writeFile(titles(u"KLV - Pack/One/One.moti"_s), "old"));
    ASSERT_TRUE(writeFile(titles(u"KLV - Pack/Retired/stale.txt"_s), "old"));
    // What a killed run left: never taken for an installed product, removed by the next run.
    ASSERT_TRUE(
        writeFile(locations().motionGeneratorsFolderURL + u".klv-staging-x1-KLV - Pack/Half/Half.motn"_s, "half"));
    const InstalledProducts &installed = context->library().installedProducts();
    EXPECT_EQ(installed.findInstalledMotionTemplates(u"Pack"_s, false), QStringList{titles(u"KLV - Pack"_s)});

    const QString link = serveZip(u"pack.zip"_s, {{u"Pack/Titles/KLV - Pack/One/One.moti"_s, u"new"_s},
                                                  {u"Pack/Transitions/KLV - Pack/Wipe/Wipe.motr"_s, u"new"_s}});
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep);
        std::unique_ptr<TemplateInstaller> installer;
        const InstallerReport report = install(u"Pack"_s, link, &installer);
        ASSERT_FALSE(report.failure) << report.failure->toStdString();
        EXPECT_EQ(readFile(titles(u"KLV - Pack/One/One.moti"_s)), "new");
        EXPECT_FALSE(QFileInfo::exists(titles(u"KLV - Pack/Retired"_s))) << "a template folder is replaced whole";
        EXPECT_TRUE(QFileInfo::exists(transitions(u"KLV - Pack/Wipe/Wipe.motr"_s)));
        EXPECT_EQ(entries(locations().motionGeneratorsFolderURL), QStringList());
        EXPECT_EQ(installed.findInstalledMotionTemplates(u"Pack"_s, false),
                  (QStringList{titles(u"KLV - Pack"_s), transitions(u"KLV - Pack"_s)}));
        if (keep) {
            installer->commit();
            EXPECT_TRUE(waitUntil([&] { return entries(titles()) == QStringList{u"KLV - Pack"_s}; }))
                << entries(titles()).join(u", "_s).toStdString();
        } else {
            // Another component of the job failed: the product returns to what it was.
            installer->cancel();
            ASSERT_TRUE(waitUntil([&] { return installer->isStopped(); }));
            EXPECT_EQ(readFile(titles(u"KLV - Pack/One/One.moti"_s)), "old");
            EXPECT_EQ(readFile(titles(u"KLV - Pack/Retired/stale.txt"_s)), "old");
            EXPECT_EQ(entries(titles()), QStringList{u"KLV - Pack"_s});
            EXPECT_EQ(entries(transitions()), QStringList());
        }
    }
}

TEST_F(TemplatePlacementTest, AReadOnlyTypeFolderFailsTheJobAndChangesNothing) {
    requireMounts();
    ASSERT_TRUE(writeFile(titles(u"KLV - Pack/One/One.moti"_s), "old"));
    ScopedMount mount(transitions());
    if (!mount.readOnly())
        GTEST_SKIP() << "no bind mount here";
    const QString link = serveZip(u"pack.zip"_s, {{u"Pack/Titles/KLV - Pack/One/One.moti"_s, u"new"_s},
                                                  {u"Pack/Transitions/KLV - Pack/Wipe/Wipe.motr"_s, u"new"_s}});
    const InstallerReport report = install(u"Pack"_s, link);
    ASSERT_TRUE(report.failure);
    EXPECT_TRUE(report.failure->contains(u"could not be placed"_s)) << report.failure->toStdString();
    EXPECT_FALSE(report.templateProgress.contains(1.0));
    EXPECT_EQ(readFile(titles(u"KLV - Pack/One/One.moti"_s)), "old") << "the folder staged first is withdrawn";
    EXPECT_EQ(entries(titles()), QStringList{u"KLV - Pack"_s});
    EXPECT_EQ(entries(transitions()), QStringList());
}

// The same refusal for any user: a file stands where the transitions' folder should be.
TEST_F(TemplatePlacementTest, AFileWhereATypeFolderShouldBeFailsTheJobAndChangesNothing) {
    ASSERT_TRUE(writeFile(titles(u"KLV - Pack/One/One.moti"_s), "old"));
    const QString transitionsFolder = QDir::cleanPath(transitions());
    ASSERT_TRUE(QDir(transitionsFolder).removeRecursively());
    ASSERT_TRUE(writeFile(transitionsFolder, "not a folder"));
    const QString link = serveZip(u"pack.zip"_s, {{u"Pack/Titles/KLV - Pack/One/One.moti"_s, u"new"_s},
                                                  {u"Pack/Transitions/KLV - Pack/Wipe/Wipe.motr"_s, u"new"_s}});
    const InstallerReport report = install(u"Pack"_s, link);
    ASSERT_TRUE(report.failure);
    EXPECT_TRUE(report.failure->contains(u"could not be placed"_s)) << report.failure->toStdString();
    EXPECT_EQ(readFile(titles(u"KLV - Pack/One/One.moti"_s)), "old") << "the folder staged first is withdrawn";
    EXPECT_EQ(entries(titles()), QStringList{u"KLV - Pack"_s});
    EXPECT_EQ(readFile(transitionsFolder), "not a folder");
}

TEST_F(TemplatePlacementTest, AFullDiskUnderTheMotionFoldersFailsTheJobAndKeepsTheOldVersion) {
    requireMounts();
    ScopedMount mount(titles());
    if (!mount.tmpfs(u"512k"_s))
        GTEST_SKIP() << "no tmpfs here";
    ASSERT_TRUE(writeFile(titles(u"KLV - Big/One/One.moti"_s), "old"));

    // Another file system: copied into the staging folder, which the full disk stops halfway.
    const InstallerReport full = install(u"Big"_s, serveLargePackage(u"Big"_s, 900 * 1024, true));
    ASSERT_TRUE(full.failure);
    EXPECT_TRUE(full.failure->contains(u"could not be placed"_s)) << full.failure->toStdString();
    EXPECT_EQ(entries(titles()), QStringList{u"KLV - Big"_s});
    EXPECT_EQ(entries(titles(u"KLV - Big"_s)), QStringList{u"One"_s});

    const InstallerReport fits = install(u"Small"_s, serveLargePackage(u"Small"_s, 64 * 1024, true));
    ASSERT_FALSE(fits.failure) << fits.failure->toStdString();
    EXPECT_EQ(QFileInfo(titles(u"KLV - Small/Big/Big.moti"_s)).size(), 64 * 1024);
}

TEST_F(TemplatePlacementTest, ADocumentThatCannotBePreparedFailsTheJob) {
    requireMounts();
    ScopedMount mount(locations().downloadFolderURL);
    if (!mount.tmpfs(u"2m"_s))
        GTEST_SKIP() << "no tmpfs here";
    // Too large to be prepared while it is unpacked. Unpacked it fits; its prepared copy does not.
    const InstallerReport report = install(u"Doc"_s, serveLargePackage(u"Doc"_s, 1536 * 1024, false));
    ASSERT_TRUE(report.failure);
    EXPECT_TRUE(report.failure->contains(u"could not be prepared"_s)) << report.failure->toStdString();
    EXPECT_EQ(entries(titles()), QStringList());

    // Small enough to be prepared on its way to the disk, which has no room for it.
    const InstallerReport held = install(u"Held"_s, serveLargePackage(u"Held"_s, 1000 * 1024, false));
    ASSERT_TRUE(held.failure);
    EXPECT_TRUE(held.failure->contains(u"No space left on device"_s)) << held.failure->toStdString();
    EXPECT_EQ(entries(titles()), QStringList());
}

TEST_F(TemplatePlacementTest, APackageUnpackedAsItArrivesCountsOnlyOnceItsDownloadCompletes) {
    ASSERT_TRUE(writeFile(titles(u"KLV - Cut/One/One.moti"_s), "old"));
    const QString cutLink = serveLargePackage(u"Cut"_s, 3 << 20, true);
    writeCatalog({},
                 {QJsonObject{{u"path"_s, u"/files/Cut.zip"_s}, {u"kind"_s, u"truncate"_s}, {u"bytes"_s, 2 << 20}}});
    const InstallerReport cut = install(u"Cut"_s, cutLink);
    ASSERT_TRUE(cut.failure);
    EXPECT_TRUE(cut.failure->startsWith(u"The download of "_s)) << cut.failure->toStdString();
    EXPECT_EQ(readFile(titles(u"KLV - Cut/One/One.moti"_s)), "old");
    EXPECT_EQ(entries(titles()), QStringList{u"KLV - Cut"_s});
    EXPECT_EQ(tree(locations().downloadFolderURL + u"Cut/Templates"_s), QStringList())
        << "no archive, nothing unpacked";

    // A hostile entry is refused as it arrives.
    const InstallerReport hostile =
        install(u"Evil"_s, serveZip(u"evil.zip"_s, {{u"Pack/Titles/KLV - Evil/One/One.moti"_s, u"x"_s},
                                                    {u"Pack/../../../evil.moti"_s, u"evil"_s}}));
    ASSERT_TRUE(hostile.failure);
    EXPECT_TRUE(hostile.failure->contains(u"unsafe name"_s)) << hostile.failure->toStdString();
    EXPECT_FALSE(QFileInfo::exists(locations().downloadFolderURL + u"Evil/evil.moti"_s));
    EXPECT_EQ(tree(locations().downloadFolderURL + u"Evil/Templates"_s), QStringList());
    EXPECT_EQ(entries(titles()), QStringList{u"KLV - Cut"_s});

    // A zip behind other bytes cannot be read as it arrives; it is unpacked once complete.
    ArchiveWriter prefixed(served(u"Prefixed.zip"_s), ArchiveWriter::Format::zip,
                           "#!/bin/sh\nexit 0\n" + QByteArray(4000, '\0'));
    prefixed.addFile(u"Pack/Titles/KLV - Prefixed/One/One.moti"_s, "\t<layout>1\n");
    ASSERT_TRUE(prefixed.finish()) << prefixed.errorString().toStdString();
    const InstallerReport late = install(u"Prefixed"_s, address(u"Prefixed.zip"_s));
    ASSERT_FALSE(late.failure) << late.failure->toStdString();
    EXPECT_EQ(readFile(titles(u"KLV - Prefixed/One/One.moti"_s)), "<canvas>\n\t<layout>1\n");

    // Documents are prepared on their way to the disk and not read again, one too large to hold once it is
    // unpacked; hidden ones, those in hidden folders and other files are left as they are. Finder's leftover at
    // the top of a template is not installed.
    const QString large = u"\t<layout>1\n"_s + QString(1100 * 1024, u'x');
    const InstallerReport prepared =
        install(u"Docs"_s, serveZip(u"docs.zip"_s, {{u"Pack/Titles/KLV - Docs/A/A.moti"_s, u"\t<layout>1\r\n"_s},
                                                    {u"Pack/Titles/KLV - Docs/B/B.moti"_s, u"<canvas>\n\t<layout>1"_s},
                                                    {u"Pack/Titles/KLV - Docs/A/.Hidden.moti"_s, u"\t<layout>1"_s},
                                                    {u"Pack/Titles/KLV - Docs/.cache/C.moti"_s, u"\t<layout>1"_s},
                                                    {u"Pack/Titles/KLV - Docs/A/A.motr-old"_s, u"\t<layout>1"_s},
                                                    {u"Pack/Titles/KLV - Docs/A/notes.txt"_s, u"\t<layout>1"_s},
                                                    {u"Pack/Titles/KLV - Docs/Large/Large.motn"_s, large},
                                                    {u"Pack/Titles/KLV - Docs/.DS_Store"_s, u"Finder"_s},
                                                    {u"Pack/Titles/KLV - Docs/A/.DS_Store"_s, u"\t<layout>1"_s}}));
    ASSERT_FALSE(prepared.failure) << prepared.failure->toStdString();
    EXPECT_EQ(readFile(titles(u"KLV - Docs/A/A.moti"_s)), "<canvas>\r\n\t<layout>1\r\n");
    EXPECT_EQ(readFile(titles(u"KLV - Docs/B/B.moti"_s)), "<canvas>\n\t<layout>1");
    EXPECT_EQ(readFile(titles(u"KLV - Docs/A/A.motr-old"_s)), "<canvas>\n\t<layout>1");
    EXPECT_EQ(readFile(titles(u"KLV - Docs/Large/Large.motn"_s)), "<canvas>\n" + large.toUtf8());
    for (const QString &leftover : {u".DS_Store"_s, u"A/.DS_Store"_s})
        EXPECT_FALSE(QFileInfo::exists(titles(u"KLV - Docs/"_s + leftover))) << "Finder's leftover is installed";
    for (const QString &untouched : {u"A/.Hidden.moti"_s, u".cache/C.moti"_s, u"A/notes.txt"_s})
        EXPECT_EQ(readFile(titles(u"KLV - Docs/"_s + untouched)), "\t<layout>1") << untouched.toStdString();
    EXPECT_EQ(logText().count(u"<canvas> exist!"_s), 1) << "a document prepared while unpacked is read again";
    EXPECT_TRUE(prepared.steps.contains(u" - Prepping Templates 4 / 4"_s)) << prepared.steps.join(u'|').toStdString();
}

} // namespace
} // namespace klv::test
