#include "library/ProductButtonState.h"

#include "library/GroupMembers.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace klv {

namespace {

constexpr double noJob = -2;
constexpr double finished = 1;
constexpr double queued = -1;

QString groupTitle(const OutlineViewItem &group, const QList<OutlineViewItem> &libraryProducts,
                   const QList<qsizetype> &members) {
    const auto installed = std::count_if(members.cbegin(), members.cend(), [&libraryProducts](qsizetype index) {
        return libraryProducts.at(index).isInstalled;
    });
    if (installed == 0) {
        return u"Install All"_s;
    }
    return installed < group.children.size() ? u"Part Install"_s : u"All Installed"_s;
}

QString compositeTitle(double progress, bool busy, bool installed) {
    if (busy) {
        return progress == queued ? u"In Queue"_s : u"Installing..."_s;
    }
    return installed ? u"Downloaded"_s : u"Install"_s;
}

QString productTitle(double progress, bool busy, bool installed) {
    if (!busy) {
        return installed ? u"Installed"_s : u"Install"_s;
    }
    if (progress > 0) {
        return installed ? u"Updating..."_s : u"Installing..."_s;
    }
    return progress >= queued ? u"In Queue"_s : u"Install"_s;
}

} // namespace

ProductButtonState productButtonState(const OutlineViewItem &record, double jobProgress, bool installed,
                                      const QList<OutlineViewItem> &libraryProducts) {
    return productButtonState(record, jobProgress, installed, libraryProducts,
                              record.isGroup() ? groupMemberIndexes(libraryProducts, record) : QList<qsizetype>());
}

ProductButtonState productButtonState(const OutlineViewItem &record, double jobProgress, bool installed,
                                      const QList<OutlineViewItem> &libraryProducts,
                                      const QList<qsizetype> &memberIndexes) {
    // The engine reports exactly these two values for "no job" and "done"; anything else is a job in the queue.
    const bool busy = jobProgress != finished && jobProgress != noJob;
    ProductButtonState state;
    if (record.isGroup()) {
        state.title = groupTitle(record, libraryProducts, memberIndexes);
    } else if (record.product_location.contains(u"Composite"_s)) {
        state.title = compositeTitle(jobProgress, busy, installed);
    } else {
        state.title = productTitle(jobProgress, busy, installed);
    }
    if (state.title == u"Install"_s || state.title == u"Install All"_s || state.title == u"Part Install"_s) {
        return state;
    }
    state.style = ProductButtonState::Style::done;
    state.enabled = false;
    state.imageShown = state.title != u"Installing..."_s && state.title != u"In Queue"_s;
    return state;
}

} // namespace klv
