// The keyboard around a run: the focus survives a run, and the image buttons take Enter and
// Space. (That runs never overlap, however fast the commands come, is the run controller's
// unit test.)
#include "base/format.h"
#include "harness.h"
#include "resource.h"

using namespace harness;
using rk::Format;

namespace {

struct Window : Program {
  using Program::Program;
  HWND Focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(main(), nullptr), &info);
    return info.hwndFocus;
  }
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
  // One Local host on loopback: Ping is all the keyboard run needs.
  KeyboardRun(Tree(exe, folder + "\\client",
                   {"\\Sys\\O_Tradedesk.ini", "[Config]\nFileName=Hosts.ini\n", "\\Sys\\Hosts.ini",
                    "[Local]\nCount=1\nIP_1=127.0.0.1\nPort_1=1\n"}));
  return std::printf("%d failed\n", g_failures), g_failures == 0 ? 0 : 1;
}
