#include "FuzzExpect.h"

#include "cli/LibraryLookup.h"
#include "library/LibraryRow.h"

#include <algorithm>
#include <cstdint>

using klv::fuzz::expect;

namespace {

// "number|parent|name" per line; a line without "|" is a name alone.
QList<klv::OutlineViewItem> libraryOf(const QStringList &lines) {
    QList<klv::OutlineViewItem> library;
    for (const QString &line : lines) {
        const QStringList fields = line.split(u'|');
        klv::OutlineViewItem record;
        record.product_name = fields.constLast();
        if (fields.size() >= 3) {
            record.product_id = fields[0].toLongLong();
            record.parentID = fields[1].toLongLong();
        }
        library.append(record);
    }
    return library;
}

} // namespace

// The first line holds the names typed on the command line, separated by tabs; the other lines are the library.
// What a name finds is a record of the library it names; what it does not find is reported with at most three
// suggestions from the library.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    QStringList lines = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size)).split(u'\n');
    const QStringList typed = lines.takeFirst().split(u'\t');
    const QList<klv::OutlineViewItem> library = libraryOf(lines);
    const klv::cli::ProductSelection selection = klv::cli::findProducts(library, typed);
    for (const klv::OutlineViewItem &found : selection.products)
        expect(library.contains(found), "a name finds a record of the library");
    for (const QString &unknown : selection.unknown) {
        expect(!klv::cli::findProduct(library, unknown), "a name reported unknown finds nothing");
        const QStringList suggestions = klv::cli::closestProductNames(library, unknown);
        expect(suggestions.size() <= 3, "at most three names are suggested");
        for (const QString &suggestion : suggestions)
            expect(std::any_of(library.cbegin(), library.cend(),
                               [&](const klv::OutlineViewItem &record) {
                                   return klv::describeLibraryRow(record, {}).title == suggestion;
                               }),
                   "a suggestion is a name the library shows");
        expect(klv::cli::unknownProductMessage(library, unknown).contains(unknown), "the message names what was typed");
    }
    return 0;
}
