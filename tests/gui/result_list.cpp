// result_list_harness.exe CLIENT_ROOT RO_FOLDER: the result list's copy and save commands and
// the check of every host, on a client tree of loopback hosts that this harness
// writes (one port listening, one refused, one name that must not resolve).
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <tuple>

#include "base/format.h"
#include "base/texts.h"
#include "harness.h"
#include "resource.h"

using namespace harness;
using rk::Format;
using Strings = std::vector<std::string>;

namespace {

constexpr int kOpenLocal = 1;  // host 0: the server host on both ports; 2: refused; 3: no name

struct Window : Program {
  using Program::Program;
  HWND List() const { return Item(IDC_RESULT_LIST); }
  Strings Lines() const { return Items(List(), LB_GETCOUNT, LB_GETTEXT); }
  void Command(int id) const { PostMessageW(main(), WM_COMMAND, WPARAM(id), 0); }
  void Click(int id) const { SendMessageW(Item(id), BM_CLICK, 0, 0); }
  bool TestsEnabled(bool on) const {
    return Enabled(Item(IDC_BTN_PING)) == on && Enabled(Item(IDC_BTN_TRACERT)) == on &&
           Enabled(Item(IDC_BTN_TELNET)) == on;
  }
  // A shown window of this program of `className` other than the main window.
  HWND Popup(const char* className, int ms = 5000) const {
    HWND found = nullptr;
    WaitFor([&] { return (found = Find(className)) != nullptr; }, ms);
    return found;
  }
};

std::string Ansi(const wchar_t* text) {
  const int n = int(wcslen(text));
  std::string out(size_t(n) * 2, '\0');
  out.resize(size_t(WideCharToMultiByte(CP_ACP, 0, text, n, out.data(), 2 * n, nullptr, nullptr)));
  return out;
}

// The clipboard's text in both forms: CF_UNICODETEXT as ANSI, and CF_TEXT's bytes.
std::pair<std::string, std::string> Clipboard() {
  std::pair<std::string, std::string> texts{"<none>", "<none>"};
  if (!WaitFor([] { return OpenClipboard(nullptr) != FALSE; }, 3000)) return texts;
  if (HANDLE wide = GetClipboardData(CF_UNICODETEXT)) {
    texts.first = Ansi(static_cast<const wchar_t*>(GlobalLock(wide)));
    GlobalUnlock(wide);
  }
  if (HANDLE bytes = GetClipboardData(CF_TEXT)) {
    texts.second = static_cast<const char*>(GlobalLock(bytes));
    GlobalUnlock(bytes);
  }
  CloseClipboard();
  return texts;
}

void ClearClipboard() {
  if (WaitFor([] { return OpenClipboard(nullptr) != FALSE; }, 3000)) {
    EmptyClipboard();
    CloseClipboard();
  }
}

std::string Joined(const Strings& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) text += (i ? "\r\n" : "") + lines[i];
  return text;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return in ? bytes.str() : std::string("<missing>");
}

std::string Utf8(const std::string& ansi) {
  const int n = int(ansi.size());
  std::wstring wide(size_t(n), L'\0');
  wide.resize(size_t(MultiByteToWideChar(CP_ACP, 0, ansi.data(), n, wide.data(), n)));
  std::string out(wide.size() * 4, '\0');
  out.resize(size_t(WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), out.data(),
                                        int(out.size()), nullptr, nullptr)));
  return out;
}

size_t FilesIn(const std::string& folder) {
  size_t count = 0;
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
    count += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  return count;
}

// A listening loopback socket (open) and a port nothing listens on (refused).
struct Ports {
  SOCKET listener = INVALID_SOCKET;
  int open = 0, refused = 0;
  Ports() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    auto bound = [](SOCKET s) {
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      int size = sizeof address;
      bind(s, reinterpret_cast<sockaddr*>(&address), size);
      getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
      return int(ntohs(address.sin_port));
    };
    listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    open = bound(listener);
    listen(listener, 64);
    SOCKET closed = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    refused = bound(closed);
    closesocket(closed);
  }
  ~Ports() {
    closesocket(listener);
    WSACleanup();
  }
};

// The client tree: one server host (both ports), then three Local hosts: open, refused,
// and a name that the program is told not to resolve. Returns the program's path.
std::string WriteClient(const std::string& exe, const std::string& root, const Ports& ports,
                        bool noHosts) {
  for (const char* sub : {"", "\\Sys", "\\Bin", "\\Reachkit"})
    CreateDirectoryA((root + sub).c_str(), nullptr);
  const std::pair<const char*, std::string> files[] = {
      {"\\Sys\\ZentickConSet.ini",
       noHosts ? "" : "[Tradedesk]\r\nName=Order1\r\n[Order1]\r\nNMIP=127.0.0.1\r\n"},
      {"\\Sys\\VekTradedesk.ini",
       noHosts ? ""
               : Format("[Local]\r\nCount=3\r\nIP_1=127.0.0.1\r\nPort_1=%d\r\nIP_2=127.0.0.1\r\n"
                        "Port_2=%d\r\nIP_3=unresolvable.invalid\r\nPort_3=%d\r\n",
                        ports.open, ports.refused, ports.open)},
      {"\\Bin\\BaseConfig.ini",
       Format("[DC]\r\nClientToNMPortTry=%d,%d\r\n", ports.open, ports.refused)},
  };
  for (const auto& [name, bytes] : files) std::ofstream(root + name, std::ios::binary) << bytes;
  const std::string program = root + "\\Reachkit\\Reachkit.exe";
  CopyFileA(exe.c_str(), program.c_str(), FALSE);
  return program;
}

void CopyAndMenu(const Window& w) {
  w.Click(IDC_BTN_CLEAR);
  SendMessageW(w.Item(IDC_HOST_COMBO), CB_SETCURSEL, kOpenLocal, 0);
  w.Click(IDC_BTN_TELNET);
  WaitFor([&] { return w.TestsEnabled(true) && w.Lines().size() == 2; });
  SendMessageW(w.Item(IDC_HOST_COMBO), CB_SETCURSEL, 3, 0);  // the name not looked up: one line
  w.Click(IDC_BTN_TELNET);
  WaitFor([&] { return w.Lines().size() == 3; });
  const Strings lines = w.Lines();
  if (!Check(lines.size() == 3 && lines[1].rfind(std::string(rk::text::kConnectSucceededFormat, 8), 0) == 0,
             Format("three lines, a Chinese one among them (%zu)", lines.size())))
    return;

  ClearClipboard();
  SendMessageW(w.List(), LB_SETCURSEL, 1, 0);
  w.Command(IDM_COPY_LINE);
  Check(WaitFor([] { return Clipboard().first != "<none>"; }, 3000) &&
            Clipboard() == std::pair(lines[1], lines[1]),
        "33000 copies the selected line, as Unicode and as code page 950");
  w.Command(IDM_COPY_ALL);
  Check(WaitFor([&] { return Clipboard().first == Joined(lines); }, 3000) &&
            Clipboard().second == Joined(lines),
        "33001 copies exactly the list's lines, joined by CR LF, in both forms");

  // Another program holds the clipboard: a message after a bounded wait, no hang.
  if (Check(OpenClipboard(nullptr) != FALSE, "the harness takes the clipboard")) {
    const ULONGLONG start = GetTickCount64();
    w.Command(IDM_COPY_ALL);
    const std::string message = w.TakeMessageBox();
    const ULONGLONG waited = GetTickCount64() - start;
    CloseClipboard();
    Check(message == rk::text::kClipboardBusy && waited < 5000,
          Format("a held clipboard gives the busy message after %llu ms", waited));
  }
}

// The save dialog of the program: its file-name field set to `path` and OK pressed (or
// Cancel when `path` is empty). Returns the default name the dialog offered.
std::string Save(const Window& w, const std::string& path) {
  w.Command(IDM_SAVE_REPORT);
  HWND dialog = w.Popup("#32770");
  if (!dialog) return "<no save dialog>";
  HWND name = nullptr;
  WaitFor([&] { return (name = GetDlgItem(dialog, 0x47c)) || (name = GetDlgItem(dialog, 0x480)); });
  const std::string offered = Text(name);
  if (path.empty()) {
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  } else {
    SendMessageA(name, WM_SETTEXT, 0, LPARAM(path.c_str()));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  }
  WaitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); });
  return offered;
}

void SaveReport(const Window& w, const std::string& root, const std::string& readOnly,
                const Ports& ports) {
  const std::string folder = root + "\\saved", path = folder + "\\report.txt";
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string offered = Save(w, "");
  bool dated = offered.size() == 35 && offered.rfind("Reachkit-report-", 0) == 0 &&
               offered.substr(offered.size() - 4) == ".txt" && offered[24] == '-';
  for (size_t i : {16u, 23u, 25u, 30u}) dated = dated && isdigit((unsigned char)offered[i]);
  Check(dated, "the dialog offers Reachkit-report-YYYYMMDD-HHMMSS.txt: " + offered);
  Check(FilesIn(folder) == 0 && w.Find("#32770") == nullptr, "a cancelled save writes nothing");

  Save(w, path);
  WaitFor([&] { return ReadFile(path) != "<missing>"; }, 5000);
  const std::string report = ReadFile(path);
  bool named = report.rfind("\xEF\xBB\xBF", 0) == 0 && report.find(Utf8(root)) != std::string::npos;
  for (const std::string& endpoint :
       {Format("127.0.0.1:%d", ports.open), Format("127.0.0.1:%d", ports.refused),
        Format("unresolvable.invalid:%d", ports.open)})
    named = named && report.find(endpoint) != std::string::npos;
  for (const std::string& line : w.Lines()) named = named && report.find(Utf8(line)) != std::string::npos;
  Check(named, "the report: UTF-8 with BOM, the client root, every endpoint, every line");
  const std::string blocked = readOnly + "\\report.txt";
  Save(w, blocked);
  Check(w.TakeMessageBox() == Format(rk::text::kSaveFailedFormat, blocked.c_str()),
        "a save into a folder that cannot be written names the file in a message box");
  Check(ReadFile(blocked) == "<missing>", "and writes nothing there");
}

// The check of every host from the system menu: one line per endpoint, the causes, the
// summary last; the test buttons off during the run and on after it.
void CheckAll(const Window& w, const Ports& ports) {
  w.Click(IDC_BTN_CLEAR);
  PostMessageW(w.main(), WM_SYSCOMMAND, IDM_CHECK_ALL, 0);
  Check(WaitFor([&] { return w.TestsEnabled(false); }, 5000) && Enabled(w.Item(IDC_BTN_CLEAR)),
        "during the check Ping, TraceRT and Telnet are disabled, Clear is not");
  const std::string summary = std::string(rk::text::kCheckSummaryFormat).substr(0, 8);
  Check(WaitFor([&] { return w.TestsEnabled(true); }, 40000), "all enabled again after the check");
  const Strings lines = w.Lines();
  const Strings hosts = Items(w.Item(IDC_HOST_COMBO), CB_GETCOUNT, CB_GETLBTEXT);
  const std::string open = Format("127.0.0.1:%d", ports.open),
                    refused = Format("127.0.0.1:%d", ports.refused),
                    unresolved = Format("unresolvable.invalid:%d", ports.open);
  // Host, endpoint, verdict: each exactly once, in whatever order the verdicts arrived.
  const std::tuple<int, std::string, const char*> endpoints[] = {
      {0, open, rk::text::kVerdictOpen}, {0, refused, rk::text::kVerdictRefused},
      {1, open, rk::text::kVerdictOpen}, {2, refused, rk::text::kVerdictRefused},
      {3, unresolved, rk::text::kVerdictUnresolved}};
  bool each = lines.size() >= 6 && hosts.size() == 4;
  for (const auto& [host, endpoint, verdict] : endpoints) {
    const std::string head = (hosts.size() == 4 ? hosts[size_t(host)] : "") + "  " + endpoint +
                             "  " + verdict;
    each = each && std::count_if(lines.begin(), lines.begin() + std::min<std::ptrdiff_t>(5, std::ssize(lines)),
                                 [&](const std::string& l) { return l.rfind(head, 0) == 0; }) == 1;
  }
  Check(each, Format("first one line per endpoint: label, address:port, verdict (%zu lines)",
                     lines.size()));
  Check(!lines.empty() && lines.back().rfind(summary, 0) == 0, "the summary line last: " +
        (lines.empty() ? std::string() : lines.back()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  const std::string exe = argv[1], root = argv[2], readOnly = argv[3];
  const Ports ports;
  SetEnvironmentVariableA("REACHKIT_TEST_NO_NAME_LOOKUP", "1");  // inherited by the program
  {
    Window w(WriteClient(exe, root, ports, false));
    if (Check(w.Shown(), "the window on the loopback client")) {
      CheckAll(w, ports);
      CopyAndMenu(w);
      SaveReport(w, root, readOnly, ports);
    }
    w.Close();
  }
  {
    Window w(WriteClient(exe, root + "-empty", ports, true));
    if (Check(w.Shown(), "the window on a client without hosts")) {
      PostMessageW(w.main(), WM_SYSCOMMAND, IDM_CHECK_ALL, 0);
      Check(WaitFor([&] {
              return w.Lines() == Strings{rk::text::kNoHostsToCheck} && w.TestsEnabled(true);
            }),
            "the check of an empty host list writes one line that says so");
    }
    w.Close();
  }
  return std::printf("%d failed\n", g_failures), g_failures == 0 ? 0 : 1;
}
