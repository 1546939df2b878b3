// watch_html_sample FILE [ENDPOINTS HOURS]: writes the HTML report of a sample watch (20
// endpoints over 24 hours unless told otherwise: noisy minute figures, spikes, lost samples
// scattered through the day, outages of minutes on some endpoints, one still open at the end)
// and prints the file's size in bytes; exit 1 when a day of twenty endpoints passes 2 MB. The
// same seed gives the same watch, so sizes compare between runs.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "runs/watch_html.h"

namespace {

using rk::HtmlEndpoint;
using rk::HtmlFailure;
using rk::HtmlMinute;
using rk::HtmlOutage;
using rk::WatchHtmlInput;



constexpr int64_t kMinuteMs = 60 * 1000;
constexpr int kSamplesPerMinute = 60;

const char* const kLocations[] = {"台北", "台中", "高雄", "新竹", "R&D <lab>"};


WatchHtmlInput SampleWatch(std::size_t endpoints, int hours, int64_t startMs, uint32_t seed = 20) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const int minutes = hours * 60;
  WatchHtmlInput input;
  input.clientRoot = "C:\\Trade\\Client";
  input.startMs = startMs;
  input.endMs = startMs + minutes * kMinuteMs;
  input.version = "sample";
  input.options = "a connect and an echo every second; connect time-out 10000 ms, echo 3000 ms";
  for (std::size_t e = 0; e < endpoints; ++e) {
    HtmlEndpoint endpoint;
    const std::string location = kLocations[e % std::size(kLocations)];
    endpoint.location = location;
    endpoint.label = (e % 2 == 0 ? "交易主機-" : "報價主機-") + location + " : 192.0.2." +
                     std::to_string(10 + e);
    endpoint.host = "192.0.2." + std::to_string(10 + e);
    endpoint.port = static_cast<int32_t>(7000 + e);
    // Every third endpoint has outages; the last of them is still open at the end.
    std::vector<std::pair<int, int>> outages;  // first minute, minutes
    if (e % 3 == 0) {
      const int count = 1 + static_cast<int>(e % 4);
      for (int o = 0; o < count; ++o)
        outages.emplace_back(static_cast<int>(minutes * (o + 1) / (count + 2)) + static_cast<int>(e),
                             2 + static_cast<int>(unit(random) * 40));
      if (e == 0) outages.emplace_back(minutes - 7, 7);
    }
    const double base = 4 + 60 * unit(random);
    for (int m = 0; m < minutes; ++m) {
      const int64_t at = startMs + m * kMinuteMs;
      const bool down = std::any_of(outages.begin(), outages.end(), [m](const auto& o) {
        return m >= o.first && m < o.first + o.second;
      });
      HtmlMinute connect{at, kSamplesPerMinute, 0, 0, 0, 0};
      HtmlMinute echo = connect;
      if (down) {
        connect.lost = echo.lost = kSamplesPerMinute;
        for (int s = 0; s < kSamplesPerMinute; s += 5)
          endpoint.failures.push_back({at + s * 1000, "connect", "timeout"});
      } else {
        // The afternoon is busier; now and then a spike; a lost sample in about one minute in 40.
        const double load = 1.0 + 0.4 * std::sin(m * 3.14159 / 720.0);
        connect.p50 = base * load * (0.9 + 0.2 * unit(random));
        connect.p95 = connect.p50 * (1.2 + 0.6 * unit(random));
        connect.max = connect.p95 * (unit(random) < 0.02 ? 6.0 : 1.3);
        echo.p50 = connect.p50 * 0.8;
        echo.p95 = connect.p95 * 0.8;
        echo.max = connect.max * 0.8;
        if (unit(random) < 0.025) {
          connect.lost = 1;
          endpoint.failures.push_back({at + static_cast<int64_t>(unit(random) * 59000), "connect", "timeout"});
        }
      }
      endpoint.connect.push_back(connect);
      endpoint.echo.push_back(echo);
    }
    for (const auto& [first, length] : outages) {
      const int64_t begin = startMs + first * kMinuteMs;
      const bool open = first + length >= minutes;
      endpoint.outages.push_back({begin, open ? std::nullopt : std::optional<int64_t>(begin + length * kMinuteMs),
                                  static_cast<double>(std::min(length, minutes - first)) * kMinuteMs,
                                  e % 2 == 0 ? "internet_path" : "broker_host",
                                  e % 2 == 0 ? "no answer beyond hop 4 (198.51.100.1)"
                                             : "the host answers echo; the port is filtered"});
    }
    input.endpoints.push_back(std::move(endpoint));
  }
  return input;
}


}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 4) {
    std::fprintf(stderr, "usage: watch_html_sample FILE [ENDPOINTS HOURS]\n");
    return 2;
  }
  const std::size_t endpoints = argc == 4 ? std::strtoul(argv[2], nullptr, 10) : 20;
  const int hours = argc == 4 ? std::atoi(argv[3]) : 24;
  // 2026-12-06 00:00:00 UTC: a fixed day, so the file is the same on every run.
  const rk::WatchHtmlInput input = SampleWatch(endpoints, hours, 1796515200000);
  std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
  rk::WriteWatchHtml(input, file);
  file.close();
  if (!file) {
    std::fprintf(stderr, "watch_html_sample: cannot write %s\n", argv[1]);
    return 1;
  }
  std::ifstream written(argv[1], std::ios::binary | std::ios::ate);
  const auto size = static_cast<long long>(written.tellg());
  std::printf("%lld\n", size);
  // The bound a day's report keeps: 20 endpoints over 24 hours in at most 2 MB.
  if (endpoints == 20 && hours == 24 && size > 2 * 1024 * 1024) {
    std::fprintf(stderr, "watch_html_sample: %lld bytes, above the 2 MB of a day's report\n", size);
    return 1;
  }
  return 0;
}
