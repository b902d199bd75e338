#include "FuzzExpect.h"
#include "ScratchFolder.h"

#include "install/CanvasStreamEditor.h"
#include "install/TemplatePreparation.h"

#include <QFile>

#include <cstdint>

using klv::fuzz::expect;

namespace {

constexpr QByteArrayView layoutLine = "\t<layout>1";

// The rule, written the plain way over the whole document: without "<canvas>" anywhere, a "<canvas>" line goes in
// front of every tab-indented "<layout>1", its line break that of the line it splits.
QByteArray reference(const QByteArray &document, int &insertions) {
    insertions = 0;
    if (document.contains("<canvas>"))
        return document;
    QByteArray edited;
    qsizetype copied = 0;
    for (qsizetype at = document.indexOf(layoutLine); at >= 0; at = document.indexOf(layoutLine, at + 1)) {
        const qsizetype lineEnd = document.indexOf('\n', at);
        const bool crlf = lineEnd > 0 && document[lineEnd - 1] == '\r';
        edited += document.sliced(copied, at - copied) + "<canvas>" + (crlf ? "\r\n" : "\n");
        copied = at;
        ++insertions;
    }
    return edited + document.sliced(copied);
}

} // namespace

// The first byte is the chunk size (1 to 256 bytes, so that markers and line ends fall across chunk boundaries);
// the rest is the document. The streaming editor and the in-memory preparation both produce the reference's result.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const klv::fuzz::ScratchFolder scratch;
    if (size < 1)
        return 0;
    const QByteArray document(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    int expectedInsertions = 0;
    const QByteArray expected = reference(document, expectedInsertions);

    const QString path = scratch.emptied(QStringLiteral("document.moti"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(document) != document.size())
        return 0;
    file.close();
    const klv::CanvasStreamEditor::Result result = klv::CanvasStreamEditor(path, qsizetype(data[0]) + 1).run();
    expect(!result.error, "a readable, writable document is prepared");
    expect(result.canvasPresent == document.contains("<canvas>"), "the editor finds <canvas> wherever it is");
    expect(result.insertions == expectedInsertions, "the editor counts the lines it inserts");
    QFile edited(path);
    expect(edited.open(QIODevice::ReadOnly) && edited.readAll() == expected, "the streamed document is the reference");

    QByteArray content = document;
    const klv::TemplatePreparation::FileResult held = klv::TemplatePreparation::prepareContent(content);
    expect(content == expected && held.insertions == expectedInsertions, "the document held whole is the reference");
    return 0;
}
