#pragma once
// One endpoint's latency chart drawn with GDI: the local clock on x, milliseconds on y with
// round ticks, connect times as a solid line and echo times as a dashed one (apart from their
// colours, so a grey print still tells them apart), lost connects as crosses along the top,
// outages as hatched bands, a legend, and under the plot the last outage's conclusion.
#include <windows.h>

#include "runs/watch_rows.h"

namespace rk {

// Paints the whole of `area` of `dc` (its background too); `font` is the window's.
void DrawLatencyChart(HDC dc, const RECT& area, const LatencyChart& chart, HFONT font);

}  // namespace rk
