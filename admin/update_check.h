// The update check: the console's version against the one on the maker's page.
//
// Placeholder: the command exists so the Help menu can call it; the check
// itself is built in this file pair.
#pragma once

namespace travik {

class Console;

// Runs the update check once and tells the operator its outcome.
void checkForUpdatedVersion(Console& console);

}  // namespace travik
