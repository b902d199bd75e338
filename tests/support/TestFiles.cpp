#include "TestFiles.h"

#include <QDate>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QTimer>

namespace klv::test {

bool waitUntil(const std::function<bool()> &condition, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition() || deadline.hasExpired())
            loop.quit();
    });
    poll.start(5);
    if (!condition())
        loop.exec();
    return condition();
}

QByteArray readFile(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void copyFolder(const QString &from, const QString &to) {
    QDirIterator it(from, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + source.mid(from.size());
        QDir().mkpath(QFileInfo(target).path());
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

bool releaseUpdate(const QString &catalogFolder, const QString &productName) {
    const QString path = catalogFolder + QStringLiteral("/store.json");
    QJsonObject root = QJsonDocument::fromJson(readFile(path)).object();
    QJsonArray products = root[QStringLiteral("products")].toArray();
    for (QJsonValueRef product : products) {
        QJsonObject object = product.toObject();
        if (object[QStringLiteral("product_name")] == productName)
            object[QStringLiteral("lastest")] = QDate::currentDate().addDays(1).toString(QStringLiteral("yyyy.MM.dd"));
        product = object;
    }
    root[QStringLiteral("products")] = products;
    // A new commit, or the library as cached is taken as current.
    root[QStringLiteral("commitID")] = QString(root[QStringLiteral("commitID")].toString() + u'+' + productName);
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(QJsonDocument(root).toJson());
    return out.commit();
}

} // namespace klv::test
