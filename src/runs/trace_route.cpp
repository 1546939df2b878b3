#include "base/format.h"
#include "base/texts.h"
#include "runs/probe_run.h"

namespace rk {

void TraceRouteThreadProc(const WorkerContext& context) {
  const TestTarget& target = context.target;
  context.appendLine(
      Format(text::kTraceHeaderFormat, target.hostText.c_str(), target.dottedAddress.c_str()));

  EchoResult result;
  for (int router = 1; router <= kMaxRouters; ++router) {
    if (context.stop.load()) return;  // the owner is closing: no further probe
    result.errorCode = 0;
    result.replyAddress = 0;
    if (context.echo.SendEcho(target.address, result, router, context.timings.echoTimeoutMs,
                              kEchoDataSize, 0, &context.stop) != 1) {
      context.appendLine(text::kNoIcmpHandle);
      return;
    }
    if (result.errorCode != 0) {
      if (context.stop.load()) return;
      context.appendStep({router, 0, false, result.errorCode, result.replyAddress, 0});
      context.appendLine(
          Format(text::kTraceTimeoutFormat, router, static_cast<int>(result.errorCode)));
      continue;
    }
    context.appendStep({router, 0, true, 0, result.replyAddress, result.roundTripMs});
    context.appendLine(Format(text::kTraceHopFormat, router,
                              DottedIPv4(result.replyAddress).c_str(),
                              static_cast<int>(result.roundTripMs)));
    if (result.replyAddress == target.address) {
      context.answered.store(true);
      context.appendLine(text::kTargetReached);
      return;
    }
  }
  context.appendLine(text::kTargetNotReached);
}

}  // namespace rk
