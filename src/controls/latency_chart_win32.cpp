#include "controls/latency_chart_win32.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/format.h"
#include "base/texts.h"
#include "runs/svg_chart.h"

namespace rk {

namespace {

constexpr COLORREF kConnectColour = RGB(0, 70, 160);
constexpr COLORREF kEchoColour = RGB(215, 110, 0);
constexpr COLORREF kLostColour = RGB(200, 0, 0);
constexpr COLORREF kBandColour = RGB(150, 150, 150);
constexpr COLORREF kGridColour = RGB(225, 225, 225);
constexpr COLORREF kTextColour = RGB(40, 40, 40);

// A GDI object selected for a scope, put back and deleted at its end.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object) : dc_(dc), object_(object), previous_(SelectObject(dc, object)) {}
  ~Selected() {
    SelectObject(dc_, previous_);
    DeleteObject(object_);
  }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC dc_;
  HGDIOBJ object_, previous_;
};

void TextAt(HDC dc, int x, int y, const std::string& text, UINT align) {
  SetTextAlign(dc, align);
  TextOutA(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

int TextWidth(HDC dc, const std::string& text) {
  SIZE size{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  return size.cx;
}

// Polylines of one series, broken where two neighbours lie further apart than `gapMs`.
template <typename ToPoint>
void DrawSeries(HDC dc, const std::vector<std::pair<int64_t, double>>& points, int64_t gapMs,
                ToPoint toPoint) {
  std::vector<POINT> run;
  const auto flush = [&] {
    if (run.size() == 1) run.push_back({run[0].x + 1, run[0].y});  // a lone sample still shows
    if (run.size() > 1) Polyline(dc, run.data(), static_cast<int>(run.size()));
    run.clear();
  };
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (i > 0 && gapMs > 0 && points[i].first - points[i - 1].first > gapMs) flush();
    run.push_back(toPoint(points[i].first, points[i].second));
  }
  flush();
}

}  // namespace

void DrawLatencyChart(HDC dc, const RECT& area, const LatencyChart& chart, HFONT font) {
  FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  const HGDIOBJ previousFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kTextColour);
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  const int line = metrics.tmHeight;

  // Room for the tick labels on the left, the legend above, the clock and the conclusion below.
  double highest = 1;
  for (const auto& [at, ms] : chart.connect) highest = std::max(highest, ms);
  for (const auto& [at, ms] : chart.echo) highest = std::max(highest, ms);
  const std::vector<double> yTicks = NiceTicks(highest, 5);
  const double top = yTicks.back();
  int labelWidth = TextWidth(dc, "ms");
  for (double tick : yTicks) labelWidth = std::max(labelWidth, TextWidth(dc, Format("%g", tick)));
  const RECT plot{area.left + labelWidth + 10, area.top + line + 8, area.right - 12,
                  area.bottom - 2 * line - 10};
  if (plot.right - plot.left < 40 || plot.bottom - plot.top < 30) {
    SelectObject(dc, previousFont);
    return;
  }
  const int64_t span = std::max<int64_t>(1, chart.endMs - chart.startMs);
  const auto xOf = [&](int64_t at) {
    return plot.left + static_cast<int>((at - chart.startMs) * (plot.right - plot.left) / span);
  };
  const auto yOf = [&](double ms) {
    return plot.bottom - static_cast<int>(ms / top * (plot.bottom - plot.top));
  };

  // Outages first, so that lines and marks stay visible over them.
  {
    const Selected hatch(dc, CreateHatchBrush(HS_BDIAGONAL, kBandColour));
    const Selected edge(dc, CreatePen(PS_SOLID, 1, kBandColour));
    for (const auto& [from, to] : chart.outages)
      Rectangle(dc, xOf(from), plot.top, std::max(xOf(to), xOf(from) + 2), plot.bottom);
  }
  // Grid, axes, tick labels.
  {
    const Selected grid(dc, CreatePen(PS_SOLID, 1, kGridColour));
    for (double tick : yTicks) {
      MoveToEx(dc, plot.left, yOf(tick), nullptr);
      LineTo(dc, plot.right, yOf(tick));
      TextAt(dc, plot.left - 4, yOf(tick) - line / 2, Format("%g", tick), TA_RIGHT | TA_TOP);
    }
    for (const TimeTick& tick : TimeTicks(chart.startMs, chart.endMs, 6)) {
      // A label at the very left would sit on the y axis's own "0".
      if (xOf(tick.utcMs) - TextWidth(dc, tick.label) / 2 < plot.left - 2) continue;
      MoveToEx(dc, xOf(tick.utcMs), plot.top, nullptr);
      LineTo(dc, xOf(tick.utcMs), plot.bottom);
      TextAt(dc, xOf(tick.utcMs), plot.bottom + 3, tick.label, TA_CENTER | TA_TOP);
    }
  }
  {
    const Selected axis(dc, CreatePen(PS_SOLID, 1, kTextColour));
    MoveToEx(dc, plot.left, plot.top, nullptr);
    LineTo(dc, plot.left, plot.bottom);
    LineTo(dc, plot.right, plot.bottom);
  }
  TextAt(dc, plot.left - 4, area.top + 4, "ms", TA_RIGHT | TA_TOP);

  const auto toPoint = [&](int64_t at, double ms) { return POINT{xOf(at), yOf(ms)}; };
  {
    const Selected pen(dc, CreatePen(PS_DASH, 1, kEchoColour));
    DrawSeries(dc, chart.echo, chart.gapMs, toPoint);
  }
  {
    const Selected pen(dc, CreatePen(PS_SOLID, 2, kConnectColour));
    DrawSeries(dc, chart.connect, chart.gapMs, toPoint);
  }
  const auto cross = [&](int x, int y) {
    MoveToEx(dc, x - 3, y - 3, nullptr);
    LineTo(dc, x + 4, y + 4);
    MoveToEx(dc, x + 3, y - 3, nullptr);
    LineTo(dc, x - 4, y + 4);
  };
  {
    const Selected pen(dc, CreatePen(PS_SOLID, 2, kLostColour));
    for (int64_t at : chart.lost) cross(xOf(at), plot.top + 5);
  }

  // The legend, right-aligned above the plot: a sample of each look, then its name.
  struct Entry {
    const char* name;
    int kind;  // 0 solid line, 1 dashed line, 2 cross, 3 band
  };
  const Entry entries[] = {{text::kWatchLegendConnect, 0}, {text::kWatchLegendEcho, 1},
                           {text::kWatchLost, 2}, {text::kWatchStateDown, 3}};
  int x = plot.right;
  const int y = area.top + 4 + line / 2;
  for (auto it = std::rbegin(entries); it != std::rend(entries); ++it) {
    x -= TextWidth(dc, it->name);
    TextAt(dc, x, area.top + 4, it->name, TA_LEFT | TA_TOP);
    x -= 26;
    if (it->kind == 3) {
      const Selected hatch(dc, CreateHatchBrush(HS_BDIAGONAL, kBandColour));
      const Selected edge(dc, CreatePen(PS_SOLID, 1, kBandColour));
      Rectangle(dc, x, y - line / 2 + 1, x + 20, y + line / 2);
    } else if (it->kind == 2) {
      const Selected pen(dc, CreatePen(PS_SOLID, 2, kLostColour));
      cross(x + 10, y);
    } else {
      const Selected pen(dc, it->kind == 0 ? CreatePen(PS_SOLID, 2, kConnectColour)
                                           : CreatePen(PS_DASH, 1, kEchoColour));
      MoveToEx(dc, x, y, nullptr);
      LineTo(dc, x + 20, y);
    }
    x -= 14;
  }

  if (!chart.conclusion.empty()) {
    RECT below{plot.left, area.bottom - line - 3, area.right - 4, area.bottom};
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    DrawTextA(dc, chart.conclusion.c_str(), static_cast<int>(chart.conclusion.size()), &below,
              DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  }
  SelectObject(dc, previousFont);
}

}  // namespace rk
