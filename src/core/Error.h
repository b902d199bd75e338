#pragma once

#include <QString>
#include <QStringBuilder>

#include <optional>
#include <utility>

namespace klv {

// What a function that can fail returns: nothing when it succeeded, else why it failed, as a sentence for the user.
// The compiler refuses a caller that drops it, so a failure cannot pass for success unseen.
class [[nodiscard]] Error final {
public:
    Error() = default;
    Error(std::nullopt_t) {}
    // A failure, whatever its text: even an empty reason is never mistaken for success.
    Error(QString reason)
        : m_reason(std::move(reason))
        , m_failed(true) {}
    // Results that carry their failure as a field hold it as an optional text.
    Error(const std::optional<QString> &reason)
        : m_reason(reason.value_or(QString()))
        , m_failed(reason.has_value()) {}
    template <typename A, typename B>
    Error(QStringBuilder<A, B> &&reason)
        : Error(QString(std::move(reason))) {}

    explicit operator bool() const { return m_failed; }
    const QString &operator*() const { return m_reason; }
    const QString *operator->() const { return &m_reason; }
    operator std::optional<QString>() const { return m_failed ? std::optional(m_reason) : std::nullopt; }

private:
    QString m_reason;
    bool m_failed = false;
};

} // namespace klv
