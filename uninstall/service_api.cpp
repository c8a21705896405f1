#include "uninstall/service_api.h"

#include "platform/service_manager.h"

namespace travik::uninstall {

int getServiceState(std::string_view machineName, std::string_view serviceName) {
  if (!machineName.empty()) return service_state::kNotInstalled;
  const int state = platform::queryServiceState(serviceName);
  if (state < service_state::kStopped || state > service_state::kPaused) return service_state::kNotInstalled;
  return state;
}

}  // namespace travik::uninstall
