#pragma once

#include <QProcessEnvironment>
#include <QStringList>

namespace klv::test {

struct CliResult {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the built klv with the arguments, the environment and what to feed its standard input.
CliResult runKlv(const QStringList &arguments, const QProcessEnvironment &environment, const QByteArray &input = {});

} // namespace klv::test
