#pragma once

#include "library/JobState.h"
#include "library/OutlineViewItem.h"

#include <QList>
#include <QString>

namespace klv {

// What a library row's product button shows for its product: the install look (filled, clickable, the download
// image) or the done look (clear, disabled, the check image, hidden while the job waits or runs).
struct ProductButtonState {
    enum class Style { install, done };

    QString title;
    Style style = Style::install;
    bool enabled = true;
    bool imageShown = true;

    friend bool operator==(const ProductButtonState &, const ProductButtonState &) = default;
};

// The button of `record` given where its installation stands, its installed flag and the whole library (a group
// counts its installed members there).
ProductButtonState productButtonState(const OutlineViewItem &record, const JobState &job, bool installed,
                                      const QList<OutlineViewItem> &libraryProducts);
// The same with a group's members already found (groupMemberIndexes).
ProductButtonState productButtonState(const OutlineViewItem &record, const JobState &job, bool installed,
                                      const QList<OutlineViewItem> &libraryProducts,
                                      const QList<qsizetype> &memberIndexes);

} // namespace klv
