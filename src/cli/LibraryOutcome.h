#pragma once

#include "library/ProductLibrary.h"

namespace klv {
class AppContext;
}

namespace klv::cli {

class Terminal;

int exitCodeFor(ProductLibrary::RefreshOutcome outcome);
// False, with a message, when nobody is signed in: the library belongs to a customer.
bool requireSignedIn(AppContext &context, const Terminal &terminal);
// Says why the library could not be stored, when it could not: what the command shows stays true for this run,
// but the next one starts from the library as it was.
void reportUnstoredLibrary(const Terminal &terminal, const Error &error);

} // namespace klv::cli
