#include "cli/CliApplication.h"
#include "core/BufferReuse.h"
#include "core/LocalTimeZone.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[]) {
    klv::keepFreedBuffersForReuse();
    klv::loadLocalTimeZoneOnce();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("klv"));
    klv::cli::CliApplication cli(klv::cli::Terminal(stdin, stdout, stderr));
    return cli.run(QCoreApplication::arguments());
}
