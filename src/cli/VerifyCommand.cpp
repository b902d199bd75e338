#include "cli/VerifyCommand.h"

#include "cli/CommandArguments.h"
#include "cli/ExitCode.h"
#include "cli/LibraryLookup.h"
#include "cli/LibraryOutcome.h"
#include "cli/Terminal.h"

#include "app/AppContext.h"
#include "install/ProductVerification.h"
#include "library/ProductLibrary.h"

#include <QJsonArray>
#include <QJsonObject>

namespace klv::cli {

using namespace Qt::StringLiterals;

namespace {
const QString jsonOption = u"json"_s;
const QString quickOption = u"quick"_s;

QString countText(const ProductCheck &check) {
    return QStringLiteral("%1 missing, %2 changed, %3 extra")
        .arg(check.missing.size())
        .arg(check.changed.size())
        .arg(check.extra.size());
}
} // namespace

void VerifyCommand::describe(CommandArguments &arguments) const {
    arguments.addPositional(u"NAME"_s,
                            u"Product names as klv list shows them, or numbers; none: every installed one."_s, -1);
    arguments.addFlag(quickOption, u"Compare sizes and modification times only, without reading the files."_s);
    arguments.addFlag(jsonOption, u"Print the outcome as one JSON object."_s);
}

void VerifyCommand::run(const CommandArguments &arguments) {
    if (!requireSignedIn(m_context, m_terminal)) {
        Q_EMIT finished(ExitCode::notSignedIn);
        return;
    }
    ProductLibrary &library = m_context.library();
    library.loadProductCache();
    reportUnstoredLibrary(m_terminal, library.redetectInstalledStates());
    const ProductSelection selection = findProducts(library.libraryProducts(), arguments.positionalArguments());
    for (const QString &unknown : selection.unknown)
        m_terminal.printMessage(unknownProductMessage(library.libraryProducts(), unknown));
    if (!selection.unknown.isEmpty()) {
        Q_EMIT finished(ExitCode::usageError);
        return;
    }
    auto *verification = new ProductVerification(m_context.services(), library, this);
    connect(
        verification, &ProductVerification::finished, this,
        [this, asJson = arguments.isSet(jsonOption)](const QList<ProductCheck> &checks) { report(checks, asJson); });
    verification->start(verification->productsToVerify(selection.products),
                        arguments.isSet(quickOption) ? InstallVerifier::Depth::quick : InstallVerifier::Depth::full);
}

void VerifyCommand::report(const QList<ProductCheck> &checks, bool asJson) {
    bool differs = false;
    QJsonArray products;
    for (const ProductCheck &check : checks) {
        differs = differs || !check.intact() || check.unfinishedUpdate;
        if (asJson) {
            products.append(
                QJsonObject{{u"name"_s, check.product},
                            {u"intact"_s, check.intact() && !check.unknown},
                            {u"installed"_s, !check.unknown},
                            {u"baselineTaken"_s, check.baselineTaken},
                            {u"recordUnreadable"_s, check.recordUnreadable},
                            {u"missing"_s, QJsonArray::fromStringList(check.missing)},
                            {u"changed"_s, QJsonArray::fromStringList(check.changed)},
                            {u"extra"_s, QJsonArray::fromStringList(check.extra)},
                            {u"unfinishedUpdate"_s, check.unfinishedUpdate ? QJsonValue(*check.unfinishedUpdate)
                                                                           : QJsonValue(QJsonValue::Null)},
                            {u"partsBehind"_s, QJsonArray::fromStringList(check.partsBehind)}});
            continue;
        }
        if (check.unfinishedUpdate)
            m_terminal.printResult(
                check.product + u": its update"_s +
                    (check.unfinishedUpdate->isEmpty() ? QString() : u" to "_s + *check.unfinishedUpdate) +
                    u" stopped part-way, so "_s +
                    (check.partsBehind.isEmpty() ? u"some of its parts"_s
                                                 : u"its "_s + check.partsBehind.join(u", "_s)) +
                    u" are still the earlier release; klv update completes it"_s,
                Terminal::Tone::failure);
        if (check.unknown) {
            m_terminal.printResult(check.product + u": not installed"_s);
        } else if (check.baselineTaken && check.recordUnreadable) {
            m_terminal.printResult(check.product + u": baseline taken; its record could not be read, so earlier "
                                                   u"changes cannot be told"_s,
                                   Terminal::Tone::notice);
        } else if (check.baselineTaken) {
            m_terminal.printResult(check.product + u": baseline taken"_s, Terminal::Tone::good);
        } else if (check.intact()) {
            m_terminal.printResult(check.product + u": intact"_s, Terminal::Tone::good);
        } else {
            m_terminal.printResult(check.product + u": "_s + countText(check), Terminal::Tone::failure);
            for (const auto &[label, files] :
                 {std::pair{u"missing"_s, &check.missing}, std::pair{u"changed"_s, &check.changed},
                  std::pair{u"extra  "_s, &check.extra}}) {
                for (const QString &file : *files)
                    m_terminal.printResult(u"  "_s + label + u"  "_s + file);
            }
        }
    }
    if (asJson)
        m_terminal.printJson({{u"products"_s, products}});
    else if (checks.isEmpty())
        m_terminal.printMessage(u"No product is installed."_s);
    if (differs && !asJson)
        m_terminal.printNote(u"klv repair NAME installs again what differs."_s);
    Q_EMIT finished(differs ? ExitCode::checkFailed : ExitCode::success);
}

} // namespace klv::cli
