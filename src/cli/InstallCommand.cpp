#include "InstallCommand.h"

#include "ExitCode.h"
#include "InterruptWatcher.h"
#include "LibraryLookup.h"
#include "LibraryOutcome.h"
#include "ProgressDisplay.h"
#include "QueueTurn.h"
#include "Terminal.h"

#include "app/AppContext.h"
#include "install/InstallationEngine.h"
#include "library/ProductActions.h"
#include "library/ProductLibrary.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonObject>

namespace klv::cli {

InstallCommand::InstallCommand(AppContext &context, const Terminal &terminal, bool isUpdate)
    : Command(context, terminal)
    , m_isUpdate(isUpdate)
    , m_progress(std::make_unique<ProgressDisplay>(terminal)) {}

InstallCommand::~InstallCommand() = default;

QString InstallCommand::summary() const {
    return m_isUpdate ? QStringLiteral("Reinstall products with their latest release.")
                      : QStringLiteral("Install products: templates, plug-ins, fonts, LUTs, composites.");
}

void InstallCommand::describe(QCommandLineParser &parser) const {
    parser.addPositionalArgument(QStringLiteral("names"),
                                 QStringLiteral("Product names as klv list shows them, or "
                                                "product numbers."),
                                 QStringLiteral("NAME..."));
    parser.addOption({QStringLiteral("json"), QStringLiteral("Print the outcome as one JSON object.")});
}

void InstallCommand::run(const QCommandLineParser &parser) {
    const QStringList names = parser.positionalArguments();
    m_asJson = parser.isSet(QStringLiteral("json"));
    if (names.isEmpty()) {
        m_terminal.printMessage(u"Usage: klv " + name() + u" NAME...");
        Q_EMIT finished(ExitCode::usageError);
        return;
    }
    if (!requireSignedIn(m_context, m_terminal)) {
        Q_EMIT finished(ExitCode::usageError);
        return;
    }
    auto *turn = new QueueTurn(m_context.installationQueueLock(), m_terminal, this);
    turn->take([this, names] { install(names); }, [this](int exitCode) { Q_EMIT finished(exitCode); });
}

void InstallCommand::install(const QStringList &names) {
    ProductLibrary &library = m_context.library();
    library.loadProductCache();
    connect(
        &library, &ProductLibrary::refreshFinished, this,
        [this, names](ProductLibrary::RefreshOutcome outcome, const QString &message) {
            if (outcome == ProductLibrary::RefreshOutcome::refused ||
                outcome == ProductLibrary::RefreshOutcome::noAnswer) {
                m_terminal.printMessage(message);
                Q_EMIT finished(exitCodeFor(outcome));
                return;
            }
            QList<OutlineViewItem> products;
            for (const QString &wanted : names) {
                const std::optional<OutlineViewItem> product =
                    findProduct(m_context.library().libraryProducts(), wanted);
                if (!product) {
                    m_terminal.printMessage(unknownProductMessage(m_context.library().libraryProducts(), wanted));
                    Q_EMIT finished(ExitCode::usageError);
                    return;
                }
                products.append(*product);
            }
            requestAll(products);
        },
        Qt::SingleShotConnection);
    library.requestProductCommitNumber();
}

void InstallCommand::requestAll(const QList<OutlineViewItem> &products) {
    // Final Cut Pro and Motion must be closed before their folders change; the guard asks on the terminal.
    ProductActions &actions = m_context.productActions();
    if (!(m_isUpdate ? actions.confirmUpdate() : actions.confirmInstall())) {
        Q_EMIT finished(ExitCode::storeRefused);
        return;
    }
    watchEngine();
    m_interrupts = new InterruptWatcher(this);
    connect(m_interrupts, &InterruptWatcher::interrupted, this, [this] {
        m_cancelled = true;
        m_progress->finishLine();
        m_terminal.printNote(QStringLiteral("Cancelling…"));
        m_context.installationEngine().cancelInstallation();
        finishIfDone();
    });
    // One request at a time, so the jobs queue in the order the products were named.
    m_toRequest = products;
    m_productCount = int(products.size());
    requestNext();
}

void InstallCommand::requestNext() {
    if (m_toRequest.isEmpty() || m_cancelled)
        return;
    ++m_pendingRequests;
    m_context.installationEngine().requestInstallation(m_toRequest.takeFirst(), !m_isUpdate);
}

void InstallCommand::watchEngine() {
    InstallationEngine &engine = m_context.installationEngine();
    connect(&engine, &InstallationEngine::jobStarted, this, [this](const InstallationItem &job) {
        // Counted over the products asked for, which are known from the start, not over the jobs queued so far;
        // the members of a group count as their group.
        const int number = qMin(m_productsDone + 1, m_productCount);
        const std::optional<OutlineViewItem> record =
            findProduct(m_context.library().libraryProducts(), QString::number(job.product_id));
        m_progress->startJob(job.product_name, number, m_productCount, record ? record->product_fileSize : 0);
    });
    connect(&engine, &InstallationEngine::stripChanged, this, [this, &engine] {
        if (engine.stripVisible())
            m_progress->show(engine.stripValue());
    });
    connect(&engine, &InstallationEngine::downloadInfoHandled, this,
            [this](InstallationEngine::DownloadInfoOutcome outcome, const QString &message) {
                --m_pendingRequests;
                requestNext();
                if (outcome != InstallationEngine::DownloadInfoOutcome::accepted) {
                    ++m_productsDone;
                    m_progress->finishLine();
                    m_terminal.printMessage(message);
                    const int code = outcome == InstallationEngine::DownloadInfoOutcome::refused
                                         ? ExitCode::storeRefused
                                         : ExitCode::noAnswer;
                    m_exitCode = qMax(m_exitCode, code);
                }
                finishIfDone();
            });
    connect(&engine, &InstallationEngine::installationRefused, this,
            [this](const QString &productName, const QString &message) {
                ++m_productsDone;
                m_refused.append({productName, message});
                m_exitCode = qMax(m_exitCode, int(ExitCode::storeRefused));
            });
    connect(&engine, &InstallationEngine::installationCompleted, this, [this](const QString &productName) {
        m_progress->endJob();
        ++m_productsDone;
        m_installed.append(productName);
        if (!m_asJson)
            m_terminal.printResult(u"Installed " + productName, Terminal::Tone::good);
    });
    connect(&engine, &InstallationEngine::jobFailed, this, [this](const QString &productName, const QString &message) {
        m_progress->endJob();
        ++m_productsDone;
        m_failed.append({productName, message});
        if (!m_asJson)
            m_terminal.printResult(u"Failed " + productName, Terminal::Tone::failure);
        m_exitCode = ExitCode::jobFailed;
    });
    connect(&engine, &InstallationEngine::queueFinished, this, [this] { finishIfDone(); });
    connect(&engine, &InstallationEngine::sideWorkFinished, this, [this] { finishIfDone(); });
}

void InstallCommand::finishIfDone() {
    const InstallationEngine &engine = m_context.installationEngine();
    // A cancelled job ends once its workers stopped and what it placed is taken back.
    if (m_cancelled) {
        if (!engine.isBusy()) {
            printJsonSummary();
            Q_EMIT finished(ExitCode::cancelled);
        }
        return;
    }
    if (m_pendingRequests > 0 || !m_toRequest.isEmpty() || engine.isBusy() || engine.hasSideWork())
        return;
    m_progress->endJob();
    printJsonSummary();
    Q_EMIT finished(m_exitCode);
}

void InstallCommand::printJsonSummary() const {
    if (!m_asJson)
        return;
    const auto withReasons = [](const QList<std::pair<QString, QString>> &entries) {
        QJsonArray array;
        for (const auto &[product, reason] : entries)
            array.append(QJsonObject{{QStringLiteral("name"), product}, {QStringLiteral("reason"), reason}});
        return array;
    };
    m_terminal.printJson({{QStringLiteral("installed"), QJsonArray::fromStringList(m_installed)},
                          {QStringLiteral("failed"), withReasons(m_failed)},
                          {QStringLiteral("refused"), withReasons(m_refused)},
                          {QStringLiteral("cancelled"), m_cancelled}});
}

} // namespace klv::cli
