#pragma once
// The main window's result list: a list box of the dialog template, bound by
// id, whose lines are only appended at the end or all removed. It is where
// the test runs write (a ResultSink), it scrolls sideways to its widest line,
// and it carries its context menu (ResultListActions).
#include <windows.h>

#include <atomic>
#include <string>

#include "controls/result_list_actions_win32.h"
#include "runs/probe_run.h"
#include "ui/dialog_layer_win32.h"

namespace rk {

class ResultList final : public ui::ListBox, public ResultSink {
 public:
  ResultList() = default;
  ResultList(const ResultList&) = delete;
  ResultList& operator=(const ResultList&) = delete;

  // After the list is bound: takes over its right button, menu keys and
  // Ctrl+C; `dialog` receives the menu's commands, `report` builds the
  // saved report around the lines.
  void Attach(HWND dialog, ResultListActions::ReportWriter report);
  [[nodiscard]] ResultListActions& actions() { return m_actions; }

  // ResultSink, through synchronous messages: a line is in the list when a
  // worker's append returns. Any thread; the window's thread must be serving
  // sent messages while a worker appends.
  void AppendLine(std::string line) override;
  void Clear() override;

 private:
  // Lets the list scroll sideways as far as `line` is wide.
  void WidenFor(const std::string& line);

  std::atomic<int> m_nListExtent{0};  // the list's horizontal extent in pixels
  ResultListActions m_actions;
};

}  // namespace rk
