#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace klv {

// One file found below an installed item.
struct ScannedFile {
    QString path;
    qint64 size = 0;
    // Nanoseconds since the epoch.
    qint64 modified = 0;
    // SHA-256 in hex; empty until hashed, or when the file could not be read.
    QByteArray sha256;
};

// Lists and hashes the files of installed items with plain system calls: verifying thousands of template folders
// must cost little more than a bare walk of them.
class FileTreeScan final {
public:
    // Every file below the roots (a root that is a file is itself), sorted by path. Links count as files of their
    // own and are never followed; roots that do not exist add nothing.
    static QList<ScannedFile> list(const QStringList &roots);
    // The size and time of one file (not following a link); false when it is not there.
    static bool stat(const QString &path, ScannedFile &file);
    // Hashes every file, spread over the machine's cores.
    static void hash(QList<ScannedFile> &files);
    static QByteArray sha256(const QString &path);
};

} // namespace klv
