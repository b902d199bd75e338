#include "cli/ManualPage.h"

#include "cli/Command.h"
#include "cli/CommandArguments.h"
#include "cli/CommandLine.h"

#include "BuildConfig.h"

#include <QStringList>

#include <algorithm>

namespace klv::cli {

namespace {

struct Entry {
    const char *term;
    const char *text;
};

// Field names are the client's own; fields are added under the same "version", renamed only under a new one.
constexpr Entry jsonFields[] = {
    {"whoami", "signedIn, and when signed in name, email"},
    {"doctor", "storeAddress, osVersion, appVersion, signedIn, configuration (each name, value, source), allPassed, "
               "checks (each name, passed, detail, and fix when it failed), locations (each name, path, state: "
               "folder, file or missing)"},
    {"refresh", "library (downloaded or unchanged), commit, productCount, added and removed (each number, name; added "
                "also installed, updateAvailable), changed (number, name, installed, updateAvailable, wasInstalled, "
                "hadUpdate)"},
    {"list", "products: each number, name (as the list shows it), fullName, kinds, sizeBytes, installed, "
             "updateAvailable, group, application, appleSiliconNative, and for a group members (products alike)"},
    {"outdated", "products: each number, name"},
    {"install, update", "installed (names), failed and refused (each name, reason), cancelled"},
    {"uninstall", "uninstalled (names of the products something was removed of)"},
    {"verify",
     "products: each name, intact, installed, baselineTaken, recordUnreadable, missing, changed and extra (paths), "
     "unfinishedUpdate (the release an update stopped part-way was placing, or null), partsBehind (the parts still "
     "the earlier release)"},
    {"sale", "title, discountPercent, endDate, countdown, placeholder, products"},
    {"free", "products"},
    {"products of sale and free", "number, name, shortDescription, description, price, saleAmount, imageAddress, "
                                  "pageAddress, videoNumber, saleVideoNumber"},
    {"rewards", "totalSpent, coins, progress, progressMaximum, neededForNextTier (dollars; null above the last tier), "
                "tiers (each tier, threshold, reward, state, tone, copyable, coupon)"},
    {"claim", "tier, rewardText, coupon, copiedToClipboard, result (claimed, refused or noAnswer), message"},
    {"self-update", "installedVersion, storeVersion, updateAvailable, and once an update was offered updateStarted; "
                    "in a build updated by the package manager selfUpdate (false) and message"},
    {"a command refused before it ran", "exitCode, error (the messages printed on standard error)"},
};

constexpr Entry environment[] = {
    {"KLV_STORE_URL", "The store's address: scheme and host, no path. Overrides store_url of the configuration files."},
    {"KLV_STORE_KEY, KLV_MARKETING_KEY",
     "The two request keys, 64 hexadecimal digits each (store_key, marketing_key)."},
    {"KLV_DOWNLOAD_BUCKET_URL, KLV_PLUGIN_SITE_URL, KLV_FONT_STORE_URL, KLV_LOGO_URL, KLV_TUTORIAL_URL, "
     "KLV_VIDEO_PLAYER_URL",
     "The store's other addresses: application updates, plug-ins, fonts, the maker's logo, the tutorial page and the "
     "video player. Each one not set at the level of the store address or above it is derived from the store "
     "address (/files/bucket/, /files/plugins/, /files/fonts/, /files/logo.png, /tutorials/, /player/#)."},
    {"KLV_CA_FILE", "Further trusted certificate authorities in PEM form, for a store with its own (ca_file). TLS "
                    "errors are never ignored."},
    {"KLV_SYSTEM_CONFIG_DIR", "The folder of the system-wide configuration file instead of /etc/klv-app (for tests)."},
    {"KLV_GROUP_ID, KLV_BUNDLE_ID", "The application's group and bundle identifiers, which name its folders."},
    {"KLV_SELF_UPDATE", "OFF makes a build that updates itself behave as a packaged one; nothing turns self-update "
                        "on in a packaged build."},
    {"KLV_DOWNLOAD_MAX_BYTES", "The largest download accepted when the store announces no size (16 GB)."},
    {"KLV_DOWNLOAD_STALL_WINDOW_MS", "A download that receives less than 1 KB a second over this many milliseconds "
                                     "fails (30000)."},
    {"http_proxy, https_proxy, all_proxy, no_proxy",
     "The proxy for web requests, as for other programs; without them the desktop's own proxy settings apply."},
    {"NO_COLOR", "No colour when set to anything but the empty text."},
    {"TERM", "With dumb, no colour and no progress line."},
    {"XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_CACHE_HOME",
     "The user's folders (~/.config, ~/.local/share, ~/.cache when unset)."},
};

constexpr Entry files[] = {
    {"/etc/klv-app/klv-app.conf", "The system-wide configuration."},
    {"$XDG_CONFIG_HOME/klv-app/klv-app.conf", "The user's configuration, over the system-wide one."},
    {"$XDG_CONFIG_HOME/com.vantory.klvapp.conf", "The settings: the signed-in customer and the library's commit "
                                                 "number. klv logout removes them."},
    {"$XDG_DATA_HOME/klv-app/Applications/Vantory/Log/KLVAppLog.txt",
     "The log (klv log); at 5 MB it moves to KLVAppLog.txt.1, replacing the previous one."},
    {"$XDG_DATA_HOME/klv-app/Group Containers/group.com.vantory.klvapp/",
     "The cached library (KLVApp_MyProductCache.bin), the picture map and the product pictures."},
    {"$XDG_CACHE_HOME/com.vantory.klvapp/", "Caches, emptied at every start."},
    {"$XDG_DATA_HOME/klv-app/Applications/Vantory/KLV-Installation.lock",
     "Held by the one process that installs, updates or removes products in this home."},
    {"~/Videos/Motion Templates.localized/, ~/Videos/KLV Composite, $XDG_DATA_HOME/fonts/, "
     "$XDG_DATA_HOME/DaVinciResolve/Fusion/Templates/",
     "Where products are installed."},
};

constexpr Entry examples[] = {
    {"echo \"$PASSWORD\" | klv login someone --password-stdin", "Sign in without a prompt."},
    {"klv list --filter not-installed --sort az", "The products not installed yet, A to Z."},
    {"klv install \"Kinetic Titles\" \"Glow Pack - Full Version\"", "Install two products."},
    {"klv update --all -y", "Update everything that has an update, without asking."},
    {"klv list --json | jq -r '.products[].name'", "The names alone, for a script."},
    {"klv doctor", "What the client uses: the store and where its address came from, free space, the folders."},
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

// A tagged paragraph: the term in bold, the text filled below it.
QString tagged(const QString &term, const QString &text) {
    return u".TP\n.B " + escaped(term) + u'\n' + escaped(text) + u'\n';
}

QString optionTerm(const CommandArguments::Option &option) {
    QStringList names = option.names;
    std::reverse(names.begin(), names.end());
    QString term = names.join(QStringLiteral(", "));
    if (option.takesValue)
        term += u' ' + option.valueName;
    return term;
}

QString commandSection(const Command &command, const CommandArguments &arguments) {
    QString section = u".TP\n.B " + escaped(arguments.usageLine()) + u'\n' + escaped(command.summary()) + u'\n';
    const QStringList common{QStringLiteral("--quiet"), QStringLiteral("--verbose")};
    QString options;
    if (!arguments.positionalName().isEmpty())
        options += tagged(arguments.positionalName(), arguments.positionalDescription());
    for (const CommandArguments::Option &option : arguments.options()) {
        if (!common.contains(option.names.first())) {
            QString text = option.description;
            if (!option.choices.isEmpty())
                text += u" One of: " + option.choices.join(QStringLiteral(", ")) + u'.';
            options += tagged(optionTerm(option), text);
        }
    }
    if (!options.isEmpty())
        section += u".RS\n" + options + u".RE\n";
    return section;
}

} // namespace

QString manualPage(const CommandLine &commandLine, const std::vector<std::unique_ptr<Command>> &commands,
                   const QString &version) {
    QString page = u".TH KLV 1 \"" + QString::fromUtf8(build::manualDate) + u"\" \"klv " + escaped(version) +
                   u"\" \"User Commands\"\n";
    page += QStringLiteral(".SH NAME\nklv \\- the KLV App from a terminal: your store account and your products\n");
    page += QStringLiteral(".SH SYNOPSIS\n.B klv\n.RI [ options ] \" command \" [ arguments ]\n.br\n"
                           ".B klv help\n.I command\n");
    page +=
        u".SH DESCRIPTION\n" +
        escaped(QStringLiteral(
            "klv does from a terminal what the KLV App's window does: it signs in to the store with the customer's "
            "account, lists the templates, plug-ins, fonts, looks and composites the customer owns, installs, updates "
            "and "
            "uninstalls them, and shows the store's sale of the day, free products and rewards.")) +
        u"\n.PP\n" +
        escaped(QStringLiteral(
            "Results go to standard output, messages and progress to standard error. Commands that change what is "
            "installed ask first on the terminal; without one, update and uninstall refuse unless --yes is given. The "
            "window and any number of klv commands may run in the same home at once: one of them at a time installs, "
            "updates or removes products, and the others wait for it.")) +
        u'\n';

    page += QStringLiteral(".SH OPTIONS\nEvery command takes these options.\n");
    page += tagged(QStringLiteral("-h, --help"), QStringLiteral("Show the command's usage and options."));
    page += tagged(QStringLiteral("-q, --quiet"), QStringLiteral("Print results and errors only: no progress, no "
                                                                 "notes."));
    page += tagged(QStringLiteral("--verbose"), QStringLiteral("Also show the log's lines as they are written."));
    page += tagged(QStringLiteral("-v, --version"), QStringLiteral("Show klv's version (before any command)."));

    page += QStringLiteral(".SH COMMANDS\n");
    for (const auto &command : commands)
        page += commandSection(*command, commandLine.arguments(*command));
    page += tagged(QStringLiteral("klv help COMMAND"), QStringLiteral("Show a command's usage and options."));

    page +=
        u".SH CONFIGURATION\n" +
        escaped(QStringLiteral(
            "The store's addresses and keys come from the first of: the environment variable of the value's name (see "
            "ENVIRONMENT), the user's configuration file, the system-wide configuration file, and the values built "
            "into "
            "klv. Each file holds lines of the form \"name = value\"; lines starting with # are comments. A name is "
            "the "
            "variable's without KLV_, in lower case: store_url, store_key, marketing_key, download_bucket_url, "
            "plugin_site_url, font_store_url, logo_url, tutorial_url, video_player_url and ca_file. A line that is no "
            "setting, an unknown name, an address this build may not use or a key that is not 64 hexadecimal digits is "
            "refused before any request is sent (exit status 2). klv doctor shows each value and where it came "
            "from.")) +
        u"\n.PP\n.nf\n.RS\n" +
        escaped(QStringLiteral("# /etc/klv-app/klv-app.conf\n"
                               "store_url = https://store.example.com\n"
                               "store_key = <64 hexadecimal digits>")) +
        u"\n.RE\n.fi\n";

    page += QStringLiteral(".SH EXIT STATUS\n");
    for (const CommandLine::ExitCodeMeaning &code : CommandLine::exitCodeMeanings())
        page += tagged(QString::number(code.code), code.meaning);

    page +=
        u".SH JSON OUTPUT\n" +
        escaped(QStringLiteral(
            "With --json, standard output holds one JSON object and nothing else; messages and progress stay on "
            "standard "
            "error. Every object has \"version\": 1. Fields are added under the same version, renamed or removed only "
            "under a new one.")) +
        u'\n';
    for (const Entry &entry : jsonFields)
        page += tagged(QString::fromUtf8(entry.term), QString::fromUtf8(entry.text));

    page += QStringLiteral(".SH ENVIRONMENT\n");
    for (const Entry &entry : environment)
        page += tagged(QString::fromUtf8(entry.term), QString::fromUtf8(entry.text));

    page += QStringLiteral(".SH FILES\n");
    for (const Entry &entry : files)
        page += tagged(QString::fromUtf8(entry.term), QString::fromUtf8(entry.text));

    page += QStringLiteral(".SH EXAMPLES\n");
    for (const Entry &entry : examples)
        page += tagged(QString::fromUtf8(entry.term), QString::fromUtf8(entry.text));

    page += QStringLiteral(".SH SEE ALSO\n.BR klv\\-app (1),\n.BR klv\\-store (1)\n");
    return page;
}

} // namespace klv::cli
