#include "install/ArchivePlacement.h"

#include "install/StagedPlacement.h"

#include <QDir>
#include <QTemporaryDir>

namespace klv {

using namespace Qt::StringLiterals;

ArchiveExtractor::Result placeArchive(const QString &archive, const QString &folder, StagedPlacement &placement,
                                      std::stop_token stop) {
    QDir().mkpath(folder);
    StagedPlacement::removeLeftovers(folder);
    // Folders from the locations end with a slash; joined through QDir, the placed paths have no "//" in them.
    const QDir destination(folder);
    const QTemporaryDir staging(destination.filePath(StagedPlacement::stagingPrefix + u"XXXXXX"_s));
    if (!staging.isValid()) {
        ArchiveExtractor::Result failed;
        failed.error = u"No folder to unpack into beside “"_s + folder + u"”: "_s + staging.errorString();
        return failed;
    }
    placement.noteScratchFolder(staging.path());
    ArchiveExtractor::Result result = ArchiveExtractor().extract(archive, staging.path(), stop);
    if (!result.succeeded()) {
        // Nothing was staged; taking back ends the journal that names the scratch folder.
        placement.takeBack();
        return result;
    }
    const QStringList items =
        QDir(staging.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &item : items) {
        if (Error error = placement.stage(staging.filePath(item), destination.filePath(item))) {
            placement.takeBack();
            result.error = error;
            return result;
        }
    }
    result.error = placement.swapIn();
    return result;
}

} // namespace klv
