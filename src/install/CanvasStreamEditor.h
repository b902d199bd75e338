#pragma once

#include "install/ReplacementFile.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <memory>
#include <optional>

namespace klv {

// Applies the "<canvas>" rule of TemplatePreparation to one document as a stream: the document is read in chunks
// of a fixed size and the edited copy written beside it as it goes, so memory stays within a few chunks whatever
// the document's size. The copy replaces the document only when something was inserted and every byte was read
// and written; otherwise the document stays as it was and no copy is left behind.
class CanvasStreamEditor final {
public:
    struct Result {
        bool canvasPresent = false;
        bool mentionsUuid = false; // looked for to the end only when canvasPresent
        int insertions = 0;
        std::optional<QString> error;
    };

    CanvasStreamEditor(QString documentPath, qsizetype chunkBytes);
    ~CanvasStreamEditor();
    CanvasStreamEditor(const CanvasStreamEditor &) = delete;
    CanvasStreamEditor &operator=(const CanvasStreamEditor &) = delete;

    Result run();

private:
    bool readChunk(bool &atEnd);
    void scanForMarkers();
    // Writes the chunk up to end, with a "<canvas>" line before each tab-indented "<layout>1" in it.
    bool editAndWrite(qsizetype end);
    bool write(const char *data, qsizetype size);
    bool openCopy();
    bool copyOriginal(qint64 from, qint64 to);
    // Whether the line holding the chunk's byte at index ends with CR LF; nothing when the document cannot be read.
    std::optional<bool> endsWithCrLf(qsizetype index);
    bool replaceDocument();

    QString m_path;
    qsizetype m_chunkBytes;
    QFile m_input;
    QFile m_lookahead; // a second reader, for what lies beyond the chunk
    std::unique_ptr<ReplacementFile> m_copy;
    QByteArray m_buffer;
    QByteArray m_scratch;
    qint64 m_bufferOffset = 0; // where m_buffer starts in the document
    // The first line break found ahead of the chunk, as an offset in the document (the largest offset when there is
    // none until the end), and whether a CR precedes it. It answers for every line that starts before it, so a long
    // line is read ahead only once.
    qint64 m_knownBreak = -1;
    bool m_knownBreakCrLf = false;
    Result m_result;
};

} // namespace klv
