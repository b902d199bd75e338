#include "SignedInKlvTest.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <unistd.h>

namespace klv::test {
namespace {

using namespace Qt::StringLiterals;

// Room is checked before a job downloads: what does not fit is refused with the folder, the need and the free
// space named, and nothing of it is written.
class InstallRoomCliTest : public SignedInKlvTest {
protected:
    void TearDown() override {
        if (m_mounted)
            QProcess::execute(u"umount"_s, {motionTemplates()});
    }

    QString motionTemplates() const { return home.filePath(u"Videos/Motion Templates.localized"_s); }
    QString downloads() const { return home.filePath(u".local/share/klv-app/Applications/Vantory/KLV-Download"_s); }
    // The store announces this size for the product's package, whatever the file holds.
    void announce(const QString &product, qint64 bytes) const {
        editCatalog([&](QJsonObject &root) {
            QJsonArray products = root[u"products"].toArray();
            for (QJsonValueRef entry : products) {
                QJsonObject record = entry.toObject();
                QJsonObject download = record[u"download"].toObject();
                QJsonObject templates = download[u"templateData"].toObject();
                for (auto it = templates.begin(); it != templates.end(); ++it) {
                    QJsonObject data = it.value().toObject();
                    if (data[u"product_name"] == product)
                        data[u"dlSize"] = bytes;
                    it.value() = data;
                }
                download[u"templateData"] = templates;
                record[u"download"] = download;
                entry = record;
            }
            root[u"products"] = products;
        });
    }
    // A small disk over the Motion Templates folder (root only).
    bool mountSmallDestination(const QString &size) {
        m_mounted = ::geteuid() == 0 && QDir().mkpath(motionTemplates()) &&
                    QProcess::execute(u"mount"_s, {u"-t"_s, u"tmpfs"_s, u"-o"_s, u"size="_s + size, u"tmpfs"_s,
                                                   motionTemplates()}) == 0;
        return m_mounted;
    }
    QStringList written(const QString &folder) const {
        QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        names.removeAll(u"filler"_s);
        return names;
    }

    bool m_mounted = false;
};

TEST_F(InstallRoomCliTest, APackageLargerThanTheDiskIsRefusedBeforeAnythingIsWritten) {
    announce(u"Fixture Titles"_s, qint64{1} << 39);
    const CliResult result = klv({u"install"_s, u"Fixture Titles"_s, u"--json"_s});
    EXPECT_EQ(result.exitCode, 4) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(u"not enough room in \""_s + downloads())) << result.err.toStdString();
    EXPECT_TRUE(result.err.contains(u"1024.00 GB are needed there and only "_s)) << result.err.toStdString();
    const QJsonArray failed = QJsonDocument::fromJson(result.out.toUtf8())[u"failed"].toArray();
    ASSERT_EQ(failed.size(), 1) << result.out.toStdString();
    EXPECT_TRUE(failed[0][u"reason"].toString().contains(u"Make room"_s));
    EXPECT_EQ(written(downloads()), QStringList()) << "nothing was downloaded";
    for (const QString &type : {u"Titles.localized"_s, u"Transitions.localized"_s})
        EXPECT_EQ(written(motionTemplates() + u'/' + type), QStringList());
}

TEST_F(InstallRoomCliTest, ProductsOfOneRunMustFitTogetherOnTheDestination) {
    if (!mountSmallDestination(u"3m"_s))
        GTEST_SKIP() << "mounting a small disk needs root";
    announce(u"Fixture Alpha"_s, 2 << 20);
    announce(u"Fixture Beta"_s, 2 << 20);

    const CliResult both = klv({u"install"_s, u"Fixture Alpha"_s, u"Fixture Beta"_s});
    EXPECT_EQ(both.exitCode, 4) << both.err.toStdString();
    EXPECT_EQ(both.out, u"Failed Fixture Alpha\nFailed Fixture Beta\n0 installed, 2 failed\n");
    EXPECT_TRUE(both.err.contains(u"not enough room in \""_s + motionTemplates())) << both.err.toStdString();
    EXPECT_TRUE(both.err.contains(u"4.00 MB are needed there"_s)) << both.err.toStdString();
    EXPECT_EQ(written(downloads()), QStringList());

    const CliResult one = klv({u"install"_s, u"Fixture Alpha"_s});
    EXPECT_EQ(one.exitCode, 0) << "one fits alone: " << one.err.toStdString();
}

} // namespace
} // namespace klv::test
