#include "install/ResolveInstaller.h"

#include "install/ArchivePlacement.h"
#include "install/PartialDownload.h"
#include "store/Services.h"

#include <QDateTime>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

// Dates the installed bundle. Linux keeps no creation time that can be set, so the modification and access
// times carry the installation time instead; they are what file browsers show there.
Error stampBundle(const QString &bundle, const QDateTime &installedAt) {
    const qint64 milliseconds = installedAt.toMSecsSinceEpoch();
    const timespec time{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1'000'000};
    const timespec times[2] = {time, time};
    if (::utimensat(AT_FDCWD, QFile::encodeName(bundle).constData(), times, AT_SYMLINK_NOFOLLOW) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    return std::nullopt;
}

} // namespace

ResolveInstaller::ResolveInstaller(const InstallEnvironment &environment, const InstallationItem &job, QObject *parent)
    : PackageJobInstaller(environment, job, parent) {}

QString ResolveInstaller::downloadPath() const {
    return services().locations().downloads().partialFile(jobName(), u"dvr"_s);
}

void ResolveInstaller::install(const PackageDownload::Result &download) {
    if (!download.mimeType.contains(u"zip"_s)) {
        QFile::remove(download.filePath);
        fail(u"Don't know what mime type is this "_s + download.mimeType,
             u"The DaVinci Resolve package is not a zip archive (it came as “"_s + download.mimeType + u"”)."_s);
        return;
    }
    const QString downloaded = download.filePath;
    // The whole package stays in the download folder under the product's name, as it always has.
    const QString archive = services().locations().downloads().packageFile(jobName());
    const QString folder = services().locations().resolveTemplatesFolderURL;
    const QString bundle = folder + u"KLV - "_s + jobName() + u".drfx"_s;
    const QDateTime installedAt = services().clock()();
    runStep([downloaded, archive, folder, bundle, installedAt,
             staged = placement()](std::stop_token stop) -> StepResult {
        QFile::remove(archive);
        if (!QFile::rename(downloaded, archive)) {
            QFile::remove(downloaded);
            return {u"The DaVinci Resolve package could not be renamed to “"_s + archive + u"”."_s, {}};
        }
        const ArchiveExtractor::Result result = placeArchive(archive, folder, *staged, stop);
        if (!result.succeeded()) {
            QFile::remove(archive);
            return {result.error, {}};
        }
        // A bundle under another name is installed all the same; only its date stays as packed.
        if (const Error error = stampBundle(bundle, installedAt))
            return {
                std::nullopt, {u"The date of "_s + bundle + u" could not be set: "_s + *error}, result.unpackedFiles};
        return {std::nullopt, {}, result.unpackedFiles};
    });
}

} // namespace klv
