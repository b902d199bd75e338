#include "library/ProductButtonState.h"

#include "library/GroupMembers.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace klv {

namespace {

using Phase = JobState::Phase;

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

// The title of a product or composite whose request or job is under way.
QString busyTitle(const JobState &job, bool installed, bool composite) {
    switch (job.phase) {
    case Phase::waiting:
    case Phase::queued:
        return u"In Queue"_s;
    case Phase::requested:
        // What the click promised, until the store's answer turns it into a job.
        return job.isUpdate ? u"Updating ..."_s : u"Installing..."_s;
    case Phase::running:
        // The running job keeps its title from its first step to its last, unless the customer paused it.
        if (job.paused)
            return u"Paused"_s;
        return !composite && (job.isUpdate || installed) ? u"Updating..."_s : u"Installing..."_s;
    case Phase::none:
    case Phase::finished:
        break;
    }
    return {};
}

} // namespace

ProductButtonState productButtonState(const OutlineViewItem &record, const JobState &job, bool installed,
                                      const QList<OutlineViewItem> &libraryProducts) {
    return productButtonState(record, job, installed, libraryProducts,
                              record.isGroup() ? groupMemberIndexes(libraryProducts, record) : QList<qsizetype>());
}

ProductButtonState productButtonState(const OutlineViewItem &record, const JobState &job, bool installed,
                                      const QList<OutlineViewItem> &libraryProducts,
                                      const QList<qsizetype> &memberIndexes) {
    const bool composite = record.product_location.contains(u"Composite"_s);
    ProductButtonState state;
    if (record.isGroup() && job.phase != Phase::requested && job.phase != Phase::waiting) {
        // A bundle's own request turns into its members' jobs; from then on it counts them.
        state.title = groupTitle(record, libraryProducts, memberIndexes);
    } else if (job.isBusy()) {
        state.title = busyTitle(job, installed, composite);
    } else if (composite) {
        state.title = installed ? u"Downloaded"_s : u"Install"_s;
    } else {
        state.title = installed ? u"Installed"_s : u"Install"_s;
    }
    if (state.title == u"Install"_s || state.title == u"Install All"_s || state.title == u"Part Install"_s) {
        return state;
    }
    state.style = ProductButtonState::Style::done;
    state.enabled = false;
    state.imageShown = state.title != u"Installing..."_s && state.title != u"In Queue"_s &&
                       state.title != u"Updating ..."_s && state.title != u"Paused"_s;
    return state;
}

} // namespace klv
