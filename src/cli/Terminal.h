#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>

class QJsonObject;

namespace klv::cli {

// The client's streams: results on one, messages and questions on the other, answers read from a third.
// What is printed often carries text from the store, so every line is written with its control characters
// escaped (a line break included): such text can neither drive the terminal nor forge a line of its own.
class Terminal {
public:
    // What a coloured line says; without colour every tone prints plainly.
    enum class Tone { plain, good, notice, failure };
    // How progress is shown on the message stream.
    enum class ProgressStyle { redrawn, lines, none };

    Terminal(std::FILE *input, std::FILE *output, std::FILE *errors);
    virtual ~Terminal() = default;

    // One line each.
    void printResult(const QString &line, Tone tone = Tone::plain) const;
    void printMessage(const QString &line, Tone tone = Tone::plain) const;
    // A message that only informs (what happens next, what was kept): left out with --quiet.
    void printNote(const QString &line) const;
    // The program's own text of several lines (help, usage): each line is written as printMessage writes one.
    void printResultLines(const QString &text) const;
    void printMessageLines(const QString &text) const;
    // A JSON result, indented, with the format's version; control characters that JSON leaves unescaped (DEL, C1)
    // are escaped too.
    void printJson(QJsonObject result) const;
    // Whether a JSON result went out, and every message so far: a command refused with --json still answers in
    // JSON, with these.
    bool printedJson() const { return m_printedJson; }
    const QStringList &messages() const { return m_messages; }
    // Replaces the current line of the message stream (progress redrawn in place) and ends it.
    void redrawLine(const QString &line) const;
    void endLine() const;
    ProgressStyle progressStyle() const;
    // The width of the terminal the messages go to; 80 when it cannot be told.
    int messageColumns() const;
    void setQuiet(bool quiet) { m_quiet = quiet; }
    // True when answers can be asked for: the input is a terminal.
    virtual bool isInteractive() const;
    // One line without its line break; nothing at the end of the input.
    virtual std::optional<QString> readLine() const;
    // Asks with the prompt and reads one line without echoing it.
    std::optional<QString> readSecret(const QString &prompt) const;

private:
    static void write(std::FILE *stream, const QString &text);
    static bool usesColour(std::FILE *stream);
    static QString painted(std::FILE *stream, const QString &line, Tone tone);

    std::FILE *m_input;
    std::FILE *m_output;
    std::FILE *m_errors;
    bool m_quiet = false;
    // A redrawn line (progress) is on screen without its line break: a message first takes it away.
    mutable bool m_redrawnLineShown = false;
    mutable bool m_printedJson = false;
    mutable QStringList m_messages;
};

} // namespace klv::cli
