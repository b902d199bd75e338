#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace klv::test {

// Runs the event loop until the condition holds or the time is up; returns the condition's last value.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 15'000);
// The whole file, or nothing when it cannot be read.
QByteArray readFile(const QString &path);
// Copies the files below `from` into `to`, keeping their permissions (catalogs the tests may then change).
void copyFolder(const QString &from, const QString &to);
// A catalog of its own whose store.json the test may change: store.json is copied, everything else (packages,
// pictures, the web site) is linked to `from`'s.
void linkCatalog(const QString &from, const QString &to);
// In a catalog folder's store.json, gives the named product a release newer than anything installed today, so
// that the library offers it an update once it is installed.
bool releaseUpdate(const QString &catalogFolder, const QString &productName);

} // namespace klv::test
