// generate_traffic: writes a folder of synthetic gateway trace files.
#include <cstdio>
#include <ctime>
#include <exception>
#include <string>
#include <vector>

#include "bench/traffic_generator.h"

int main(int argc, char** argv) {
  using namespace travik;
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const auto parsed = traffic::parseTrafficArguments(arguments, DateTime::fromTimeT(std::time(nullptr)));
  if (parsed.help) {
    std::fputs(traffic::trafficUsage().c_str(), stdout);
    return 0;
  }
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "generate_traffic: %s\n\n%s", parsed.error.c_str(), traffic::trafficUsage().c_str());
    return 2;
  }
  try {
    const auto result = traffic::generateTraffic(parsed.options);
    std::printf("%zu files, %llu trace lines, %llu events, %llu calls (%llu inbound, %llu failed)\n",
                result.files.size(), static_cast<unsigned long long>(result.traceLines),
                static_cast<unsigned long long>(result.events), static_cast<unsigned long long>(result.calls),
                static_cast<unsigned long long>(result.inboundCalls),
                static_cast<unsigned long long>(result.failedCalls));
    std::printf("summary: %s\ntotals: %s\n", result.summaryFile.c_str(), result.totalsFile.c_str());
    if (!result.stateFolders.empty())
      std::printf("%zu folder states: %s ... (cuts.txt beside them)\n", result.stateFolders.size(),
                  result.stateFolders.front().c_str());
    return 0;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "generate_traffic: %s\n", error.what());
    return 1;
  }
}
