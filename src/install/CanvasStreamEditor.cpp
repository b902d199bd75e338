#include "install/CanvasStreamEditor.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace klv {
namespace {

constexpr QByteArrayView canvas = "<canvas>";
constexpr QByteArrayView uuid = "uuid:";
constexpr QByteArrayView layoutLine = "\t<layout>1";
// Each chunk keeps the last bytes of the one before, so that a marker split between two chunks is still found.
// The longest marker is never found twice: it does not fit into the kept bytes.
constexpr qsizetype keptBytes = layoutLine.size() - 1;
constexpr qsizetype lookaheadBytes = 64 * 1024;
constexpr qint64 noBreakUntilTheEnd = std::numeric_limits<qint64>::max();

} // namespace

CanvasStreamEditor::CanvasStreamEditor(QString documentPath, qsizetype chunkBytes)
    : m_path(std::move(documentPath))
    , m_chunkBytes(std::max(chunkBytes, qsizetype{1}))
    , m_input(m_path)
    , m_lookahead(m_path) {}

CanvasStreamEditor::~CanvasStreamEditor() = default;

CanvasStreamEditor::Result CanvasStreamEditor::run() {
    if (!m_input.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        m_result.error = QStringLiteral("“%1” could not be read: %2.").arg(m_path, m_input.errorString());
        return m_result;
    }
    m_buffer.reserve(m_chunkBytes + keptBytes);
    for (bool atEnd = false; !atEnd;) {
        if (!readChunk(atEnd))
            return m_result;
        scanForMarkers();
        if (m_result.canvasPresent && m_result.mentionsUuid)
            break;
        // Once "<canvas>" is found nothing is edited; the rest is only searched for "uuid:".
        const qsizetype end = atEnd ? m_buffer.size() : std::max(m_buffer.size() - keptBytes, qsizetype{0});
        if (!m_result.canvasPresent && !editAndWrite(end))
            return m_result;
        // Moved by hand: QByteArray::remove() at the front only advances the start, so the next chunk would need a
        // new allocation.
        std::memmove(m_buffer.data(), m_buffer.constData() + end, size_t(m_buffer.size() - end));
        m_buffer.truncate(m_buffer.size() - end);
        m_bufferOffset += end;
    }
    if (m_result.canvasPresent) {
        m_result.insertions = 0;
        m_copy.reset();
    } else if (m_result.insertions > 0 && !replaceDocument()) {
        m_result.insertions = 0;
    }
    return m_result;
}

bool CanvasStreamEditor::readChunk(bool &atEnd) {
    const qsizetype kept = m_buffer.size();
    m_buffer.resize(kept + m_chunkBytes);
    const qint64 read = m_input.read(m_buffer.data() + kept, m_chunkBytes);
    if (read < 0) {
        m_result.error = QStringLiteral("“%1” could not be read: %2.").arg(m_path, m_input.errorString());
        return false;
    }
    m_buffer.resize(kept + read);
    atEnd = read == 0;
    return true;
}

void CanvasStreamEditor::scanForMarkers() {
    m_result.mentionsUuid = m_result.mentionsUuid || m_buffer.contains(uuid);
    m_result.canvasPresent = m_result.canvasPresent || m_buffer.contains(canvas);
}

bool CanvasStreamEditor::editAndWrite(qsizetype end) {
    qsizetype written = 0;
    for (qsizetype at = m_buffer.indexOf(layoutLine); at >= 0;
         at = m_buffer.indexOf(layoutLine, at + layoutLine.size())) {
        const std::optional<bool> crlf = endsWithCrLf(at);
        if (!crlf || !write(m_buffer.constData() + written, at - written) || !write(canvas.data(), canvas.size()) ||
            !write(*crlf ? "\r\n" : "\n", *crlf ? 2 : 1))
            return false;
        // The tab and "<layout>1" go out with the bytes that follow them.
        written = at;
        ++m_result.insertions;
    }
    return m_copy == nullptr || write(m_buffer.constData() + written, end - written);
}

bool CanvasStreamEditor::write(const char *data, qsizetype size) {
    if (size == 0)
        return true;
    if (!m_copy && !openCopy())
        return false;
    if (!m_copy->write(data, size)) {
        m_result.error = QStringLiteral("“%1” could not be written: %2.").arg(m_path, m_copy->errorString());
        return false;
    }
    return true;
}

// The copy is made when the first insertion is due; what came before it is copied from the document then.
bool CanvasStreamEditor::openCopy() {
    m_copy = std::make_unique<ReplacementFile>(m_path);
    if (!m_copy->open()) {
        m_result.error = QStringLiteral("“%1” could not be written: %2.").arg(m_path, m_copy->errorString());
        return false;
    }
    return copyOriginal(0, m_bufferOffset);
}

bool CanvasStreamEditor::copyOriginal(qint64 from, qint64 to) {
    if (from == to)
        return true;
    if (!m_lookahead.isOpen() && !m_lookahead.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        m_result.error = QStringLiteral("“%1” could not be read: %2.").arg(m_path, m_lookahead.errorString());
        return false;
    }
    m_lookahead.seek(from);
    m_scratch.resize(lookaheadBytes);
    for (qint64 at = from; at < to;) {
        const qint64 read = m_lookahead.read(m_scratch.data(), std::min<qint64>(lookaheadBytes, to - at));
        if (read <= 0) {
            m_result.error = QStringLiteral("“%1” could not be read: %2.").arg(m_path, m_lookahead.errorString());
            return false;
        }
        if (!m_copy->write(m_scratch.constData(), read)) {
            m_result.error = QStringLiteral("“%1” could not be written: %2.").arg(m_path, m_copy->errorString());
            return false;
        }
        at += read;
    }
    return true;
}

std::optional<bool> CanvasStreamEditor::endsWithCrLf(qsizetype index) {
    // The layout line starts with a tab, so a break found is never the chunk's first byte.
    if (const qsizetype lineBreak = m_buffer.indexOf('\n', index); lineBreak >= 0)
        return m_buffer.at(lineBreak - 1) == '\r';
    if (m_knownBreak >= m_bufferOffset + index)
        return m_knownBreakCrLf;

    const qint64 chunkEnd = m_bufferOffset + m_buffer.size();
    if (!m_lookahead.isOpen() && !m_lookahead.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        m_result.error = QStringLiteral("“%1” could not be read: %2.").arg(m_path, m_lookahead.errorString());
        return std::nullopt;
    }
    m_lookahead.seek(chunkEnd);
    m_scratch.resize(lookaheadBytes);
    char previous = m_buffer.isEmpty() ? '\0' : m_buffer.back();
    for (qint64 offset = chunkEnd;;) {
        const qint64 read = m_lookahead.read(m_scratch.data(), lookaheadBytes);
        if (read < 0) {
            m_result.error = QStringLiteral("“%1” could not be read: %2.").arg(m_path, m_lookahead.errorString());
            return std::nullopt;
        }
        if (read == 0) {
            m_knownBreak = noBreakUntilTheEnd;
            m_knownBreakCrLf = false;
            return false;
        }
        if (const auto *found = static_cast<const char *>(std::memchr(m_scratch.constData(), '\n', size_t(read)))) {
            const qsizetype at = found - m_scratch.constData();
            m_knownBreak = offset + at;
            m_knownBreakCrLf = (at > 0 ? m_scratch.at(at - 1) : previous) == '\r';
            return m_knownBreakCrLf;
        }
        previous = m_scratch.at(read - 1);
        offset += read;
    }
}

bool CanvasStreamEditor::replaceDocument() {
    if (m_copy->commit())
        return true;
    m_result.error = QStringLiteral("“%1” could not be written: %2.").arg(m_path, m_copy->errorString());
    m_copy.reset();
    return false;
}

} // namespace klv
