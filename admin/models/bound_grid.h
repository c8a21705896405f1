// A console grid: a QTableView bound to the rows of one query, and the one
// save operation every grid of the console shares.
//
// Grid positions in the original counted a fixed heading row and a fixed left
// column; here the view's headers are those, so field n of the query is model
// column n and record m is model row m - 1.
#pragma once

#include <QString>
#include <string_view>

#include "platform/db.h"
#include "processing/text/date_time.h"

class QDateTime;
class QTableView;

namespace travik {

class Program;
class QueryModel;

struct GridQuery;

// The model the view shows; a view without one gets an empty one.
QueryModel& boundModel(QTableView& view);
// Replaces what the view shows by the query's rows.  The query is counted and
// its first page read in a new model first, so a failing query leaves the
// view as it was.  The columns are sized to their headings and the first
// rows, the last one taking the width left over.
void bindGrid(QTableView& view, db::Connection& db, GridQuery query);
// Shows no rows and no columns.
void clearGrid(QTableView& view);

// The view's current data row, -1 when there is none.
int currentRow(const QTableView& view);
// Makes a cell the current one and returns its text.
QString selectCell(QTableView& view, int row, int column);
// Makes a row current and scrolls it to the top of the view.
void makeCurrentAtTop(QTableView& view, int row);
// Scrolls so that row is the top visible row, as far as the view can scroll.
void setTopRow(QTableView& view, int row);

// One grid's file: its name prefix and the message that reports the save.
struct GridFile {
  const char* prefix;   // "CallsGrid_" ...
  const char* message;  // "Calls grid has been saved as " ...
};

// The save operation of every grid: stops when the output folder check fails
// (the check has said why); otherwise writes <output folder>/<prefix><stamp>.csv
// and reports the file in a plain message.  A failure is a handled error of
// the caller's procedure: its error box, an activity-log line and the count.
void saveGrid(Program& program, const QTableView& view, const GridFile& grid, std::string_view procedure);

// The date pickers and the database speak different time types.
QDateTime toQDateTime(const DateTime& value);
DateTime fromQDateTime(const QDateTime& value);

}  // namespace travik
