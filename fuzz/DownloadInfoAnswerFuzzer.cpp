#include "FuzzExpect.h"

#include "install/DownloadInfoAnswer.h"

#include <QJsonDocument>

#include <cstdint>

using klv::fuzz::expect;
using Kind = klv::DownloadInfoAnswer::Kind;

// An answer to a download request yields entries to queue only when it is accepted, and an accepted answer always
// names something to install.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!document.isObject())
        return 0;
    const QJsonObject object = document.object();
    const klv::DownloadInfoAnswer answer = klv::DownloadInfoAnswer::decode(object);
    const bool hasEntries = !answer.templateData.isEmpty() || !answer.compositeData.isEmpty();
    expect((answer.kind == Kind::accepted) == hasEntries, "only an accepted answer carries entries, and always some");
    expect(answer.kind == Kind::accepted || answer.notAutomaticKill.isEmpty(),
           "a refused answer names no plug-ins to keep running");
    expect(answer.kind == Kind::refused || answer.message.isEmpty(), "only a refusal carries the store's message");
    const QJsonValue status = object.value(QLatin1StringView("status"));
    expect((answer.kind == Kind::refused) != (status.isBool() && status.toBool()), "only the boolean true is a yes");
    return 0;
}
