#pragma once

#include "core/Error.h"

#include <QSet>
#include <QString>

#include <optional>

namespace klv {

// An update's mark on disk from before it places its first part until every part of the new release stands. Each
// part is whole or absent after a kill, but the parts go in at different moments: killed between them, a product
// holds new fonts beside old templates. The mark keeps its update offered, lets verify say so, and goes with the
// next update that completes. One small file per product beside the manifests, "<product>.updating", holding the
// release.
struct UnfinishedUpdate {
    static QString pathFor(const QString &makerFolder, const QString &product);

    // The error text when the mark could not be written.
    static Error begin(const QString &makerFolder, const QString &product, const QString &release);
    static void end(const QString &makerFolder, const QString &product);
    // The release the unfinished update was placing; nothing when none is unfinished.
    static std::optional<QString> releaseOf(const QString &makerFolder, const QString &product);
    // Every product with an unfinished update, from one listing of the folder.
    static QSet<QString> products(const QString &makerFolder);
};

} // namespace klv
