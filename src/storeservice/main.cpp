#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <thread>

#include <pthread.h>

#include <httplib.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QList>
#include <QString>

#include "BuildConfig.h"
#include "storeservice/AccountRequests.h"
#include "storeservice/Catalog.h"
#include "storeservice/DownloadRequests.h"
#include "storeservice/EnvelopeDecoder.h"
#include "storeservice/Fault.h"
#include "storeservice/MarketingRequests.h"
#include "storeservice/ProductRequests.h"
#include "storeservice/RequestLog.h"
#include "storeservice/RequestRouter.h"
#include "storeservice/StoreServer.h"
#include "storeservice/VersionRequests.h"

using namespace klv::storeservice;
using namespace Qt::StringLiterals;

namespace {

constexpr int startRefused = 2;

int refuse(const QString &message) {
    std::fprintf(stderr, "klv-store: %s\n", qPrintable(message));
    return startRefused;
}

// The option if given, else the environment variable, else the value built in.
std::optional<QByteArray> requestKey(const QCommandLineParser &parser, const QCommandLineOption &option,
                                     const char *environmentName, const char *builtIn) {
    QString hex = parser.value(option);
    if (!parser.isSet(option)) {
        hex = qEnvironmentVariableIsEmpty(environmentName) ? QString::fromLatin1(builtIn)
                                                           : qEnvironmentVariable(environmentName);
    }
    const auto key = EnvelopeDecoder::decodeHex(hex.toStdString());
    if (!key || key->size() != AesCbcDecryptor::keySize) {
        return std::nullopt;
    }
    return key;
}

// Serves until SIGTERM or SIGINT arrives. The signals are blocked in every thread and picked up here, so stopping
// runs in ordinary code rather than in a signal handler.
int serveUntilSignalled(StoreServer &server, const sigset_t &stopSignals, const QString &url) {
    std::atomic<bool> finished = false;
    bool served = false;
    std::thread serving([&] {
        served = server.serve();
        finished = true;
    });
    // httplib ignores stop() until it runs, so announce the address only once a stop can be honoured.
    while (!server.isServing() && !finished) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!finished) {
        std::printf("klv-store listening on %s\n", qPrintable(url));
        std::fflush(stdout);
    }
    const timespec tick{0, 100'000'000};
    while (!finished) {
        if (sigtimedwait(&stopSignals, nullptr, &tick) > 0) {
            server.stop();
        }
    }
    serving.join();
    return served ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[]) {
    // Before any thread exists, so the server's workers inherit the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(u"klv-store"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Substitute of the KLV store web service, answering from a catalog folder."_s);
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption catalogOption(u"catalog"_s, u"Catalog folder with store.json and files/."_s, u"DIR"_s);
    const QCommandLineOption demoOption(u"demo"_s, u"Serve the demo catalog installed with klv-store."_s);
    const QCommandLineOption hostOption(u"host"_s, u"Address to listen on."_s, u"HOST"_s, u"127.0.0.1"_s);
    const QCommandLineOption portOption(u"port"_s, u"Port to listen on; 0 picks a free one."_s, u"PORT"_s, u"8765"_s);
    const QCommandLineOption requestLogOption(u"request-log"_s, u"Append one JSON line per opened request."_s,
                                              u"FILE"_s);
    const QCommandLineOption certOption(u"cert"_s, u"TLS certificate (PEM); serves HTTPS with --key."_s, u"FILE"_s);
    const QCommandLineOption keyOption(u"key"_s, u"TLS private key (PEM)."_s, u"FILE"_s);
    const QCommandLineOption storeKeyOption(
        u"store-key"_s, u"Store request key, 64 hex digits (default: $KLV_STORE_KEY, else built in)."_s, u"HEX"_s);
    const QCommandLineOption marketingKeyOption(
        u"marketing-key"_s, u"Marketing request key, 64 hex digits (default: $KLV_MARKETING_KEY, else built in)."_s,
        u"HEX"_s);
    const QCommandLineOption faultOption(
        u"fault"_s,
        u"Misbehave on some requests, e.g. path=/files/x.zip,kind=status,status=404; kinds: status, truncate "
        u"(bytes=N), contentType (contentType=T), delay (delayMs=N), drop; match by path= and/or rt=. Repeatable."_s,
        u"SPEC"_s);
    parser.addOptions({catalogOption, demoOption, hostOption, portOption, requestLogOption, certOption, keyOption,
                       storeKeyOption, marketingKeyOption, faultOption});
    if (!parser.parse(QCoreApplication::arguments())) {
        return refuse(parser.errorText());
    }
    if (parser.isSet(helpOption)) {
        parser.showHelp(0);
    }
    if (parser.isSet(catalogOption) == parser.isSet(demoOption)) {
        return refuse(u"give either --catalog DIR or --demo"_s);
    }
    const QString catalogFolder = parser.isSet(demoOption)
                                      ? QCoreApplication::applicationDirPath() + u'/' + QStringLiteral(KLV_DEMO_CATALOG)
                                      : parser.value(catalogOption);
    bool portValid = false;
    const int port = parser.value(portOption).toInt(&portValid);
    if (!portValid || port < 0 || port > 65535) {
        return refuse(u"--port must be a number from 0 to 65535"_s);
    }
    const auto storeKey = requestKey(parser, storeKeyOption, "KLV_STORE_KEY", klv::build::storeKey);
    const auto marketingKey = requestKey(parser, marketingKeyOption, "KLV_MARKETING_KEY", klv::build::marketingKey);
    if (!storeKey || !marketingKey) {
        return refuse(u"the %1 key must be 64 hexadecimal digits"_s.arg(!storeKey ? u"store"_s : u"marketing"_s));
    }
    if (parser.isSet(certOption) != parser.isSet(keyOption)) {
        return refuse(u"--cert and --key go together"_s);
    }

    QList<Fault> faults;
    for (const QString &spec : parser.values(faultOption)) {
        QString error;
        const auto fault = Fault::fromOption(spec, error);
        if (!fault) {
            return refuse(u"--fault %1: %2"_s.arg(spec, error));
        }
        faults.append(*fault);
    }

    Catalog catalog(QDir::cleanPath(catalogFolder));
    if (const auto error = catalog.load()) {
        return refuse(*error);
    }
    std::unique_ptr<RequestLog> requestLog;
    if (parser.isSet(requestLogOption)) {
        requestLog = std::make_unique<RequestLog>(parser.value(requestLogOption));
        if (const auto error = requestLog->open()) {
            return refuse(*error);
        }
    }

    RequestRouter router;
    const QString accountEndpoint = u"/appsecureaccountinfo/"_s;
    router.addEndpoint(accountEndpoint, *storeKey);
    const QString productEndpoint = u"/klv-app-product/"_s;
    router.addEndpoint(productEndpoint, *storeKey);
    const QString marketingEndpoint = u"/klv-app-marketing/"_s;
    router.addEndpoint(marketingEndpoint, *marketingKey);
    AccountRequests::registerWith(router, accountEndpoint);
    ProductRequests::registerWith(router, productEndpoint);
    DownloadRequests::registerWith(router, productEndpoint);
    VersionRequests::registerWith(router, productEndpoint);
    MarketingRequests::registerWith(router, marketingEndpoint);

    const bool tls = parser.isSet(certOption);
    std::unique_ptr<httplib::Server> http;
    if (tls) {
        http = std::make_unique<httplib::SSLServer>(qPrintable(parser.value(certOption)),
                                                    qPrintable(parser.value(keyOption)));
        if (!http->is_valid()) {
            return refuse(u"cannot use the certificate %1 with the key %2"_s.arg(parser.value(certOption),
                                                                                 parser.value(keyOption)));
        }
    } else {
        http = std::make_unique<httplib::Server>();
    }
    StoreServer server(std::move(http), catalog, router, requestLog.get(), std::move(faults));

    const QString host = parser.value(hostOption);
    if (!server.bind(host, port)) {
        return refuse(u"cannot listen on %1 port %2: %3"_s.arg(host).arg(port).arg(server.bindError()));
    }
    return serveUntilSignalled(server, stopSignals, server.url());
}
