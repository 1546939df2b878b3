// tool_windows_harness.exe REACHKIT_EXE WORK_DIR [SCREENSHOT]: the result list's copy and save
// commands and its context menu, the check, watch and ranking windows, on client trees of
// loopback hosts that this harness writes. SCREENSHOT: the ranking window's picture.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/codepage.h"
#include "base/format.h"
#include "base/texts.h"
#include "runs/result_export.h"
#include "harness.h"
#include "resource.h"
#include "support/os_probe.h"

using namespace harness;
using rk::Format;
using Strings = std::vector<std::string>;

namespace {

constexpr int kOpenLocal = 1;  // host 0: the server host on both ports; 2: refused; 3: no name

void Command(HWND window, int id) { PostMessageW(window, WM_COMMAND, WPARAM(id), 0); }

// The clipboard's text in both forms: CF_UNICODETEXT as ANSI, and CF_TEXT's bytes.
std::pair<std::string, std::string> Clipboard() {
  std::pair<std::string, std::string> texts{"<none>", "<none>"};
  if (!WaitFor([] { return OpenClipboard(nullptr) != FALSE; }, 3000)) return texts;
  if (HANDLE wide = GetClipboardData(CF_UNICODETEXT)) {
    const auto* text = static_cast<const wchar_t*>(GlobalLock(wide));
    texts.first = Narrow(text, int(wcslen(text)));
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
  if (WaitFor([] { return OpenClipboard(nullptr) != FALSE; }, 3000)) EmptyClipboard(), CloseClipboard();
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<missing>";
}

// Open: listens, never accepts; refused.
struct Ports {
  rk::testing::LoopbackListener listener;
  int open = listener.port(), refused = rk::testing::ClosedLoopbackPort();
};

// The client tree: one server host (both ports), then three Local hosts: open, refused,
// and a name that the program is told not to resolve. Returns the program's path.
std::string WriteClient(const std::string& exe, const std::string& root, const Ports& ports,
                        bool noHosts) {
  return Tree(exe, root, {
      "\\Sys\\ZentickConSet.ini", noHosts ? "" : "[Tradedesk]\r\nName=Order1\r\n[Order1]\r\nNMIP=127.0.0.1\r\n",
      "\\Sys\\VekTradedesk.ini",
      noHosts ? "" : Format("[Local]\r\nCount=3\r\nIP_1=127.0.0.1\r\nPort_1=%d\r\nIP_2=127.0.0.1\r\n"
                            "Port_2=%d\r\nIP_3=unresolvable.invalid\r\nPort_3=%d\r\n",
                            ports.open, ports.refused, ports.open),
      "\\Bin\\BaseConfig.ini", Format("[DC]\r\nClientToNMPortTry=%d,%d\r\n", ports.open, ports.refused)});
}

// Real input: the harness moves the pointer and presses keys, as the user would.
void Key(WORD key, bool up) { keybd_event(BYTE(key), 0, up ? KEYEVENTF_KEYUP : 0, 0); }
void Chord(std::initializer_list<WORD> keys) {
  for (WORD key : keys) Key(key, false);
  for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) Key(*key, true);
  Sleep(200);
}

void CopyAndMenu(const Program& w) {
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

  // The user's way: a click on a line and Ctrl+C; Shift+F10 and the menu's mnemonic. Both
  // forms: Unicode, and code page 950 bytes.
  SetForegroundWindow(w.main());
  ClearClipboard();
  RECT item{};
  SendMessageW(w.Item(IDC_RESULT_LIST), LB_GETITEMRECT, 1, LPARAM(&item));
  POINT at{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
  ClientToScreen(w.Item(IDC_RESULT_LIST), &at);
  SetCursorPos(at.x, at.y);
  mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0), mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0), Sleep(200);
  Chord({VK_CONTROL, 'C'});
  Check(WaitFor([&] { return Clipboard() == std::pair(lines[1], lines[1]); }, 3000),
        "a click on the Chinese line and Ctrl+C copy that line: " + Clipboard().first);
  ClearClipboard();
  Chord({VK_SHIFT, VK_F10});
  Check(WaitFor([&] { return w.Find("#32768"); }, 3000), "Shift+F10 opens the menu");
  Chord({'A'});  // 全部複製(&A)
  const std::string all = rk::JoinLinesCrLf(lines);
  Check(WaitFor([&] { return Clipboard() == std::pair(all, all) && !w.Find("#32768"); }, 3000),
        "its item A copies exactly the list's lines, joined by CR LF, and closes the menu");

  // Another program holds the clipboard: a message after a bounded wait, no hang.
  if (Check(OpenClipboard(nullptr) != FALSE, "the harness takes the clipboard")) {
    const ULONGLONG start = GetTickCount64();
    Command(w.main(), IDM_COPY_ALL);
    const std::string message = w.TakeMessageBox();
    const ULONGLONG waited = GetTickCount64() - start;
    CloseClipboard();
    Check(message == rk::text::kClipboardBusy && waited < 5000,
          Format("a held clipboard gives the busy message after %llu ms", waited));
  }
}

// The save dialog that `ask` opens over `owner`: `path` typed and OK pressed, or Cancel when
// `path` is empty.
void SaveOver(HWND owner, const std::function<void()>& ask, const std::string& path) {
  ask();
  HWND dialog = nullptr, name = nullptr;
  WaitFor([&] {
    for (HWND d = nullptr; (d = FindWindowExA(nullptr, d, "#32770", nullptr)) != nullptr;)
      if (IsWindowVisible(d) && GetWindow(d, GW_OWNER) == owner) return (dialog = d) != nullptr;
    return false;
  }, 5000);
  if (!Check(dialog != nullptr, "the save dialog opens")) return;
  WaitFor([&] { return (name = GetDlgItem(dialog, 0x47c)) || (name = GetDlgItem(dialog, 0x480)); });
  if (!path.empty()) SendMessageA(name, WM_SETTEXT, 0, LPARAM(path.c_str()));
  PostMessageW(dialog, WM_COMMAND, path.empty() ? IDCANCEL : IDOK, 0);
  WaitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); });
}

void Save(const Program& w, const std::string& path) {
  SaveOver(w.main(), [&] { Command(w.main(), IDM_SAVE_REPORT); }, path);
}

void SaveReport(const Program& w, const std::string& root, const std::string& readOnly) {
  const std::string folder = root + "\\saved", path = folder + "\\report.txt";
  CreateDirectoryA(folder.c_str(), nullptr);
  // A bare name lands in the folder the dialog opened in: the user's Documents.
  char documents[MAX_PATH] = "";
  SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents);
  const std::string bareSaved = std::string(documents) + "\\rk-bare-name.txt";
  DeleteFileA(bareSaved.c_str());
  Save(w, "rk-bare-name.txt");
  Check(WaitFor([&] { return GetFileAttributesA(bareSaved.c_str()) != INVALID_FILE_ATTRIBUTES; }, 5000),
        "the save dialog opens in Documents: a bare name is saved to " + bareSaved);
  DeleteFileA(bareSaved.c_str());
  Save(w, "");
  Check(std::filesystem::is_empty(folder) && w.Find("#32770") == nullptr, "a cancelled save writes nothing");

  Save(w, path);
  WaitFor([&] { return ReadFile(path) != "<missing>"; }, 5000);
  // What the support report holds around the window's lines is ResultExport's unit test.
  const std::string report = ReadFile(path);
  bool named = report.rfind("\xEF\xBB\xBF", 0) == 0 && report.find(rk::Cp950ToUtf8(root)) != std::string::npos;
  for (const std::string& line : w.Lines()) named = named && report.find(rk::Cp950ToUtf8(line)) != std::string::npos;
  Check(named, "the report: UTF-8 with BOM, the client root, every line of the list");

  const std::string blocked = readOnly + "\\report.txt";
  Save(w, blocked);
  // The file, then the system's reason between the brackets: never an empty reason.
  const std::string box = w.TakeMessageBox();
  const std::string bare = Format(rk::text::kSaveFailedFormat, blocked.c_str(), "");
  Check(box.size() > bare.size() && box.starts_with(bare.substr(0, bare.size() - 2)) &&
            box.ends_with(bare.substr(bare.size() - 2)),
        "a save into a folder that cannot be written names the file and the reason: " + box);
  Check(ReadFile(blocked) == "<missing>", "and writes nothing there");
}

// The check window over the main window, as the harness reads it.
struct CheckWindow {
  HWND window = nullptr;
  HWND Item(int id) const { return GetDlgItem(window, id); }
  bool Running() const { return Enabled(Item(IDC_CHECK_STOP)); }
  std::string Progress() const { return Text(Item(IDC_CHECK_PROGRESS)); }
  std::string Conclusion() const { return Text(Item(IDC_CHECK_CONCLUSION)); }
  void Click(int id) const { SendMessageW(Item(id), BM_CLICK, 0, 0); }
  // The table as 複製 puts it on the clipboard (nothing selected: every row), header first.
  Strings CopiedRows() const {
    ClearClipboard();
    Click(IDC_CHECK_COPY);
    Strings rows;
    std::stringstream text(Clipboard().first);
    for (std::string row; std::getline(text, row);) rows.push_back(row.substr(0, row.find('\r')));
    return rows;
  }
  bool Ended(int ms = 40000) const { return WaitFor([&] { return !Running(); }, ms); }
};

// How many of the copied rows hold a cell of exactly that text.
size_t RowsWith(const Strings& rows, const std::string& cell) {
  return size_t(std::count_if(rows.begin(), rows.end(), [&](const std::string& r) {
    return ("\t" + r + "\t").find("\t" + cell + "\t") != std::string::npos;
  }));
}

// The check window: one row per endpoint with its verdict and its cause in words, the copied
// table, the counts as the main list's one line, and Escape closing it once the check is done.
void CheckAll(const Program& w, const Ports& ports) {
  using namespace rk::text;
  w.Click(IDC_BTN_CLEAR);
  const CheckWindow c{w.Open(IDM_CHECK_ALL, kCheckWindowTitle)};
  if (!c.window) return;
  Check(c.Ended(), "the check ends: " + c.Progress());
  // The rows' texts and order are CheckRows' unit test: here the window shows them all.
  const Strings rows = c.CopiedRows();
  Check(rows.size() == 6 && rows[0].starts_with(kColumnHost) && RowsWith(rows, kVerdictOpen) == 2 &&
            RowsWith(rows, kVerdictRefused) == 2 && RowsWith(rows, kVerdictUnresolved) == 1 &&
            RowsWith(rows, Format(kCauseRefusedFormat, ports.refused)) == 2,
        Format("a header and a row per endpoint, a refusal's cause in words (%zu rows)", rows.size()));
  const std::string conclusion = c.Conclusion();
  Check(c.Progress().rfind(Format(kCheckProgressFormat, 5, 5), 0) == 0 &&
            conclusion.rfind(std::string(kConclusionLineFormat).substr(0, 6), 0) == 0,
        "the progress line says 5 of 5 done, the conclusion opens the window: " + conclusion);
  Key(VK_ESCAPE, false), Key(VK_ESCAPE, true);
  Check(WaitFor([&] { return !IsWindow(c.window); }, 3000) && IsWindowVisible(w.main()) && !w.Exited(0),
        "Escape closes the finished check window; the program runs on");
  const Strings lines = w.Lines();
  Check(lines.size() == 1 && lines[0].rfind(std::string(kConclusionLineFormat).substr(0, 6), 0) == 0 &&
            lines[0].find(std::string(kCheckSummaryFormat).substr(0, 8)) != std::string::npos,
        "the main list has one line for the check, its conclusion and counts: " +
            (lines.empty() ? std::string() : lines[0]));

}

void CheckNoHosts(const Program& w) {
  const CheckWindow c{w.Open(IDM_CHECK_ALL, rk::text::kCheckWindowTitle)};
  Check(c.window && c.Conclusion().rfind(std::string(rk::text::kConclusionLineFormat).substr(0, 6), 0) == 0 &&
            c.CopiedRows().size() == 1 && !c.Running(),
        "the check of an empty host list says so and has no rows");
  c.Click(IDC_CHECK_CLOSE);
}

// A check that would wait 10 s for a port that never answers: Escape stops it without closing
// the window, 停止 ends it within a second. (The system menu's keys typed through the X server
// are real_keys_test.sh's.)
void StopAndKeys(const Program& w) {
  using namespace rk::text;
  SetForegroundWindow(w.main());
  const CheckWindow c{w.Open(IDM_CHECK_ALL, kCheckWindowTitle)};
  if (!c.window) return;
  Check(WaitFor([&] { return c.Running(); }, 3000), "its check runs");
  Key(VK_ESCAPE, false), Key(VK_ESCAPE, true);
  Check(c.Ended(1000) && IsWindowVisible(c.window), "Escape stops the running check; the window stays");
  c.Click(IDC_CHECK_AGAIN);
  Check(WaitFor([&] { return c.Running(); }, 3000), "重新檢查 runs it again");
  Sleep(500);
  const ULONGLONG start = GetTickCount64();
  c.Click(IDC_CHECK_STOP);
  Check(c.Ended(1000) && c.Progress().rfind(std::string(kRowStopped), 0) == 0,
        Format("停止 ends the check within a second (%llu ms): ", GetTickCount64() - start) + c.Progress());
  const Strings rows = c.CopiedRows();
  Check(rows.size() == 2 && RowsWith(rows, kRowStopped) == 1,
        "the unfinished row reads 已停止: " + (rows.size() > 1 ? rows[1] : std::string()));
  c.Click(IDC_CHECK_CLOSE);  // Escape once the check is done: CheckAll's
}


size_t PixelsOf(const Pixels& pixels, COLORREF colour) {
  return size_t(std::count_if(pixels.bgrx.begin(), pixels.bgrx.end(),
                              [&](DWORD c) { return (_byteswap_ulong(c) >> 8) == colour; }));
}

// The watch window: opened from the system menu beside a usable main window, its dialog keys
// while the main window's modal run goes on, one row per endpoint filling as samples come, the
// chart drawn, 停止 ending the watch within a second, the log and the HTML report saved, and
// closing within a second. (The log's lines and how watch-summary reads them are the core's.)
void Watch(const Program& w, const Ports& ports, const std::string& root) {
  using namespace rk::text;
  w.Click(IDC_BTN_CLEAR);
  const HWND watch = w.Open(IDM_WATCH, kWatchWindowTitle);
  if (!watch) return;
  const auto item = [&](int id) { return GetDlgItem(watch, id); };
  const HWND list = item(IDC_WATCH_LIST);
  // One row per endpoint, in the host list's order (the rows' cells are WatchRows' unit test).
  Check(WaitFor([&] { return SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) == 5; }, 5000) &&
            ListCell(list, 1, 1) == Format("127.0.0.1:%d", ports.refused),
        "one row per endpoint, in the host list's order");

  // Dialog keys reach it although the main window's modal loop runs: Tab moves the focus on.
  SetForegroundWindow(watch);
  SetFocus(list);
  Sleep(300);
  Chord({VK_TAB});
  Check(WaitFor([&] { return w.Focus() == item(IDC_WATCH_HOUR); }, 3000),
        "Tab in the watch window moves the focus from the list to the next control");

  // The main window stays usable meanwhile.
  w.Click(IDC_BTN_PING);
  Check(WaitFor([&] { return w.Count() > 0; }, 5000) && Enabled(w.main()),
        "the main window runs a Ping while the watch window is open");

  Check(WaitFor([&] { return ListCell(list, 0, 3).ends_with(" ms") && ListCell(list, 1, 3) == kWatchLost; }, 15000),
        "the rows fill: the listening port's time, the refused port lost: " + ListCell(list, 0, 3) + " / " +
            ListCell(list, 1, 3));
  const RECT chart = RectIn(nullptr, item(IDC_WATCH_CHART));
  SetForegroundWindow(watch);
  SetCursorPos(0, 0);
  Sleep(1200);
  const Pixels drawn = Grab(chart);
  Check(PixelsOf(drawn, RGB(255, 255, 255)) > size_t(drawn.width * drawn.height / 2) &&
            PixelsOf(drawn, RGB(0, 70, 160)) > 0,
        "the chart is drawn: a white plot with the connect time's line");
  SendMessageW(list, WM_KEYDOWN, VK_DOWN, 0);
  ListView_SetItemState(list, 1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  Check(WaitFor([&] { return PixelsOf(Grab(chart), RGB(200, 0, 0)) > 0; }, 3000),
        "the refused port's row charts its lost samples");

  ULONGLONG start = GetTickCount64();
  SendMessageW(item(IDC_WATCH_START), BM_CLICK, 0, 0);
  const ULONGLONG stopMs = GetTickCount64() - start;
  Check(stopMs <= 1000 && Text(item(IDC_WATCH_START)) == kWatchStart &&
            Text(item(IDC_WATCH_STATUS)).rfind(std::string(kWatchStoppedFormat).substr(0, 6), 0) == 0,
        Format("停止 ends the watch within a second (%llu ms)", stopMs));

  // The log names an endpoint by its port field, the HTML report in a table cell.
  for (const auto& [command, file, mark] :
       {std::tuple(IDC_WATCH_SAVE_LOG, "\\watch.jsonl", Format("\"port\":%d", ports.refused)),
        std::tuple(IDC_WATCH_SAVE_HTML, "\\watch.html", Format("</span>:%d</td>", ports.open))}) {
    SaveOver(watch, [&] { Command(watch, command); }, root + file);
    Check(WaitFor([&] { return ReadFile(root + file).find(mark) != std::string::npos; }, 5000),
          std::string(file + 1) + " is saved, its endpoints in it");
  }

  SendMessageW(item(IDC_WATCH_START), BM_CLICK, 0, 0);
  Check(WaitFor([&] { return Text(item(IDC_WATCH_START)) == kWatchStop; }, 5000), "開始 starts it again");
  start = GetTickCount64();
  SendMessageW(item(IDC_WATCH_CLOSE), BM_CLICK, 0, 0);
  Check(!IsWindow(watch) && GetTickCount64() - start <= 1000 && !w.Exited(0),
        Format("關閉 ends the watch and the window within a second (%llu ms); the program runs on",
               GetTickCount64() - start));
}

// A client tree of connection locations: the NM port `port` for each, Shut the stored one.
std::string Client(const std::string& exe, const std::string& root, const std::string& names,
                   const std::string& sections, int port) {
  return Tree(exe, root,
              {"\\Sys\\ZentickConSet.ini", "[Tradedesk]\r\nName=" + names + "\r\n" + sections,
               "\\Bin\\BaseConfig.ini", Format("[DC]\r\nClientToNMPortTry=%d\r\n", port),
               "\\Sys\\Reachkit.ini", Format("[Priority]\r\nCombo=Shut,%d,%d\r\n", port, port)});
}

// The ranking window: Near and Far answer, Shut (the stored priority location) refuses, Blank
// has no NMIP; its table filled, 設為優先連線 storing the choice and the preference label following.
void RankAndStore(const std::string& exe, const std::string& work, const std::string& shot) {
  const rk::testing::LoopbackListener listening(64, 0x7F000001);
  const rk::testing::LoopbackListener second(64, 0x7F000002, listening.port());
  const std::string locations = "[Near]\r\nNMIP=127.0.0.1\r\n[Far]\r\nNMIP=127.0.0.2\r\n[Shut]\r\nNMIP=127.0.0.3\r\n";
  WithWindow(Client(exe, work + "\\stores", "Near,Far,Shut,Blank", locations, listening.port()), "four locations",
             [&](const Program& w) {
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
    Check(WaitFor([&] { return !IsWindow(rank); }, 3000) && !w.Exited(0),
          "Escape closes the window; the program runs on");
  });
}

// The ranking of a location that never answers waits on its 10 s time-out: closing ends it at once.
void CloseWhileRunning(const Program& w) {
  const HWND rank = w.Open(IDM_RANK_LOCATIONS, rk::text::kRankWindowTitle);
  if (!rank) return;
  Sleep(500);
  const ULONGLONG start = GetTickCount64();
  PostMessageW(rank, WM_COMMAND, IDC_RANK_CLOSE, 0);
  Check(WaitFor([&] { return !IsWindow(rank); }, 1000) && !w.Exited(0),
        Format("closing stops the ranking within a second (%llu ms)", GetTickCount64() - start));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string exe = argv[1], work = argv[2], root = work + "\\client", readOnly = work + "\\readonly";
  const Ports ports;
  SetEnvironmentVariableA("REACHKIT_TEST_NO_NAME_LOOKUP", "1");  // inherited by the program
  WithWindow(WriteClient(exe, root, ports, false), "the loopback client", [&](const Program& w) {
    CheckAll(w, ports);
    CopyAndMenu(w);
    SaveReport(w, root, readOnly);
    Watch(w, ports, root);
  });
  WithWindow(WriteClient(exe, root + "-empty", ports, true), "a client without hosts", CheckNoHosts);
  RankAndStore(exe, work, argc > 3 ? argv[3] : "");
  const rk::testing::StalledListener dark(0x7F000004);  // its full queue leaves handshakes unanswered
  Check(dark.stalled(), "a port that never answers");
  WithWindow(Client(exe, work + "\\dark", "Dark", "[Dark]\r\nNMIP=127.0.0.4\r\n", dark.port()),
             "a location that never answers", [](const Program& w) {
    StopAndKeys(w);
    CloseWhileRunning(w);
  });
  return std::printf("%d failed\n", g_failures), g_failures == 0 ? 0 : 1;
}
