#pragma once
// The check window: every endpoint of the host list checked at once, one row
// per endpoint in a table that fills in as verdicts arrive. Modal over the
// main window; the check runs on a worker thread that only posts to it, so
// the window answers at once throughout and can stop or close within a
// moment.
#include <windows.h>

#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "config/host_catalogue.h"
#include "controls/result_list_actions_win32.h"
#include "runs/check_all_work.h"
#include "runs/check_rows.h"
#include "runs/check_table.h"
#include "ui/anchored_layout_win32.h"
#include "ui/dialog_layer_win32.h"

namespace rk {

class CheckWindow : public ui::DialogBase {
 public:
  struct Hooks {
    // What each check runs with, made on the window's thread at its start.
    std::function<CheckAllSetup()> setup;
    // A check that ran to its end (not one that was stopped).
    std::function<void(const CheckRun& run)> finished;
    // Saves the support report, as the result list's save does.
    std::function<void(HWND owner)> saveReport;
  };

  // `catalogue` must outlive the window; it is read by the worker.
  CheckWindow(HWND parent, const HostCatalogue& catalogue, Hooks hooks);
  ~CheckWindow() override;

 protected:
  [[nodiscard]] std::span<const ui::CommandEntry> GetCommandMap() const override;
  BOOL OnInitDialog() override;
  // Escape: stops a running check, else closes.
  void OnCancel() override;
  void OnOK() override {}
  bool OnSysCommand(UINT id, LPARAM param) override;
  BOOL DestroyWindow() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

 private:
  // What the worker hands over: a direct or a proxied verdict of one slot.
  struct Arrival {
    std::size_t slot = 0;
    std::optional<EndpointResult> direct;
    std::optional<ProxyResult> proxied;
  };

  void StartCheck();
  void OnStop();
  void OnRecheck();
  void OnCopy();
  void OnSave();
  void OnClose();
  void StopAndJoin();
  void Deliver(Arrival arrival);  // worker's threads
  void TakeArrivals();
  void RunEnded();
  void ShowProgress();
  void SetButtons();

  const HostCatalogue& m_catalogue;
  Hooks m_hooks;
  CheckRows m_rows;  // window's thread only
  std::vector<CheckColumn> m_columns;
  HWND m_hList = nullptr;  // not owned
  ULONGLONG m_startTick = 0;
  bool m_running = false;  // window's thread only
  bool m_stopped = false;
  StopFlag m_stop{false};
  std::thread m_worker;
  std::mutex m_inboxMutex;
  std::vector<Arrival> m_inbox;      // guarded by m_inboxMutex
  bool m_inboxPosted = false;        // guarded by m_inboxMutex
  std::optional<CheckRun> m_ended;   // guarded by m_inboxMutex
  HeldCellText m_cell;               // the last cell handed to the list (it reads it later)
  ui::AnchoredLayout m_layout;
};

}  // namespace rk
