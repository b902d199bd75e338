#include "cli/TerminalAlerts.h"
#include "cli/Terminal.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <cstdio>
#include <memory>

namespace klv::cli {
namespace {

using namespace Qt::StringLiterals;

// Where what klv says is kept; a base, so that it exists before the terminal that writes to it.
struct Sink {
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> m_sink{std::tmpfile(), std::fclose};
};

// A terminal whose person types the given lines, or no terminal at all.
class TypedTerminal final : private Sink, public Terminal {
public:
    TypedTerminal(bool interactive, QStringList lines)
        : Terminal(stdin, m_sink.get(), m_sink.get())
        , m_interactive(interactive)
        , m_lines(std::move(lines)) {}

    bool isInteractive() const override { return m_interactive; }
    std::optional<QString> readLine() const override {
        if (m_lines.isEmpty())
            return std::nullopt;
        return m_lines.takeFirst();
    }
    QString said() const {
        std::rewind(m_sink.get());
        QByteArray text(4096, '\0');
        text.resize(qsizetype(std::fread(text.data(), 1, size_t(text.size()), m_sink.get())));
        return QString::fromUtf8(text);
    }

private:
    bool m_interactive;
    mutable QStringList m_lines;
};

int answer(const TypedTerminal &terminal, const QStringList &buttons, bool answersYes = false) {
    TerminalAlerts alerts(terminal);
    alerts.setAnswersYes(answersYes);
    return alerts.present(u"Alert"_s, u"A question"_s, buttons);
}

TEST(TerminalAlertsTest, TheSafeButtonIsKnownByItsTextWhereverItStands) {
    const QStringList safeSecond{u"Uninstall"_s, u"Cancel"_s};
    const QStringList safeFirst{u"OK"_s, u"Close FCP/Motion"_s};

    // Without a terminal, and on Enter, n or the end of the input, nothing happens.
    EXPECT_EQ(answer(TypedTerminal(false, {u"y"_s}), safeSecond), 1);
    EXPECT_EQ(answer(TypedTerminal(false, {}), safeFirst), 0);
    for (const QString &typed : {u""_s, u"n"_s, u" NO "_s}) {
        EXPECT_EQ(answer(TypedTerminal(true, {typed}), safeSecond), 1) << typed.toStdString();
        EXPECT_EQ(answer(TypedTerminal(true, {typed}), safeFirst), 0) << typed.toStdString();
    }
    EXPECT_EQ(answer(TypedTerminal(true, {}), safeSecond), 1);

    // y or yes, after anything else was asked again, takes the other button.
    const TypedTerminal retyped(true, {u"1"_s, u"Yes"_s});
    EXPECT_EQ(answer(retyped, safeSecond), 0);
    EXPECT_TRUE(retyped.said().contains(u"Uninstall? [y/N]"_s)) << retyped.said().toStdString();
    EXPECT_TRUE(retyped.said().contains(u"Answer y or n."_s));
    EXPECT_EQ(answer(TypedTerminal(true, {u"y"_s}), safeFirst), 1);

    // --yes answers without asking, also where no terminal is.
    EXPECT_EQ(answer(TypedTerminal(false, {}), safeSecond, true), 0);
    EXPECT_EQ(answer(TypedTerminal(false, {}), safeFirst, true), 1);
}

TEST(TerminalAlertsTest, OtherChoicesAreAskedByNumberWithTheSafeOneAsDefault) {
    const QStringList three{u"Retry"_s, u"Report"_s, u"Cancel"_s};
    EXPECT_EQ(answer(TypedTerminal(false, {}), three), 2);
    EXPECT_EQ(answer(TypedTerminal(true, {u""_s}), three), 2);
    EXPECT_EQ(answer(TypedTerminal(true, {u"9"_s, u"2"_s}), three), 1);
    EXPECT_EQ(answer(TypedTerminal(true, {}), {u"OK"_s}), 0);
}

} // namespace
} // namespace klv::cli
