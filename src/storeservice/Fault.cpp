#include "storeservice/Fault.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <limits>
#include <memory>
#include <system_error>
#include <thread>
#include <utility>

#include <netdb.h>
#include <sys/socket.h>

#include <QJsonValue>
#include <QStringList>

namespace klv::storeservice {

using namespace Qt::StringLiterals;

namespace {

constexpr std::array<std::pair<QStringView, Fault::Kind>, 8> kinds{{
    {u"status", Fault::Kind::Status},
    {u"truncate", Fault::Kind::Truncate},
    {u"contentType", Fault::Kind::ContentType},
    {u"delay", Fault::Kind::Delay},
    {u"drop", Fault::Kind::Drop},
    {u"drip", Fault::Kind::Drip},
    {u"endless", Fault::Kind::Endless},
    {u"throttle", Fault::Kind::Throttle},
}};

const QStringList knownKeys{u"path"_s,        u"rt"_s,      u"kind"_s,           u"status"_s, u"bytes"_s,
                            u"contentType"_s, u"delayMs"_s, u"bytesPerSecond"_s, u"times"_s};

std::optional<QString> nonEmptyText(const QJsonObject &description, const QString &key, QString &error) {
    const QJsonValue value = description.value(key);
    if (!value.isString() || value.toString().isEmpty()) {
        error = u"\"%1\" must be a non-empty text"_s.arg(key);
        return std::nullopt;
    }
    return value.toString();
}

std::optional<qint64> wholeNumber(const QJsonObject &description, const QString &key, qint64 minimum, qint64 maximum,
                                  QString &error) {
    const qint64 number = description.value(key).toInteger(minimum - 1);
    if (number < minimum || number > maximum) {
        error = u"\"%1\" must be a whole number from %2 to %3"_s.arg(key).arg(minimum).arg(maximum);
        return std::nullopt;
    }
    return number;
}

std::string errorPage(int status) {
    const std::string title = std::to_string(status) + " Error";
    return "<!DOCTYPE html>\n<html><head><title>" + title + "</title></head><body><h1>" + title +
           "</h1><p>klv-store injected this fault.</p></body></html>\n";
}

void replaceContentType(httplib::Response &response, const std::string &contentType) {
    response.headers.erase("Content-Type");
    response.set_header("Content-Type", contentType);
}

// The answer's body as a content provider, which the faults below can wrap.
void streamBody(httplib::Response &response) {
    if (response.content_provider_) {
        return;
    }
    auto body = std::make_shared<std::string>(std::move(response.body));
    response.body.clear();
    const std::string contentType = response.get_header_value("Content-Type");
    response.headers.erase("Content-Type");
    response.set_content_provider(body->size(), contentType,
                                  [body](std::size_t offset, std::size_t length, httplib::DataSink &sink) {
                                      return sink.write(body->data() + offset, length);
                                  });
}

// cpp-httplib cannot cut a body short from a handler, so the answer is streamed by a content provider that gives up
// after the first bytes; httplib then closes the connection with the announced Content-Length unfulfilled.
void truncateBody(httplib::Response &response, std::size_t bytes) {
    streamBody(response);
    // The client must not send its next request over the connection that is about to break.
    response.set_header("Connection", "close");
    response.content_provider_ = [whole = std::move(response.content_provider_),
                                  bytes](std::size_t offset, std::size_t length, httplib::DataSink &sink) {
        return offset < bytes && whole(offset, std::min(length, bytes - offset), sink);
    };
}

// A server that is still there but hardly sends: the announced length stays, the bytes come one by one. Once the
// client is gone the next write fails and the connection's thread is free again.
void dripBody(httplib::Response &response, std::chrono::milliseconds pause) {
    streamBody(response);
    response.content_provider_ = [whole = std::move(response.content_provider_), pause](std::size_t offset, std::size_t,
                                                                                        httplib::DataSink &sink) {
        std::this_thread::sleep_for(pause);
        return sink.is_writable() && whole(offset, 1, sink);
    };
}

// A slow line: the body in pieces of a tenth of a second's worth, each after its share of the second.
void throttleBody(httplib::Response &response, std::size_t bytesPerSecond) {
    streamBody(response);
    constexpr std::chrono::milliseconds tick{100};
    const std::size_t piece = std::max<std::size_t>(1, bytesPerSecond / 10);
    response.content_provider_ = [whole = std::move(response.content_provider_), piece,
                                  tick](std::size_t offset, std::size_t length, httplib::DataSink &sink) {
        std::this_thread::sleep_for(tick);
        return sink.is_writable() && whole(offset, std::min(length, piece), sink);
    };
}

// A body without a length that never ends, in pieces of zeros, until the client goes away.
void endlessBody(httplib::Response &response) {
    response.status = 200;
    response.set_chunked_content_provider("application/zip", [](std::size_t, httplib::DataSink &sink) {
        static const std::string zeros(64 * 1024, '\0');
        return sink.write(zeros.data(), zeros.size());
    });
}

// Numeric address and port of one end of a socket; nothing for a descriptor that is not a connected socket.
std::optional<std::pair<std::string, std::string>> socketEnd(int descriptor, bool peer) {
    sockaddr_storage address{};
    socklen_t length = sizeof(address);
    auto *generic = reinterpret_cast<sockaddr *>(&address);
    if ((peer ? ::getpeername(descriptor, generic, &length) : ::getsockname(descriptor, generic, &length)) != 0) {
        return std::nullopt;
    }
    std::array<char, NI_MAXHOST> host{};
    std::array<char, NI_MAXSERV> port{};
    if (::getnameinfo(generic, length, host.data(), host.size(), port.data(), port.size(),
                      NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
        return std::nullopt;
    }
    return std::pair{std::string(host.data()), std::string(port.data())};
}

// cpp-httplib gives a handler no way to close its connection, so the socket is found by the addresses the request
// came over and shut down; httplib's writes then fail and it closes the socket itself, so nothing reaches the client.
void dropConnection(const httplib::Request &request) {
    const std::pair remote{request.remote_addr, std::to_string(request.remote_port)};
    const std::string localPort = std::to_string(request.local_port);
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        const std::string name = entry.path().filename().string();
        int descriptor = -1;
        if (std::from_chars(name.data(), name.data() + name.size(), descriptor).ec != std::errc()) {
            continue;
        }
        const auto local = socketEnd(descriptor, false);
        if (local && local->second == localPort && socketEnd(descriptor, true) == remote) {
            ::shutdown(descriptor, SHUT_RDWR);
            return;
        }
    }
}

} // namespace

std::optional<Fault> Fault::fromJson(const QJsonObject &description, QString &error) {
    for (auto key = description.begin(); key != description.end(); ++key) {
        if (!knownKeys.contains(key.key())) {
            error = u"unknown fault key \"%1\" (known: %2)"_s.arg(key.key(), knownKeys.join(u", "_s));
            return std::nullopt;
        }
    }
    Fault fault;
    if (description.contains(u"path"_s)) {
        const auto path = nonEmptyText(description, u"path"_s, error);
        if (!path) {
            return std::nullopt;
        }
        fault.m_path = path->toStdString();
    }
    if (description.contains(u"rt"_s)) {
        fault.m_requestType = nonEmptyText(description, u"rt"_s, error);
        if (!fault.m_requestType) {
            return std::nullopt;
        }
    }
    if (!fault.m_path && !fault.m_requestType) {
        error = u"a fault needs \"path\" or \"rt\""_s;
        return std::nullopt;
    }
    const QString kindName = description.value(u"kind"_s).toString();
    const auto kind =
        std::find_if(kinds.begin(), kinds.end(), [&](const auto &known) { return known.first == kindName; });
    if (kind == kinds.end()) {
        error =
            u"\"kind\" must be status, truncate, contentType, delay, drop, drip, endless or throttle, not \"%1\""_s.arg(
                kindName);
        return std::nullopt;
    }
    fault.m_kind = kind->second;
    if (description.contains(u"times"_s)) {
        const auto times = wholeNumber(description, u"times"_s, 1, std::numeric_limits<int>::max(), error);
        if (!times) {
            return std::nullopt;
        }
        fault.m_times = static_cast<int>(*times);
    }
    switch (fault.m_kind) {
    case Kind::Status:
        if (description.contains(u"status"_s)) {
            const auto status = wholeNumber(description, u"status"_s, 100, 599, error);
            if (!status) {
                return std::nullopt;
            }
            fault.m_status = static_cast<int>(*status);
        }
        break;
    case Kind::Truncate:
        if (const auto bytes = wholeNumber(description, u"bytes"_s, 0, std::numeric_limits<qint64>::max(), error)) {
            fault.m_bytes = static_cast<std::size_t>(*bytes);
        } else {
            return std::nullopt;
        }
        break;
    case Kind::ContentType:
        if (const auto contentType = nonEmptyText(description, u"contentType"_s, error)) {
            fault.m_contentType = contentType->toStdString();
        } else {
            return std::nullopt;
        }
        break;
    case Kind::Delay:
    case Kind::Drip:
        if (const auto delay = wholeNumber(description, u"delayMs"_s, 0, 600'000, error)) {
            fault.m_delay = std::chrono::milliseconds(*delay);
        } else {
            return std::nullopt;
        }
        break;
    case Kind::Throttle:
        if (const auto rate =
                wholeNumber(description, u"bytesPerSecond"_s, 1, std::numeric_limits<qint64>::max(), error)) {
            fault.m_bytesPerSecond = static_cast<std::size_t>(*rate);
        } else {
            return std::nullopt;
        }
        break;
    case Kind::Drop:
    case Kind::Endless:
        break;
    }
    return fault;
}

std::optional<Fault> Fault::fromOption(const QString &text, QString &error) {
    QJsonObject description;
    for (const QString &pair : text.split(u',')) {
        const qsizetype equals = pair.indexOf(u'=');
        if (equals <= 0) {
            error = u"\"%1\" is not key=value"_s.arg(pair);
            return std::nullopt;
        }
        const QString key = pair.first(equals);
        const QString value = pair.sliced(equals + 1);
        bool isNumber = false;
        const qint64 number = value.toLongLong(&isNumber);
        const bool numeric = key == u"status"_s || key == u"bytes"_s || key == u"delayMs"_s ||
                             key == u"bytesPerSecond"_s || key == u"times"_s;
        description.insert(key, numeric && isNumber ? QJsonValue(number) : QJsonValue(value));
    }
    return fromJson(description, error);
}

bool Fault::matches(const std::string &path, const QString &requestType) const {
    return (!m_path || *m_path == path) && (!m_requestType || *m_requestType == requestType);
}

void Fault::apply(const httplib::Request &request, httplib::Response &response,
                  const std::function<void(httplib::Response &)> &answer) const {
    switch (m_kind) {
    case Kind::Status:
        response.status = m_status;
        response.set_content(errorPage(m_status), "text/html");
        return;
    case Kind::Drop:
        dropConnection(request);
        response.status = 500; // never sent: the connection is gone
        return;
    case Kind::Delay:
        std::this_thread::sleep_for(m_delay);
        answer(response);
        return;
    case Kind::ContentType:
        answer(response);
        replaceContentType(response, m_contentType);
        return;
    case Kind::Truncate:
        answer(response);
        truncateBody(response, m_bytes);
        return;
    case Kind::Drip:
        answer(response);
        dripBody(response, m_delay);
        return;
    case Kind::Endless:
        endlessBody(response);
        return;
    case Kind::Throttle:
        answer(response);
        throttleBody(response, m_bytesPerSecond);
        return;
    }
}

} // namespace klv::storeservice
