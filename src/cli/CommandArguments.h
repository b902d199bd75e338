#pragma once

#include <QString>
#include <QStringList>

namespace CLI {
class App;
}

namespace klv::cli {

// A command's view of its subcommand in the command-line parser: the command declares its options and positional
// arguments here before parsing and reads their values after it.
class CommandArguments final {
public:
    explicit CommandArguments(CLI::App &subcommand);

    // The width a description wraps at in help, so help reads well in an 80-column terminal.
    static constexpr int descriptionWidth = 52;

    // An option without a value: `--name`, or `-s` too when shortName is given.
    void addFlag(const QString &name, const QString &description, const QString &shortName = {});
    // An option with a value: `--name VALUE` or `--name=VALUE`; value() gives defaultValue when it is not given.
    // The choices, when there are a few, are what shell completion offers.
    void addValueOption(const QString &name, const QString &description, const QString &valueName,
                        const QString &defaultValue = {}, const QStringList &choices = {});
    // Positional arguments; more than maxCount are refused (-1: any number), and none when required.
    void addPositional(const QString &name, const QString &description, int maxCount, bool required = false);

    // What shell completion and the manual page need to know of an option.
    struct Option {
        QStringList names;
        bool takesValue = false;
        QStringList choices;
        QString description;
        QString valueName;
    };
    const QList<Option> &options() const { return m_options; }
    // The positional arguments' name (NAME, USER, TIER), empty when the command takes none.
    const QString &positionalName() const { return m_positionalName; }
    const QString &positionalDescription() const { return m_positionalDescription; }
    // How the command is called, e.g. "klv install [OPTIONS] NAME...".
    QString usageLine() const;

    bool isSet(const QString &name) const;
    // The option's value, empty when it is not given.
    QString value(const QString &name) const;
    QStringList positionalArguments() const;
    // What every usage error of the command prints: the problem, the usage line, and where its options are told.
    QString usageError(const QString &problem) const;

private:
    CLI::App &m_subcommand;
    QString m_positionalName;
    QString m_positionalDescription;
    QList<Option> m_options;
};

} // namespace klv::cli
