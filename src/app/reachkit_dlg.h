#pragma once
// The program's main window: the connection preference, the two settings
// buttons, the host list, the four tool buttons and the result list.
#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/watch_window.h"
#include "ui/dialog_layer_win32.h"
#include "config/host_catalogue.h"
#include "controls/group_layout.h"
#include "controls/result_list_win32.h"
#include "probes/icmp_echo.h"
#include "runs/check_table.h"
#include "runs/probe_run.h"

namespace rk {

class CMyBtn;

// The About box (template 100): icon, name and version; no buttons. Enter,
// Escape and the close box end it.
class CAboutDlg : public ui::DialogBase {
 public:
  explicit CAboutDlg(HWND parent);
};

// The preference text with its own 9-point font.
struct PreferenceLabel {
  ui::Control m_static;
  HFONT m_font = nullptr;      // owned when m_bFontCreated
  bool m_bFontCreated = false;

  PreferenceLabel() = default;
  ~PreferenceLabel() {
    if (m_bFontCreated) DeleteObject(m_font);
  }
  PreferenceLabel(const PreferenceLabel&) = delete;
  PreferenceLabel& operator=(const PreferenceLabel&) = delete;
};

class CReachkitDlg : public ui::DialogBase, private TestButtons {
 public:
  explicit CReachkitDlg(HWND parent);
  ~CReachkitDlg() override;

 protected:
  [[nodiscard]] std::span<const ui::CommandEntry> GetCommandMap() const override;
  void DoDataExchange(ui::DataExchange& exchange) override;
  BOOL OnInitDialog() override;
  bool OnSysCommand(UINT id, LPARAM param) override;
  bool OnPaint() override;
  void OnDestroy() override;
  // The modal run is ending: the running test, if any, is stopped and its
  // worker waited for before the window goes.
  BOOL DestroyWindow() override;

 private:
  void OnProxySetting();
  void OnConnectSetting();
  void OnBnClickedPing();
  void OnBnClickedTraceRt();
  void OnBnClickedTelnet();
  void OnBnClickedClear();
  void StartTest(TestKind kind);
  void OnCopyLine() { m_lstResult.actions().CopySelectedLine(); }
  void OnCopyAll() { m_lstResult.actions().CopyAllLines(); }
  void OnSaveReport() { m_lstResult.actions().SaveReport(); }
  // The system menu's check of every host, as a run of the window; through
  // the stored proxy too when one of type 1..4 is stored.
  void OnCheckAllHosts();
  // Opens the watch window, or brings it to the front when it is open.
  void OnWatch();
  void OnRankLocations();  // the ranking window; a stored choice refreshes the label
  // The support report's lines (UTF-8) with the result list's `lines`.
  [[nodiscard]] std::vector<std::string> SupportReportLines(std::vector<std::string> lines);
  static constexpr char kNoCheckYet[] =
      "no check of every host has run in this window yet (system menu: check all hosts)";

  [[nodiscard]] static std::string ReadFileVersion();
  void CreateButtons();
  void OrderTabStops();
  void CreatePreferenceLabel();
  void RefreshPreferenceLabel();
  // Moves separator `lineId` beside title `titleId` and returns the group's
  // content rectangle; `nextTitleId` 0 means the group runs to the bottom.
  PixelRect PlaceGroup(int titleId, int lineId, int nextTitleId, int gap);
  void LayOut();
  // The height of one line of the preference label in its font, in pixels.
  [[nodiscard]] int LabelLineHeight() const;
  [[nodiscard]] PixelRect ChildRect(HWND child) const;
  void MoveChild(HWND child, const PixelRect& rect) const;
  // Stops a running test and waits for its worker, handling the messages
  // the worker sends meanwhile. Runs once.
  void CloseTestRun();
  // One slice of any wait of this thread for a worker: up to kStopPollMs,
  // handling the messages sent to this thread meanwhile (a worker's append
  // or its giving back of the buttons needs them).
  static void WaitServingSentMessages();
  // The test buttons on or off, on the window's thread. The focus leaves a
  // button that is about to be disabled for the result list, and goes back
  // at the run's end if it is still there.
  void ApplyTestButtons(bool enabled);
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

  // TestButtons: Ping, TraceRT, Telnet.
  void SetTestButtonsEnabled(bool enabled) override;

  PreferenceLabel* m_pPreferenceLabel;       // owned
  CMyBtn* m_pBtnProxySetting = nullptr;      // owned
  CMyBtn* m_pBtnConnectSetting = nullptr;    // owned
  ui::ComboBox m_cmbHost;
  CMyBtn* m_pBtnPing = nullptr;              // owned
  CMyBtn* m_pBtnTraceRt = nullptr;           // owned
  CMyBtn* m_pBtnTelnet = nullptr;            // owned
  CMyBtn* m_pBtnClear = nullptr;             // owned
  ResultList m_lstResult;  // the runs' result sink
  HICON m_hIcon;                             // shared resource icon, not destroyed
  HostCatalogue m_catalogue;
  IcmpEchoService m_icmp;
  bool m_bTestRunClosed = false;
  HWND m_hFocusBeforeRun = nullptr;  // the test button that had the focus when the run began
  // The last check of every host that ran to its end: written by its worker,
  // read by the report on the window's thread.
  std::mutex m_lastCheckMutex;
  std::optional<CheckRun> m_lastCheck;  // guarded by m_lastCheckMutex
  // Last, so that it stops and joins its worker before anything the worker
  // writes to is destroyed.
  TestRunController m_run;
  std::unique_ptr<WatchWindow> m_pWatchWindow;  // modeless; closed with this window
  // After the run controller, which it goes through: stopped and joined first.
};

}  // namespace rk
