-- The program database vrndata.mdb as delivered: tables, indexes and the
-- application parameters.  Dates are text "YYYY-MM-DD HH:MM:SS" (local time),
-- Booleans are 0/1.  Column order matters: reports and grids read "select *".

-- 16 KB pages: a day of trace events is written and checkpointed in a
-- quarter of the WAL frames and system calls that 4 KB pages take, and the
-- per-line index of events splits a quarter as often.  Takes effect only on
-- a new, empty database.
PRAGMA page_size = 16384;

-- The schema's version.  The tables and indexes this program adds to the
-- system's own tables (the indexes, tracereadpositions, summarydue, linewalk,
-- linearrivals)
-- are also listed, version by version, in processing/runtime/database_schema.cpp,
-- which brings an older database up to this version at start.  A change here
-- is a new step there and a new number here.
PRAGMA user_version = 2;

CREATE TABLE Events (
  Timestamp    TEXT NOT NULL,
  Milliseconds INTEGER NOT NULL,
  Sequence     INTEGER NOT NULL,
  Line         INTEGER NOT NULL,
  Data         TEXT
);
CREATE INDEX EventsByTime ON Events (Timestamp, Milliseconds, Sequence);
-- Carries Data: the call reconstruction reads each line's events from this
-- index alone, one contiguous range per line, never the table's pages.
CREATE INDEX EventsByLine ON Events (Line, Timestamp, Milliseconds, Sequence, Data);

-- How far each trace file has been read: the byte just after its last
-- complete line read, committed with that file's events, the file's first
-- bytes (a different file under the same name is read from its start), and
-- the parser's state there, so a file read in pieces stores what one read
-- stores.
CREATE TABLE tracereadpositions (
  path                  TEXT PRIMARY KEY,
  head                  BLOB,
  position              INTEGER NOT NULL,
  modified              TEXT,
  sequence              INTEGER,
  storedtimestamp       TEXT,
  storedmilliseconds    INTEGER,
  lasttimestamp         TEXT,
  lastmilliseconds      INTEGER,
  lastmillisecondevents TEXT,
  steppedback           INTEGER NOT NULL DEFAULT 0,
  seensize              INTEGER
);

CREATE TABLE calls (
  timestampbegin        TEXT,
  timestampend          TEXT,
  callid                TEXT,
  inbound               INTEGER NOT NULL DEFAULT 0,
  line                  INTEGER,
  durationInSeconds     INTEGER,
  exitcode              TEXT,
  corvaneserialnumber   TEXT,
  octelserialnumber     TEXT,
  protocollevel         TEXT,
  msgsendattempt        INTEGER,
  msgsendsuccess        INTEGER,
  msgreceiveattempt     INTEGER,
  msgreceivesuccess     INTEGER,
  numberrecipientssent  INTEGER,
  adminnamesrequested   INTEGER,
  textnamesreceived     INTEGER,
  voicenamesreceived    INTEGER,
  adminnamerequestsrecd INTEGER,
  textnamessent         INTEGER,
  voicenamessent        INTEGER,
  ignoreErrorForIntervalCalculation INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX callsByLine ON calls (line, timestampbegin);
CREATE INDEX callsByBegin ON calls (timestampbegin);
CREATE INDEX callsById ON calls (callid);
CREATE INDEX callsOpen ON calls (timestampend) WHERE timestampend IS NULL;
CREATE INDEX callsByNode ON calls (octelserialnumber);

CREATE TABLE tasks (
  timestampbegin     TEXT,
  timestampend       TEXT,
  callid             TEXT,
  taskid             TEXT,
  tasktype           TEXT,
  durationInSeconds  INTEGER,
  fax                INTEGER NOT NULL DEFAULT 0,
  sender             TEXT,
  numberofrecipients INTEGER DEFAULT 0,
  namerequestfor     TEXT,
  textnamereceived   TEXT,
  recordingreceived  INTEGER NOT NULL DEFAULT 0,
  textnamesent       TEXT,
  recordingsent      INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX tasksByCall ON tasks (callid, taskid);

CREATE TABLE recipients (
  callid              TEXT,
  taskid              TEXT,
  recipient           TEXT,
  octelserialnumber   TEXT,
  corvaneserialnumber TEXT,
  rejected            INTEGER NOT NULL DEFAULT 0,
  recipientinfo       TEXT
);
CREATE INDEX recipientsByCall ON recipients (callid, taskid);
-- The recipients window lists one task's recipients in this order.
CREATE INDEX recipientsByTask ON recipients (taskid, recipient);

CREATE TABLE errors (
  callid               TEXT,
  timestamperror       TEXT,
  state                INTEGER,
  statetext            TEXT,
  reason               INTEGER,
  reasontext           TEXT,
  exitcode             TEXT,
  expecteddigits       TEXT,
  receiveddigits       TEXT,
  expectednumberdigits INTEGER,
  receivednumberdigits INTEGER,
  previousstatedata    TEXT
);
CREATE INDEX errorsByCall ON errors (callid);
-- The errors grid's order and its filter.
CREATE INDEX errorsByTime ON errors (timestamperror);

CREATE TABLE linesummary (
  line                  INTEGER,
  calls                 INTEGER DEFAULT 0,
  errors                INTEGER DEFAULT 0,
  errorpercent          INTEGER DEFAULT 0,
  timeinuseInSeconds    INTEGER DEFAULT 0,
  msgsendattempt        INTEGER DEFAULT 0,
  msgsendsuccess        INTEGER DEFAULT 0,
  msgreceiveattempt     INTEGER DEFAULT 0,
  msgreceivesuccess     INTEGER DEFAULT 0,
  numberrecipientssent  INTEGER DEFAULT 0,
  adminnamesrequested   INTEGER DEFAULT 0,
  textnamesreceived     INTEGER DEFAULT 0,
  voicenamesreceived    INTEGER DEFAULT 0,
  adminnamerequestsrecd INTEGER DEFAULT 0,
  textnamessent         INTEGER DEFAULT 0,
  voicenamessent        INTEGER DEFAULT 0
);

CREATE TABLE octelsummary (
  octelserialnumber          TEXT,
  calls                      INTEGER DEFAULT 0,
  errors                     INTEGER DEFAULT 0,
  errorpercent               INTEGER DEFAULT 0,
  callswithininterval        INTEGER DEFAULT 0,
  errorswithininterval       INTEGER DEFAULT 0,
  errorpercentwithininterval INTEGER DEFAULT 0,
  timeinuseInSeconds         INTEGER DEFAULT 0,
  msgsendattempt             INTEGER DEFAULT 0,
  msgsendsuccess             INTEGER DEFAULT 0,
  msgreceiveattempt          INTEGER DEFAULT 0,
  msgreceivesuccess          INTEGER DEFAULT 0,
  numberrecipientssent       INTEGER DEFAULT 0,
  adminnamesrequested        INTEGER DEFAULT 0,
  textnamesreceived          INTEGER DEFAULT 0,
  voicenamesreceived         INTEGER DEFAULT 0,
  adminnamerequestsrecd      INTEGER DEFAULT 0,
  textnamessent              INTEGER DEFAULT 0,
  voicenamessent             INTEGER DEFAULT 0
);

-- What the summary still owes the calls after a run cut short: 'totals'
-- when calls changed since the totals were computed (written with the
-- change), 'reports' when the totals are computed but the warnings and
-- reports made from them are not yet written.  No row after a run that went
-- to its end.
CREATE TABLE summarydue (
  id    INTEGER PRIMARY KEY CHECK (id = 1),
  stage TEXT NOT NULL CHECK (stage IN ('totals', 'reports'))
);

-- Where the line walk stands on each gateway line: the last event of the
-- newest finished call (the walk restarts after it; none: from the line's
-- first event) and the last event it has read.
CREATE TABLE linewalk (
  line                INTEGER PRIMARY KEY,
  restarttimestamp    TEXT,
  restartmilliseconds INTEGER,
  restartsequence     INTEGER,
  restartevent        INTEGER,
  walkedtimestamp     TEXT NOT NULL,
  walkedmilliseconds  INTEGER NOT NULL,
  walkedsequence      INTEGER NOT NULL,
  walkedevent         INTEGER NOT NULL
);

-- Per gateway line, the earliest event stored since the line's last walk,
-- written with each trace file's events: an event stamped at or before the
-- walked mark (a clock set back, a file read late) makes the walk start
-- again at the call boundary before it.
CREATE TABLE linearrivals (
  line         INTEGER PRIMARY KEY,
  timestamp    TEXT NOT NULL,
  milliseconds INTEGER NOT NULL,
  sequence     INTEGER NOT NULL
);

CREATE TABLE applicationparameters (
  property TEXT,
  value    TEXT
);

CREATE TABLE excludefromeventviewer (
  serialno TEXT
);

CREATE TABLE excludeFromTestCalls (
  serialno TEXT
);

INSERT INTO applicationparameters (property, value) VALUES
  ('DEFAULTMVLOGPATH', ''),
  ('DEFAULTOUTPUTPATH', ''),
  ('DATARETENTIONINHOURS', '72'),
  ('PROCESSINTERVALINSECONDS', '3600'),
  ('WARNINGTHRESHOLD', '3'),
  ('ERRORTHRESHOLD', '5'),
  ('ERRORINTERVALINHOURS', '24'),
  ('TESTCALLINTERVALINMINUTES', '1440'),
  ('TESTCALLMAILBOXID', '9999'),
  ('AUTOTEST', 'False'),
  ('ADMINRUNNING', 'False'),
  ('SERVICEPROCESSING', 'False');
