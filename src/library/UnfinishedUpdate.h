#pragma once

#include "core/Error.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

namespace klv {

// An update's mark on disk from before it places its first part until every part of the new release stands. Each
// part is whole or absent after a kill, but the parts go in at different moments: killed between them, a product
// holds new fonts beside old templates. The mark keeps its update offered, lets verify say which parts are behind,
// and goes with the last part of the next update that completes. One small file per product beside the manifests,
// "<product>.updating": the release on its first line, the parts still behind on the second ("templates, fonts").
struct UnfinishedUpdate {
    struct Mark {
        QString release;
        // Empty for a product whose update is one part.
        QStringList partsBehind;
    };

    static QString pathFor(const QString &makerFolder, const QString &product);

    static Error begin(const QString &makerFolder, const QString &product, const Mark &mark);
    static void end(const QString &makerFolder, const QString &product);
    // One part of the new release stands; the mark goes with the last one.
    static Error partPlaced(const QString &makerFolder, const QString &product, const QString &part);
    // Nothing when no update of the product is unfinished.
    static std::optional<Mark> markOf(const QString &makerFolder, const QString &product);
    // Every product with an unfinished update, from one listing of the folder.
    static QSet<QString> products(const QString &makerFolder);
};

} // namespace klv
