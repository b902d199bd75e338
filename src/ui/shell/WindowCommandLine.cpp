#include "shell/WindowCommandLine.h"

#include "core/Configuration.h"

#include <QByteArray>
#include <QString>

#include <cstdio>

namespace klv::ui {

namespace {

constexpr const char *usage = "Usage: klv-app [LINK]\n"
                              "The KLV App's window: your Vantory products, their installations and updates.\n"
                              "\n"
                              "  LINK           klv://product/NUMBER opens the library at that product;\n"
                              "                 klv://install/NUMBER asks, then installs it.\n"
                              "  -h, --help     Shows this text.\n"
                              "  -v, --version  Shows the version.\n"
                              "\n"
                              "klv(1) does from a terminal what the window does.\n";

} // namespace

std::optional<int> answerWithoutWindow(int argc, const char *const *argv) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--version" || argument == "-v") {
            std::printf("klv-app %s\n", Configuration::builtVersion().toUtf8().constData());
            return 0;
        }
        if (argument == "--help" || argument == "-h") {
            std::fputs(usage, stdout);
            return 0;
        }
    }
    return std::nullopt;
}

} // namespace klv::ui
