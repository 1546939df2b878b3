#pragma once
// A watch of many endpoints over many hours as the HTML report takes it:
// noisy minute figures, spikes, lost samples scattered through the day and
// outages of minutes on some endpoints (one still open at the end). The same
// seed gives the same watch, so sizes and renderings compare between runs.
#include <cstddef>
#include <cstdint>

#include "runs/watch_html.h"

namespace rk::testing {

// `endpoints` endpoints over `hours` hours from `startMs`, one minute record
// of each kind per minute (60 samples at one a second).
[[nodiscard]] WatchHtmlInput SampleWatch(std::size_t endpoints, int hours, int64_t startMs,
                                         uint32_t seed = 20);

}  // namespace rk::testing
