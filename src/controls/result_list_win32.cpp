#include "controls/result_list_win32.h"

#include <utility>

namespace rk {

void ResultList::Attach(HWND dialog, ResultListActions::ReportWriter report) {
  m_actions.Attach(dialog, m_hWnd, std::move(report));
}

void ResultList::AppendLine(std::string line) {
  ::SendMessageA(m_hWnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  WidenFor(line);
  const LRESULT count = ::SendMessageA(m_hWnd, LB_GETCOUNT, 0, 0);
  if (count > 0) ::SendMessageA(m_hWnd, LB_SETCURSEL, static_cast<WPARAM>(count - 1), 0);
}

void ResultList::WidenFor(const std::string& line) {
  // The list scrolls sideways to its widest line, so that a long line (a
  // check's line with its verdict through the proxy) can be read to its end.
  HDC dc = GetDC(m_hWnd);
  if (dc == nullptr) return;
  const HGDIOBJ font = reinterpret_cast<HGDIOBJ>(::SendMessageA(m_hWnd, WM_GETFONT, 0, 0));
  const HGDIOBJ old = font != nullptr ? SelectObject(dc, font) : nullptr;
  SIZE size{};
  const bool measured =
      GetTextExtentPoint32A(dc, line.c_str(), static_cast<int>(line.size()), &size) != FALSE;
  if (old != nullptr) SelectObject(dc, old);
  ReleaseDC(m_hWnd, dc);
  const int width = size.cx + 2 * GetSystemMetrics(SM_CXEDGE);
  if (!measured || width <= m_nListExtent.load()) return;
  m_nListExtent = width;
  ::SendMessageA(m_hWnd, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(width), 0);
}

void ResultList::Clear() {
  ::SendMessageA(m_hWnd, LB_RESETCONTENT, 0, 0);
  m_nListExtent = 0;
  ::SendMessageA(m_hWnd, LB_SETHORIZONTALEXTENT, 0, 0);
}

}  // namespace rk
