#pragma once
// The watch as a textfile for the Prometheus node exporter's textfile
// collector (and windows_exporter's): text format 0.0.4, no timestamps.
// reachkit_endpoint_up, reachkit_connect_seconds (a summary: p50, p95, sum
// and count), reachkit_echo_loss_ratio, reachkit_outages_total, labelled by
// endpoint (the label), host, port and location (the entry's index).
#include <string>

#include "runs/watch.h"

namespace rk {

[[nodiscard]] std::string OpenMetricsText(const WatchSnapshot& snapshot);

// Writes the text to `nativePath` through "<nativePath>.tmp" and a rename,
// so the collector never reads half a file (its name does not end in
// ".prom", so the collector ignores it). False with the reason on failure.
bool WriteOpenMetricsFile(const std::string& nativePath, const std::string& text, std::string* error);

}  // namespace rk
