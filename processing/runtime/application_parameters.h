// The application parameters and the folder checks.
//
// All settings live as text rows of applicationparameters; they are loaded
// into Program::settings at start, before each due timer tick and after each
// change.  The folder checks guard every use of the trace and output folders.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "processing/runtime/program.h"
#include "processing/runtime/settings.h"

namespace travik {

// Reloads every setting.
void getApplicationParameter(Program& program);
// Stores value in every row of the key with that index, then reloads; false
// when it was not stored (a handled error, or refused on a database only read).
bool setApplicationParameter(Program& program, int index, std::string_view value);
// The store alone: no reload, and a failure is thrown to the caller.
void storeApplicationParameter(Program& program, int index, std::string_view value);
// The index of the key equal to name (ignoring case), or 0.
int determineApplicationParameter(std::string_view name);
// True when the trace folder exists and holds a file whose name begins "MVLOG.".
// The service also tells standard error when the folder cannot be used
// (missing, not a folder, unreadable), once until it can be used again, and then.
bool validateLogPath(Program& program);
// True when the output folder exists.
bool validateOutputPath(Program& program);
// True when path names an existing folder; every error reads as false.
bool folderExists(std::string_view path);

// Text to whole number as the settings read it: a number rounded half to even;
// nothing when the text does not convert or leaves the 32-bit range.
std::optional<std::int32_t> toWholeNumber(std::string_view text);
// "True"/"False" in any case, or a number (0 false); nothing otherwise.
std::optional<bool> toBoolean(std::string_view text);
inline const char* booleanText(bool value) { return value ? "True" : "False"; }

}  // namespace travik
