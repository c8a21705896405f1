// Long work of the console on its one thread -- a manual run's removal of
// old data, the dump of every report, a grid save, the purge -- keeps the
// windows painted while it runs: a window moved over the console and away is
// drawn again, and a status text the work sets is shown.  Nothing else runs
// in between: the operator's keys and clicks and the timers wait for the
// work's end (or its next yield) as they would without this.
//
// The database calls back every few thousand steps of a running statement;
// at most every tenth of a second the windows then repaint.  A grid whose
// rows would have to be read for that shows them empty until the work ends,
// since no other statement may use the connection meanwhile.
#pragma once

#include <chrono>

#include "platform/db.h"

namespace travik {

class PaintedWork {
 public:
  static constexpr std::chrono::milliseconds kRepaintEvery{100};

  // From now until the end of this object; a PaintedWork inside another
  // leaves it to the outer one.
  explicit PaintedWork(db::Connection& db, std::chrono::milliseconds repaintEvery = kRepaintEvery);
  ~PaintedWork();
  PaintedWork(const PaintedWork&) = delete;
  PaintedWork& operator=(const PaintedWork&) = delete;

  // Times the windows repainted so far (tests).
  int repaints() const { return repaints_; }

 private:
  static int onProgress(void* work);

  db::Connection* db_;  // null for an inner PaintedWork
  std::chrono::milliseconds repaintEvery_;
  std::chrono::steady_clock::time_point nextRepaint_;
  int repaints_ = 0;
};

}  // namespace travik
