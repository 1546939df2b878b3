// Runs the proxy connector once per target and prints one line per target:
// "<index>\t<verdict>\t<ms>\t<reason>", then "total\t<ms>". Used by the
// proxy server tests and the benchmark, natively and under Wine.
// Arguments: TYPE HOST PORT USER PASSWORD TIMEOUT_MS TARGET... where a target
// is HOST:PORT (the last colon splits) and USER/PASSWORD may be "".
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "probes/proxy_connector.h"

int main(int argc, char** argv) {
  if (argc < 8) {
    std::fprintf(stderr, "usage: proxy_probe TYPE HOST PORT USER PASSWORD TIMEOUT_MS TARGET...\n");
    return 2;
  }
  const rk::ProxyRoute route{std::atoi(argv[1]), argv[2], argv[3], argv[4], argv[5], "probe"};
  const auto timeoutMs = static_cast<uint32_t>(std::strtoul(argv[6], nullptr, 10));
  std::vector<rk::ProxyTarget> targets;
  for (int i = 7; i < argc; ++i) {
    const std::string text = argv[i];
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos) return 2;
    targets.push_back({text.substr(0, colon), std::atoi(text.c_str() + colon + 1)});
  }
  const rk::ProxyConnector connector(route, rk::SystemNameResolver(), timeoutMs);
  const auto start = std::chrono::steady_clock::now();
  (void)connector.ConnectAll(targets, [](std::size_t index, const rk::ProxyResult& result) {
    std::printf("%zu\t%s\t%.1f\t%s\n", index, rk::ProxyVerdictName(result.verdict), result.ms,
                result.reason.c_str());
    std::fflush(stdout);
  });
  const std::chrono::duration<double, std::milli> total = std::chrono::steady_clock::now() - start;
  std::printf("total\t%.1f\n", total.count());
  return 0;
}
