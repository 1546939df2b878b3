#include "app/watch_window.h"

#include <commctrl.h>

#include <chrono>
#include <sstream>
#include <system_error>
#include <utility>

#include "base/codepage.h"
#include "base/format.h"
#include "base/texts.h"
#include "config/file_io.h"
#include "controls/latency_chart_win32.h"
#include "controls/result_list_actions_win32.h"
#include "resource.h"
#include "runs/support_report.h"
#include "runs/watch_report.h"
#include "runs/watch_rows.h"

namespace rk {

namespace {

constexpr UINT kStarted = WM_APP + 1;  // the starter thread is done; wParam: it started
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 1000;
constexpr uint32_t kShortSpanMs = 10 * 60'000;
constexpr uint32_t kLongSpanMs = 60 * 60'000;

int ColumnWidth(WatchColumn column) {
  switch (column) {
    case WatchColumn::Host: return 190;
    case WatchColumn::Address: return 140;
    case WatchColumn::State: return 70;
    case WatchColumn::Last: return 75;
    case WatchColumn::P50:
    case WatchColumn::P95: return 60;
    case WatchColumn::Loss: return 65;
    case WatchColumn::Outages: return 70;
    case WatchColumn::LastOutage: break;
  }
  return 150;
}

// "HH:MM:SS" of the local clock, for the status line and the saved files' names.
SYSTEMTIME LocalNow() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return now;
}

}  // namespace

WatchWindow::WatchWindow(HWND parent, const HostCatalogue& catalogue, NameResolver& resolver,
                         EchoService& echo, std::optional<ProxyRoute> proxy, std::string clientRoot,
                         std::string version)
    : DialogBase(IDD_WATCH_WINDOW, parent),
      m_catalogue(catalogue),
      m_resolver(resolver),
      m_echo(echo),
      m_proxy(std::move(proxy)),
      m_strClientRoot(std::move(clientRoot)),
      m_strVersion(std::move(version)) {
  INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&classes);
}

WatchWindow::~WatchWindow() {
  if (m_hWnd != nullptr) ::DestroyWindow(m_hWnd);
  StopWatch();
  m_pWatch.reset();
  if (!m_strLogPath.empty()) {
    DeleteFileA(m_strLogPath.c_str());
    DeleteFileA((m_strLogPath + ".1").c_str());
  }
}

bool WatchWindow::Open() { return Create(); }

std::span<const ui::CommandEntry> WatchWindow::GetCommandMap() const {
  static constexpr ui::CommandEntry kCommands[] = {
      ui::OnCommand<&WatchWindow::OnStartStop>(IDC_WATCH_START),
      ui::OnCommand<&WatchWindow::OnSaveLog>(IDC_WATCH_SAVE_LOG),
      ui::OnCommand<&WatchWindow::OnSaveHtml>(IDC_WATCH_SAVE_HTML),
      ui::OnCommand<&WatchWindow::OnClose>(IDC_WATCH_CLOSE),
      ui::OnCommand<&WatchWindow::OnSpan>(IDC_WATCH_HOUR),
  };
  return kCommands;
}

BOOL WatchWindow::OnInitDialog() {
  DialogBase::OnInitDialog();
  SetWindowText(text::kWatchWindowTitle);
  m_hList = GetDlgItem(IDC_WATCH_LIST);
  ListView_SetExtendedListViewStyle(m_hList, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  for (std::size_t i = 0; i < kWatchColumns.size(); ++i) {
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
    column.fmt = i >= 3 ? LVCFMT_RIGHT : LVCFMT_LEFT;  // numbers line up on the right
    column.cx = ColumnWidth(kWatchColumns[i]);
    column.pszText = const_cast<char*>(WatchColumnTitle(kWatchColumns[i]));
    column.iSubItem = static_cast<int>(i);
    SendMessageA(m_hList, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
  }
  static constexpr ui::AnchorPlan kPlan[] = {
      {IDC_WATCH_STATUS, true, false, false, false},   {IDC_WATCH_LIST, true, false, false, false},
      {IDC_WATCH_CHART, true, true, false, false},     {IDC_WATCH_HOUR, false, false, false, true},
      {IDC_WATCH_START, false, false, false, true},    {IDC_WATCH_SAVE_LOG, false, false, false, true},
      {IDC_WATCH_SAVE_HTML, false, false, false, true}, {IDC_WATCH_CLOSE, false, false, true, true},
  };
  m_layout.Capture(m_hWnd, kPlan);

  // The log lives beside the other temporary files of this user: one per window, so two
  // windows of two programs never share one.
  char folder[MAX_PATH] = {};
  if (GetTempPathA(MAX_PATH, folder) > 0)
    m_strLogPath = Format("%sReachkit-watch-%lu-%llu.jsonl", folder, GetCurrentProcessId(),
                          static_cast<unsigned long long>(GetTickCount64()));
  m_nLocalOffsetMinutes = LocalOffsetMinutes(std::chrono::duration_cast<std::chrono::seconds>(
      std::chrono::system_clock::now().time_since_epoch()).count());
  SetTimer(m_hWnd, kRefreshTimer, kRefreshMs, nullptr);
  StartWatch();
  return TRUE;
}

void WatchWindow::StartWatch() {
  if (m_catalogue.empty() || m_starter.joinable()) return;
  WatchOptions options;
  options.logPath = m_strLogPath;
  options.proxy = m_proxy;
  options.clientRoot = NativeTextToUtf8(m_strClientRoot);
  m_pStarting = std::make_unique<Watch>(m_resolver, m_echo, options);
  m_strStartError.clear();
  EnableWindow(GetDlgItem(IDC_WATCH_START), FALSE);
  // Starting looks the host names up (bounded by the connect time-out): off this thread, so
  // the window answers meanwhile.
  try {
    m_starter = std::thread([this, watch = m_pStarting.get(), window = m_hWnd] {
      const bool started = watch->Start(m_catalogue, {}, &m_strStartError);
      PostMessageA(window, kStarted, started ? 1 : 0, 0);
    });
  } catch (const std::system_error&) {
    m_pStarting.reset();
    EnableWindow(GetDlgItem(IDC_WATCH_START), TRUE);
  }
}

void WatchWindow::OnStarted(bool started) {
  if (m_starter.joinable()) m_starter.join();
  if (started) {
    m_pWatch = std::move(m_pStarting);
  } else {
    m_pStarting.reset();
    MessageBox((std::string(text::kWatchStartFailed) + Utf8ToCp950(m_strStartError)).c_str(),
               MB_OK | MB_ICONERROR);
  }
  EnableWindow(GetDlgItem(IDC_WATCH_START), TRUE);
  SetDlgItemText(IDC_WATCH_START, m_pWatch && m_pWatch->running() ? text::kWatchStop : text::kWatchStart);
  Refresh();
  if (!m_snapshot.endpoints.empty() && Selected() < 0)
    ListView_SetItemState(m_hList, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void WatchWindow::StopWatch() {
  // A start under way ends first (its look-ups are bounded); Stop then returns within a
  // second: the samples in flight are given up, not waited for.
  if (m_starter.joinable()) m_starter.join();
  if (m_pStarting) {
    m_pStarting->Stop();
    m_pWatch = std::move(m_pStarting);
  }
  if (m_pWatch) m_pWatch->Stop();
}

void WatchWindow::OnStartStop() {
  if (m_pWatch && m_pWatch->running()) {
    StopWatch();
    SetDlgItemText(IDC_WATCH_START, text::kWatchStart);
    Refresh();
  } else {
    m_pWatch.reset();
    StartWatch();  // the same log goes on: a second header starts the new part
  }
}

void WatchWindow::OnSpan() {
  const RECT chart = ChartRect();
  InvalidateRect(m_hWnd, &chart, FALSE);
}

void WatchWindow::OnDestroy() {
  // Also when the main window goes first and takes this one with it.
  KillTimer(m_hWnd, kRefreshTimer);
  StopWatch();
}

void WatchWindow::Refresh() {
  if (m_pWatch) {
    m_snapshot = m_pWatch->Snapshot();
    const WatchSummary summary = m_pWatch->Summary();
    m_outages.assign(m_snapshot.endpoints.size(), {});
    // The summary lists the endpoints in the snapshot's order.
    for (std::size_t i = 0; i < summary.endpoints.size() && i < m_outages.size(); ++i)
      m_outages[i] = summary.endpoints[i].outages;
  }
  ListView_SetItemCountEx(m_hList, static_cast<int>(m_snapshot.endpoints.size()),
                          LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
  InvalidateRect(m_hList, nullptr, FALSE);
  const RECT chart = ChartRect();
  InvalidateRect(m_hWnd, &chart, FALSE);
  ShowStatus();
}

void WatchWindow::ShowStatus() {
  if (!m_pWatch) {
    SetDlgItemText(IDC_WATCH_STATUS, "");
    return;
  }
  const auto started = std::chrono::duration_cast<std::chrono::seconds>(
                           m_snapshot.started.time_since_epoch()).count() +
                       int64_t{m_nLocalOffsetMinutes} * 60;
  const int secondsOfDay = static_cast<int>((started % 86400 + 86400) % 86400);
  const std::string clock = Format("%02d:%02d:%02d", secondsOfDay / 3600, secondsOfDay / 60 % 60,
                                   secondsOfDay % 60);
  SetDlgItemText(IDC_WATCH_STATUS,
                 Format(m_snapshot.running ? text::kWatchRunningFormat : text::kWatchStoppedFormat,
                        clock.c_str(), static_cast<int>(m_snapshot.endpoints.size())));
}

int WatchWindow::Selected() const {
  const int selected = ListView_GetNextItem(m_hList, -1, LVNI_SELECTED);
  return selected >= 0 && static_cast<std::size_t>(selected) < m_snapshot.endpoints.size() ? selected : -1;
}

RECT WatchWindow::ChartRect() const {
  RECT rect{};
  GetWindowRect(GetDlgItem(IDC_WATCH_CHART), &rect);
  MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

bool WatchWindow::OnPaint() {
  PAINTSTRUCT paint{};
  const HDC dc = BeginPaint(m_hWnd, &paint);
  const RECT area = ChartRect();
  const int width = area.right - area.left, height = area.bottom - area.top;
  if (width > 0 && height > 0) {
    // Drawn aside and copied in one piece: a chart redrawn every second must not flicker.
    const HDC memory = CreateCompatibleDC(dc);
    const HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    const int row = Selected();
    LatencyChart chart;
    const bool hour = IsDlgButtonChecked(m_hWnd, IDC_WATCH_HOUR) == BST_CHECKED;
    const uint32_t interval = m_pWatch ? m_pWatch->options().intervalMs : kWatchIntervalMs;
    if (row >= 0)
      chart = LatencyChartOf(m_snapshot.endpoints[static_cast<std::size_t>(row)],
                             m_outages[static_cast<std::size_t>(row)], m_snapshot.started, m_snapshot.now,
                             hour ? kLongSpanMs : kShortSpanMs, interval, m_nLocalOffsetMinutes);
    const RECT local{0, 0, width, height};
    DrawLatencyChart(memory, local, chart,
                     reinterpret_cast<HFONT>(SendMessageA(m_hWnd, WM_GETFONT, 0, 0)));
    BitBlt(dc, area.left, area.top, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
  }
  EndPaint(m_hWnd, &paint);
  return true;
}

void WatchWindow::OnSaveLog() {
  const SYSTEMTIME now = LocalNow();
  const std::optional<std::string> path = AskSavePath(
      m_hWnd, Format("Reachkit-watch-%04d%02d%02d-%02d%02d.jsonl", now.wYear, now.wMonth, now.wDay,
                     now.wHour, now.wMinute),
      text::kWatchLogFilter, "*.jsonl", "jsonl");
  if (!path) return;
  // The older part first: past the roll-over size the log is two files, saved side by side.
  const std::string older = m_strLogPath + ".1";
  bool ok = true;
  if (GetFileAttributesA(older.c_str()) != INVALID_FILE_ATTRIBUTES)
    ok = CopyFileA(older.c_str(), (*path + ".1").c_str(), FALSE) != FALSE;
  if (ok) ok = CopyFileA(m_strLogPath.c_str(), path->c_str(), FALSE) != FALSE;
  if (!ok)
    MessageBox(Format(text::kSaveFailedFormat, path->c_str(),
                      std::system_category().message(static_cast<int>(GetLastError())).c_str())
                   .c_str(),
               MB_OK | MB_ICONERROR);
}

void WatchWindow::OnSaveHtml() {
  const SYSTEMTIME now = LocalNow();
  const std::optional<std::string> path = AskSavePath(
      m_hWnd, Format("Reachkit-watch-%04d%02d%02d-%02d%02d.html", now.wYear, now.wMonth, now.wDay,
                     now.wHour, now.wMinute),
      text::kWatchHtmlFilter, "*.html", "html");
  if (!path) return;
  std::ostringstream html;
  std::string error;
  if (!WriteWatchReportHtml(m_strLogPath, m_strVersion, html, &error)) {
    MessageBox(Format(text::kSaveFailedFormat, path->c_str(), Utf8ToCp950(error).c_str()).c_str(),
               MB_OK | MB_ICONERROR);
    return;
  }
  if (!fileio::ReplaceWholeFile(*path, html.str()))
    MessageBox(Format(text::kSaveFailedFormat, path->c_str(), fileio::LastWriteFailure().c_str()).c_str(),
               MB_OK | MB_ICONERROR);
}

void WatchWindow::OnClose() { EndDialog(IDCANCEL); }

BOOL WatchWindow::DestroyWindow() {
  KillTimer(m_hWnd, kRefreshTimer);
  StopWatch();
  return DialogBase::DestroyWindow();
}

bool WatchWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  (void)result;
  switch (message) {
    case WM_TIMER:
      if (wParam == kRefreshTimer) Refresh();
      return true;
    case kStarted:
      OnStarted(wParam != 0);
      return true;
    case WM_SIZE: {
      m_layout.Apply();
      InvalidateRect(m_hWnd, nullptr, TRUE);
      return true;
    }
    case WM_GETMINMAXINFO:
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = m_layout.minTrack();
      return true;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->hwndFrom != m_hList) return false;
      if (header->code == LVN_GETDISPINFOA || header->code == LVN_GETDISPINFOW) {
        AnswerCellRequest(lParam, header->code == LVN_GETDISPINFOW, m_snapshot.endpoints.size(),
                          kWatchColumns.size(),
                          [this](std::size_t row, std::size_t column) {
                            return WatchCell(m_snapshot.endpoints[row], kWatchColumns[column],
                                             m_nLocalOffsetMinutes);
                          },
                          m_cell);
        return true;
      }
      if (header->code == LVN_ITEMCHANGED) {
        const RECT chart = ChartRect();
        InvalidateRect(m_hWnd, &chart, FALSE);
        return true;
      }
      return false;
    }
    default:
      return false;
  }
}

}  // namespace rk
