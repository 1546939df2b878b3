// catalogue_build_bench ROOT: builds the host catalogue of the client tree at ROOT once and prints
// how long the build took, in this process and with nothing cached: the build a run of the CLI
// or a start of the window makes. Prints "<hosts> hosts in <ms> ms (cpu <ms> ms)": the processor
// time tells the build's own cost on a machine that other work shares. Exit 1 when none were found.
#include <chrono>
#include <ctime>
#include <cstdio>

#include "config/client_paths.h"
#include "config/host_catalogue.h"
#include "config/profile_store.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: catalogue_build_bench ROOT\n");
    return 2;
  }
  const rk::ClientPaths paths(argv[1]);
  rk::ProfileStore& profile = rk::SystemProfileStore();
  const std::clock_t cpuStart = std::clock();
  const auto start = std::chrono::steady_clock::now();
  const rk::HostCatalogue catalogue = rk::BuildHostCatalogue(profile, paths);
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  const double cpu = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  std::printf("%zu hosts in %.3f ms (cpu %.3f ms)\n", catalogue.labels.size(), took.count(), cpu);
  return catalogue.labels.empty() ? 1 : 0;
}
