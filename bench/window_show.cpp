// window_show.exe startup|demo <client>\\Reachkit\\Reachkit.exe [RUNS | SHOT]
// Reachkit.exe shown on a client tree, driven from outside as the window tests drive it.
//   startup RUNS  times RUNS starts of the process to its shown, laid-out window (gui_bench.sh);
//   demo SHOT     pings the first host and saves the window (SHOT), then checks every host and
//                 saves the check window (SHOT-check.png), then the watch window after half a
//                 minute with the first row chosen (SHOT-watch.png): the README's pictures.
#include <algorithm>
#include <cstdlib>

#include "base/texts.h"
#include "harness.h"
#include "resource.h"

using namespace harness;

namespace {

int Show(const std::string& exe, int runs, const std::string& shot) {
  std::vector<double> seconds;
  for (int i = 0; i < runs; ++i) {
    const ULONGLONG start = GetTickCount64();
    Program w(exe);
    if (!w.Shown() || !WaitFor([&] { return RectIn(w.main(), w.Item(IDC_BTN_CLEAR)).right > 0; })) return 1;
    seconds.push_back(double(GetTickCount64() - start) / 1000);
    std::printf("run %d: window shown %.3f s after process start\n", i + 1, seconds.back());
    if (!shot.empty()) {
      w.Click(IDC_BTN_PING);
      bool ended = WaitFor([&] { return w.TestsEnabled(true); }, 40000);
      for (const std::string& line : w.Lines()) std::printf("  %s\n", line.c_str());
      SetCursorPos(0, 0);
      Sleep(300);
      if (!ended || !Grab(RectIn(nullptr, w.main()), shot).saved) return 1;
      // Then the check window once its check has ended: a second picture beside the first.
      PostMessageW(w.main(), WM_SYSCOMMAND, 0x20, 0);
      HWND check = nullptr;
      WaitFor([&] { return (check = w.Find("#32770", rk::text::kCheckWindowTitle)) != nullptr; });
      if (!check || !WaitFor([&] { return !Enabled(GetDlgItem(check, IDC_CHECK_STOP)); }, 60000)) return 1;
      std::printf("  %s\n  %s\n", Text(GetDlgItem(check, IDC_CHECK_CONCLUSION)).c_str(),
                  Text(GetDlgItem(check, IDC_CHECK_PROGRESS)).c_str());
      Sleep(300);
      const std::string checkShot = shot.substr(0, shot.rfind('.')) + "-check.png";
      if (!Grab(RectIn(nullptr, check), checkShot).saved) return 1;
      PostMessageW(check, WM_COMMAND, IDC_CHECK_CLOSE, 0);
      WaitFor([&] { return !IsWindow(check); });
      // And the watch window after half a minute, the row of the listening port chosen.
      PostMessageW(w.main(), WM_SYSCOMMAND, IDM_WATCH, 0);
      HWND watch = nullptr;
      WaitFor([&] { return (watch = w.Find("#32770", rk::text::kWatchWindowTitle)) != nullptr; });
      if (!watch) return 1;
      Sleep(30000);
      const HWND rows = GetDlgItem(watch, IDC_WATCH_LIST);
      SetForegroundWindow(watch);
      SetFocus(rows);
      PostMessageW(rows, WM_KEYDOWN, VK_DOWN, 0);
      Sleep(1500);
      if (!Grab(RectIn(nullptr, watch), shot.substr(0, shot.rfind('.')) + "-watch.png").saved) return 1;
      PostMessageW(watch, WM_COMMAND, IDC_WATCH_CLOSE, 0);
      WaitFor([&] { return !IsWindow(watch); });
    }
    w.Close();
  }
  std::sort(seconds.begin(), seconds.end());
  std::printf("median %.3f s over %d runs\n", seconds[seconds.size() / 2], runs);
  return g_failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string mode = argv[1], exe = argv[2], arg = argc > 3 ? argv[3] : "";
  if (mode == "demo") return Show(exe, 1, arg);
  if (mode == "startup") return Show(exe, std::max(1, std::atoi(arg.c_str())), "");
  return 2;
}
