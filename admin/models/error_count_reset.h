// Resetting the communication error counts of Octel nodes.
//
// A reset deletes nothing: it marks calls to be left out of the
// within-interval totals (ignoreErrorForIntervalCalculation), so a node's
// count of recent errors starts again from zero while its all-time totals
// stay.  Calls stored later start unmarked.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/db.h"

namespace travik {

// The nodes with at least one error call not yet reset, in the order the
// database returns them; calls without a node serial number are left out.
std::vector<std::string> nodesWithUnresetErrors(db::Connection& db);
// Marks every call of the node, error or not; serial numbers match without
// regard to letter case.  One transaction: a locked database changes nothing.
void resetErrorCountForNode(db::Connection& db, std::string_view serialNumber);
// Marks every stored call.
void resetErrorCountsForAllNodes(db::Connection& db);

}  // namespace travik
