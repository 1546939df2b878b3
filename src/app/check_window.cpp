#include "app/check_window.h"

#include <commctrl.h>

#include <system_error>
#include <utility>

#include "controls/result_list_actions_win32.h"
#include "base/format.h"
#include "base/texts.h"
#include "resource.h"
#include "runs/check_all_lines.h"
#include "runs/conclusion.h"

namespace rk {

namespace {

constexpr UINT kArrivals = WM_APP + 1;  // the worker left verdicts in the inbox
constexpr UINT kRunEnded = WM_APP + 2;  // the worker has finished its check
constexpr UINT_PTR kProgressTimer = 1;

// Column widths in pixels at the window's first size: the cause takes the rest.
int ColumnWidth(CheckColumn column) {
  switch (column) {
    case CheckColumn::Host: return 165;
    case CheckColumn::Address: return 130;
    case CheckColumn::Direct: return 100;
    case CheckColumn::Time: return 95;
    case CheckColumn::ViaProxy: return 100;
    case CheckColumn::Cause: break;
  }
  return 380;
}

// Whether the check lists an endpoint through the proxy: a stored proxy the
// attempts can use.
bool ViaProxy(const CheckAllSetup& setup) { return setup.proxy.has_value() && setup.attempts; }

}  // namespace

CheckWindow::CheckWindow(HWND parent, const HostCatalogue& catalogue, Hooks hooks)
    : DialogBase(IDD_CHECK_WINDOW, parent), m_catalogue(catalogue), m_hooks(std::move(hooks)) {
  // The table's class comes from the common controls library.
  INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&classes);
}

CheckWindow::~CheckWindow() { StopAndJoin(); }

std::span<const ui::CommandEntry> CheckWindow::GetCommandMap() const {
  static constexpr ui::CommandEntry kCommands[] = {
      ui::OnCommand<&CheckWindow::OnStop>(IDC_CHECK_STOP),
      ui::OnCommand<&CheckWindow::OnRecheck>(IDC_CHECK_AGAIN),
      ui::OnCommand<&CheckWindow::OnCopy>(IDC_CHECK_COPY),
      ui::OnCommand<&CheckWindow::OnSave>(IDC_CHECK_SAVE),
      ui::OnCommand<&CheckWindow::OnClose>(IDC_CHECK_CLOSE),
  };
  return kCommands;
}

BOOL CheckWindow::OnInitDialog() {
  DialogBase::OnInitDialog();
  m_hList = GetDlgItem(IDC_CHECK_LIST);
  ListView_SetExtendedListViewStyle(m_hList, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);

  // Where each control sits against the edges it follows when the window is resized.
  static constexpr ui::AnchorPlan kPlan[] = {
      {IDC_CHECK_CONCLUSION, true, false, false, false}, {IDC_CHECK_PROGRESS, true, false, false, false},
      {IDC_CHECK_LIST, true, true, false, false},         {IDC_CHECK_STOP, false, false, false, true},
      {IDC_CHECK_AGAIN, false, false, false, true},       {IDC_CHECK_COPY, false, false, false, true},
      {IDC_CHECK_SAVE, false, false, false, true},        {IDC_CHECK_CLOSE, false, false, true, true},
  };
  m_layout.Capture(m_hWnd, kPlan);

  SetWindowText(text::kCheckWindowTitle);
  StartCheck();
  return TRUE;
}

void CheckWindow::StartCheck() {
  CheckAllSetup setup = m_hooks.setup();
  const bool viaProxy = ViaProxy(setup);
  m_rows.Reset(CheckEndpoints(m_catalogue), viaProxy);

  // The columns: the proxied one only while a proxy is stored.
  const std::vector<CheckColumn> columns = m_rows.Columns();
  if (columns != m_columns) {
    while (ListView_DeleteColumn(m_hList, 0)) {
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
      LVCOLUMNA column{};
      column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
      column.cx = ColumnWidth(columns[i]);
      column.pszText = const_cast<char*>(CheckColumnTitle(columns[i]));
      column.iSubItem = static_cast<int>(i);
      SendMessageA(m_hList, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
    m_columns = columns;
  }
  ListView_SetItemCountEx(m_hList, static_cast<int>(m_rows.size()), 0);
  InvalidateRect(m_hList, nullptr, FALSE);
  if (m_catalogue.empty()) {
    // Nothing to check is itself the conclusion: the configuration lists no host.
    const Conclusion none = Conclude({}, nullptr, std::nullopt, ReadConfigurationFacts(m_catalogue, {}), {});
    SetDlgItemText(IDC_CHECK_CONCLUSION, ConclusionWords(none));
  } else {
    SetDlgItemText(IDC_CHECK_CONCLUSION, text::kRowPending);
  }

  m_running = !m_catalogue.empty();
  m_stopped = false;
  m_stop.store(false);
  m_startTick = GetTickCount64();
  SetButtons();
  ShowProgress();
  if (!m_running) return;
  SetTimer(m_hWnd, kProgressTimer, 1000, nullptr);

  const CheckEvents events{
      [this](std::size_t slot, const EndpointResult& e) { Deliver({slot, e, std::nullopt}); },
      [this](std::size_t slot, const ProxyResult& r) { Deliver({slot, std::nullopt, r}); }};
  try {
    m_worker = std::thread([this, setup = std::move(setup), events] {
      CheckRun run = RunCheckEach(m_catalogue, setup, events, m_stop);
      {
        const std::lock_guard lock(m_inboxMutex);
        m_ended = std::move(run);
      }
      PostMessageA(m_hWnd, kRunEnded, 0, 0);
    });
  } catch (const std::system_error&) {
    // No thread for the check: the window shows it never started.
    m_running = false;
    m_stopped = true;
    m_rows.MarkStopped();
    SetButtons();
  }
}

void CheckWindow::Deliver(Arrival arrival) {
  bool post = false;
  {
    const std::lock_guard lock(m_inboxMutex);
    m_inbox.push_back(std::move(arrival));
    post = !m_inboxPosted;
    m_inboxPosted = true;
  }
  // One notice for however many verdicts wait: a burst never floods the queue.
  if (post) PostMessageA(m_hWnd, kArrivals, 0, 0);
}

void CheckWindow::TakeArrivals() {
  std::vector<Arrival> arrivals;
  {
    const std::lock_guard lock(m_inboxMutex);
    arrivals.swap(m_inbox);
    m_inboxPosted = false;
  }
  // Once stopped, what still comes in is the check giving up on its waits,
  // not a verdict: those rows read "stopped".
  if (m_stopped) arrivals.clear();
  for (const Arrival& a : arrivals) {
    const std::size_t position =
        a.direct ? m_rows.SetDirect(a.slot, *a.direct) : m_rows.SetProxied(a.slot, *a.proxied);
    ListView_RedrawItems(m_hList, static_cast<int>(position), static_cast<int>(position));
  }
  if (!arrivals.empty()) ShowProgress();
}

void CheckWindow::RunEnded() {
  if (m_worker.joinable()) m_worker.join();
  TakeArrivals();
  std::optional<CheckRun> run;
  {
    const std::lock_guard lock(m_inboxMutex);
    run.swap(m_ended);
  }
  KillTimer(m_hWnd, kProgressTimer);
  m_running = false;
  if (m_stopped || !run) {
    m_rows.MarkStopped();
    SetDlgItemText(IDC_CHECK_CONCLUSION, text::kRowStopped);
  } else {
    m_rows.SetCauses(run->report);
    SetDlgItemText(IDC_CHECK_CONCLUSION,
                   run->conclusion ? ConclusionWords(*run->conclusion) : std::string(text::kRowStopped));
    if (m_hooks.finished) m_hooks.finished(*run);
  }
  InvalidateRect(m_hList, nullptr, FALSE);
  SetButtons();
  ShowProgress();
}

void CheckWindow::ShowProgress() {
  const int done = static_cast<int>(m_rows.Finished()), all = static_cast<int>(m_rows.size());
  std::string line;
  if (m_running)
    line = Format(text::kCheckProgressFormat, done, all);
  else if (m_stopped)
    line = Format(text::kCheckStoppedProgressFormat, done, all);
  else
    line = Format(text::kCheckProgressDoneFormat, done, all,
                  static_cast<double>(GetTickCount64() - m_startTick) / 1000.0);
  SetDlgItemText(IDC_CHECK_PROGRESS, line);
}

void CheckWindow::SetButtons() {
  const HWND stop = GetDlgItem(IDC_CHECK_STOP), again = GetDlgItem(IDC_CHECK_AGAIN);
  // The focus never stays on a button that goes off: Escape and Tab keep working.
  const HWND focus = GetFocus();
  if (m_running && focus == again) SetFocus(stop);
  if (!m_running && focus == stop) SetFocus(again);
  EnableWindow(stop, m_running ? TRUE : FALSE);
  EnableWindow(again, m_running ? FALSE : TRUE);
}

void CheckWindow::OnStop() {
  if (!m_running) return;
  m_stopped = true;
  m_stop.store(true);  // the worker's waits end within a poll; kRunEnded follows
}

void CheckWindow::OnRecheck() {
  if (m_running) return;
  if (m_worker.joinable()) m_worker.join();
  StartCheck();
}

void CheckWindow::OnCopy() {
  std::vector<std::size_t> positions;
  for (int i = ListView_GetNextItem(m_hList, -1, LVNI_SELECTED); i >= 0;
       i = ListView_GetNextItem(m_hList, i, LVNI_SELECTED))
    positions.push_back(static_cast<std::size_t>(i));
  if (PutTextOnClipboard(m_hWnd, Widen(m_rows.CopyText(positions), kBig5CodePage)) == ClipboardOutcome::Busy)
    MessageBox(text::kClipboardBusy, MB_OK | MB_ICONWARNING);
}

void CheckWindow::OnSave() {
  if (m_hooks.saveReport) m_hooks.saveReport(m_hWnd);
}

void CheckWindow::OnClose() { EndDialog(IDCANCEL); }

void CheckWindow::OnCancel() {
  if (m_running)
    OnStop();
  else
    OnClose();
}

bool CheckWindow::OnSysCommand(UINT id, LPARAM) {
  // The close box closes even while a check runs; only Escape stops first.
  if ((id & 0xFFF0u) != SC_CLOSE) return false;
  OnClose();
  return true;
}

void CheckWindow::StopAndJoin() {
  m_stop.store(true);
  // The worker only posts to this window, never sends, so the wait needs no
  // message loop: it ends within a poll of the check's waits.
  if (m_worker.joinable()) m_worker.join();
}

BOOL CheckWindow::DestroyWindow() {
  StopAndJoin();
  KillTimer(m_hWnd, kProgressTimer);
  return DialogBase::DestroyWindow();
}

bool CheckWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  switch (message) {
    case kArrivals:
      TakeArrivals();
      return true;
    case kRunEnded:
      RunEnded();
      return true;
    case WM_TIMER:
      if (wParam == kProgressTimer) ShowProgress();
      return true;
    case WM_SIZE:
      m_layout.Apply();
      return true;
    case WM_GETMINMAXINFO:
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = m_layout.minTrack();
      return true;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->hwndFrom != m_hList) return false;
      if (header->code == LVN_GETDISPINFOA || header->code == LVN_GETDISPINFOW) {
        // The list owns no data: it asks for each visible cell as it paints.
        AnswerCellRequest(lParam, header->code == LVN_GETDISPINFOW, m_rows.size(), m_columns.size(),
                          [this](std::size_t row, std::size_t column) { return m_rows.Cell(row, m_columns[column]); },
                          m_cell);
        return true;
      }
      if (header->code == LVN_COLUMNCLICK) {
        const int sub = reinterpret_cast<const NMLISTVIEW*>(lParam)->iSubItem;
        if (sub >= 0 && static_cast<std::size_t>(sub) < m_columns.size()) {
          m_rows.SortBy(m_columns[static_cast<std::size_t>(sub)]);
          InvalidateRect(m_hList, nullptr, FALSE);
        }
        return true;
      }
      if (header->code == LVN_KEYDOWN &&
          reinterpret_cast<const NMLVKEYDOWN*>(lParam)->wVKey == 'C' && GetKeyState(VK_CONTROL) < 0) {
        OnCopy();
        return true;
      }
      return false;
    }
    default:
      break;
  }
  (void)result;
  return false;
}

}  // namespace rk
