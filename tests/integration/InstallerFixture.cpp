#include "InstallerFixture.h"

#include "TestFiles.h"

#include "install/JobInstaller.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTimer>

namespace klv::test {

using namespace Qt::StringLiterals;

void InstallerFixture::SetUp() {
    writeCatalog({});
    store = std::make_unique<StoreProcess>(catalog.path());
    ASSERT_TRUE(store->start()) << store->errorString().toStdString();
    Configuration configuration = Configuration::fromEnvironment();
    configuration.storeUrl = store->url();
    context = std::make_unique<AppContext>(configuration, alerts, clock);
    ASSERT_TRUE(QDir().mkpath(context->services().locations().logFolderURL));
}

QString InstallerFixture::serve(const QString &relative, const QByteArray &content) {
    const QString path = catalog.filePath(u"files/"_s + relative);
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    return store->url() + u"/files/"_s + relative;
}

QString InstallerFixture::serveZip(const QString &relative, const QList<std::pair<QString, QString>> &entries) {
    const QString path = catalog.filePath(u"files/"_s + relative);
    QDir().mkpath(QFileInfo(path).path());
    // The entries go through standard input: an argument may not hold more than 128 KB.
    QJsonArray list;
    for (const auto &[name, content] : entries)
        list.append(QJsonArray{name, content});
    QProcess python;
    python.start(u"python3"_s, {u"-c"_s, uR"(import sys, json, zipfile
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    for name, data in json.load(sys.stdin):
        z.writestr(zipfile.ZipInfo(name, (2021, 3, 4, 5, 6, 8)), data))"_s,
                                path});
    python.write(QJsonDocument(list).toJson(QJsonDocument::Compact));
    python.closeWriteChannel();
    EXPECT_TRUE(python.waitForFinished(60'000) && python.exitCode() == 0) << python.readAllStandardError().data();
    return store->url() + u"/files/"_s + relative;
}

void InstallerFixture::writeCatalog(const QJsonArray &products, const QJsonArray &faults) {
    QFile file(catalog.filePath(u"store.json"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        QJsonDocument(QJsonObject{{u"accounts"_s, QJsonArray()}, {u"products"_s, products}, {u"faults"_s, faults}})
            .toJson());
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
    return QString::fromUtf8(read(context->services().locations().logFileURL));
}

InstallationItem InstallerFixture::job(const QString &name, const QString &link) {
    InstallationItem item;
    item.product_name = name;
    item.downloadExtraInfo.insert(u"dlLink"_s, link);
    return item;
}

QByteArray InstallerFixture::read(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
