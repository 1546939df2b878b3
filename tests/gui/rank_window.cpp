// rank_window_harness.exe REACHKIT_EXE WORK_DIR [SCREENSHOT]: the ranking window on loopback
// locations: opened by the system menu, its table filled, 設為優先連線 storing the choice and the
// main window's preference label following; closed while a dark location is still measured.
#include "base/format.h"
#include "base/texts.h"
#include "harness.h"
#include "resource.h"
#include "support/os_probe.h"

using namespace harness;
using rk::Format;

namespace {

std::string Client(const std::string& exe, const std::string& root, const std::string& names,
                   const std::string& sections, int port) {
  return Tree(exe, root,
              {"\\Sys\\ZentickConSet.ini", "[Tradedesk]\r\nName=" + names + "\r\n" + sections,
               "\\Bin\\BaseConfig.ini", Format("[DC]\r\nClientToNMPortTry=%d\r\n", port),
               "\\Sys\\Reachkit.ini", Format("[Priority]\r\nCombo=Shut,%d,%d\r\n", port, port)});
}

// Near and Far answer, Shut (the stored priority location) refuses, Blank has no NMIP.
void RankAndStore(const std::string& exe, const std::string& work, const std::string& shot) {
  const rk::testing::LoopbackListener listening(64, 0x7F000001);
  const rk::testing::LoopbackListener second(64, 0x7F000002, listening.port());
  const std::string root = work + "\\stores";
  Program w(Client(exe, root, "Near,Far,Shut,Blank",
                   "[Near]\r\nNMIP=127.0.0.1\r\n[Far]\r\nNMIP=127.0.0.2\r\n[Shut]\r\nNMIP=127.0.0.3\r\n",
                   listening.port()));
  if (!Check(w.Shown(), "the window on four locations")) return;
  const std::string before = Text(w.Item(IDC_PREFERENCE_LABEL));
  const HWND rank = w.Open(IDM_RANK_LOCATIONS, rk::text::kRankWindowTitle);
  if (!rank) return;
  const HWND apply = GetDlgItem(rank, IDC_RANK_APPLY), list = GetDlgItem(rank, IDC_RANK_LIST);
  Check(WaitFor([&] { return Enabled(apply); }, 20000), "設為優先連線 is enabled once a change is recommended");
  const std::string advice = Text(GetDlgItem(rank, IDC_RANK_ADVICE));
  const std::string shut = ListCell(list, 2, 6), blank = ListCell(list, 3, 6);
  Check(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == 4 && ListCell(list, 0, 0) == "Near" &&
            ListCell(list, 1, 2).ends_with(" ms") &&
            shut == Format(rk::text::kRankRuledOutFormat, Format("port %d refused", listening.port()).c_str()) &&
            blank == rk::text::kRankNoNmip,
        "a row per location, times for the measured, the refusing one ruled out: " + shut + " / " + blank);
  // Which of the two is faster is the machine's: the window's best row and its advice agree.
  const std::string winner = ListCell(list, 0, 6) == rk::text::kRankBest ? "Near" : "Far";
  Check(advice.find(winner) != std::string::npos, "the recommendation names the fastest: " + advice);
  if (!shot.empty()) Grab(RectIn(nullptr, rank), shot);  // the picture of the documentation
  SendMessageW(apply, BM_CLICK, 0, 0);
  const std::string after = Text(w.Item(IDC_PREFERENCE_LABEL));
  Check(after != before && after.find(winner + rk::text::kIdeographicSpace) != std::string::npos &&
            !Enabled(apply),
        "the button stores it, the preference label follows: " + after);
  PostMessageW(list, WM_KEYDOWN, VK_ESCAPE, 0);
  Check(WaitFor([&] { return !IsWindow(rank); }, 3000) && !w.Exited(0), "Escape closes the window; the program runs on");
  w.Close();
}

// A location that never answers keeps the ranking at its 10 s time-out: closing ends it at once.
void CloseWhileRunning(const std::string& exe, const std::string& work) {
  const rk::testing::StalledListener dark(0x7F000004);
  Program w(Client(exe, work + "\\dark", "Dark", "[Dark]\r\nNMIP=127.0.0.4\r\n", dark.port()));
  if (!Check(dark.stalled() && w.Shown(), "the window on a dark location")) return;
  const HWND rank = w.Open(IDM_RANK_LOCATIONS, rk::text::kRankWindowTitle);
  if (!rank) return;
  Sleep(500);
  const ULONGLONG start = GetTickCount64();
  PostMessageW(rank, WM_COMMAND, IDC_RANK_CLOSE, 0);
  Check(WaitFor([&] { return !IsWindow(rank); }, 1000) && !w.Exited(0),
        Format("closing stops the ranking within a second (%llu ms)", GetTickCount64() - start));
  w.Close();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  SetEnvironmentVariableA("REACHKIT_TEST_NO_NAME_LOOKUP", "1");  // inherited by the program
  RankAndStore(argv[1], argv[2], argc > 3 ? argv[3] : "");
  CloseWhileRunning(argv[1], argv[2]);
  return std::printf("%d failed\n", g_failures), g_failures == 0 ? 0 : 1;
}
