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
    // What its content hashes to: SHA-256 in hex, or "crc32:" and the CRC-32 in hex for a file recorded from the
    // archive it was unpacked from. Empty until hashed, or when the file could not be read.
    QByteArray digest;
    // Where it lives (not recorded): a file keeps both through a move.
    quint64 device = 0;
    quint64 inode = 0;
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
    // Gives every file that has no digest yet its SHA-256, spread over the machine's cores.
    static void hash(QList<ScannedFile> &files);
    // Gives every file a digest of the kind recorded for it (likeRecorded[i] for files[i]), to compare with.
    static void hashLike(QList<ScannedFile> &files, const QList<QByteArray> &likeRecorded);

    static QByteArray sha256(const QString &path);
    // The digest of content in the form sha256() gives.
    static QByteArray sha256Digest(QByteArrayView content);
    static QByteArray crc32Digest(quint32 crc);
    static bool isCrc32Digest(const QByteArray &digest);
    // The CRC-32 digest of a file's content; empty when it could not be read.
    static QByteArray crc32(const QString &path);
};

} // namespace klv
