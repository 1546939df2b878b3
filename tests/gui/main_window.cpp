// gui_harness.exe window|no-icmp|keyboard
//   <client>\Reachkit\Reachkit.exe [ARG];
// no-icmp: ICMP disabled by WINEDLLOVERRIDES, which the program inherits; keyboard: the focus
// around a run and the image buttons' keys (that runs never overlap, however fast the commands
// come, is the run controller's unit test).

#include "base/format.h"
#include "base/texts.h"
#include "config/client_paths.h"
#include "config/host_catalogue.h"
#include "config/profile_store.h"
#include "harness.h"
#include "resource.h"

using namespace harness;
using rk::Format;

namespace {

int Darkest(COLORREF c) { return std::min({GetRValue(c), GetGValue(c), GetBValue(c)}); }

struct MainWindow : Program {
  using Program::Program;
  RECT At(int id) const { return RectIn(main(), Item(id)); }
  Pixels Look(int id) const { return Grab(RectIn(nullptr, Item(id))); }
  void Select(int i) const { SendMessageW(Item(IDC_HOST_COMBO), CB_SETCURSEL, WPARAM(i), 0); }
  auto Hosts() const { return Items(Item(IDC_HOST_COMBO), CB_GETCOUNT, CB_GETLBTEXT); }
  // A key as typed: into the program's input queue, to whichever window has the focus.
  void Key(WORD vk) const {
    SetForegroundWindow(main());
    INPUT keys[2] = {};
    for (INPUT& in : keys) in.type = INPUT_KEYBOARD, in.ki.wVk = vk;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
    Sleep(150);
  }
};

void Ping(const MainWindow& w, const std::string& host) {
  w.Click(IDC_BTN_PING);
  Check(w.TestsEnabled(false) && Enabled(w.Item(IDC_BTN_CLEAR)) &&
            Enabled(w.Item(IDC_BTN_PROXY_SETTING)) && Enabled(w.Item(IDC_HOST_COMBO)),
        "during Ping only Ping, TraceRT and Telnet are disabled");
  Sleep(300);
  const Pixels faded = w.Look(IDC_BTN_PING);
  int darkest = 255, face = Darkest(GetSysColor(COLOR_BTNFACE));
  for (DWORD c : faded.bgrx) darkest = std::min(darkest, Darkest(c));
  Check(Darkest(faded.At(1, 1)) == face && darkest < face && darkest >= face - 30,
        Format("disabled: the faded picture over the face colour (darkest %d)", darkest));
  Check(WaitFor([&] { return w.TestsEnabled(true); }, 40000), "all enabled again after Ping");
  // The lines themselves are the run's unit test: here the list shows them all, newest chosen.
  const auto lines = w.Lines();
  Check(lines.size() == 7 && lines[0] == Format(rk::text::kPingHeaderFormat, host.c_str(), host.c_str()) &&
            lines[6] == rk::text::kPingEnd &&
            SendMessageW(w.Item(IDC_RESULT_LIST), LB_GETCURSEL, 0, 0) == 6,
        Format("Ping: a header, five echoes, the end, newest selected (%zu)", lines.size()));
  w.Click(IDC_BTN_PING);
  WaitFor([&] { return w.Count() >= 9; });
  w.Click(IDC_BTN_CLEAR);
  Check(w.Count() == 0, "Clear during a run empties the list at once");
  WaitFor([&] { return w.TestsEnabled(true); }, 40000);
  const auto after = w.Lines();
  Check(!after.empty() && after.size() < 7 && after.back() == rk::text::kPingEnd,
        "the run writes on into the emptied list");
}

// Telnet on a Local host without a port fails at once, one line per click: a double click on
// an owner-drawn button is two clicks.
void DoubleClick(const MainWindow& w, int noPortIndex) {
  if (!Check(noPortIndex >= 0, "the demo client has a Local host without a port")) return;
  w.Click(IDC_BTN_CLEAR);
  w.Select(noPortIndex);
  const UINT clicks[] = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP};
  for (UINT message : clicks)
    PostMessageW(w.Item(IDC_BTN_TELNET), message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, 0);
  Check(WaitFor([&] { return w.Count() == 2; }, 5000), "a double click counts as two clicks");
}

void WindowScenario(const std::string& exe, const rk::HostCatalogue& catalogue) {
  const auto& ports = catalogue.localPorts;
  const auto noPort = std::find(ports.begin(), ports.end(), 0) - ports.begin();
  {
    MainWindow w(exe);
    if (!Check(w.Shown(), "a window of class \"Reachkit\"")) return;
    std::string order;
    for (HWND c = GetWindow(w.main(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
      order += Format(" %d", GetDlgCtrlID(c));
    // As the eye reads: the settings buttons, the host list, the tools, the result list.
    Check(order == " 3000 3001 1007 3010 3011 3013 3012 1006 1026 1027 1028 1029 1030 1031 3002",
          "controls in tab order:" + order);
    Check(Text(w.main()) == Format("%s v4.0.1", rk::text::kAppCaption) && !w.Find("#32770") &&
              w.Hosts() == catalogue.labels && !catalogue.labels.empty(),
          "title, no message box, the catalogue's hosts");
    PostMessageW(w.main(), WM_SYSCOMMAND, 0x13, 0);  // the About command; low bits do not count
    const HWND about = w.WaitDialog(rk::text::kAboutCaption);
    Check(about != nullptr, "the About box opens from its system command");
    PostMessageW(about, WM_COMMAND, IDCANCEL, 0);
    WaitFor([&] { return !IsWindowVisible(about); });
    Ping(w, catalogue.hostTexts.at(0));
    DoubleClick(w, noPort < std::ssize(ports) ? catalogue.serverSectionCount + int(noPort) : -1);
    w.Close();
  }
}

// One Local host on loopback: Ping is all the keyboard run needs. Escape during the run ends
// the program as closing it does.
void KeyboardScenario(const std::string& exe, const std::string& folder) {
  MainWindow w(Tree(exe, folder + "\\client",
                    {"\\Sys\\O_Tradedesk.ini", "[Config]\nFileName=Hosts.ini\n", "\\Sys\\Hosts.ini",
                     "[Local]\nCount=1\nIP_1=127.0.0.1\nPort_1=1\n"}));
  if (!Check(w.Shown(), "the program starts for the keyboard run")) return;
  const HWND ping = w.Item(IDC_BTN_PING), list = w.Item(IDC_RESULT_LIST);
  const LRESULT code = SendMessageW(ping, WM_GETDLGCODE, 0, 0);
  Check((code & DLGC_BUTTON) && (code & (DLGC_UNDEFPUSHBUTTON | DLGC_DEFPUSHBUTTON)),
        Format("an image button is a push button for the dialog (code %#lx)", long(code)));
  PostMessageW(w.main(), WM_NEXTDLGCTL, WPARAM(ping), TRUE);
  WaitFor([&] { return w.Focus() == ping; }, 3000);
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

void NoIcmpScenario(const std::string& exe, const rk::HostCatalogue& catalogue) {
  MainWindow w(exe);
  Check(w.TakeMessageBox() == rk::text::kIcmpFunctionsMissing, "the message without ICMP");
  if (!Check(w.Shown(), "then the main window")) return;
  bool none = true;
  for (int id : {3000, 3001, 3002, 3010, 3011, 3012, 3013}) none = none && !w.Item(id);
  RECT client{};
  GetClientRect(w.main(), &client);
  Check(none && w.Hosts() == catalogue.labels && w.At(IDC_NETWORK_LINE).right != client.right - 15,
        "the host list, no buttons, no preference label, no layout");
  w.Close();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string mode = argv[1], exe = argv[2], arg = argc > 3 ? argv[3] : "";
  if (mode == "keyboard") {
    KeyboardScenario(exe, arg);
  } else {
    const rk::ClientPaths paths(exe.substr(0, exe.rfind('\\', exe.rfind('\\') - 1)), '\\');
    (mode == "window" ? WindowScenario : NoIcmpScenario)(exe, rk::BuildHostCatalogue(rk::SystemProfileStore(), paths));
  }
  return std::printf("%d failed\n", g_failures), g_failures == 0 ? 0 : 1;
}
