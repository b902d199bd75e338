#pragma once

#include "install/JobInstaller.h"
#include "install/PackageDownload.h"

#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

namespace klv {

class StagedPlacement;

// What both the composite and the DaVinci Resolve installers do first: fetch the job's one package whole, while
// its byte progress fills 95 % of "Template Progress". The subclass decides what becomes of the file; its
// blocking step runs on a worker and "Template Progress" reaches 1.0 only when that step succeeded. What the step
// places goes through placement(), so that a failed or cancelled job takes it back.
class PackageJobInstaller : public JobInstaller {
    Q_OBJECT
public:
    PackageJobInstaller(const InstallEnvironment &environment, const InstallationItem &job, QObject *parent);
    ~PackageJobInstaller() override;

    void start() final;
    void cancel() final;
    void commit() final;
    QStringList placedItems() const final;
    UnpackedFiles unpackedFiles() const final { return m_unpackedFiles; }
    bool pauseDownload() final;
    bool resumeDownload() final;

protected:
    // What a worker step hands back: why the job fails (nothing on success) and lines for the log.
    struct StepResult {
        std::optional<QString> error;
        QStringList logLines;
        UnpackedFiles unpackedFiles = {};
    };
    using Step = std::function<StepResult(std::stop_token)>;

    // Where the package is saved while it downloads, kept with what validates it when the download is cut.
    virtual QString downloadPath() const = 0;
    // Called on the main thread with a complete download; ends by calling fail() or runStep().
    virtual void install(const PackageDownload::Result &download) = 0;

    // Logs the reason, and ends the job as failed with the message for the customer.
    void fail(const QString &logLine, const QString &message);
    void runStep(Step step);

    Services &services() const { return m_services; }
    // Used by the step on its worker, and by the main thread only once no step runs.
    const std::shared_ptr<StagedPlacement> &placement() const { return m_placement; }
    const QString &jobName() const { return m_jobName; }

private:
    std::function<void()> takeBackWork() final;
    void downloadProgressed(qint64 bytesReceived, qint64 bytesTotal);
    void downloadFinished(const PackageDownload::Result &result);

    Services &m_services;
    QString m_jobName;
    QString m_link;
    qint64 m_announcedSize;
    QPointer<PackageDownload> m_download;
    std::stop_source m_stop;
    std::shared_ptr<StagedPlacement> m_placement;
    bool m_cancelled = false;
    UnpackedFiles m_unpackedFiles;
};

} // namespace klv
