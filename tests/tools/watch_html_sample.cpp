// Writes the HTML report of a sample watch (20 endpoints over 24 hours unless
// told otherwise) for the size benchmark and the browser's rendering test:
//   watch_html_sample FILE [ENDPOINTS HOURS]
// Prints the file's size in bytes.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "runs/watch_html.h"
#include "support/watch_sample.h"

int main(int argc, char** argv) {
  if (argc != 2 && argc != 4) {
    std::fprintf(stderr, "usage: watch_html_sample FILE [ENDPOINTS HOURS]\n");
    return 2;
  }
  const std::size_t endpoints = argc == 4 ? std::strtoul(argv[2], nullptr, 10) : 20;
  const int hours = argc == 4 ? std::atoi(argv[3]) : 24;
  // 2026-12-06 00:00:00 UTC: a fixed day, so the file is the same on every run.
  const rk::WatchHtmlInput input = rk::testing::SampleWatch(endpoints, hours, 1796515200000);
  std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
  rk::WriteWatchHtml(input, file);
  file.close();
  if (!file) {
    std::fprintf(stderr, "watch_html_sample: cannot write %s\n", argv[1]);
    return 1;
  }
  std::ifstream written(argv[1], std::ios::binary | std::ios::ate);
  std::printf("%lld\n", static_cast<long long>(written.tellg()));
  return 0;
}
