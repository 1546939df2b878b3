#include "base/format.h"
#include "base/texts.h"
#include "runs/probe_run.h"

namespace rk {

void PingThreadProc(const WorkerContext& context) {
  const TestTarget& target = context.target;
  const char* dotted = target.dottedAddress.c_str();
  context.appendLine(Format(text::kPingHeaderFormat, target.hostText.c_str(), dotted));

  EchoResult result;
  for (int sequence = 0;; ++sequence) {
    result.errorCode = 0;
    result.replyAddress = 0;
    if (context.echo.SendEcho(target.address, result, 30, context.timings.echoTimeoutMs,
                              kEchoDataSize, 1, &context.stop) != 1) {
      context.appendLine(text::kNoIcmpHandle);
      return;
    }
    // An echo cut short by a close has no outcome worth a line.
    const bool interrupted = context.stop.load() && result.errorCode != 0;
    if (!interrupted) {
      const bool answered = result.errorCode == 0;
      context.appendStep({sequence, 0, answered, result.errorCode, result.replyAddress,
                          answered ? result.roundTripMs : 0});
      if (answered) {
        context.answered.store(true);
        context.appendLine(Format(text::kPingEchoFormat, dotted, sequence,
                                  static_cast<int>(result.roundTripMs)));
      } else {
        context.appendLine(Format(text::kPingLostFormat, dotted, sequence,
                                  static_cast<int>(result.errorCode)));
      }
      SleepUnlessStopped(context.timings.pingPauseMs, &context.stop);
    }
    if (context.testRunning.load() == 0 || sequence + 1 >= kPingCount) {
      context.appendLine(text::kPingEnd);
      return;
    }
  }
}

}  // namespace rk
