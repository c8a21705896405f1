#include "admin/console/service_api.h"

#include "admin/console/console.h"

namespace travik {

int getServiceState(Console& console, std::string_view machineName, std::string_view serviceName) {
  // Only this computer's services can be asked for.
  if (!machineName.empty()) return service_state::kNotInstalled;
  if (!console.platform.queryServiceState) return service_state::kNotInstalled;
  const int state = console.platform.queryServiceState(serviceName);
  return state >= service_state::kStopped && state <= service_state::kPaused ? state : service_state::kNotInstalled;
}

}  // namespace travik
