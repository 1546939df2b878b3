#pragma once
// The result list's context menu and what its items do: copy the selected
// line, copy every line, save the support report. The items are commands of
// the main window (so they can be posted to it); the window's command table
// calls CopySelectedLine, CopyAllLines and SaveReport.
#include <windows.h>

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "runs/result_export.h"

namespace rk {

// Puts `text` on the clipboard as CF_UNICODETEXT and as CF_TEXT in code page
// 950 (with CF_LOCALE Chinese (Taiwan), so the system's own conversions agree).
// * Another program may hold the clipboard: opening is retried for a bounded
//   time, then Busy is returned; the caller never hangs.
enum class ClipboardOutcome { Done, Busy, Failed };
[[nodiscard]] ClipboardOutcome PutTextOnClipboard(HWND owner, const std::wstring& text);

// The code page of the program's texts (Big5).
inline constexpr UINT kBig5CodePage = 950;

// The bytes of `codePage` as UTF-16.
[[nodiscard]] std::wstring Widen(const std::string& bytes, UINT codePage);

// The text an owner-data list view asks for as it paints a cell (LVN_GETDISPINFOA, or W when
// `wide`): `cell(row, column)` gives it in code page 950 for a row below `rows` and a column
// below `columns`. The list reads the text after the answer, so `held` keeps it until the next.
struct HeldCellText {
  std::string narrow;
  std::wstring wide;
};
void AnswerCellRequest(LPARAM request, bool wide, std::size_t rows, std::size_t columns,
                       const std::function<std::string(std::size_t row, std::size_t column)>& cell,
                       HeldCellText& held);

// The system's save dialog, opening in the user's Documents folder with `suggested` as the
// name, one filter of the kind (`filterName`, `pattern`) and all files; the chosen path, or
// nothing when cancelled. Nothing is written: the caller writes and reports its own failure.
[[nodiscard]] std::optional<std::string> AskSavePath(HWND owner, const std::string& suggested,
                                                     const char* filterName, const char* pattern,
                                                     const char* extension);

class ResultListActions {
 public:
  // Builds the support report's UTF-8 lines around the result list's lines,
  // which are in code page 950. Runs on the window's thread: it must not
  // wait for the network.
  using ReportWriter = std::function<std::vector<std::string>(std::vector<std::string> lines)>;

  ResultListActions() = default;
  ~ResultListActions();
  ResultListActions(const ResultListActions&) = delete;
  ResultListActions& operator=(const ResultListActions&) = delete;

  // Takes over the list's right button, Shift+F10, the menu key and Ctrl+C.
  // `dialog` receives the menu's commands. Detached again by the destructor
  // or when the list goes.
  void Attach(HWND dialog, HWND list, ReportWriter report);

  void CopySelectedLine() const;
  void CopyAllLines() const;
  // Asks for a file name (default: the report name with date and time) and
  // writes the report's lines, CR LF, as UTF-8 with a byte-order mark. A cancelled dialog
  // writes nothing; a failed write names the file and the system's reason in
  // a message box. `owner` owns the dialogs (the main window when null).
  void SaveReport(HWND owner = nullptr) const;

  // The menu at `screen` (a keyboard request: below the selected line).
  void ShowMenu(POINT screen, bool fromKeyboard) const;

 private:
  static LRESULT CALLBACK ListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR id, DWORD_PTR self);
  [[nodiscard]] std::vector<std::wstring> Lines() const;
  [[nodiscard]] int Selection() const;
  void Copy(const std::wstring& text) const;

  HWND m_hDialog = nullptr;  // not owned
  HWND m_hList = nullptr;    // not owned; subclassed while set
  ReportWriter m_report;
};

}  // namespace rk
