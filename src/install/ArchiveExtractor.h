#pragma once

#include "library/UnpackedFile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <stop_token>

namespace klv {

class GrowingDownload;

// Unpacks an archive (zip or any other format libarchive reads) into a folder, in-process and streaming.
//
// Untrusted archives: every entry name is checked before anything is written for it (absolute paths, ".."
// components, empty names and control characters are refused), links and special files are refused, what
// archivers and file managers add (PackageJunk) is skipped, and the bytes written are capped. A zip unpacks exactly
// the entries of its central directory (ZipDirectory), under their names as stored, each with the size and checksum
// listed there; two entries on one path fail it. Every entry holds as many bytes as its header says.
// Items are created below the destination, opened once, one folder at a time and never through a link, whether the
// archive or someone else put it there. Any refused entry, a damaged archive, a write error, the cap or a stop request
// fails the whole extraction; then every file and folder this extraction created is removed again. Files that existed
// before and were overwritten keep their new content.
//
// extract() blocks and belongs on a worker thread; the progress handler is called on that thread.
class ArchiveExtractor final {
public:
    // bytesTotal is the archive's declared unpacked size, or -1 when the format does not say it up front (a zip
    // that is still arriving); archiveBytesRead is how far into the archive's file unpacking has got.
    using ProgressHandler = std::function<void(qint64 bytesWritten, qint64 bytesTotal, qint64 archiveBytesRead)>;

    struct Result {
        std::optional<QString> error; // a sentence for the user; nothing on success
        bool cancelled = false;
        QStringList topLevelItems; // first path components extracted, in archive order
        qint64 bytesWritten = 0;
        // The archive could not be read: damaged, cut short, or as it arrived, in a form that needs the whole file.
        bool unreadable = false;
        // What arrived could not be read as it arrived, so it was unpacked again from the complete file.
        bool unpackedTwice = false;
        // The files written, with what their content hashes to: a zip's entries as packed, and edited entries.
        UnpackedFiles unpackedFiles;

        bool succeeded() const { return !error.has_value(); }
    };

    // Edits small file entries on their way to the disk, so that they are written once.
    struct EntryEditor {
        qint64 largestEntry = 0; // larger entries, and those whose size is not known up front, are written as they are
        // Asked for every file entry, edited or not: whether to hand it to edit.
        std::function<bool(const QStringList &components)> wants;
        std::function<void(const QStringList &components, QByteArray &content)> edit;
    };

    static constexpr qint64 defaultByteLimit = qint64{8} << 30;

    explicit ArchiveExtractor(qint64 byteLimit = defaultByteLimit, ProgressHandler onProgress = {});

    // Called on the extracting thread. Set before extracting.
    void setEntryEditor(EntryEditor editor);

    // Creates destination (with its parents) when missing. A stop request is honoured between blocks.
    Result extract(const QString &archivePath, const QString &destination, std::stop_token stop = {}) const;
    // The same for an archive that is still being downloaded: reads its file while it grows, waiting for more bytes,
    // so unpacking ends soon after the download. Entries are checked as they arrive, the bytes written capped, and
    // once the download has completed a zip's list of entries is checked as extract() does; a refusal removes what
    // was written. A download that fails fails the extraction with its error. An archive that cannot be read as it
    // arrives (one that only its list at the end describes) is unpacked from the complete file instead.
    Result extractGrowing(const QString &archivePath, const GrowingDownload &download, const QString &destination,
                          std::stop_token stop = {}) const;

private:
    Result run(const QString &archivePath, const GrowingDownload *download, const QString &destination,
               std::stop_token stop) const;

    qint64 m_byteLimit;
    ProgressHandler m_onProgress;
    std::optional<EntryEditor> m_editor;
};

} // namespace klv
