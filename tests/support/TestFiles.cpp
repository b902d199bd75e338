#include "TestFiles.h"

#include <QDate>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSaveFile>
#include <QTest>

#include <algorithm>

namespace klv::test {

using namespace Qt::StringLiterals;

bool waitUntil(const std::function<bool()> &condition, int timeoutMs) {
    return QTest::qWaitFor(condition, timeoutMs);
}

qsizetype requestsInFlight(const QNetworkAccessManager &network) {
    // Qt makes every reply a child of its manager.
    const QList<QNetworkReply *> replies = network.findChildren<QNetworkReply *>();
    return std::count_if(replies.cbegin(), replies.cend(),
                         [](const QNetworkReply *reply) { return reply->isRunning(); });
}

QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &content) {
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.commit();
}

QString fixtureFolder(const QString &name) {
    return QString::fromUtf8(KLV_FIXTURES_DIR "/") + name;
}

QString fixtureCatalog() {
    return fixtureFolder(u"catalog"_s);
}

QString installCatalog() {
    return QString::fromUtf8(KLV_INSTALL_FIXTURE_DIR);
}

QString demoCatalog() {
    return QString::fromUtf8(KLV_DEMO_DIR);
}

void copyFolder(const QString &from, const QString &to) {
    QDirIterator it(from, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + source.mid(from.size());
        QDir().mkpath(QFileInfo(target).path());
        QFile::remove(target);
        QFile::copy(source, target);
        QFile::setPermissions(target, QFile::permissions(source));
    }
}

void linkCatalog(const QString &from, const QString &to) {
    QDir().mkpath(to);
    const QDir source(from);
    for (const QString &name : source.entryList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        if (name == u"store.json")
            QFile::copy(source.filePath(name), to + u'/' + name);
        else
            QFile::link(source.filePath(name), to + u'/' + name);
    }
}

bool editCatalog(const QString &catalogFolder, const std::function<void(QJsonObject &)> &edit) {
    const QString path = catalogFolder + u"/store.json"_s;
    QJsonObject root = QJsonDocument::fromJson(readFile(path)).object();
    edit(root);
    return writeFile(path, QJsonDocument(root).toJson());
}

bool releaseUpdate(const QString &catalogFolder, const QString &productName) {
    return editCatalog(catalogFolder, [&productName](QJsonObject &root) {
        QJsonArray products = root[u"products"_s].toArray();
        for (QJsonValueRef product : products) {
            QJsonObject object = product.toObject();
            if (object[u"product_name"_s] == productName)
                object[u"lastest"_s] = QDate::currentDate().addDays(1).toString(u"yyyy.MM.dd"_s);
            product = object;
        }
        root[u"products"_s] = products;
        // A new commit, or the library as cached is taken as current.
        root[u"commitID"_s] = QString(root[u"commitID"_s].toString() + u'+' + productName);
    });
}

} // namespace klv::test
