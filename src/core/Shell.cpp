#include "core/Shell.h"

#include <QProcess>
#include <QStringDecoder>

namespace klv {

QString runShell(const QString &commandLine, bool captureOutput) {
    QProcess child;
    child.setProcessChannelMode(captureOutput ? QProcess::MergedChannels : QProcess::ForwardedChannels);
    child.start(QStringLiteral("/bin/zsh"), {QStringLiteral("-c"), commandLine});
    if (!child.waitForStarted(-1))
        return {};
    if (!captureOutput) {
        child.waitForFinished(-1);
        return {};
    }

    // One decoder for all chunks, so a character split between two reads is kept whole.
    constexpr qint64 chunkSize = 4096;
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString output;
    for (;;) {
        while (child.bytesAvailable() > 0)
            output += decoder.decode(child.read(chunkSize));
        if (child.state() == QProcess::NotRunning || !child.waitForReadyRead(-1)) {
            child.waitForFinished(-1);
            while (child.bytesAvailable() > 0)
                output += decoder.decode(child.read(chunkSize));
            break;
        }
    }
    return output;
}

} // namespace klv
