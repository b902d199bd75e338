#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <utility>

struct archive;

namespace klv::test {

// Writes zip and tar archives entry by entry, exactly as told: any name (hostile ones such as "../x", absolute
// paths or an empty name included), any permission bits, folders, links and devices, and zip entries whose sizes
// only follow their data. The one way tests and fixtures make archives; libarchive does the writing.
class ArchiveWriter final {
public:
    enum class Format { zip, tarGzip, tarXz };
    // How a zip stores a file: deflated, as it is, or as it is with its sizes only in a descriptor after the data
    // (what a zip written as a stream holds).
    enum class Storage { deflated, stored, storedSizesAfterData };

    // Starts the archive at `path`, behind `prefix` when one is given (as a self-extracting program is).
    explicit ArchiveWriter(const QString &path, Format format = Format::zip, const QByteArray &prefix = {});
    ~ArchiveWriter();
    Q_DISABLE_COPY_MOVE(ArchiveWriter)

    // Every entry is dated 2021-03-04 05:06:08, local time.
    void addFile(const QString &name, const QByteArray &data, unsigned permissions = 0644,
                 Storage storage = Storage::deflated);
    void addFolder(const QString &name, unsigned permissions = 0755);
    void addSymlink(const QString &name, const QString &target);
    // Tar only.
    void addHardLink(const QString &name, const QString &target);
    void addCharacterDevice(const QString &name);
    // The files and folders below `folder` on disk, in name order and with their permission bits, named
    // `under` + their path below `folder`.
    void addTree(const QString &folder, const QString &under = {});
    // Ends the archive; false when anything could not be written (errorString() says what).
    bool finish();
    QString errorString() const { return m_error; }

    // A zip of these files, in this order.
    static bool writeZip(const QString &path, const QList<std::pair<QString, QByteArray>> &files);
    // A zip bomb: entries named `names` that each unpack to `entryBytes` zero bytes (below 4 GB each) from about a
    // thousandth of that. Deflated once and written out by hand, since libarchive would deflate every byte again.
    static bool writeZeroBomb(const QString &path, const QStringList &names, qint64 entryBytes);

private:
    void add(const QString &name, unsigned mode, const QByteArray &data, const QString &link, bool hardLink,
             Storage storage);
    void fail(const QString &what);

    QString m_path;
    Format m_format;
    int m_fd = -1;
    std::unique_ptr<struct archive, int (*)(struct archive *)> m_archive;
    qint64 m_prefixBytes = 0;
    // Where the local headers of entries whose sizes go after their data start, counted from the archive's start.
    QList<qint64> m_sizesAfterData;
    QString m_error;
    bool m_finished = false;
};

} // namespace klv::test
