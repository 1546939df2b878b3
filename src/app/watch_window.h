#pragma once
// The watch window: every endpoint of the host list sampled on and on (the watch engine), one
// row per endpoint refreshed once a second, and under it the chart of the selected row over
// the last 10 minutes (60 by a toggle). Modeless: the main window stays usable meanwhile.
// The watch writes its log into a file of its own in the temporary folder, removed when the
// window goes; 儲存記錄… copies it, 儲存 HTML 報告… turns it into a report.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "config/host_catalogue.h"
#include "controls/result_list_actions_win32.h"
#include "probes/icmp_echo.h"
#include "probes/net_address.h"
#include "probes/proxy_connector.h"
#include "runs/watch.h"
#include "ui/anchored_layout_win32.h"
#include "ui/dialog_layer_win32.h"

namespace rk {

class WatchWindow : public ui::DialogBase {
 public:
  // `catalogue`, `resolver` and `echo` must outlive the window. `proxy`: the stored proxy the
  // client uses, when it uses one; `clientRoot` is named in the log (code page 950), `version`
  // in the HTML report.
  WatchWindow(HWND parent, const HostCatalogue& catalogue, NameResolver& resolver,
              EchoService& echo, std::optional<ProxyRoute> proxy, std::string clientRoot,
              std::string version);
  ~WatchWindow() override;

  // Opens the window and starts the watch; false when the window could not be made.
  bool Open();

 protected:
  [[nodiscard]] std::span<const ui::CommandEntry> GetCommandMap() const override;
  BOOL OnInitDialog() override;
  void OnOK() override {}
  void OnCancel() override { OnClose(); }  // Escape and the close box
  bool OnPaint() override;
  BOOL DestroyWindow() override;
  void OnDestroy() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

 private:
  void StartWatch();
  void OnStarted(bool started);
  void StopWatch();
  void OnStartStop();
  void OnSaveLog();
  void OnSaveHtml();
  void OnClose();
  void OnSpan();
  void Refresh();
  void ShowStatus();
  [[nodiscard]] RECT ChartRect() const;
  [[nodiscard]] int Selected() const;

  const HostCatalogue& m_catalogue;
  NameResolver& m_resolver;
  EchoService& m_echo;
  std::optional<ProxyRoute> m_proxy;
  std::string m_strClientRoot;
  std::string m_strVersion;
  std::string m_strLogPath;  // the watch's own log, in the temporary folder
  std::unique_ptr<Watch> m_pWatch;     // the watch shown (running or stopped)
  std::unique_ptr<Watch> m_pStarting;  // being started by m_starter
  std::thread m_starter;
  std::string m_strStartError;         // written by m_starter before it posts
  WatchSnapshot m_snapshot;               // the last one shown
  std::vector<std::vector<WatchOutage>> m_outages;  // per row, from the summary
  int m_nLocalOffsetMinutes = 0;
  HWND m_hList = nullptr;  // not owned
  ui::AnchoredLayout m_layout;
  HeldCellText m_cell;     // the last cell handed to the list (it reads it later)
};

}  // namespace rk
