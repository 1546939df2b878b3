#include "base/format.h"
#include "base/texts.h"
#include "probes/tcp_connect.h"
#include "runs/probe_run.h"

namespace rk {

void TelnetThreadProc(const WorkerContext& context) {
  const TestTarget& target = context.target;
  const char* dotted = target.dottedAddress.c_str();
  context.appendLine(Format(text::kTelnetHeaderFormat, target.hostText.c_str(), dotted));

  for (std::size_t i = 0; i < target.ports.size(); ++i) {
    const int32_t port = target.ports[i];
    if (context.stop.load()) return;
    TcpSocket socket =
        ConnectWithTimeout(target.dottedAddress, port, context.timings.connectTimeoutMs, &context.stop);
    if (socket.valid()) {
      context.answered.store(true);
      context.appendStep({static_cast<int>(i), port, true, 0, 0, 0});
      const std::string line = Format(text::kConnectSucceededFormat, dotted, port);
      socket.Close();  // no data is ever sent: shut down and close before reporting
      context.appendLine(line);
      return;
    }
    if (context.stop.load()) return;
    context.appendStep({static_cast<int>(i), port, false, 0, 0, 0});
    context.appendLine(Format(text::kConnectFailedFormat, dotted, port));
  }
}

}  // namespace rk
