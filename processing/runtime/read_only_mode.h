// The console's read-only mode.
//
// A console that may not write its database -- the file, its folder or its
// file system refuse it even after the start has cleared the file's
// read-only bit, or the schema is older and may not be brought up to date --
// or that may not create its lock still shows what is stored: the grids.
// Processing, every setting, the settings windows and the purge refuse before
// they write or export anything, the connection itself refuses every write
// (query_only), and the console marks nothing (neither ADMINRUNNING nor the
// registry flag).  The start says once, in one message, which file may not
// be written and why.  A database that cannot even be read without files the
// console may not create is refused at the start, saying what to do.
#pragma once

#include <string>

#include "processing/runtime/program.h"

namespace travik {

// Enters the mode, before the database is opened or after.  reason is the
// sentence naming the file and why; empty for an older schema, whose own
// message the schema's check shows.
void enterReadOnlyMode(Program& program, std::string reason);

// The console's start, right after the database is opened and before its
// schema is checked: a database this console cannot write enters the mode,
// and in the mode the connection refuses every write, the schema's upgrade
// included.
void enterReadOnlyModeWhereUnwritable(Program& program);

// The console's start, after the schema's check: the one message of the
// mode, also on standard error; nothing when the schema's check has shown
// its own or the database is written.
void announceReadOnlyMode(Program& program);

// The console's start, where its database could not be opened even for
// reading: a database in write-ahead-log mode that this account may not read
// now, as its -wal or -shm file is missing and may not be created, or cannot
// be read.  Says so, and what to do, on standard error and in one box, and
// returns true; false, silently, where that is not why.
bool refuseDatabaseUnreadableWithoutItsLog(Program& program);

// In a console whose database is only read: tells the operator that the
// operation (processing, a setting, the purge, a settings window) cannot
// change it, and returns true.  False, silently, where the database is written.
bool refuseWhileDatabaseReadOnly(Program& program);

}  // namespace travik
