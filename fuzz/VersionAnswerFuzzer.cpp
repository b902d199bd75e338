#include "FuzzExpect.h"

#include "update/SelfUpdate.h"
#include "update/VersionAnswer.h"

#include <QJsonDocument>

#include <compare>
#include <cstdint>

using klv::fuzz::expect;

// A version answer yields either a refusal or the version offered; versions compare as an order does: a version is
// equal to itself and the order of two versions reverses with them.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!document.isObject())
        return 0;
    const klv::VersionAnswer answer = klv::VersionAnswer::decode(document.object(), 1);
    if (answer.refusal) {
        expect(!answer.refusal->isEmpty() && answer.version.isEmpty() && answer.sha256.isEmpty(),
               "a refused version answer yields a message and no version");
        return 0;
    }
    const QString installed = QStringLiteral("1.0.0");
    expect(std::is_eq(klv::compareVersions(answer.version, answer.version)), "a version equals itself");
    const std::weak_ordering forward = klv::compareVersions(installed, answer.version);
    const std::weak_ordering backward = klv::compareVersions(answer.version, installed);
    expect((std::is_gt(forward) && std::is_lt(backward)) || (std::is_lt(forward) && std::is_gt(backward)) ||
               (std::is_eq(forward) && std::is_eq(backward)),
           "the order of two versions reverses with them");
    if (klv::isSha256Text(answer.sha256))
        expect(answer.sha256.size() == 64, "a SHA-256 is 64 hexadecimal digits");
    return 0;
}
