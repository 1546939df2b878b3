// check_window_bench.exe CLIENT_ROOT PROGRAM [ENDPOINTS]: the check window under load. Writes a
// client whose Local hosts are ENDPOINTS (317) loopback ports, half refused and half never
// answering (listeners that never accept, their queue of one filled), starts PROGRAM (copied
// into CLIENT_ROOT\Reachkit), opens its check window and measures the time until every row has
// its verdict, the program's processor time meanwhile, and how long its window took to answer
// a sent message, sampled every 20 ms. Targets: the connect time-out (10 s) + 1 s, and 100 ms.
#include <winsock2.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "base/format.h"
#include "base/texts.h"
#include "resource.h"

namespace {

int Bound(SOCKET s) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int size = sizeof address;
  bind(s, reinterpret_cast<sockaddr*>(&address), size);
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
  return ntohs(address.sin_port);
}

std::string Text(HWND window) {
  wchar_t text[512] = {};
  DWORD_PTR n = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, 512, LPARAM(text), SMTO_ABORTIFHUNG, 2000, &n);
  char out[1024] = {};
  WideCharToMultiByte(CP_ACP, 0, text, int(n), out, sizeof out - 1, nullptr, nullptr);
  return out;
}

double Seconds(const FILETIME& t) {
  return double((ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string root = argv[1], exe = argv[2];
  const int endpoints = argc > 3 ? std::atoi(argv[3]) : 317;
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);

  std::vector<SOCKET> keep;
  std::string hosts = rk::Format("[Local]\r\nCount=%d\r\n", endpoints);
  for (int i = 1; i <= endpoints; ++i) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    const int port = Bound(s);
    if (i % 2 == 1) {
      closesocket(s);  // refused
    } else {
      listen(s, 0);
      keep.push_back(s);
      for (int f = 0; f < 2; ++f) {
        SOCKET fill = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        u_long on = 1;
        ioctlsocket(fill, static_cast<long>(static_cast<unsigned long>(FIONBIO)), &on);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        to.sin_port = htons(u_short(port));
        connect(fill, reinterpret_cast<sockaddr*>(&to), sizeof to);
        keep.push_back(fill);
      }
    }
    hosts += rk::Format("IP_%d=127.0.0.1\r\nPort_%d=%d\r\n", i, i, port);
  }
  for (const char* sub : {"", "\\Sys", "\\Bin", "\\Reachkit"}) CreateDirectoryA((root + sub).c_str(), nullptr);
  std::ofstream(root + "\\Sys\\VekTradedesk.ini", std::ios::binary) << hosts;
  std::ofstream(root + "\\Bin\\BaseConfig.ini", std::ios::binary) << "[DC]\r\nClientToNMPortTry=\r\n";
  const std::string program = root + "\\Reachkit\\Reachkit.exe";
  CopyFileA(exe.c_str(), program.c_str(), FALSE);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::string command = "\"" + program + "\"";
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return 1;
  HWND main = nullptr, check = nullptr;
  for (int i = 0; i < 1500 && !(main = FindWindowA("Reachkit", nullptr)); ++i) Sleep(20);
  Sleep(500);
  FILETIME created, exited, kernelBefore, userBefore, kernelAfter, userAfter;
  GetProcessTimes(process.hProcess, &created, &exited, &kernelBefore, &userBefore);
  const ULONGLONG start = GetTickCount64();
  PostMessageW(main, WM_SYSCOMMAND, IDM_CHECK_ALL, 0);
  for (int i = 0; i < 500 && !(check = FindWindowA("#32770", rk::text::kCheckWindowTitle)); ++i) Sleep(10);
  const std::string done = rk::Format(rk::text::kCheckProgressFormat, endpoints, endpoints);
  ULONGLONG slowest = 0, finished = 0;
  while (check && GetTickCount64() - start < 60000) {
    const ULONGLONG asked = GetTickCount64();
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(check, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
    slowest = std::max(slowest, GetTickCount64() - asked);
    if (Text(GetDlgItem(check, IDC_CHECK_PROGRESS)).rfind(done, 0) == 0 &&
        !IsWindowEnabled(GetDlgItem(check, IDC_CHECK_STOP))) {
      finished = GetTickCount64() - start;
      break;
    }
    Sleep(20);
  }
  GetProcessTimes(process.hProcess, &created, &exited, &kernelAfter, &userAfter);
  const double cpu = Seconds(kernelAfter) + Seconds(userAfter) - Seconds(kernelBefore) - Seconds(userBefore);
  std::printf("%d endpoints (half refused, half never answering): every verdict in %.2f s, "
              "program processor time %.2f s, slowest answer to a sent message %llu ms\n",
              endpoints, double(finished) / 1000, cpu, slowest);
  std::printf("%s - every verdict within the connect time-out + 1 s (11 s)\n",
              finished > 0 && finished <= 11000 ? "PASS" : "FAIL");
  std::printf("%s - the window answers a sent message within 100 ms throughout\n",
              slowest <= 100 ? "PASS" : "FAIL");
  PostMessageW(main, WM_CLOSE, 0, 0);
  if (check) PostMessageW(check, WM_COMMAND, IDC_CHECK_CLOSE, 0);
  Sleep(300);
  PostMessageW(main, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 9);
  for (SOCKET s : keep) closesocket(s);
  WSACleanup();
  return finished > 0 && finished <= 11000 && slowest <= 100 ? 0 : 1;
}
