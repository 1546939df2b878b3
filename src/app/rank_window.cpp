#include "app/rank_window.h"

#include <commctrl.h>

#include <array>
#include <utility>

#include "base/format.h"
#include "base/texts.h"
#include "config/client_paths.h"
#include "config/profile_store.h"
#include "dialogs/connect_setting_form.h"
#include "resource.h"

namespace rk {

namespace {

constexpr UINT kRankProgress = WM_APP + 11;  // wParam done, lParam total
constexpr UINT kRankEnded = WM_APP + 12;     // the report waits in m_ended
constexpr UINT kRankCp950 = 950;

std::wstring RankWide(const std::string& cp950) {
  if (cp950.empty()) return {};
  const int n = MultiByteToWideChar(kRankCp950, 0, cp950.data(), static_cast<int>(cp950.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0)
    MultiByteToWideChar(kRankCp950, 0, cp950.data(), static_cast<int>(cp950.size()), wide.data(), n);
  return wide;
}

void SetCell(HWND list, int row, int column, const std::string& cp950) {
  std::wstring wide = RankWide(cp950);
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = wide.data();
  SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

// The verdict in the window's words (the CLI's RankVerdictText, in Chinese).
std::string VerdictWords(const RankReport& report, std::size_t index) {
  const LocationResult& r = report.locations[index];
  const RankDecision& d = report.decision;
  std::string words;
  if (!r.measurable)
    words = text::kRankNoNmip;
  else if (!r.Ranked())
    words = Format(text::kRankRuledOutFormat, r.reason.empty() ? "-" : r.reason.c_str());
  else if (d.kind == RankDecisionKind::Recommend && d.winner == index)
    words = text::kRankBest;
  else
    words = d.current == index ? text::kRankCurrent : text::kRankUsable;
  if (r.tooFast) words += text::kRankTooFast;
  return words;
}

std::string AdviceWords(const RankReport& report) {
  const RankDecision& d = report.decision;
  switch (d.kind) {
    case RankDecisionKind::AllFailed:
      return text::kRankAllFailed;
    case RankDecisionKind::Keep: {
      const std::string& now = report.locations[*d.current].location;
      return Format(d.winnerIsCurrent ? text::kRankKeepFastestFormat : text::kRankAboutTheSameFormat,
                    now.c_str());
    }
    case RankDecisionKind::Recommend:
      break;
  }
  const LocationResult& best = report.locations[*d.winner];
  if (d.current && report.locations[*d.current].Ranked()) {
    const LocationResult& now = report.locations[*d.current];
    return Format(text::kRankUseAgainstFormat, best.location.c_str(), best.p90, now.location.c_str(), now.p90);
  }
  return Format(text::kRankUseFormat, best.location.c_str(), best.p90);
}

std::string MsCell(const LocationResult& r, double ms) {
  return r.Ranked() ? Format("%.1f ms", ms) : std::string("-");
}

}  // namespace

RankWindow::RankWindow(HWND parent, NameResolver& resolver, std::function<void()> stored)
    : DialogBase(IDD_RANK_WINDOW, parent), m_resolver(resolver), m_stored(std::move(stored)) {
  INITCOMMONCONTROLSEX classes{sizeof classes, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&classes);
}

RankWindow::~RankWindow() { StopAndJoin(); }

std::span<const ui::CommandEntry> RankWindow::GetCommandMap() const {
  static constexpr ui::CommandEntry kCommands[] = {
      ui::OnCommand<&RankWindow::OnApply>(IDC_RANK_APPLY),
      ui::OnCommand<&RankWindow::OnCancel>(IDC_RANK_CLOSE),
  };
  return kCommands;
}

BOOL RankWindow::OnInitDialog() {
  DialogBase::OnInitDialog();
  SetWindowText(text::kRankWindowTitle);
  m_hList = GetDlgItem(IDC_RANK_LIST);
  ListView_SetExtendedListViewStyle(m_hList, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  // The verdict takes what the others leave (LVSCW_AUTOSIZE_USEHEADER on the last column).
  const std::array<std::pair<const char*, int>, 7> columns{{{text::kRankColumnLocation, 100},
                                                            {text::kRankColumnAddress, 100},
                                                            {"p50", 62},
                                                            {"p90", 62},
                                                            {text::kRankColumnLoss, 48},
                                                            {text::kRankColumnScore, 62},
                                                            {text::kRankColumnVerdict, 150}}};
  for (std::size_t i = 0; i < columns.size(); ++i) {
    std::wstring title = RankWide(columns[i].first);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.cx = columns[i].second;
    column.pszText = title.data();
    column.iSubItem = static_cast<int>(i);
    SendMessageW(m_hList, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }
  ListView_SetColumnWidth(m_hList, static_cast<int>(columns.size() - 1), LVSCW_AUTOSIZE_USEHEADER);

  // The configuration is read here, on the window's thread; the worker gets values.
  RankInputs inputs = ReadRankInputs(SystemProfileStore(), ClientPaths::FromProcess());
  for (std::size_t i = 0; i < inputs.candidates.size(); ++i) {
    std::wstring name = RankWide(inputs.candidates[i].location);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(i);
    item.pszText = name.data();
    SendMessageW(m_hList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    SetCell(m_hList, static_cast<int>(i), 1, inputs.candidates[i].host);
  }
  SetDlgItemText(IDC_RANK_PROGRESS, Format(text::kRankProgressFormat, std::size_t{0}, std::size_t{0}));
  const bool started = m_worker.Start([this, inputs = std::move(inputs)] {
    LocationRank rank(m_resolver, RankOptions{});
    RankReport report = rank.Run(
        inputs.candidates, inputs.ports, inputs.currentLocation, inputs.proxy, inputs.ownAddresses,
        inputs.routes,
        [this](std::size_t done, std::size_t total) {
          PostMessageA(m_hWnd, kRankProgress, done, static_cast<LPARAM>(total));
        },
        &m_stop);
    {
      const std::lock_guard lock(m_endMutex);
      m_ended = std::move(report);
    }
    PostMessageA(m_hWnd, kRankEnded, 0, 0);
  });
  if (!started) SetDlgItemText(IDC_RANK_PROGRESS, text::kRowStopped);
  SetFocus(GetDlgItem(IDC_RANK_CLOSE));
  return FALSE;  // the focus is set
}

void RankWindow::RunEnded() {
  m_worker.Join();
  {
    const std::lock_guard lock(m_endMutex);
    m_report = std::move(m_ended);
    m_ended.reset();
  }
  if (!m_report || m_report->interrupted) {
    SetDlgItemText(IDC_RANK_PROGRESS, text::kRowStopped);
    return;
  }
  SetDlgItemText(IDC_RANK_PROGRESS, Format(text::kRankDoneFormat, m_report->durationMs / 1000.0));
  FillList();
  SetDlgItemText(IDC_RANK_ADVICE, AdviceWords(*m_report));
  const bool storable = m_report->decision.kind == RankDecisionKind::Recommend;
  EnableWindow(GetDlgItem(IDC_RANK_APPLY), storable ? TRUE : FALSE);
  if (storable) SetFocus(GetDlgItem(IDC_RANK_APPLY));
}

void RankWindow::FillList() {
  const RankReport& report = *m_report;
  for (std::size_t i = 0; i < report.locations.size(); ++i) {
    const LocationResult& r = report.locations[i];
    const int row = static_cast<int>(i);
    std::string address = r.host;
    if (report.proxy)
      address += " (proxy)";
    else if (r.address)
      address = DottedIPv4(*r.address);
    SetCell(m_hList, row, 1, address);
    SetCell(m_hList, row, 2, MsCell(r, r.p50));
    SetCell(m_hList, row, 3, MsCell(r, r.p90));
    SetCell(m_hList, row, 4, r.roundsMs.empty() ? std::string("-")
                                                : Format("%zu/%zu", r.lostRounds, r.roundsMs.size()));
    SetCell(m_hList, row, 5, MsCell(r, r.score()));
    SetCell(m_hList, row, 6, VerdictWords(report, i));
  }
}

void RankWindow::OnApply() {
  if (!m_report || m_report->decision.kind != RankDecisionKind::Recommend) return;
  const std::string& location = m_report->locations[*m_report->decision.winner].location;
  const StoreLocationResult stored =
      StoreLocationKeepingPorts(SystemProfileStore(), ClientPaths::FromProcess(), location);
  switch (stored.outcome) {
    case StoreLocationOutcome::Stored:
      SetDlgItemText(IDC_RANK_ADVICE, Format(text::kRankStoredFormat, location.c_str()));
      SetFocus(GetDlgItem(IDC_RANK_CLOSE));
      EnableWindow(GetDlgItem(IDC_RANK_APPLY), FALSE);
      if (m_stored) m_stored();
      return;
    case StoreLocationOutcome::NoPriorityPorts:
      MessageBox(text::kRankNoPriorityPorts, MB_OK | MB_ICONINFORMATION);
      return;
    case StoreLocationOutcome::Refused:
    case StoreLocationOutcome::NotListed:
      MessageBox(stored.refusal != nullptr ? stored.refusal : text::kNoLocationChosen, MB_OK);
      return;
    case StoreLocationOutcome::NotSaved:
      MessageBox(Format(text::kSettingNotSavedFormat, stored.failure->path.c_str(),
                        stored.failure->reason.c_str()).c_str(), MB_OK | MB_ICONWARNING);
      if (m_stored) m_stored();  // what did stick shows in the label
      return;
  }
}

void RankWindow::OnCancel() { EndDialog(IDCANCEL); }

void RankWindow::StopAndJoin() {
  m_stop.store(true);
  // The worker only posts to this window: its waits end within a poll.
  m_worker.Join();
}

BOOL RankWindow::DestroyWindow() {
  StopAndJoin();
  return DialogBase::DestroyWindow();
}

bool RankWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  (void)result;
  switch (message) {
    case kRankProgress:
      if (!m_report)
        SetDlgItemText(IDC_RANK_PROGRESS,
                       Format(text::kRankProgressFormat, static_cast<std::size_t>(wParam),
                              static_cast<std::size_t>(lParam)));
      return true;
    case kRankEnded:
      RunEnded();
      return true;
    default:
      return false;
  }
}

}  // namespace rk
