#include "InstallerFixture.h"

#include "ArchiveWriter.h"
#include "TestFiles.h"

#include "install/JobInstaller.h"

#include <QDir>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace klv::test {

using namespace Qt::StringLiterals;

void InstallerFixture::SetUp() {
    writeCatalog({});
    store = std::make_unique<storeservice::StoreProcess>(catalog.path());
    ASSERT_TRUE(store->start()) << store->errorString().toStdString();
    Configuration configuration = Configuration::fromEnvironment();
    configuration.storeUrl = store->url();
    configuration.fontStoreUrl = address(u"fonts/"_s);
    configuration.pluginSiteUrl = address(u"plugins/"_s);
    context = std::make_unique<AppContext>(configuration, alerts, clock);
    ASSERT_TRUE(QDir().mkpath(context->services().locations().logFolderURL));
}

QString InstallerFixture::served(const QString &relative) const {
    return catalog.filePath(u"files/"_s + relative);
}

QString InstallerFixture::address(const QString &relative) const {
    return store->url() + u"/files/"_s + relative;
}

QString InstallerFixture::serve(const QString &relative, const QByteArray &content) {
    EXPECT_TRUE(writeFile(served(relative), content)) << relative.toStdString();
    return address(relative);
}

QString InstallerFixture::serveZip(const QString &relative, const QList<std::pair<QString, QString>> &entries) {
    ArchiveWriter zip(served(relative));
    for (const auto &[name, content] : entries)
        zip.addFile(name, content.toUtf8());
    EXPECT_TRUE(zip.finish()) << zip.errorString().toStdString();
    return address(relative);
}

void InstallerFixture::writeCatalog(const QJsonArray &products, const QJsonArray &faults) {
    ASSERT_TRUE(writeFile(
        catalog.filePath(u"store.json"_s),
        QJsonDocument(QJsonObject{{u"accounts"_s, QJsonArray()}, {u"products"_s, products}, {u"faults"_s, faults}})
            .toJson()));
}

InstallerReport InstallerFixture::run(JobInstaller &installer, const std::function<bool()> &done) {
    InstallerReport report;
    QObject receiver;
    QObject::connect(&installer, &JobInstaller::progressed, &receiver, [&](const QString &component, double value) {
        EXPECT_EQ(component, u"Template Progress"_s);
        report.templateProgress.append(value);
    });
    QObject::connect(&installer, &JobInstaller::stepChanged, &receiver,
                     [&](const QString &suffix) { report.steps.append(suffix); });
    QObject::connect(&installer, &JobInstaller::failed, &receiver,
                     [&](const QString &message) { report.failure = message; });
    installer.start();
    EXPECT_TRUE(waitUntil([&] { return report.failure || report.templateProgress.contains(1.0) || (done && done()); }))
        << "the installer did not finish";
    return report;
}

QString InstallerFixture::logText() const {
    return QString::fromUtf8(readFile(context->services().locations().logFileURL));
}

InstallationItem InstallerFixture::job(const QString &name, const QString &link) {
    InstallationItem item;
    item.product_name = name;
    item.downloadExtraInfo.insert(u"dlLink"_s, link);
    return item;
}

QStringList InstallerFixture::tree(const QString &folder) {
    QStringList items;
    for (QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();)
        items << QDir(folder).relativeFilePath(it.next());
    items.sort();
    return items;
}

} // namespace klv::test
