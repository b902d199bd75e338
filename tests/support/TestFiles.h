#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class QJsonObject;
class QNetworkAccessManager;

namespace klv::test {

// Runs the event loop until the condition holds or the time is up; the condition's last value. The one way tests
// wait: for what ends the work, never for a fixed time.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 20'000);
// The requests of this network manager that have not finished. A check that nothing was asked for waits until
// this is none, then looks.
qsizetype requestsInFlight(const QNetworkAccessManager &network);
// The whole file, or nothing when it cannot be read.
QByteArray readFile(const QString &path);
// Writes the whole file at once (a reader never sees half of it), making its folders first.
bool writeFile(const QString &path, const QByteArray &content);
// A folder of tests/fixtures.
QString fixtureFolder(const QString &name);
// The catalog most tests serve: a few products of every kind and the accounts "tester" and "collector".
QString fixtureCatalog();
// A catalog of one product of every kind whose packages are built with the tests.
QString installCatalog();
// The demo store's catalog with its packages, pictures and web site, as scripts/demo serves it.
QString demoCatalog();
// Copies the files below `from` into `to`, keeping their permissions (catalogs the tests may then change).
void copyFolder(const QString &from, const QString &to);
// A catalog of its own whose store.json the test may change: store.json is copied, everything else (packages,
// pictures, the web site) is linked to `from`'s.
void linkCatalog(const QString &from, const QString &to);
// Changes a catalog folder's store.json in place; a running klv-store reads it again.
bool editCatalog(const QString &catalogFolder, const std::function<void(QJsonObject &)> &edit);
// In a catalog folder's store.json, gives the named product a release newer than anything installed today, so
// that the library offers it an update once it is installed.
bool releaseUpdate(const QString &catalogFolder, const QString &productName);

} // namespace klv::test
