// Test runs met by a stream of commands, and the keyboard around a run: the window keeps
// answering, the focus survives a run, and the image buttons take Enter and Space.
#include <winsock2.h>

#include <thread>

#include "base/format.h"
#include "base/texts.h"
#include "harness.h"
#include "resource.h"

using namespace harness;
using rk::Format;

namespace {

// A loopback port that accepts (and drops) every connection, so each TCP test ends at once.
class OpenPort {
 public:
  OpenPort() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    if (bind(socket_, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
        listen(socket_, SOMAXCONN) == 0 &&
        getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size) == 0)
      port_ = ntohs(address.sin_port);
    accepter_ = std::thread([this] {
      for (SOCKET c; (c = accept(socket_, nullptr, nullptr)) != INVALID_SOCKET;) closesocket(c);
    });
  }
  ~OpenPort() {
    closesocket(socket_);  // ends the accept loop
    accepter_.join();
    WSACleanup();
  }
  int port() const { return port_; }

 private:
  SOCKET socket_ = INVALID_SOCKET;
  int port_ = 0;
  std::thread accepter_;
};

struct Window : Program {
  using Program::Program;
  HWND Focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(main(), nullptr), &info);
    return info.hwndFocus;
  }
  bool Answers() const {  // within a second
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(main(), WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result) != 0;
  }
  bool TestsEnabled(bool on) const {
    for (int id : {IDC_BTN_PING, IDC_BTN_TRACERT, IDC_BTN_TELNET})
      if (Enabled(Item(id)) != on) return false;
    return true;
  }
  int Count() const { return int(SendMessageW(Item(IDC_RESULT_LIST), LB_GETCOUNT, 0, 0)); }
  auto Lines() const { return Items(Item(IDC_RESULT_LIST), LB_GETCOUNT, LB_GETTEXT); }
  void FocusOn(int id) const {
    PostMessageW(main(), WM_NEXTDLGCTL, WPARAM(Item(id)), TRUE);
    WaitFor([&] { return Focus() == Item(id); }, 3000);
  }
  // A key as typed: into the program's input queue, to whichever window has the focus.
  void Key(WORD vk, bool shift = false) const {
    SetForegroundWindow(main());
    std::vector<INPUT> keys;
    auto add = [&](WORD key, DWORD flags) {
      INPUT in{};
      in.type = INPUT_KEYBOARD;
      in.ki.wVk = key;
      in.ki.dwFlags = flags;
      keys.push_back(in);
    };
    if (shift) add(VK_SHIFT, 0);
    add(vk, 0);
    add(vk, KEYEVENTF_KEYUP);
    if (shift) add(VK_SHIFT, KEYEVENTF_KEYUP);
    SendInput(UINT(keys.size()), keys.data(), sizeof(INPUT));
    Sleep(150);
  }
};

// The lines of many runs, one after the other: each run's header, then its lines, then its
// end; a header inside another run would mean two tests at once.
bool WellFormedRuns(const std::vector<std::string>& lines, int port, std::string& why) {
  const std::string connected = Format(rk::text::kConnectSucceededFormat, "127.0.0.1", port);
  bool open = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const bool header = lines[i].rfind("Telnet ", 0) == 0 || lines[i].rfind("TraceRT ", 0) == 0;
    const bool end = lines[i] == rk::text::kTargetReached || lines[i] == connected;
    if (header && open) return why = Format("a header inside a run at line %zu", i), false;
    if (header) open = true;
    if (end) open = false;
  }
  if (open) why = "the last run has no end";
  return !open;
}

// Hundreds of posted test commands, a few ms apart, each run ending within milliseconds.
void CommandStream(const std::string& exe, int port) {
  Window w(exe);
  if (!Check(w.Shown(), "the program starts on the open-port tree")) return;
  for (int i = 0; i < 400; ++i) {
    PostMessageW(w.main(), WM_COMMAND, i % 3 ? IDC_BTN_TELNET : IDC_BTN_TRACERT, 0);
    Sleep(DWORD(i % 7));
  }
  const bool answered = w.Answers();
  Check(answered, "after 400 posted test commands the window answers within 1 s");
  if (!answered) return;
  std::string why;
  Check(WaitFor([&] { return w.TestsEnabled(true); }, 20000) && WellFormedRuns(w.Lines(), port, why),
        "the buttons are enabled once the last run ends; runs never overlap " + why);
  w.Close();
}

void KeyboardRun(const std::string& exe) {
  Window w(exe);
  if (!Check(w.Shown(), "the program starts for the keyboard run")) return;
  const HWND ping = w.Item(IDC_BTN_PING), list = w.Item(IDC_RESULT_LIST);
  const LRESULT code = SendMessageW(ping, WM_GETDLGCODE, 0, 0);
  Check((code & DLGC_BUTTON) && (code & (DLGC_UNDEFPUSHBUTTON | DLGC_DEFPUSHBUTTON)),
        Format("an image button is a push button for the dialog (code %#lx)", long(code)));
  w.FocusOn(IDC_BTN_PING);
  w.Key(VK_SPACE);
  Check(WaitFor([&] { return w.TestsEnabled(false); }, 3000), "Space on the focused PING pings");
  Check(w.Focus() == list, "during the run the focus is on the result list");
  Check(WaitFor([&] { return w.TestsEnabled(true) && w.Focus() == ping; }, 30000),
        "after the run the focus is back on PING");
  const int before = w.Count();
  w.Key(VK_RETURN);
  Check(WaitFor([&] { return w.Count() > before; }, 3000) && !w.Exited(0),
        "Enter on the focused PING pings, the program stays");
  w.Key(VK_ESCAPE);
  Check(w.Exited(10000), "Escape during a run started from the keyboard ends the program");
}

}  // namespace

int RunKeyboard(const std::string& exe, const std::string& folder) {
  OpenPort open;
  Check(open.port() != 0, "a loopback port that accepts");
  const std::string tool = Tree(exe, folder + "\\client",
      {"\\Sys\\O_Tradedesk.ini", "[Config]\nFileName=Hosts.ini\n", "\\Sys\\Hosts.ini",
       Format("[Local]\nCount=1\nIP_1=127.0.0.1\nPort_1=%d\n", open.port())});
  CommandStream(tool, open.port());
  KeyboardRun(tool);
  return std::printf("%d failed\n", g_failures), g_failures == 0 ? 0 : 1;
}
