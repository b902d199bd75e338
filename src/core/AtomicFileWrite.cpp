#include "core/AtomicFileWrite.h"

#include <QSaveFile>

namespace klv {

Error writeFileAtomically(const QString &path, const QByteArray &data) {
    return writeFileAtomically(path, [&data](QIODevice &file) { return file.write(data) == data.size(); });
}

Error writeFileAtomically(const QString &path, const std::function<bool(QIODevice &)> &write) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    const bool wholeWritten = write(file);
    // Written bytes may still sit in the file's buffer: only a flush shows whether the disk took them.
    if (!wholeWritten || !file.flush() || file.error() != QFileDevice::NoError) {
        const QString reason = file.error() != QFileDevice::NoError
                                   ? file.errorString()
                                   : QStringLiteral("the disk did not take all the bytes (it took %1)").arg(file.pos());
        file.cancelWriting();
        return reason;
    }
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

} // namespace klv
