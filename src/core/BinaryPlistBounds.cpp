#include "core/BinaryPlistBounds.h"

#include <vector>

namespace klv::BinaryPlistBounds {

namespace {

constexpr qint64 headerSize = 8;
constexpr qint64 trailerSize = 32;

// Containers: an array, a set, a dictionary (its keys, then as many values).
constexpr quint8 arrayMarker = 0xA;
constexpr quint8 setMarker = 0xC;
constexpr quint8 dictionaryMarker = 0xD;

class Reader {
public:
    explicit Reader(const QByteArray &data)
        : m_data(data) {}

    // A big-endian unsigned integer of 1 to 8 bytes at the position.
    std::optional<quint64> number(qint64 position, qint64 width) const {
        if (width < 1 || width > 8 || position < 0 || position + width > m_data.size())
            return std::nullopt;
        quint64 value = 0;
        for (qint64 i = 0; i < width; ++i)
            value = (value << 8) | static_cast<quint8>(m_data.at(position + i));
        return value;
    }

    std::optional<quint8> byte(qint64 position) const {
        const std::optional<quint64> value = number(position, 1);
        return value ? std::optional<quint8>(quint8(*value)) : std::nullopt;
    }

private:
    const QByteArray &m_data;
};

struct Trailer {
    qint64 offsetWidth;
    qint64 referenceWidth;
    quint64 objectCount;
    quint64 topObject;
    qint64 offsetTable;
};

struct Container {
    // Where its references start, and how many there are.
    qint64 references;
    quint64 count;
};

class Walk {
public:
    Walk(const QByteArray &data, const Trailer &trailer)
        : m_data(data)
        , m_reader(data)
        , m_trailer(trailer) {}

    // Where an object starts.
    std::optional<qint64> offsetOf(quint64 object) const {
        if (object >= m_trailer.objectCount)
            return std::nullopt;
        const std::optional<quint64> offset =
            m_reader.number(m_trailer.offsetTable + qint64(object) * m_trailer.offsetWidth, m_trailer.offsetWidth);
        if (!offset || *offset < quint64(headerSize) || *offset >= quint64(m_trailer.offsetTable))
            return std::nullopt;
        return qint64(*offset);
    }

    // Nothing for a leaf; an error text for a container that does not fit.
    std::optional<Container> container(qint64 offset, QString &error) const {
        const quint8 marker = *m_reader.byte(offset);
        const quint8 kind = marker >> 4;
        if (kind != arrayMarker && kind != setMarker && kind != dictionaryMarker)
            return std::nullopt;
        quint64 count = marker & 0x0F;
        qint64 references = offset + 1;
        if (count == 0x0F) {
            const std::optional<quint8> countMarker = m_reader.byte(references);
            if (!countMarker || (*countMarker >> 4) != 0x1 || (*countMarker & 0x0F) > 3) {
                error = QStringLiteral("a container's length cannot be read");
                return std::nullopt;
            }
            const qint64 width = qint64(1) << (*countMarker & 0x0F);
            count = m_reader.number(references + 1, width).value_or(0);
            references += 1 + width;
        }
        const quint64 referenceCount = kind == dictionaryMarker ? 2 * count : count;
        if (count > quint64(m_data.size()) ||
            references + qint64(referenceCount) * m_trailer.referenceWidth > m_trailer.offsetTable) {
            error = QStringLiteral("a container runs past its data");
            return std::nullopt;
        }
        return Container{references, referenceCount};
    }

    std::optional<quint64> reference(const Container &container, quint64 index) const {
        return m_reader.number(container.references + qint64(index) * m_trailer.referenceWidth,
                               m_trailer.referenceWidth);
    }

private:
    const QByteArray &m_data;
    Reader m_reader;
    Trailer m_trailer;
};

std::optional<Trailer> readTrailer(const QByteArray &data) {
    const Reader reader(data);
    const qint64 start = data.size() - trailerSize;
    const Trailer trailer{qint64(reader.byte(start + 6).value_or(0)), qint64(reader.byte(start + 7).value_or(0)),
                          reader.number(start + 8, 8).value_or(0), reader.number(start + 16, 8).value_or(0),
                          qint64(reader.number(start + 24, 8).value_or(0) & 0x7FFF'FFFF'FFFF'FFFF)};
    const bool widthsFit = trailer.offsetWidth >= 1 && trailer.offsetWidth <= 8 && trailer.referenceWidth >= 1 &&
                           trailer.referenceWidth <= 8;
    if (!widthsFit || trailer.objectCount == 0 || trailer.topObject >= trailer.objectCount ||
        trailer.offsetTable < headerSize || trailer.offsetTable >= start ||
        trailer.objectCount > quint64(data.size()) ||
        trailer.offsetTable + qint64(trailer.objectCount) * trailer.offsetWidth > start)
        return std::nullopt;
    return trailer;
}

} // namespace

Error check(const QByteArray &data, const Limits &limits) {
    if (data.size() > limits.maxBytes)
        return QStringLiteral("it is larger than %1 bytes").arg(limits.maxBytes);
    if (data.size() < headerSize + trailerSize || !data.startsWith("bplist00"))
        return QStringLiteral("it is no binary property list");
    const std::optional<Trailer> trailer = readTrailer(data);
    if (!trailer)
        return QStringLiteral("its trailer does not describe its data");

    // Depth first with a stack of our own: the walk itself must not recurse over the data.
    struct Step {
        quint64 object;
        int depth;
    };
    const Walk walk(data, *trailer);
    std::vector<Step> pending{{trailer->topObject, 1}};
    qint64 visits = 0;
    while (!pending.empty()) {
        const Step step = pending.back();
        pending.pop_back();
        if (++visits > limits.maxVisits)
            return QStringLiteral("a walk through it visits more than %1 objects").arg(limits.maxVisits);
        if (step.depth > limits.maxDepth)
            return QStringLiteral("it nests deeper than %1 levels").arg(limits.maxDepth);
        const std::optional<qint64> offset = walk.offsetOf(step.object);
        if (!offset)
            return QStringLiteral("an object lies outside its data");
        QString error;
        const std::optional<Container> container = walk.container(*offset, error);
        if (!error.isEmpty())
            return error;
        if (!container)
            continue;
        for (quint64 i = 0; i < container->count; ++i) {
            const std::optional<quint64> child = walk.reference(*container, i);
            if (!child || *child >= trailer->objectCount)
                return QStringLiteral("a reference points outside its objects");
            pending.push_back({*child, step.depth + 1});
        }
    }
    return std::nullopt;
}

} // namespace klv::BinaryPlistBounds
