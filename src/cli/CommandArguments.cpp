#include "cli/CommandArguments.h"

#include "cli/WordWrap.h"

#include <CLI/CLI.hpp>

namespace klv::cli {

namespace {

std::string longName(const QString &name) {
    return QString(u"--" + name).toStdString();
}

std::string helpDescription(const QString &description) {
    return wordWrap(description, CommandArguments::descriptionWidth).toStdString();
}

} // namespace

CommandArguments::CommandArguments(CLI::App &subcommand)
    : m_subcommand(subcommand) {}

void CommandArguments::addFlag(const QString &name, const QString &description, const QString &shortName) {
    const std::string names =
        shortName.isEmpty() ? longName(name) : QString(u'-' + shortName).toStdString() + ',' + longName(name);
    const std::string text = helpDescription(description);
    // `--json=3` is a mistake, not a way to say yes.
    m_subcommand.add_flag(names, text)->disable_flag_override();
    m_options.append({shortName.isEmpty() ? QStringList{u"--" + name} : QStringList{u"--" + name, u'-' + shortName},
                      false,
                      {},
                      description,
                      {}});
}

void CommandArguments::addValueOption(const QString &name, const QString &description, const QString &valueName,
                                      const QString &defaultValue, const QStringList &choices) {
    const std::string text = helpDescription(description);
    m_subcommand.add_option(longName(name), text)
        ->type_name(valueName.toStdString())
        ->default_str(defaultValue.toStdString());
    m_options.append({{u"--" + name}, true, choices, description, valueName});
}

void CommandArguments::addPositional(const QString &name, const QString &description, int maxCount, bool required) {
    m_positionalName = name;
    m_positionalDescription = description;
    const std::string text = helpDescription(description);
    m_subcommand.add_option(name.toStdString(), text)
        ->type_name("")
        ->expected(1, maxCount < 0 ? CLI::detail::expected_max_vector_size : maxCount)
        ->required(required)
        ->allow_extra_args(maxCount != 1);
}

bool CommandArguments::isSet(const QString &name) const {
    const CLI::Option *option = m_subcommand.get_option_no_throw(longName(name));
    return option && option->count() > 0;
}

QString CommandArguments::value(const QString &name) const {
    const CLI::Option *option = m_subcommand.get_option(longName(name));
    return QString::fromStdString(option->results().empty() ? option->get_default_str() : option->results().back());
}

QString CommandArguments::usageLine() const {
    const std::string name = "klv " + m_subcommand.get_name();
    return QString::fromStdString(CLI::Formatter().make_usage(&m_subcommand, name)).trimmed().section(u' ', 1);
}

QString CommandArguments::usageError(const QString &problem) const {
    const QString name = u"klv " + QString::fromStdString(m_subcommand.get_name());
    return name + u": " + problem + u"\nUsage: " + usageLine() + u"\nRun '" + name + u" --help' for its options.";
}

QStringList CommandArguments::positionalArguments() const {
    QStringList arguments;
    if (m_positionalName.isEmpty())
        return arguments;
    for (const std::string &argument : m_subcommand.get_option(m_positionalName.toStdString())->results())
        arguments.append(QString::fromStdString(argument));
    return arguments;
}

} // namespace klv::cli
