// Order matters: winsock2.h before windows.h, and iphlpapi.h (which brings
// the records IP_OPTION_INFORMATION and ICMP_ECHO_REPLY) before icmpapi.h.
#include <winsock2.h>

#include <windows.h>

#include <iphlpapi.h>

#include <icmpapi.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "probes/icmp_echo.h"

namespace rk {

namespace {

using IcmpCreateFileFn = HANDLE(WINAPI*)();
using IcmpSendEchoFn = DWORD(WINAPI*)(HANDLE, IPAddr, LPVOID, WORD, PIP_OPTION_INFORMATION, LPVOID,
                                      DWORD, DWORD);
using IcmpCloseHandleFn = BOOL(WINAPI*)(HANDLE);

template <typename Fn>
Fn EntryPoint(HMODULE module, const char* name) {
  const FARPROC address = GetProcAddress(module, name);
  Fn typed = nullptr;
  static_assert(sizeof typed == sizeof address);
  std::memcpy(&typed, &address, sizeof typed);
  return typed;
}

// The process-wide state: decided by the first Initialize, read-only after
// it, released once when the process ends.
class IcmpLibrary {
 public:
  IcmpLibrary() = default;
  IcmpLibrary(const IcmpLibrary&) = delete;
  IcmpLibrary& operator=(const IcmpLibrary&) = delete;
  ~IcmpLibrary() {
    if (module_ != nullptr) {
      FreeLibrary(module_);
      module_ = nullptr;
    }
    // Only our own start is ended: a WSACleanup without a matching start
    // would end one that belongs to someone else (the application's).
    if (socketsStarted_) WSACleanup();
  }

  bool Initialize() {
    const std::lock_guard lock(mutex_);
    if (initialized_) return Ready();
    initialized_ = true;
    WSADATA data{};
    if (WSAStartup(0x0101, &data) != 0) return false;
    socketsStarted_ = true;
    module_ = LoadLibraryA("ICMP.DLL");
    if (module_ == nullptr) return false;
    create_ = EntryPoint<IcmpCreateFileFn>(module_, "IcmpCreateFile");
    send_ = EntryPoint<IcmpSendEchoFn>(module_, "IcmpSendEcho");
    close_ = EntryPoint<IcmpCloseHandleFn>(module_, "IcmpCloseHandle");
    return Ready();
  }

  int SendEcho(uint32_t destination, EchoResult& result, int ttl, uint32_t timeoutMs, int dataSize,
               int noOptions) {
    IcmpCreateFileFn create;
    IcmpSendEchoFn send;
    IcmpCloseHandleFn close;
    {
      const std::lock_guard lock(mutex_);
      if (!Ready()) return 0;
      create = create_;
      send = send_;
      close = close_;
    }
    const HANDLE handle = create();
    if (handle == INVALID_HANDLE_VALUE) return 0;

    IP_OPTION_INFORMATION options{};
    options.Ttl = static_cast<UCHAR>(static_cast<unsigned>(ttl) & 0xFFu);
    const auto payloadSize = static_cast<WORD>(static_cast<unsigned>(dataSize) & 0xFFu);
    // At least one byte is allocated so that an empty request still passes a
    // valid pointer.
    std::vector<unsigned char> payload(std::max<std::size_t>(payloadSize, 1), kEchoPayloadByte);
    // One reply record and room for the answer's data, at least the 8 bytes of
    // an error report's quote. The record holds a pointer, so it is 28 bytes
    // in a 32-bit program and 40 in a 64-bit one; sizeof gives the record
    // that this build's ICMP.DLL writes.
    const DWORD replySize =
        static_cast<DWORD>(sizeof(ICMP_ECHO_REPLY) + std::max<std::size_t>(payloadSize, 8));
    std::vector<unsigned char> replyBuffer(replySize, 0);

    const DWORD replies =
        send(handle, static_cast<IPAddr>(destination), payload.data(), payloadSize,
             noOptions != 0 ? nullptr : &options, replyBuffer.data(), replySize, timeoutMs);
    if (replies == 1) {
      // The status is not looked at: a router's report about the request is
      // an answer from that router, as the destination's echo reply is.
      ICMP_ECHO_REPLY reply{};
      std::memcpy(&reply, replyBuffer.data(), sizeof reply);
      result.replyAddress = static_cast<uint32_t>(reply.Address);
      result.roundTripMs = static_cast<uint32_t>(reply.RoundTripTime);
      // IP_DEST_NET_UNREACHABLE .. IP_DEST_PORT_UNREACHABLE: a router's report.
      result.unreachable = reply.Status >= 11002 && reply.Status <= 11005;
    } else {
      result.errorCode = static_cast<uint32_t>(GetLastError());
    }
    close(handle);
    return 1;
  }

 private:
  [[nodiscard]] bool Ready() const {
    return create_ != nullptr && send_ != nullptr && close_ != nullptr;
  }

  std::mutex mutex_;
  bool initialized_ = false;
  bool socketsStarted_ = false;
  HMODULE module_ = nullptr;  // owned
  IcmpCreateFileFn create_ = nullptr;
  IcmpSendEchoFn send_ = nullptr;
  IcmpCloseHandleFn close_ = nullptr;
};

IcmpLibrary& Library() {
  static IcmpLibrary library;
  return library;
}

}  // namespace

bool IcmpEchoService::Initialize() { return Library().Initialize(); }

// ICMP.DLL's wait cannot be cut short; it ends by itself within timeoutMs,
// so `stop` is not looked at here.
int IcmpEchoService::SendEcho(uint32_t destination, EchoResult& result, int ttl, uint32_t timeoutMs,
                              int dataSize, int noOptions, const StopFlag* /*stop*/) {
  return Library().SendEcho(destination, result, ttl, timeoutMs, dataSize, noOptions);
}

// ICMP.DLL waits for one answer per call, so the batch is one call per
// request, all on threads at once.
bool IcmpEchoService::SendEchoBatch(std::span<const EchoRequest> requests,
                                    std::span<EchoResult> results, uint32_t timeoutMs,
                                    const StopFlag* stop) {
  return EchoService::SendEchoBatch(requests, results, timeoutMs, stop);
}

const char* IcmpPermissionHint() { return ""; }

}  // namespace rk
