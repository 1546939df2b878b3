#include "probes/connect_batch.h"

#include <algorithm>

namespace rk {

UnreachableKind UnreachableKindOfCode(uint8_t code) {
  switch (code) {
    case 0:
    case 6:
    case 11:
      return UnreachableKind::Network;
    case 9:
    case 10:
    case 13:
      return UnreachableKind::Prohibited;
    default:
      return UnreachableKind::Host;
  }
}

namespace connect_backend {

ConnectSettlement SettlementOfError(int error, const ErrorCodes& codes) {
  ConnectSettlement settlement;
  if (error == 0) {
    settlement.outcome = ConnectOutcome::Open;
  } else if (error == codes.refused) {
    settlement.outcome = ConnectOutcome::Refused;
  } else if (error == codes.timedOut) {
    settlement.outcome = ConnectOutcome::Timeout;
  } else if (error == codes.prohibited) {
    settlement.outcome = ConnectOutcome::Unreachable;
    settlement.unreachable = UnreachableKind::Prohibited;
  } else if (error == codes.networkUnreachable) {
    settlement.outcome = ConnectOutcome::Unreachable;
    settlement.unreachable = UnreachableKind::Network;
  } else if (error == codes.hostUnreachable || error == codes.hostDown) {
    settlement.outcome = ConnectOutcome::Unreachable;
    settlement.unreachable = UnreachableKind::Host;
  } else {
    settlement.outcome = ConnectOutcome::Error;
    settlement.reason = codes.describe(error);
  }
  return settlement;
}

ConnectSettlement SettlementOf(int pendingError, bool hungUp, const QueuedReport& report,
                               uint32_t target, const ErrorCodes& codes) {
  constexpr uint8_t kDestinationUnreachable = 3;
  constexpr uint8_t kPortUnreachable = 3;
  const bool unreachableReport = report.present && report.type == kDestinationUnreachable;
  ConnectSettlement settlement = SettlementOfError(pendingError, codes);
  if (pendingError == 0 && !hungUp) return settlement;
  if (pendingError == 0) {
    // Writable with a hang-up but no error left to read: the attempt failed
    // all the same.
    settlement.outcome = ConnectOutcome::Error;
    settlement.reason = "the connection closed as it was made";
  }
  if (!unreachableReport) return settlement;
  settlement.reporter = report.sender;
  if (report.code == kPortUnreachable) {
    // The target's own "port unreachable" is a refusal; anyone else's is a
    // filter on the way answering for it.
    if (report.sender == target && settlement.outcome == ConnectOutcome::Refused) return settlement;
    settlement.outcome = ConnectOutcome::Unreachable;
    settlement.unreachable = UnreachableKind::RefusedOnBehalf;
  } else {
    // The report names the cause better than the error it was mapped to
    // (Linux turns "prohibited" into "host unreachable").
    settlement.outcome = ConnectOutcome::Unreachable;
    settlement.unreachable = UnreachableKindOfCode(report.code);
  }
  settlement.reason.clear();
  return settlement;
}

Begun BegunAfterConnect(TcpSocket socket, int error, bool inProgress, const ErrorCodes& codes) {
  Begun begun;
  if (error != 0 && inProgress) {
    begun.handle = socket.native();
    begun.socket = std::move(socket);
  } else {
    begun.settledAtOnce = SettlementOfError(error, codes);
  }
  return begun;
}

}  // namespace connect_backend

void ConnectBatch::Start(std::size_t tag, uint32_t address, uint16_t port,
                         Clock::time_point deadline) {
  connect_backend::Begun begun = connect_backend::BeginConnect(address, port);
  if (!begun.socket.valid()) {
    early_.emplace_back(tag, std::move(begun.settledAtOnce));
    return;
  }
  attempts_.push_back(Attempt{tag, std::move(begun.socket), begun.handle, address, deadline});
}

void ConnectBatch::Wait(uint32_t waitMs, const Settled& settled) {
  if (!early_.empty()) {
    // Handed over before the callbacks run: a callback may start attempts.
    auto early = std::move(early_);
    early_.clear();
    for (const auto& [tag, settlement] : early) settled(tag, settlement);
    waitMs = 0;
  }
  if (attempts_.empty()) return;

  Clock::time_point first = attempts_.front().deadline;
  for (const Attempt& attempt : attempts_) first = std::min(first, attempt.deadline);
  const auto untilFirst = std::chrono::ceil<std::chrono::milliseconds>(first - Clock::now());
  const auto wait = static_cast<uint32_t>(
      std::clamp<std::chrono::milliseconds::rep>(untilFirst.count(), 0, waitMs));

  std::vector<intptr_t> handles;
  handles.reserve(attempts_.size());
  for (const Attempt& attempt : attempts_) handles.push_back(attempt.handle);
  std::vector<std::size_t> ready;
  connect_backend::WaitAny(handles, wait, ready);

  std::vector<bool> isReady(attempts_.size(), false);
  for (const std::size_t index : ready) isReady[index] = true;
  const Clock::time_point now = Clock::now();
  std::vector<std::pair<std::size_t, ConnectSettlement>> done;
  std::vector<Attempt> still;
  still.reserve(attempts_.size());
  for (std::size_t i = 0; i < attempts_.size(); ++i) {
    Attempt& attempt = attempts_[i];
    if (isReady[i]) {
      done.emplace_back(attempt.tag, connect_backend::ReadOutcome(attempt.handle, attempt.address));
    } else if (now >= attempt.deadline) {
      done.emplace_back(attempt.tag, ConnectSettlement{ConnectOutcome::Timeout, {}, 0, {}});
    } else {
      still.push_back(std::move(attempt));
      continue;
    }
    attempt.socket.Close();
  }
  attempts_ = std::move(still);
  for (const auto& [tag, settlement] : done) settled(tag, settlement);
}

}  // namespace rk
