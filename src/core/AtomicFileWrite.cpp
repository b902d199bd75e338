#include "core/AtomicFileWrite.h"

#include <QSaveFile>

namespace klv {

std::optional<QString> writeFileAtomically(const QString &path, const QByteArray &data) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    const qint64 written = file.write(data);
    // Written bytes may still sit in the file's buffer: only a flush shows whether the disk took them.
    if (written != data.size() || !file.flush() || file.error() != QFileDevice::NoError) {
        const QString reason = file.error() != QFileDevice::NoError
                                   ? file.errorString()
                                   : QStringLiteral("the disk did not take all %1 bytes").arg(data.size());
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

} // namespace klv
