// The program-wide state of one running program (console or service).
//
// What the original kept in module-level variables lives in one Program object,
// passed by reference to every procedure; there are no mutable globals.  The
// program folder is a value here: only each program's main() reads
// /proc/self/exe, so tests run against temporary program folders.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db.h"
#include "platform/event_log.h"
#include "platform/key_store.h"
#include "processing/runtime/host.h"
#include "processing/runtime/pause_rule.h"
#include "processing/runtime/settings.h"
#include "processing/text/date_time.h"

namespace travik {

inline constexpr int kGatewayQueryTimeoutSeconds = 30;

// The open activity log of this program.
struct ActivityLogState {
  std::ofstream file;    // activityLogFileNumber
  std::string fileName;  // activityLogFileName
  DateTime fileDate;     // activityLogDate
  // The day (by the program's clock) the current file was begun.  A file's
  // modification time comes from the file system's clock, which may lag ours
  // (a share): a file begun today is not begun again for its stamp.
  std::optional<std::int64_t> begunOnDay;
  // openActivityLog has run once: lines before it are held, not lost.
  bool started = false;
  // Between openActivityLog and closeActivityLog, even when the file could not be opened.
  bool wanted = false;
  // A file that could not be begun is tried again, at most once per minute.
  std::optional<DateTime> resumeNotBefore;
  bool resuming = false;
  // Time-stamped lines written before the first file was opened.
  std::vector<std::string> heldLines;
};

class Program {
 public:
  Program(std::filesystem::path programFolder, std::string programFileName, bool runningAsService, Host& host,
          platform::EventLogSink& eventSink)
      : programFolder(std::move(programFolder)),
        programFileName(std::move(programFileName)),
        runningAsService(runningAsService),
        host(host),
        eventSink(eventSink),
        registry(this->programFolder / "registry") {
    this->host.beforePause = [this](Pause pause, const std::source_location* caller) {
      enforcePauseRule(*this, pause, caller);
    };
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // The folder of the running executable; holds vrndata.mdb and the tools.
  const std::filesystem::path programFolder;
  // The program's file name without extension ("TRAVIKadmin", "TRAVIKservice").
  const std::string programFileName;
  const bool runningAsService;
  // True when the console runs on a server without the gateway and the operator went on.
  bool gatewayNotInstalled = false;
  std::int32_t handledErrorCount = 0;
  std::string statusMessage;
  Settings settings;
  // Per key index, the text of the setting last reported as unusable: a bad
  // row is reported when it is first met, not again at every reload.
  PerSettingKey<std::optional<std::string>> reportedSettings;

  // Mutable as the reference it stands for was: a const Program still talks to its host.
  mutable HostSlot host;
  platform::EventLogSink& eventSink;
  platform::KeyStore registry;

  // dbConnection; auxConnection is the same handle (two SQLite handles in one
  // process would lock each other out).
  db::Connection db;
  // The console only reads its database (read_only_mode.h): the grids show
  // it, and every operation that writes refuses.
  bool databaseReadOnly = false;
  // Why, in a sentence naming the file; empty for a database of an older
  // schema that this program may not bring up to date.
  std::string databaseReadOnlyReason;
  // Busy timeout of the program database, in milliseconds.
  int databaseBusyTimeoutMs = 10000;
  // The gateway's ODBC data source name.
  std::string gatewayDataSource = "mervale";
  // The longest wait of one gateway statement (or connection) for a gateway
  // database that another program holds locked; then it is a handled error.
  int gatewayQueryTimeoutSeconds = kGatewayQueryTimeoutSeconds;
  // The gateway's default trace folder.
  std::filesystem::path defaultTraceFolder = "/opt/varnel/mervale/log";

  // The highest gateway line number the parser met in this run; bounds the line walk.
  int highestLineNumber = 0;
  // A processing run is under way; a second one entered through a yield is refused.
  bool processingLogs = false;
  // The last run was refused because the processing lock lies on a
  // read-only file system; said on standard error when it begins and ends.
  bool processingLockReadOnly = false;
  // Likewise, for an entry at the processing lock's name that may not be
  // replaced (LockResult::Blocked).
  bool processingLockBlocked = false;
  // This run met a database it cannot write (read-only file or folder, full
  // disk, an I/O error): the run stops without its reports and without
  // "Processing complete."; the next one tries again.
  bool databaseUnwritable = false;
  // This run met the database held by another process past the busy timeout.
  bool databaseLocked = false;
  // A run stored nothing for such a hold, and the service said so on standard
  // error; cleared, and said, once a run stores again.
  bool databaseLockedOut = false;
  // DATARETENTIONINHOURS as stored (quoted, or Null) when no usable value has
  // been read since the start: until one is, nothing is removed for its age.
  std::optional<std::string> unusableRetention;
  // The error report line of the last handled error, for an entry that
  // reports what a step's failure cost.
  std::string lastErrorLine;
  // A console or service mark found "True" with no program holding its lock
  // has been reported; reported again after a program has held the lock.
  bool staleAdminMarkReported = false;
  bool staleServiceMarkReported = false;
  // Trace files that could not be read: each is reported once, until it is read.
  std::set<std::string> unreadableTraceFiles;
  // Why the trace folder cannot be used, as last said on standard error;
  // empty while it can be.
  std::string traceFolderTrouble;
  // Links found among the trace files, by name: each is reported once, while it stays.
  std::set<std::string> skippedTraceLinks;
  // Opens a trace file (path, open flags), as open(2) does; when empty, open(2)
  // itself.  Tests make an open fail with it where file modes cannot (as root).
  std::function<int(const std::filesystem::path&, int)> openTraceFile;

  ActivityLogState activityLog;
  std::string eventSource;    // "TRAVIK Admin" or "TRAVIK Service"
  DateTime idleDeadline;      // console auto-shutdown
  bool shuttingDown = false;  // shutDownApplication runs once
  // A release build is writing the line of a pause under a write transaction (pause_rule.h).
  bool reportingPauseBreach = false;
  int exitStatus = 0;  // the status of the cause that began the exit
  // Set by the handled error that passes the limit, before it writes its last
  // line: should that write fail too, its handled error is counted but must
  // not begin the limit's report (and that write) again.
  bool endingAtErrorLimit = false;

  // The last step of the orderly exit; never returns.  Tests replace it with
  // one that throws ProgramEnded.
  std::function<void(int)> exitProcess = [](int code) { std::exit(code); };

  // Writes one line for the operator to standard error (the journal under
  // systemd): what ends the program, and what cannot go where it belongs.
  // Tests replace it to read the lines.
  std::function<void(std::string_view)> standardError = [this](std::string_view line) {
    std::fprintf(stderr, "%s: %.*s\n", programFileName.c_str(), static_cast<int>(line.size()), line.data());
    std::fflush(stderr);
  };

  // Called by shutDownApplication before the database closes, so modules
  // with cached statements (call reconstruction, reports) can drop them.
  std::function<void()> closeSharedRecordsets;

  std::filesystem::path databasePath() const { return programFolder / "vrndata.mdb"; }
};

}  // namespace travik
