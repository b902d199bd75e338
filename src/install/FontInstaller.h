#pragma once

#include "install/JobInstaller.h"
#include "install/PackageDownload.h"

#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

class QProcess;

namespace klv {

class StagedPlacement;

// The fonts of a "new" job. "font" names single fonts of the maker's font store, separated by ","; each one not
// yet in the font folder is fetched as TrueType, or as OpenType when no TrueType file arrives. "fonturl" lists
// addresses of font archives, whose fonts are staged beside the font folder and swapped in whole, like templates.
// Downloads run one after another. A font the store cannot send is logged and skipped; an archive that arrives but
// cannot be placed fails the job, and the customer's own fonts stay as they were.
class FontInstaller final : public JobInstaller {
    Q_OBJECT
public:
    FontInstaller(const InstallEnvironment &environment, const InstallationItem &job, QObject *parent = nullptr);
    ~FontInstaller() override;

    void start() override;
    void cancel() override;
    void commit() override;
    QString partName() const override { return QStringLiteral("fonts"); }
    QStringList placedItems() const override;
    UnpackedFiles unpackedFiles() const override { return m_unpackedFiles; }

private:
    std::function<void()> takeBackWork() override;
    // Receives the answer when it was accepted and kept; nothing when it was rejected or failed (logged).
    using FetchHandler = std::function<void(const std::optional<PackageDownload::Result> &accepted)>;

    void installNextFont();
    void fetchFont(const QString &name, const QString &extension, std::function<void(bool written)> done);
    void installNextArchive();
    void placeArchive(const PackageDownload::Result &answer);
    void fetch(const QUrl &url, const QString &path, FetchHandler done);
    void countDownload();
    void refreshFontCache();
    void finish();

    Services &m_services;
    QString m_jobName;
    QString m_archiveFolder;
    QStringList m_fonts;
    QStringList m_archives;
    qsizetype m_nextFont = 0;
    qsizetype m_nextArchive = 0;
    qsizetype m_total = 0;
    double m_count = 0.0;
    bool m_fontsWritten = false;
    QPointer<PackageDownload> m_download;
    QPointer<QProcess> m_fontCache;
    std::shared_ptr<std::stop_source> m_stop = std::make_shared<std::stop_source>();
    bool m_stopped = false;
    std::shared_ptr<StagedPlacement> m_placement;
    UnpackedFiles m_unpackedFiles;
};

} // namespace klv
