#include "platform/service_manager.h"

#include <cctype>

#include "platform/process_runner.h"

namespace travik::platform {

std::string unitNameForService(std::string_view serviceName) {
  std::string unit;
  for (char c : serviceName) unit += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (unit.size() > 4 && unit.compare(unit.size() - 4, 4, ".exe") == 0) unit.resize(unit.size() - 4);
  return unit + ".service";
}

int serviceStateFromSystemctl(std::string_view showOutput) {
  std::string loadState, activeState;
  std::size_t start = 0;
  while (start < showOutput.size()) {
    std::size_t end = showOutput.find('\n', start);
    if (end == std::string_view::npos) end = showOutput.size();
    const std::string_view line = showOutput.substr(start, end - start);
    if (line.starts_with("LoadState=")) loadState = line.substr(10);
    if (line.starts_with("ActiveState=")) activeState = line.substr(12);
    start = end + 1;
  }
  if (loadState != "loaded") return service_state::kNotInstalled;
  if (activeState == "active" || activeState == "reloading") return service_state::kRunning;
  if (activeState == "activating") return service_state::kStartPending;
  if (activeState == "deactivating") return service_state::kStopPending;
  if (activeState == "inactive" || activeState == "failed") return service_state::kStopped;
  return service_state::kNotInstalled;
}

int queryServiceState(std::string_view serviceName) {
  int exitCode = -1;
  const std::string output = captureOutput(
      {"systemctl", "show", "-p", "LoadState", "-p", "ActiveState", unitNameForService(serviceName)}, &exitCode);
  if (exitCode != 0) return service_state::kNotInstalled;
  return serviceStateFromSystemctl(output);
}

}  // namespace travik::platform
