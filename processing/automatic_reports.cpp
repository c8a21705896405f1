#include "processing/automatic_reports.h"

namespace travik {

void deleteOldReports(Program&) {}
void generateAutoReports(Program&) {}

}  // namespace travik
