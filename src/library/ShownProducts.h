#pragma once

#include "library/OutlineViewItem.h"

#include <QList>

#include <utility>

namespace klv {

// The rows the library view shows: positions in a list of records that the rows share instead of copying them, so
// that a large library is held once. A snapshot: a record changed in the library afterwards reads here as it was
// until the rows are made again.
class ShownProducts final {
public:
    class const_iterator {
    public:
        const_iterator(const ShownProducts &rows, qsizetype row)
            : m_rows(&rows)
            , m_row(row) {}
        const OutlineViewItem &operator*() const { return m_rows->at(m_row); }
        const_iterator &operator++() {
            ++m_row;
            return *this;
        }
        friend bool operator==(const const_iterator &, const const_iterator &) = default;

    private:
        const ShownProducts *m_rows;
        qsizetype m_row;
    };

    ShownProducts() = default;
    ShownProducts(QList<OutlineViewItem> records, QList<qsizetype> positions)
        : m_records(std::move(records))
        , m_positions(std::move(positions)) {}

    qsizetype size() const { return m_positions.size(); }
    bool isEmpty() const { return m_positions.isEmpty(); }
    const OutlineViewItem &at(qsizetype row) const { return m_records.at(m_positions.at(row)); }
    const OutlineViewItem &operator[](qsizetype row) const { return at(row); }
    const OutlineViewItem &first() const { return at(0); }
    const_iterator begin() const { return {*this, 0}; }
    const_iterator end() const { return {*this, size()}; }

private:
    QList<OutlineViewItem> m_records;
    QList<qsizetype> m_positions;
};

} // namespace klv
