#pragma once
// The ranking window: which connection location answers fastest, measured
// on a worker thread that only posts to the window, a row per location once
// the rounds are in, the recommendation, and a button that stores it as the
// connect-setting dialog would. Modal over the main window; closing it stops
// the ranking within a poll of its waits.
#include <windows.h>

#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "probes/net_address.h"
#include "probes/stop_flag.h"
#include "runs/location_rank.h"
#include "runs/worker_thread.h"
#include "ui/dialog_layer_win32.h"

namespace rk {

class RankWindow : public ui::DialogBase {
 public:
  // `stored` runs after the button stored the recommendation (the main
  // window refreshes its preference label). `resolver` outlives the window.
  RankWindow(HWND parent, NameResolver& resolver, std::function<void()> stored);
  ~RankWindow() override;

 protected:
  [[nodiscard]] std::span<const ui::CommandEntry> GetCommandMap() const override;
  BOOL OnInitDialog() override;
  void OnOK() override {}     // Enter presses the focused button, nothing else
  void OnCancel() override;   // Escape closes, stopping a ranking still running
  BOOL DestroyWindow() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

 private:
  void OnApply();
  void RunEnded();
  void FillList();
  void StopAndJoin();

  NameResolver& m_resolver;  // not owned
  std::function<void()> m_stored;
  HWND m_hList = nullptr;  // not owned
  StopFlag m_stop{false};
  WorkerThread m_worker;
  std::mutex m_endMutex;
  std::optional<RankReport> m_ended;  // guarded by m_endMutex
  std::optional<RankReport> m_report;  // window's thread only
};

}  // namespace rk
