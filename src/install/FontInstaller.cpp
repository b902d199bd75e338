#include "install/FontInstaller.h"

#include "core/Platform.h"
#include "core/SafeName.h"
#include "install/ArchivePlacement.h"
#include "install/FolderMove.h"
#include "install/StagedPlacement.h"
#include "install/WorkerTask.h"
#include "library/InstallationItem.h"
#include "library/WholeTextLink.h"
#include "store/Services.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

namespace klv {

using namespace Qt::StringLiterals;

namespace {

// Error pages come as XML or HTML; an answer with an error status is never a font either.
bool isRejected(const PackageDownload::Result &answer) {
    return answer.httpStatus >= 300 || answer.mimeType.compare(u"application/xml", Qt::CaseInsensitive) == 0 ||
           answer.mimeType.compare(u"application/html", Qt::CaseInsensitive) == 0;
}

} // namespace

FontInstaller::FontInstaller(const InstallEnvironment &environment, const InstallationItem &job, QObject *parent)
    : JobInstaller(parent)
    , m_services(environment.services)
    , m_jobName(job.product_name)
    , m_archiveFolder(environment.services.locations().downloads().jobFolder(job.product_name) + u"/Fonts")
    , m_placement(std::make_shared<StagedPlacement>(
          environment.services.locations().downloads().journalFile(job.product_name, u"fonts"_s))) {
    const QString fontText = job.downloadExtraInfo.value(u"font").toString();
    const QString archiveText = job.downloadExtraInfo.value(u"fonturl").toString();
    // An empty text still counts as one name.
    m_total = fontText.split(u',').size() + archiveText.split(u',').size();
    if (!fontText.isEmpty())
        m_fonts = fontText.split(u',');
    if (!archiveText.isEmpty())
        m_archives = archiveText.split(u',');
}

FontInstaller::~FontInstaller() {
    m_stop->request_stop();
}

void FontInstaller::start() {
    installNextFont();
}

void FontInstaller::installNextFont() {
    const QString fontsFolder = m_services.locations().fontsFolderURL;
    while (!m_stopped && m_nextFont < m_fonts.size()) {
        const QString name = m_fonts[m_nextFont++];
        if (Error unsafe = unsafePathComponentReason(name)) {
            m_services.reporter().appendLog(u"Skipped a font: "_s + *unsafe);
            continue;
        }
        const bool installed =
            QFileInfo::exists(fontsFolder + name + u".ttf") || QFileInfo::exists(fontsFolder + name + u".otf");
        m_services.reporter().appendLog(u"Downloading Font "_s + name);
        if (installed)
            continue;
        // Only this font's own TrueType answer decides whether its OpenType file is still needed.
        fetchFont(name, u".ttf"_s, [this, name](bool written) {
            if (written) {
                installNextFont();
                return;
            }
            fetchFont(name, u".otf"_s, [this](bool) {
                countDownload();
                installNextFont();
            });
        });
        return;
    }
    installNextArchive();
}

void FontInstaller::fetchFont(const QString &name, const QString &extension, std::function<void(bool written)> done) {
    const QString storeFileName = QString(name).remove(u' ') + extension;
    const QUrl url(m_services.configuration().fontStoreUrl +
                   QString::fromLatin1(QUrl::toPercentEncoding(storeFileName)));
    // Fetched beside the job's other downloads, so that a rejected or broken answer never reaches the font folder.
    const QString staged = m_archiveFolder + u'/' + name + extension;
    fetch(url, staged, [this, name, extension, staged, done = std::move(done)](const auto &accepted) {
        bool written = false;
        if (accepted) {
            const QString kind = extension == u".ttf" ? u"TTF"_s : u"OTF"_s;
            if (Error error = moveItem(staged, m_services.locations().fontsFolderURL + name + extension))
                m_services.reporter().appendLog(u"KLV App:Error during  write "_s + kind + u" Font file:"_s + *error);
            else
                written = m_fontsWritten = true;
        }
        done(written);
    });
}

void FontInstaller::installNextArchive() {
    while (!m_stopped && m_nextArchive < m_archives.size()) {
        const QString address = m_archives[m_nextArchive++];
        if (address.isEmpty())
            continue;
        m_services.reporter().appendLog(u"Downloading FontURL "_s + address);
        if (Error error = ensureFolder(m_archiveFolder, m_services.log()))
            m_services.reporter().showAlert(
                u"Alert"_s, u"Failed to create Temporary Fonts for "_s + m_jobName + u" : "_s + *error, u"OK"_s);
        const std::optional<QUrl> url = wholeTextLink(address);
        if (!url) {
            m_services.reporter().appendLog(u"Skipped the font archive \""_s + address + u"\": not a web address."_s);
            countDownload();
            continue;
        }
        fetch(*url, m_archiveFolder + u"/.download"_s, [this](const auto &accepted) {
            if (accepted) {
                placeArchive(*accepted);
                return;
            }
            countDownload();
            installNextArchive();
        });
        return;
    }
    refreshFontCache();
}

void FontInstaller::placeArchive(const PackageDownload::Result &answer) {
    const QString fileName =
        isSafePathComponent(answer.suggestedFileName) ? answer.suggestedFileName : u"Font archive"_s;
    const QString archive = m_archiveFolder + u'/' + fileName;
    if (Error error = moveItem(answer.filePath, archive)) {
        m_services.reporter().appendLog(u"KLV App:Error during  write Download Font file:"_s + *error);
        countDownload();
        installNextArchive();
        return;
    }
    if (!answer.mimeType.contains(u"zip", Qt::CaseInsensitive)) {
        countDownload();
        installNextArchive();
        return;
    }
    runWorkerStep(
        [archive, fontsFolder = m_services.locations().fontsFolderURL, placement = m_placement, stop = m_stop] {
            ArchiveExtractor::Result placed = klv::placeArchive(archive, fontsFolder, *placement, stop->get_token());
            QFile::remove(archive);
            return placed;
        },
        [this, fileName](const ArchiveExtractor::Result &placed) {
            if (m_stopped || placed.cancelled)
                return;
            if (placed.error) {
                Q_EMIT failed(u"the font archive "_s + fileName + u" could not be installed: "_s + *placed.error);
                return;
            }
            m_fontsWritten = true;
            m_unpackedFiles += placed.unpackedFiles;
            countDownload();
            installNextArchive();
        });
}

void FontInstaller::fetch(const QUrl &url, const QString &path, FetchHandler done) {
    m_download = new PackageDownload(m_services.network(), m_services.store(), url, path, this);
    connect(m_download, &PackageDownload::finished, this,
            [this, download = m_download, done = std::move(done)](const PackageDownload::Result &answer) {
                download->deleteLater();
                if (answer.cancelled || m_stopped)
                    return;
                if (isRejected(answer)) {
                    QFile::remove(answer.filePath);
                    m_services.reporter().appendLog(u"Received "_s + answer.mimeType +
                                                    u" instead with suggested file name "_s + answer.suggestedFileName +
                                                    u", encoding "_s + answer.textEncoding);
                    done(std::nullopt);
                } else if (!answer.succeeded()) {
                    m_services.reporter().appendLog(answer.error);
                    done(std::nullopt);
                } else {
                    done(answer);
                }
            });
    m_download->start();
}

void FontInstaller::countDownload() {
    m_count += 1.0;
    // A full count would end the job before the font cache is refreshed; the end of the step reports it.
    if (m_count < double(m_total))
        Q_EMIT progressed(fontsProgress, m_count / double(m_total));
}

void FontInstaller::refreshFontCache() {
    if (m_stopped)
        return;
    if (!platform::refreshesFontCache || !m_fontsWritten) {
        finish();
        return;
    }
    m_fontCache = new QProcess(this);
    connect(m_fontCache, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        if (status != QProcess::NormalExit)
            m_services.reporter().appendLog(u"fc-cache stopped: "_s + m_fontCache->errorString());
        else if (exitCode != 0)
            m_services.reporter().appendLog(u"fc-cache ended with status "_s + QString::number(exitCode));
        finish();
    });
    connect(m_fontCache, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        m_services.reporter().appendLog(u"The font cache could not be refreshed: "_s + m_fontCache->errorString());
        finish();
    });
    m_fontCache->start(u"fc-cache"_s, {m_services.locations().fontsFolderURL});
}

void FontInstaller::finish() {
    if (m_stopped)
        return;
    m_services.reporter().appendLog(u"Done Install Font for : "_s + m_jobName);
    Q_EMIT progressed(fontsProgress, 1.0);
}

std::function<void()> FontInstaller::takeBackWork() {
    if (m_placement->isEmpty())
        return {};
    return [placement = m_placement] {
        placement->takeBack();
    };
}

void FontInstaller::commit() {
    StagedPlacement::keepInBackground(m_placement);
}

void FontInstaller::cancel() {
    m_stopped = true;
    m_stop->request_stop();
    if (auto *download = m_download.data())
        download->cancel();
    stopWhenIdle();
}

QStringList FontInstaller::placedItems() const {
    return m_placement->targets();
}

} // namespace klv
