#include "runs/openmetrics.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/codepage.h"
#include "base/format.h"
#include "runs/watch_log.h"

namespace rk {

namespace {

// A label value: UTF-8 with backslash, double quote and line feed escaped.
std::string LabelValue(const std::string& cp950) {
  std::string out;
  for (const char c : Cp950ToUtf8(cp950)) {
    if (c == '\\' || c == '"') out += '\\';
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    out += c;
  }
  return out;
}

std::string Number(double value) { return Format("%.6g", value); }

}  // namespace

std::string OpenMetricsText(const WatchSnapshot& snapshot) {
  std::vector<std::string> labels;
  std::vector<const EndpointSnapshot*> shown;
  for (const EndpointSnapshot& endpoint : snapshot.endpoints) {
    if (endpoint.state == WatchState::NotWatched) continue;
    shown.push_back(&endpoint);
    labels.push_back(Format("endpoint=\"%s\",host=\"%s\",port=\"%d\",location=\"%s\"",
                            LabelValue(endpoint.label).c_str(), LabelValue(endpoint.host).c_str(),
                            endpoint.port, LabelValue(endpoint.location).c_str()));
  }
  std::string text;
  text += "# HELP reachkit_endpoint_up 1 when the endpoint's last connect succeeded and no outage is open.\n";
  text += "# TYPE reachkit_endpoint_up gauge\n";
  for (std::size_t i = 0; i < shown.size(); ++i)
    text += "reachkit_endpoint_up{" + labels[i] + "} " + (shown[i]->state == WatchState::Up ? "1" : "0") + "\n";
  text += "# HELP reachkit_connect_seconds TCP connect time of the successful connects since the watch began.\n";
  text += "# TYPE reachkit_connect_seconds summary\n";
  for (std::size_t i = 0; i < shown.size(); ++i) {
    const EndpointSnapshot& e = *shown[i];
    text += "reachkit_connect_seconds{" + labels[i] + ",quantile=\"0.5\"} " + Number(e.p50 / 1000.0) + "\n";
    text += "reachkit_connect_seconds{" + labels[i] + ",quantile=\"0.95\"} " + Number(e.p95 / 1000.0) + "\n";
    text += "reachkit_connect_seconds_sum{" + labels[i] + "} " + Number(e.connectMsSum / 1000.0) + "\n";
    text += "reachkit_connect_seconds_count{" + labels[i] + "} " + Format("%zu", e.connected) + "\n";
  }
  text += "# HELP reachkit_echo_loss_ratio Share of the echoes to the endpoint's address left unanswered.\n";
  text += "# TYPE reachkit_echo_loss_ratio gauge\n";
  for (std::size_t i = 0; i < shown.size(); ++i)
    text += "reachkit_echo_loss_ratio{" + labels[i] + "} " + Number(shown[i]->echoLossRatio) + "\n";
  text += "# HELP reachkit_outages_total Outages of the endpoint since the watch began.\n";
  text += "# TYPE reachkit_outages_total counter\n";
  for (std::size_t i = 0; i < shown.size(); ++i)
    text += "reachkit_outages_total{" + labels[i] + "} " + Format("%zu", shown[i]->outages) + "\n";
  return text;
}

bool WriteOpenMetricsFile(const std::string& nativePath, const std::string& text, std::string* error) {
  const std::string temporary = nativePath + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  const auto fail = [&](const char* what) {
    if (error != nullptr) *error = Format("cannot %s %s: %s", what, temporary.c_str(), std::strerror(errno));
    return false;
  };
  if (file == nullptr) return fail("create");
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed) {
    std::remove(temporary.c_str());
    return fail("write");
  }
  if (!watch_files::MoveReplacing(temporary, nativePath)) {
    std::remove(temporary.c_str());
    return fail("rename");
  }
  return true;
}

}  // namespace rk
