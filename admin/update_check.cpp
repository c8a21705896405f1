#include "admin/update_check.h"

#include "admin/console.h"

namespace travik {

void checkForUpdatedVersion(Console&) {}

}  // namespace travik
