#include "cli/CompletionScripts.h"

#include "cli/Command.h"
#include "cli/CommandArguments.h"
#include "cli/CommandLine.h"

#include <QStringList>

namespace klv::cli {

namespace {

const QString productsArgument = QStringLiteral("NAME");
const QString globalOptions = QStringLiteral("--help --version --quiet --verbose");

QString commandNames(const std::vector<std::unique_ptr<Command>> &commands) {
    QStringList names{QStringLiteral("help")};
    for (const auto &command : commands)
        names.append(command->name());
    return names.join(u' ');
}

QString optionNames(const CommandArguments &arguments) {
    QStringList names{QStringLiteral("--help")};
    for (const CommandArguments::Option &option : arguments.options())
        names.append(option.names);
    return names.join(u' ');
}

// The shell's case patterns, one per option that takes a value: its choices, or nothing to offer for free text.
QString valueCases(const CommandArguments &arguments, const QString &choicesLine, const QString &freeLine) {
    QString cases;
    for (const CommandArguments::Option &option : arguments.options()) {
        if (!option.takesValue)
            continue;
        const QString action =
            option.choices.isEmpty()
                ? freeLine
                : QString(choicesLine).replace(QStringLiteral("@CHOICES@"), option.choices.join(u' '));
        cases += u"            " + option.names.join(u'|') + u") " + action + u" ;;\n";
    }
    return cases;
}

} // namespace

QString bashCompletion(const CommandLine &commandLine, const std::vector<std::unique_ptr<Command>> &commands) {
    QString perCommand;
    for (const auto &command : commands) {
        const CommandArguments &arguments = commandLine.arguments(*command);
        perCommand += u"    " + command->name() + u")\n";
        perCommand +=
            u"        case $prev in\n" +
            valueCases(arguments, QStringLiteral("COMPREPLY=($(compgen -W \"@CHOICES@\" -- \"$cur\")); return"),
                       QStringLiteral("return")) +
            u"        esac\n";
        perCommand += u"        options=\"" + optionNames(arguments) + u"\"\n";
        if (arguments.positionalName() == productsArgument)
            perCommand += QStringLiteral("        products=1\n");
        perCommand += QStringLiteral("        ;;\n");
    }

    // clang-format off
    return QStringLiteral(R"SH(# bash completion for klv                                       -*- shell-script -*-
# Commands, options, and product names from the cached library (klv --complete-products).

_klv_products() {
    # Inside quotes the shell takes the name as it is (in double quotes with \ " $ ` escaped); outside them it
    # needs every special character escaped.
    local quote="" typed=${cur//\\/} name
    case $cur in
    [\"\']*) quote=${cur:0:1} typed=${cur:1} ;;
    esac
    local IFS=$'\n'
    for name in $("${COMP_WORDS[0]}" --complete-products 2>/dev/null); do
        [[ $name == "$typed"* ]] || continue
        case $quote in
        \') COMPREPLY+=("$name") ;;
        \") name=${name//\\/\\\\} name=${name//\"/\\\"} name=${name//\$/\\\$} name=${name//\`/\\\`}
            COMPREPLY+=("$name") ;;
        *) COMPREPLY+=("$(printf '%q' "$name")") ;;
        esac
    done
}

_klv() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local command="" options="" products=0 i
    COMPREPLY=()
    for ((i = 1; i < COMP_CWORD; i++)); do
        if [[ ${COMP_WORDS[i]} != -* ]]; then
            command=${COMP_WORDS[i]}
            break
        fi
    done
    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "@COMMANDS@ @GLOBAL@" -- "$cur"))
        return
    fi
    case $command in
    help)
        COMPREPLY=($(compgen -W "@COMMANDS@" -- "$cur"))
        return
        ;;
@PERCOMMAND@    *) return ;;
    esac
    if [[ $cur == -* || $products == 0 ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    else
        _klv_products
    fi
}

complete -F _klv klv
)SH")
        .replace(QStringLiteral("@COMMANDS@"), commandNames(commands))
        .replace(QStringLiteral("@GLOBAL@"), globalOptions)
        .replace(QStringLiteral("@PERCOMMAND@"), perCommand);
    // clang-format on
}

QString zshCompletion(const CommandLine &commandLine, const std::vector<std::unique_ptr<Command>> &commands) {
    QString described;
    for (const auto &command : commands)
        described += u"        '" + command->name() + u':' +
                     QString(command->summary()).replace(u'\'', QStringLiteral("'\\''")) + u"'\n";
    QString perCommand;
    for (const auto &command : commands) {
        const CommandArguments &arguments = commandLine.arguments(*command);
        perCommand += u"    " + command->name() + u")\n";
        perCommand += u"        case $words[CURRENT-1] in\n" +
                      valueCases(arguments, QStringLiteral("compadd -- @CHOICES@; return"), QStringLiteral("return")) +
                      u"        esac\n";
        perCommand += u"        options=(" + optionNames(arguments) + u")\n";
        if (arguments.positionalName() == productsArgument)
            perCommand += QStringLiteral("        products=1\n");
        perCommand += QStringLiteral("        ;;\n");
    }

    // clang-format off
    return QStringLiteral(R"SH(#compdef klv
# Commands, options, and product names from the cached library (klv --complete-products).

_klv() {
    local -a commands options names
    local command= products=0 i
    commands=(
@DESCRIBED@    )
    for ((i = 2; i < CURRENT; i++)); do
        if [[ $words[i] != -* ]]; then
            command=$words[i]
            break
        fi
    done
    if [[ -z $command ]]; then
        if [[ $PREFIX == -* ]]; then
            compadd -- @GLOBAL@
        else
            _describe -t commands 'klv command' commands
        fi
        return
    fi
    case $command in
    help)
        compadd -- @COMMANDS@
        return
        ;;
@PERCOMMAND@    *) return ;;
    esac
    if [[ $PREFIX == -* || $products == 0 ]]; then
        compadd -- $options
    else
        names=("${(@f)$($words[1] --complete-products 2>/dev/null)}")
        compadd -- $names
    fi
}

_klv "$@"
)SH")
        .replace(QStringLiteral("@DESCRIBED@"), described)
        .replace(QStringLiteral("@COMMANDS@"), commandNames(commands))
        .replace(QStringLiteral("@GLOBAL@"), globalOptions)
        .replace(QStringLiteral("@PERCOMMAND@"), perCommand);
    // clang-format on
}

} // namespace klv::cli
