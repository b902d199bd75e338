#include "CliRun.h"

#include <QProcess>

namespace klv::test {

CliResult runKlv(const QStringList &arguments, const QProcessEnvironment &environment, const QByteArray &input) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(KLV_CLI_BINARY), arguments);
    process.waitForStarted();
    process.write(input);
    process.closeWriteChannel();
    CliResult result;
    if (!process.waitForFinished(120'000)) {
        process.kill();
        process.waitForFinished();
        result.err = QStringLiteral("klv did not finish in time");
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

} // namespace klv::test
