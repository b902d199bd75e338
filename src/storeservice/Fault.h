#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include <httplib.h>

#include <QJsonObject>
#include <QString>

namespace klv::storeservice {

// One way for the store to misbehave, so tests can see how the app copes. It applies to the requests for one path
// (compared after percent-decoding, e.g. "/files/plugins/KLV Glow.zip"), of one request type, or both, and either
// replaces the answer (an HTTP error status with a small HTML page; the connection closed without any answer; a body
// that never ends) or changes it (a delay before it; another content type; the body cut off after some bytes while
// the announced length stays the full one; the body sent one byte at a time with a pause before each; the body sent
// at a steady rate, as over a slow line). With "times" it applies to that many matching requests only, so that a
// client that tries again gets through.
class Fault final {
public:
    enum class Kind { Status, Truncate, ContentType, Delay, Drop, Drip, Endless, Throttle };

    // From an entry of the catalog's "faults": "path" and/or "rt", "kind", and what the kind needs: "status"
    // (optional, 500), "bytes", "contentType", "delayMs" (for drip: the pause before each byte) or "bytesPerSecond"
    // (for throttle); "times" (optional) for any kind. The reason in error
    // when it cannot be used.
    static std::optional<Fault> fromJson(const QJsonObject &description, QString &error);
    // From the command line: the same keys as key=value pairs separated by commas.
    static std::optional<Fault> fromOption(const QString &text, QString &error);

    bool matches(const std::string &path, const QString &requestType) const;
    // How many matching requests it applies to; nothing: all of them.
    std::optional<int> times() const { return m_times; }
    // Answers the request instead of answer, or around it.
    void apply(const httplib::Request &request, httplib::Response &response,
               const std::function<void(httplib::Response &)> &answer) const;

private:
    Fault() = default;

    std::optional<std::string> m_path;
    std::optional<QString> m_requestType;
    Kind m_kind = Kind::Status;
    int m_status = 500;
    std::size_t m_bytes = 0;
    std::size_t m_bytesPerSecond = 0;
    std::string m_contentType;
    std::chrono::milliseconds m_delay{0};
    std::optional<int> m_times;
};

} // namespace klv::storeservice
