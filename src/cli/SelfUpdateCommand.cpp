#include "cli/SelfUpdateCommand.h"

#include "cli/ExitCode.h"
#include "cli/Terminal.h"

#include "app/AppContext.h"
#include "store/LenientJson.h"
#include "store/Services.h"
#include "update/SelfUpdate.h"

#include "cli/CommandArguments.h"
#include <QJsonObject>

namespace klv::cli {

using namespace Qt::StringLiterals;

namespace {

const QString checkOption = u"check"_s;
const QString jsonOption = u"json"_s;

} // namespace

SelfUpdateCommand::SelfUpdateCommand(AppContext &context, const Terminal &terminal)
    : Command(context, terminal)
    , m_selfUpdate(&context.selfUpdate()) {}

SelfUpdateCommand::~SelfUpdateCommand() = default;

void SelfUpdateCommand::describe(CommandArguments &arguments) const {
    arguments.addFlag(checkOption, u"Only compare the installed version with the store's."_s);
    arguments.addFlag(jsonOption, u"Print the outcome as one JSON object."_s);
}

void SelfUpdateCommand::run(const CommandArguments &arguments) {
    m_asJson = arguments.isSet(jsonOption);
    if (!m_selfUpdate->replacesItself()) {
        // Nothing is asked of the store: this build never replaces itself.
        if (m_asJson)
            m_terminal.printJson({{u"installedVersion"_s, m_context.services().appVersion},
                                  {u"selfUpdate"_s, false},
                                  {u"message"_s, SelfUpdate::packageManagerNote()}});
        else
            m_terminal.printMessage(SelfUpdate::packageManagerNote());
        Q_EMIT finished(ExitCode::notDone);
        return;
    }
    connect(m_selfUpdate, &SelfUpdate::versionRequestFailed, this, [this](bool refused, const QString &message) {
        m_terminal.printMessage(message);
        Q_EMIT finished(refused ? ExitCode::storeRefused : ExitCode::noAnswer);
    });
    if (arguments.isSet(checkOption)) {
        m_selfUpdate->requestProductVersion(SelfUpdate::storeAppProductID, [this](const QJsonObject &answer) {
            const QString offered = json::textOr(answer, "version"_L1);
            report(offered, std::is_gt(compareVersions(m_context.services().appVersion, offered)), std::nullopt);
            Q_EMIT finished(ExitCode::success);
        });
        return;
    }
    connect(m_selfUpdate, &SelfUpdate::updateAreaChanged, this, &SelfUpdateCommand::versionChecked,
            Qt::SingleShotConnection);
    m_selfUpdate->checkAppVersion();
}

void SelfUpdateCommand::versionChecked() {
    if (!m_selfUpdate->isNewerVersionAvailable()) {
        report(m_selfUpdate->serverAppVersion(), false, false);
        Q_EMIT finished(ExitCode::success);
        return;
    }
    if (!m_selfUpdate->archiveProblem().isEmpty()) {
        // Nothing is handed to the updater that it would refuse: klv stays, and says why.
        m_terminal.printMessage(u"The new version "_s + m_selfUpdate->serverAppVersion() + u" was not offered: "_s +
                                m_selfUpdate->archiveProblem());
        Q_EMIT finished(ExitCode::notDone);
        return;
    }
    if (!m_selfUpdate->isUpdateReady()) {
        m_terminal.printMessage(m_selfUpdate->unofferedNote());
        Q_EMIT finished(ExitCode::noAnswer);
        return;
    }
    connect(m_selfUpdate, &SelfUpdate::updaterAppFetched, this, &SelfUpdateCommand::updaterReady,
            Qt::SingleShotConnection);
    m_selfUpdate->fetchUpdaterApp();
}

void SelfUpdateCommand::updaterReady(bool available) {
    if (!available) {
        m_terminal.printMessage(u"The updater could not be fetched; the log says why: "_s +
                                m_context.services().locations().logFileURL);
        Q_EMIT finished(ExitCode::noAnswer);
        return;
    }
    const SelfUpdate::OfferOutcome outcome = m_selfUpdate->offerUpdate();
    const bool started = outcome == SelfUpdate::OfferOutcome::started;
    report(m_selfUpdate->serverAppVersion(), true, started);
    if (outcome == SelfUpdate::OfferOutcome::startFailed) {
        m_terminal.printMessage(u"The updater could not be started; the log says why: "_s +
                                m_context.services().locations().logFileURL);
        Q_EMIT finished(ExitCode::jobFailed);
        return;
    }
    // Quitting is part of the hand-over: the updater waits for this process to end.
    Q_EMIT finished(ExitCode::success);
}

void SelfUpdateCommand::report(const QString &offered, bool newer, std::optional<bool> started) const {
    if (m_asJson) {
        QJsonObject outcome{{u"installedVersion"_s, m_context.services().appVersion},
                            {u"storeVersion"_s, offered},
                            {u"updateAvailable"_s, newer}};
        if (started)
            outcome.insert(u"updateStarted"_s, *started);
        m_terminal.printJson(outcome);
        return;
    }
    const QString store = offered.isEmpty() ? u"the store names no version"_s : u"the store has "_s + offered;
    m_terminal.printResult(u"KLV App "_s + m_context.services().appVersion + u"; "_s + store + u": "_s +
                           (newer ? u"update available."_s : u"up to date."_s));
    if (started.value_or(false))
        m_terminal.printResult(u"Updating to "_s + offered + u": the updater replaces KLV App once klv has quit."_s);
    else if (newer && started)
        m_terminal.printResult(u"Update not started."_s);
}

} // namespace klv::cli
