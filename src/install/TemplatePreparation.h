#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <stop_token>

namespace klv {

// Motion template documents (names containing ".moef", ".moti", ".motn" or ".motr") need a "<canvas>" element.
// A document without one gets a "<canvas>" line in front of every tab-indented "<layout>1": the tab and
// "<layout>1" become "<canvas>", a line break and the same tab and "<layout>1". Every other byte stays as it
// was; the inserted break matches the line it splits (CRLF or LF). The file is replaced atomically, and only
// when something is inserted. Documents are read and written in chunks: memory stays small whatever their size.
class TemplatePreparation final {
public:
    enum class Outcome {
        Inserted,        // "<canvas>" lines were added
        CanvasPresent,   // the document already has "<canvas>" and is left alone
        NothingToInsert, // no tab-indented "<layout>1" line; left alone
        Failed,          // unreadable or not writable; see error
    };

    struct FileResult {
        Outcome outcome = Outcome::Failed;
        int insertions = 0;
        bool mentionsUuid = false; // the document holds "uuid:" (reported only with CanvasPresent)
        std::optional<QString> error;
    };

    struct FolderSummary {
        qsizetype documents = 0;
        qsizetype inserted = 0;
        QStringList errors;
    };

    // Documents already prepared, by path, with what was done to them.
    using PreparedDocuments = QHash<QString, FileResult>;

    // Called after each document with its position (from 0) among count documents.
    using DocumentHandler =
        std::function<void(qsizetype index, qsizetype count, const QString &path, const FileResult &result)>;

    static constexpr qsizetype defaultChunkBytes = qsizetype{1} << 20;

    TemplatePreparation() = delete;

    static bool isTemplateDocument(const QString &fileName);
    // chunkBytes: how much of the document is held at a time.
    static FileResult prepare(const QString &documentPath, qsizetype chunkBytes = defaultChunkBytes);
    // The same rule for a document held whole in memory (a small one, on its way to the disk): edits content.
    static FileResult prepareContent(QByteArray &content);
    // Prepares the documents in the order given; a stop request is honoured between documents. Documents found in
    // prepared are not read again: they count with the result given there.
    static FolderSummary prepareDocuments(const QStringList &documents, const DocumentHandler &onDocument = {},
                                          std::stop_token stop = {}, const PreparedDocuments &prepared = {});
};

} // namespace klv
