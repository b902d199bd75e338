#include "cli/LibraryOutcome.h"

#include "cli/ExitCode.h"
#include "cli/Terminal.h"

#include "app/AppContext.h"
#include "store/Services.h"

namespace klv::cli {

int exitCodeFor(ProductLibrary::RefreshOutcome outcome) {
    switch (outcome) {
    case ProductLibrary::RefreshOutcome::unchanged:
    case ProductLibrary::RefreshOutcome::downloaded:
        return ExitCode::success;
    case ProductLibrary::RefreshOutcome::refused:
        return ExitCode::storeRefused;
    case ProductLibrary::RefreshOutcome::noAnswer:
        return ExitCode::noAnswer;
    }
    return ExitCode::noAnswer;
}

bool requireSignedIn(AppContext &context, const Terminal &terminal) {
    if (context.services().settings().sessionActive)
        return true;
    terminal.printMessage(QStringLiteral("Not signed in. Sign in first with: klv login USER"));
    return false;
}

void reportUnstoredLibrary(const Terminal &terminal, const Error &error) {
    if (error)
        terminal.printMessage(QStringLiteral("The library could not be stored: ") + *error, Terminal::Tone::failure);
}

} // namespace klv::cli
