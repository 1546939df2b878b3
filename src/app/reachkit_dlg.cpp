#include "app/reachkit_dlg.h"

#include "app/check_window.h"
#include "app/rank_window.h"

#include <optional>
#include <vector>

#include "app/version_text.h"
#include "app/window_resolver.h"
#include "base/format.h"
#include "base/texts.h"
#include "config/client_paths.h"
#include "config/connection_preference.h"
#include "config/profile_store.h"
#include "controls/owner_draw_button_win32.h"
#include "runs/check_all_lines.h"
#include "runs/conclusion.h"
#include "runs/check_all_work.h"
#include "probes/proxy_connector.h"
#include "runs/support_report.h"
#include "dialogs/settings_commands_win32.h"
#include "resource.h"

namespace rk {

namespace {
// A worker's change of the test buttons, carried to the window's thread:
// wParam TRUE to enable them. Sent, so the change is made when it returns.
constexpr UINT kTestButtonsMessage = WM_APP + 1;
}  // namespace

CAboutDlg::CAboutDlg(HWND parent) : DialogBase(IDD_ABOUTBOX, parent) {}

CReachkitDlg::CReachkitDlg(HWND parent)
    : DialogBase(IDD_REACHKIT_DIALOG, parent),
      m_pPreferenceLabel(new PreferenceLabel),
      m_hIcon(LoadIconA(ui::ResourceInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME))),
      m_run(m_lstResult, *this, m_icmp, WindowNameResolver()) {
  m_run.SetOwnerWait(&CReachkitDlg::WaitServingSentMessages);
}

CReachkitDlg::~CReachkitDlg() {
  CloseTestRun();
  delete m_pPreferenceLabel;
  delete m_pBtnProxySetting;
  delete m_pBtnConnectSetting;
  delete m_pBtnPing;
  delete m_pBtnTraceRt;
  delete m_pBtnTelnet;
  delete m_pBtnClear;
}

std::span<const ui::CommandEntry> CReachkitDlg::GetCommandMap() const {
  static constexpr ui::CommandEntry kCommands[] = {
      ui::OnCommand<&CReachkitDlg::OnProxySetting>(IDC_BTN_PROXY_SETTING),
      ui::OnCommand<&CReachkitDlg::OnConnectSetting>(IDC_BTN_CONNECT_SETTING),
      ui::OnCommand<&CReachkitDlg::OnBnClickedPing>(IDC_BTN_PING),
      ui::OnCommand<&CReachkitDlg::OnBnClickedTraceRt>(IDC_BTN_TRACERT),
      ui::OnCommand<&CReachkitDlg::OnBnClickedTelnet>(IDC_BTN_TELNET),
      ui::OnCommand<&CReachkitDlg::OnBnClickedClear>(IDC_BTN_CLEAR),
      ui::OnCommand<&CReachkitDlg::OnCopyLine>(IDM_COPY_LINE),
      ui::OnCommand<&CReachkitDlg::OnCopyAll>(IDM_COPY_ALL),
      ui::OnCommand<&CReachkitDlg::OnSaveReport>(IDM_SAVE_REPORT),
      ui::OnCommand<&CReachkitDlg::OnCheckAllHosts>(IDM_CHECK_ALL, 0),
  };
  return kCommands;
}

void CReachkitDlg::DoDataExchange(ui::DataExchange& exchange) {
  DialogBase::DoDataExchange(exchange);
  ui::DDX_Control(exchange, IDC_RESULT_LIST, m_lstResult);
  ui::DDX_Control(exchange, IDC_HOST_COMBO, m_cmbHost);
}

BOOL CReachkitDlg::OnInitDialog() {
  DialogBase::OnInitDialog();

  if (HMENU systemMenu = GetSystemMenu(m_hWnd, FALSE); systemMenu != nullptr) {
    const std::string about = ui::LoadResourceString(IDS_ABOUTBOX);
    if (!about.empty()) {
      AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
      AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, about.c_str());
      AppendMenuA(systemMenu, MF_STRING, IDM_CHECK_ALL, text::kCheckAllItem);
      AppendMenuA(systemMenu, MF_STRING, IDM_RANK_LOCATIONS, text::kRankItem);
      AppendMenuA(systemMenu, MF_STRING, IDM_WATCH, text::kWatchItem);
    }
  }

  SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

  SetWindowText(Format(text::kTitleFormat, GetWindowText().c_str(), ReadFileVersion().c_str()));

  m_catalogue = BuildHostCatalogue(SystemProfileStore(), ClientPaths::FromProcess());
  for (const std::string& label : m_catalogue.labels) m_cmbHost.AddString(label);
  m_cmbHost.SetCurSel(0);
  m_lstResult.Attach(m_hWnd, [this](std::vector<std::string> lines) {
    return SupportReportLines(std::move(lines));
  });

  if (!m_icmp.Initialize()) {
    // The window runs on with its template controls only: no test can start.
    MessageBox(text::kIcmpFunctionsMissing, MB_OK);
    return FALSE;
  }

  CreateButtons();
  CreatePreferenceLabel();
  LayOut();
  OrderTabStops();
  // The focus starts on the host combo, not on the first tab stop (a settings
  // button), so that Enter never opens a settings dialog by surprise.
  ::SetFocus(m_cmbHost.m_hWnd);
  return FALSE;
}

void CReachkitDlg::OrderTabStops() {
  // Tab follows what the eye reads, top to bottom and left to right; the
  // buttons made at run time would otherwise come after the template's
  // controls. The z-order is the tab order.
  const HWND order[] = {m_pBtnProxySetting->GetSafeHwnd(), m_pBtnConnectSetting->GetSafeHwnd(),
                        m_cmbHost.m_hWnd,                  m_pBtnPing->GetSafeHwnd(),
                        m_pBtnTraceRt->GetSafeHwnd(),      m_pBtnTelnet->GetSafeHwnd(),
                        m_pBtnClear->GetSafeHwnd(),        m_lstResult.m_hWnd};
  HWND after = HWND_TOP;
  for (const HWND control : order) {
    SetWindowPos(control, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    after = control;
  }
}

void CReachkitDlg::CreateButtons() {
  struct ButtonPlan {
    CMyBtn*& member;
    UINT id;
    UINT image;
    UINT disabledImage;
  };
  const ButtonPlan buttons[] = {
      {m_pBtnProxySetting, IDC_BTN_PROXY_SETTING, IDB_PNG_PROXY_SETTING, 0},
      {m_pBtnConnectSetting, IDC_BTN_CONNECT_SETTING, IDB_PNG_CONNECT_SETTING, 0},
      {m_pBtnPing, IDC_BTN_PING, IDB_PNG_PING, IDB_PNG_PING_FADED},
      {m_pBtnTraceRt, IDC_BTN_TRACERT, IDB_PNG_TRACE, IDB_PNG_TRACE_FADED},
      {m_pBtnTelnet, IDC_BTN_TELNET, IDB_PNG_TELNET, IDB_PNG_TELNET_FADED},
      {m_pBtnClear, IDC_BTN_CLEAR, IDB_PNG_CLEAR, 0},
  };
  for (const ButtonPlan& plan : buttons) {
    plan.member = new CMyBtn(plan.image, plan.disabledImage);
    plan.member->Create(m_hWnd, plan.id);
  }
}

void CReachkitDlg::CreatePreferenceLabel() {
  PreferenceLabel& label = *m_pPreferenceLabel;
  label.m_static.m_hWnd = CreateWindowExA(
      0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_CENTER, 0, 0, 0, 0, m_hWnd,
      reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_PREFERENCE_LABEL)),
      ui::ResourceInstance(), nullptr);

  LOGFONTA description{};
  auto dialogFont = reinterpret_cast<HFONT>(SendMessageA(m_hWnd, WM_GETFONT, 0, 0));
  if (dialogFont != nullptr) GetObjectA(dialogFont, sizeof description, &description);
  // 9 points in the screen's pixels, as a point font is made.
  HDC screen = GetDC(nullptr);
  description.lfHeight = -MulDiv(90, GetDeviceCaps(screen, LOGPIXELSY), 720);
  ReleaseDC(nullptr, screen);
  description.lfWidth = 0;
  label.m_font = CreateFontIndirectA(&description);
  label.m_bFontCreated = label.m_font != nullptr;
  if (label.m_bFontCreated)
    label.m_static.SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(label.m_font), TRUE);

  RefreshPreferenceLabel();
}

void CReachkitDlg::RefreshPreferenceLabel() {
  if (m_pPreferenceLabel == nullptr || m_pPreferenceLabel->m_static.m_hWnd == nullptr) return;
  m_pPreferenceLabel->m_static.SetWindowText(
      PreferenceLabelText(SystemProfileStore(), ClientPaths::FromProcess()));
}

std::string CReachkitDlg::ReadFileVersion() {
  // A bare file name: the usual search finds the program's own folder first.
  constexpr char kFileName[] = "Reachkit.exe";
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(kFileName, &ignored);
  if (size == 0) return {};
  std::vector<unsigned char> block(size + 1, 0);
  if (!GetFileVersionInfoA(kFileName, 0, size, block.data())) return {};

  void* translation = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &translation, &length) ||
      translation == nullptr || length < 2 * sizeof(WORD))
    return {};
  const auto* pair = static_cast<const WORD*>(translation);
  const std::string query =
      Format("\\StringFileInfo\\%04x%04x\\FileVersion", unsigned{pair[0]}, unsigned{pair[1]});
  void* value = nullptr;
  if (!VerQueryValueA(block.data(), query.c_str(), &value, &length) || value == nullptr) return {};
  return VersionForTitle(static_cast<const char*>(value));
}

PixelRect CReachkitDlg::ChildRect(HWND child) const {
  RECT rect{};
  GetWindowRect(child, &rect);
  POINT corners[2] = {{rect.left, rect.top}, {rect.right, rect.bottom}};
  ScreenToClient(m_hWnd, &corners[0]);
  ScreenToClient(m_hWnd, &corners[1]);
  return {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

void CReachkitDlg::MoveChild(HWND child, const PixelRect& rect) const {
  MoveWindow(child, rect.left, rect.top, rect.width(), rect.height(), TRUE);
}

int CReachkitDlg::LabelLineHeight() const {
  const HWND label = m_pPreferenceLabel->m_static.m_hWnd;
  HDC dc = GetDC(label);
  const auto font = reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0));
  const HGDIOBJ previous = font != nullptr ? SelectObject(dc, font) : nullptr;
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  if (previous != nullptr) SelectObject(dc, previous);
  ReleaseDC(label, dc);
  return static_cast<int>(metrics.tmHeight);
}

PixelRect CReachkitDlg::PlaceGroup(int titleId, int lineId, int nextTitleId, int gap) {
  RECT client{};
  GetClientRect(m_hWnd, &client);
  const std::optional<int> nextTop =
      nextTitleId != 0 ? std::optional<int>(ChildRect(GetDlgItem(nextTitleId)).top) : std::nullopt;
  const GroupPlacement placement =
      rk::PlaceGroup(ChildRect(GetDlgItem(titleId)), client.right, client.bottom, nextTop, gap);
  MoveChild(GetDlgItem(lineId), placement.line);
  return placement.content;
}

void CReachkitDlg::LayOut() {
  const PixelRect preference =
      PlaceGroup(IDC_PREFERENCE_TITLE, IDC_PREFERENCE_LINE, IDC_SETTINGS_TITLE, 3);
  // The group is as tall as the titles make it; a line of the label's font
  // may need a pixel or two more, which it takes from the gaps around it.
  MoveChild(m_pPreferenceLabel->m_static.m_hWnd, AtLeastOneLine(preference, LabelLineHeight()));

  const PixelRect settings = PlaceGroup(IDC_SETTINGS_TITLE, IDC_SETTINGS_LINE, IDC_NETWORK_TITLE, 7);
  const auto settingsButtons = SplitSettingsRow(settings);
  MoveChild(m_pBtnProxySetting->GetSafeHwnd(), settingsButtons[0]);
  MoveChild(m_pBtnConnectSetting->GetSafeHwnd(), settingsButtons[1]);

  const PixelRect network = PlaceGroup(IDC_NETWORK_TITLE, IDC_NETWORK_LINE, 0, 15);
  MoveChild(m_cmbHost.m_hWnd, network);  // the height is the drop-down's extent
  const PixelRect combo = ChildRect(m_cmbHost.m_hWnd);
  const auto tools = ToolButtonRow(combo);
  const CMyBtn* toolButtons[] = {m_pBtnPing, m_pBtnTraceRt, m_pBtnTelnet, m_pBtnClear};
  for (size_t i = 0; i < tools.size(); ++i) MoveChild(toolButtons[i]->GetSafeHwnd(), tools[i]);
  MoveChild(m_lstResult.m_hWnd, ResultListRect(network, combo));
}

bool CReachkitDlg::OnSysCommand(UINT id, LPARAM) {
  if ((id & 0xFFF0u) == IDM_CHECK_ALL) {
    OnCheckAllHosts();
    return true;
  }
  if ((id & 0xFFF0u) == IDM_WATCH) {
    OnWatch();
    return true;
  }
  if ((id & 0xFFF0u) == IDM_RANK_LOCATIONS) {
    OnRankLocations();
    return true;
  }
  if ((id & 0xFFF0u) != IDM_ABOUTBOX) return false;
  CAboutDlg about(m_hWnd);
  about.DoModal();
  return true;
}

bool CReachkitDlg::OnPaint() {
  if (!IsIconic(m_hWnd)) return false;
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(m_hWnd, &paint);
  SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  const int iconWidth = GetSystemMetrics(SM_CXICON);
  const int iconHeight = GetSystemMetrics(SM_CYICON);
  RECT client{};
  GetClientRect(m_hWnd, &client);
  DrawIcon(dc, (client.right - iconWidth + 1) / 2, (client.bottom - iconHeight + 1) / 2, m_hIcon);
  EndPaint(m_hWnd, &paint);
  return true;
}

void CReachkitDlg::OnDestroy() {
  // Reached without DestroyWindow only when the platform ends the run by
  // itself (a quit message); the worker must still be stopped first.
  CloseTestRun();
  m_pWatchWindow.reset();
  if (m_pPreferenceLabel != nullptr && m_pPreferenceLabel->m_static.m_hWnd != nullptr) {
    ::DestroyWindow(m_pPreferenceLabel->m_static.m_hWnd);
    m_pPreferenceLabel->m_static.m_hWnd = nullptr;
  }
}

BOOL CReachkitDlg::DestroyWindow() {
  CloseTestRun();
  m_pWatchWindow.reset();  // its watch stops within a second
  return DialogBase::DestroyWindow();
}

void CReachkitDlg::CloseTestRun() {
  if (m_bTestRunClosed) return;
  m_bTestRunClosed = true;
  // A worker may be blocked in a synchronous append or button change that
  // only this thread can answer: take in sent messages while waiting. The
  // check goes first: it ends its run through the controller.
  m_run.CloseStep();
}

void CReachkitDlg::WaitServingSentMessages() {
  // Wakes for a message sent to this thread; the peek handles every sent
  // message waiting and removes nothing posted.
  MsgWaitForMultipleObjects(0, nullptr, FALSE, kStopPollMs, QS_SENDMESSAGE);
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

void CReachkitDlg::OnProxySetting() {
  // The dialog is modal over the main window, which stays as it was.
  RunProxySettingDialog(m_hWnd);
}

void CReachkitDlg::OnConnectSetting() {
  if (RunConnectSettingDialog(m_hWnd)) RefreshPreferenceLabel();
}

void CReachkitDlg::StartTest(TestKind kind) { m_run.StartTest(kind, m_catalogue, m_cmbHost.GetCurSel()); }
void CReachkitDlg::OnBnClickedPing() { StartTest(TestKind::Ping); }
void CReachkitDlg::OnBnClickedTraceRt() { StartTest(TestKind::TraceRoute); }
void CReachkitDlg::OnBnClickedTelnet() { StartTest(TestKind::Telnet); }
void CReachkitDlg::OnBnClickedClear() { m_run.ClearResultList(); }

void CReachkitDlg::OnCheckAllHosts() {
  // The stored proxy is read here, on the window's thread, which alone
  // touches the configuration files; the worker gets the values.
  CheckWindow::Hooks hooks;
  hooks.setup = [this] {
    CheckAllSetup setup{WindowNameResolver(), m_icmp, {}, std::nullopt, {}};
    if (ProxyRoute route = StoredProxyRoute(SystemProfileStore(), ClientPaths::FromProcess());
        IsProxyStored(route.type)) {
      setup.attempts = ConnectorAttempts(route, WindowNameResolver(), kConnectTimeoutMs);
      setup.proxy = std::move(route);
    }
    return setup;
  };
  hooks.finished = [this](const CheckRun& run) {
    // The main list keeps one line per check: its conclusion, then its counts.
    const std::vector<std::string> closing =
        ClosingLines(run.report, run.proxy ? &run.proxied : nullptr, nullptr);
    m_run.AppendResultLine((run.conclusion ? ConclusionWords(*run.conclusion) + "  " : std::string()) +
                           closing.back());
    const std::lock_guard lock(m_lastCheckMutex);
    m_lastCheck = run;
  };
  hooks.saveReport = [this](HWND owner) { m_lstResult.actions().SaveReport(owner); };
  CheckWindow window(m_hWnd, m_catalogue, std::move(hooks));
  window.DoModal();
}

void CReachkitDlg::OnWatch() {
  if (m_pWatchWindow && m_pWatchWindow->GetSafeHwnd() != nullptr) {
    const HWND open = m_pWatchWindow->GetSafeHwnd();
    if (IsIconic(open)) ShowWindow(open, SW_RESTORE);
    SetForegroundWindow(open);
    return;
  }
  // Read here, on the window's thread, which alone touches the configuration files.
  const ClientPaths paths = ClientPaths::FromProcess();
  std::optional<ProxyRoute> proxy;
  if (ProxyRoute route = StoredProxyRoute(SystemProfileStore(), paths); IsProxyStored(route.type))
    proxy = std::move(route);
  m_pWatchWindow.reset();
  m_pWatchWindow = std::make_unique<WatchWindow>(m_hWnd, m_catalogue, WindowNameResolver(), m_icmp,
                                                 std::move(proxy), paths.root(), ReadFileVersion());
  if (!m_pWatchWindow->Open()) m_pWatchWindow.reset();
}

void CReachkitDlg::OnRankLocations() {
  RankWindow window(m_hWnd, WindowNameResolver(), [this] { RefreshPreferenceLabel(); });
  window.DoModal();
}

std::vector<std::string> CReachkitDlg::SupportReportLines(std::vector<std::string> lines) {
  // The report the CLI's `report` writes, with the result list's lines. Its
  // check is the last check of every host this window ran, not a new one: a
  // check takes up to the connect time-out and more for its diagnosis, which
  // this thread must not wait for, and what the user saw in the list is what
  // the desk is to read. Without one, the report says how to run it.
  const ClientPaths paths = ClientPaths::FromProcess();
  ReportResult report = CollectReport(SystemProfileStore(), paths, ReadFileVersion());
  {
    std::lock_guard lock(m_lastCheckMutex);
    report.check = m_lastCheck;
  }
  if (!report.check) report.noCheck = kNoCheckYet;
  report.resultLines = std::move(lines);
  return ReportTextLines(report);
}

void CReachkitDlg::SetTestButtonsEnabled(bool enabled) {
  if (GetWindowThreadProcessId(m_hWnd, nullptr) != GetCurrentThreadId()) {
    // A worker's end: the focus is the window thread's, so is the change.
    SendMessageA(m_hWnd, kTestButtonsMessage, enabled ? TRUE : FALSE, 0);
    return;
  }
  ApplyTestButtons(enabled);
}

void CReachkitDlg::ApplyTestButtons(bool enabled) {
  const HWND list = m_lstResult.m_hWnd;
  if (!enabled) {
    // A disabled window loses the focus to nobody, and a dialog without a
    // focus ignores Escape, Enter and Tab until a click.
    const HWND focus = GetFocus();
    m_hFocusBeforeRun = nullptr;
    for (const CMyBtn* button : {m_pBtnPing, m_pBtnTraceRt, m_pBtnTelnet})
      if (button != nullptr && button->GetSafeHwnd() == focus) m_hFocusBeforeRun = focus;
    if (m_hFocusBeforeRun != nullptr)
      SendMessageA(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list), TRUE);
  }
  for (const CMyBtn* button : {m_pBtnPing, m_pBtnTraceRt, m_pBtnTelnet})
    if (button != nullptr) EnableWindow(button->GetSafeHwnd(), enabled ? TRUE : FALSE);
  if (enabled) {
    // Back to the button that started the run, unless the user moved on.
    if (m_hFocusBeforeRun != nullptr && GetFocus() == list)
      SendMessageA(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_hFocusBeforeRun), TRUE);
    m_hFocusBeforeRun = nullptr;
  }
}

bool CReachkitDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
  if (message != kTestButtonsMessage) return false;
  ApplyTestButtons(wParam != FALSE);
  result = TRUE;
  return true;
}

}  // namespace rk
