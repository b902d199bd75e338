#include "ManualPage.h"

#include "Command.h"
#include "CommandLine.h"

#include <QStringList>

namespace klv::cli {

namespace {

struct JsonFields {
    const char *commands;
    const char *fields;
};

// Field names are the client's own; fields are added under the same "version", renamed only under a new one.
constexpr JsonFields jsonFields[] = {
    {"whoami", "signedIn, and when signed in name, email"},
    {"doctor", "storeAddress, osVersion, appVersion, signedIn, allPassed, checks (each name, passed, detail, and fix "
               "when it failed), locations (each name, path, state: folder, file or missing)"},
    {"refresh", "library (downloaded or unchanged), commit, productCount, added and removed (each number, name; added "
                "also installed, updateAvailable), changed (number, name, installed, updateAvailable, wasInstalled, "
                "hadUpdate)"},
    {"list", "products: each number, name (as the list shows it), fullName, kinds, sizeBytes, installed, "
             "updateAvailable, group, application, appleSiliconNative, and for a group members (products alike)"},
    {"outdated", "products: each number, name"},
    {"install, update", "installed (names), failed and refused (each name, reason), cancelled"},
    {"uninstall", "uninstalled (names of the products something was removed of)"},
    {"verify", "products: each name, intact, installed, baselineTaken, missing, changed and extra (paths)"},
    {"sale", "title, discountPercent, endDate, countdown, placeholder, products"},
    {"free", "products"},
    {"products of sale and free", "number, name, shortDescription, description, price, saleAmount, imageAddress, "
                                  "pageAddress, videoNumber, saleVideoNumber"},
    {"rewards", "totalSpent, coins, progress, progressMaximum, neededForNextTier (dollars; null above the last tier), "
                "tiers (each tier, threshold, reward, state, tone, copyable)"},
    {"claim", "tier, rewardText, copiedToClipboard, result (claimed, refused or noAnswer), message"},
    {"self-update", "installedVersion, storeVersion, updateAvailable, and once an update was offered updateStarted; "
                    "in a build updated by the package manager selfUpdate (false) and message"},
};

// Text as roff prints it: backslashes and hyphens literal, no line taken for a request.
QString escaped(const QString &text) {
    QString out = text;
    out.replace(u'\\', QStringLiteral("\\e")).replace(u'-', QStringLiteral("\\-"));
    QStringList lines = out.split(u'\n');
    for (QString &line : lines) {
        if (line.startsWith(u'.') || line.startsWith(u'\''))
            line.prepend(QStringLiteral("\\&"));
    }
    return lines.join(u'\n');
}

QString preformatted(const QString &text) {
    return u".nf\n" + escaped(text) + u"\n.fi\n";
}

} // namespace

QString manualPage(const CommandLine &commandLine, const std::vector<std::unique_ptr<Command>> &commands,
                   const QString &version) {
    QString page = u".TH KLV 1 \"\" \"klv " + escaped(version) + u"\" \"User Commands\"\n";
    page += QStringLiteral(".SH NAME\nklv \\- the KLV App from a terminal: your store account and your products\n");
    page += QStringLiteral(".SH SYNOPSIS\n.B klv\n[\\-\\-help] [\\-\\-version] COMMAND [OPTIONS]\n");
    page += QStringLiteral(".SH DESCRIPTION\n");
    page += preformatted(commandLine.helpText(nullptr));

    page += QStringLiteral(".SH COMMANDS\n");
    for (const auto &command : commands) {
        page += u".SS " + escaped(command->name()) + u'\n';
        page += escaped(command->summary()) + u'\n';
        page += preformatted(commandLine.helpText(command.get()));
    }

    page += QStringLiteral(".SH EXIT STATUS\n");
    for (const CommandLine::ExitCodeMeaning &code : CommandLine::exitCodeMeanings())
        page += u".TP\n.B " + QString::number(code.code) + u'\n' + escaped(code.meaning) + u'\n';

    page += QStringLiteral(".SH JSON OUTPUT\nWith \\-\\-json, standard output holds one JSON object and nothing else; "
                           "messages and progress stay on standard error. Every object has \"version\": 1.\n");
    for (const JsonFields &entry : jsonFields)
        page += u".TP\n.B " + escaped(QString::fromUtf8(entry.commands)) + u'\n' +
                escaped(QString::fromUtf8(entry.fields)) + u'\n';

    page += QStringLiteral(".SH ENVIRONMENT\n.TP\n.B NO_COLOR\nNo colour when set to anything but the empty text.\n"
                           ".TP\n.B KLV_STORE_URL\nThe store's address (scheme and host), for a test store.\n");
    return page;
}

} // namespace klv::cli
