#include "install/CompositeInstaller.h"

#include "core/FolderCreation.h"
#include "install/ArchivePlacement.h"
#include "install/PartialDownload.h"
#include "install/StagedPlacement.h"
#include "store/Services.h"

#include <QDir>
#include <QFile>

namespace klv {

using namespace Qt::StringLiterals;

CompositeInstaller::CompositeInstaller(const InstallEnvironment &environment, const InstallationItem &job,
                                       QObject *parent)
    : PackageJobInstaller(environment, job, parent) {}

QString CompositeInstaller::downloadPath() const {
    // The kind of package is known only from the answer, so the extension comes later.
    return services().locations().downloads().partialFile(jobName(), u"composite"_s);
}

void CompositeInstaller::install(const PackageDownload::Result &download) {
    const QString &mimeType = download.mimeType;
    const bool isZip = mimeType.contains(u"zip"_s);
    if (!isZip && !mimeType.contains(u"mov"_s)) {
        QFile::remove(download.filePath);
        fail(u"Don't know what mime type is this "_s + mimeType,
             u"The composite package is neither a zip archive nor a movie (it came as “"_s + mimeType + u"”)."_s);
        return;
    }
    const QString folder = services().locations().compositeFolderURL;
    const QString downloaded = download.filePath;
    if (isZip) {
        const QString archive = services().locations().downloads().packageFile(jobName());
        runStep([downloaded, archive, folder, staged = placement()](std::stop_token stop) -> StepResult {
            // Renamed so that messages about the archive name it as what it is.
            QFile::remove(archive);
            if (!QFile::rename(downloaded, archive))
                return {u"The composite package could not be renamed to “"_s + archive + u"”."_s, {}};
            const ArchiveExtractor::Result result = placeArchive(archive, folder, *staged, stop);
            QFile::remove(archive);
            return {result.error, {}, result.unpackedFiles};
        });
        return;
    }
    const QString movie = folder + u'/' + jobName() + u".mov"_s;
    runStep([downloaded, folder, movie, staged = placement()](std::stop_token) -> StepResult {
        // Copied when the download folder lies on another file system; an earlier movie goes only once the new
        // one is complete.
        StagedPlacement::removeLeftovers(folder);
        Error error = createFolderWithParents(folder);
        if (error)
            error = u"the folder \""_s + folder + u"\" could not be created: "_s + *error;
        else
            error = staged->stage(downloaded, movie);
        if (!error)
            error = staged->swapIn();
        if (error) {
            QFile::remove(downloaded);
            return {u"The composite movie could not be moved to “"_s + movie + u"”: "_s + *error, {}};
        }
        return {};
    });
}

} // namespace klv
