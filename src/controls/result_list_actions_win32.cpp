#include "controls/result_list_actions_win32.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>
#include <windowsx.h>

#include <cstring>
#include <memory>

#include "ui/dialog_layer_win32.h"
#include "base/format.h"
#include "base/texts.h"
#include "config/file_io.h"
#include "runs/result_export.h"
#include "resource.h"

namespace rk {

namespace {

constexpr LCID kChineseTaiwan = 0x0404;
// Another program normally holds the clipboard for moments only.
constexpr uint32_t kClipboardWaitMs = 1000;
constexpr uint32_t kClipboardStepMs = 50;

struct GlobalFreer {
  void operator()(void* memory) const { GlobalFree(memory); }
};
using GlobalMemory = std::unique_ptr<void, GlobalFreer>;

// Moveable global memory holding `bytes`; null when the system has none.
GlobalMemory GlobalCopy(const void* bytes, size_t size) {
  GlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, size));
  if (!memory) return memory;
  void* at = GlobalLock(memory.get());
  if (at == nullptr) return nullptr;
  std::memcpy(at, bytes, size);
  GlobalUnlock(memory.get());
  return memory;
}

// Hands `memory` to the clipboard, which then owns it.
bool SetClipboardMemory(UINT format, GlobalMemory memory) {
  if (!memory || SetClipboardData(format, memory.get()) == nullptr) return false;
  memory.release();  // owned by the clipboard from here
  return true;
}

class OpenedClipboard {
 public:
  explicit OpenedClipboard(HWND owner) {
    m_bOpen = RetryWithin([owner] { return OpenClipboard(owner) != FALSE; }, kClipboardWaitMs,
                          kClipboardStepMs, [](uint32_t ms) { Sleep(ms); });
  }
  ~OpenedClipboard() {
    if (m_bOpen) CloseClipboard();
  }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;
  [[nodiscard]] bool IsOpen() const { return m_bOpen; }

 private:
  bool m_bOpen = false;
};

std::string Convert(const std::wstring& text, UINT codePage) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0)
    WideCharToMultiByte(codePage, 0, text.data(), length, bytes.data(), size, nullptr, nullptr);
  return bytes;
}


LocalDateTime Now() {
  SYSTEMTIME local{};
  GetLocalTime(&local);
  TIME_ZONE_INFORMATION zone{};
  const DWORD kind = GetTimeZoneInformation(&zone);
  LONG bias = zone.Bias;
  if (kind == TIME_ZONE_ID_DAYLIGHT) bias += zone.DaylightBias;
  if (kind == TIME_ZONE_ID_STANDARD) bias += zone.StandardBias;
  return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond,
          static_cast<int>(-bias)};
}

}  // namespace

ClipboardOutcome PutTextOnClipboard(HWND owner, const std::wstring& text) {
  OpenedClipboard clipboard(owner);
  if (!clipboard.IsOpen()) return ClipboardOutcome::Busy;
  if (!EmptyClipboard()) return ClipboardOutcome::Failed;
  const std::string big5 = Convert(text, kBig5CodePage);
  const LCID locale = kChineseTaiwan;
  const bool unicode =
      SetClipboardMemory(CF_UNICODETEXT, GlobalCopy(text.c_str(), (text.size() + 1) * sizeof(wchar_t)));
  const bool ansi = SetClipboardMemory(CF_TEXT, GlobalCopy(big5.c_str(), big5.size() + 1));
  const bool localeSet = SetClipboardMemory(CF_LOCALE, GlobalCopy(&locale, sizeof locale));
  return unicode && ansi && localeSet ? ClipboardOutcome::Done : ClipboardOutcome::Failed;
}

ResultListActions::~ResultListActions() {
  if (m_hList != nullptr) RemoveWindowSubclass(m_hList, &ResultListActions::ListProc, 1);
}

void ResultListActions::Attach(HWND dialog, HWND list, ReportWriter report) {
  m_hDialog = dialog;
  m_report = std::move(report);
  if (list != nullptr &&
      SetWindowSubclass(list, &ResultListActions::ListProc, 1, reinterpret_cast<DWORD_PTR>(this)))
    m_hList = list;
}

LRESULT CALLBACK ResultListActions::ListProc(HWND list, UINT message, WPARAM wParam,
                                             LPARAM lParam, UINT_PTR id, DWORD_PTR data) {
  auto* self = reinterpret_cast<ResultListActions*>(data);
  const bool shift = GetKeyState(VK_SHIFT) < 0, control = GetKeyState(VK_CONTROL) < 0;
  switch (message) {
    case WM_RBUTTONDOWN: {
      // The line under the pointer becomes the one that "copy" takes.
      const LRESULT hit = SendMessageW(list, LB_ITEMFROMPOINT, 0, lParam);
      if (HIWORD(hit) == 0) SendMessageW(list, LB_SETCURSEL, LOWORD(hit), 0);
      SetFocus(list);
      return 0;
    }
    case WM_CONTEXTMENU: {
      const bool keyboard = lParam == -1;
      self->ShowMenu({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, keyboard);
      return 0;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (message == WM_KEYDOWN && wParam == 'C' && control && !shift) {
        self->CopySelectedLine();
        return 0;
      }
      // The menu key, and Shift+F10 (a system key on Windows, a plain one elsewhere).
      if (wParam == VK_APPS || (wParam == VK_F10 && shift)) {
        SendMessageW(list, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), -1);
        return 0;
      }
      break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
      // The menu opened on the key's press; the release must not open it again
      // nor put the system menu into its keyboard mode.
      if (wParam == VK_APPS || (wParam == VK_F10 && shift)) return 0;
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(list, &ResultListActions::ListProc, id);
      self->m_hList = nullptr;
      break;
    default:
      break;
  }
  return DefSubclassProc(list, message, wParam, lParam);
}

void ResultListActions::ShowMenu(POINT screen, bool fromKeyboard) const {
  if (m_hList == nullptr) return;
  if (fromKeyboard) {
    RECT item{};
    const int selected = Selection();
    if (selected < 0 || SendMessageW(m_hList, LB_GETITEMRECT, static_cast<WPARAM>(selected),
                                     reinterpret_cast<LPARAM>(&item)) == LB_ERR)
      item = {0, 0, 0, 0};
    screen = {item.left + 8, item.bottom};
    ClientToScreen(m_hList, &screen);
  }
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return;
  const bool any = SendMessageW(m_hList, LB_GETCOUNT, 0, 0) > 0;
  AppendMenuA(menu, MF_STRING | (Selection() >= 0 ? 0u : MF_GRAYED), IDM_COPY_LINE,
              text::kCopyLineItem);
  AppendMenuA(menu, MF_STRING | (any ? 0u : MF_GRAYED), IDM_COPY_ALL, text::kCopyAllItem);
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING, IDM_SAVE_REPORT, text::kSaveReportItem);
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING, IDM_CHECK_ALL, text::kCheckAllItem);
  // The chosen item arrives at the dialog as WM_COMMAND, like a posted one.
  TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0,
                 m_hDialog, nullptr);
  DestroyMenu(menu);
}

int ResultListActions::Selection() const {
  return m_hList == nullptr ? -1 : static_cast<int>(SendMessageW(m_hList, LB_GETCURSEL, 0, 0));
}

std::vector<std::wstring> ResultListActions::Lines() const {
  std::vector<std::wstring> lines;
  const LRESULT count = m_hList == nullptr ? 0 : SendMessageW(m_hList, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = SendMessageW(m_hList, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    std::wstring line(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    const LRESULT copied = SendMessageW(m_hList, LB_GETTEXT, static_cast<WPARAM>(i),
                                        reinterpret_cast<LPARAM>(line.data()));
    line.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    lines.push_back(std::move(line));
  }
  return lines;
}

void ResultListActions::Copy(const std::wstring& text) const {
  if (PutTextOnClipboard(m_hDialog, text) == ClipboardOutcome::Busy)
    ui::AppMessageBox(m_hDialog, text::kClipboardBusy, MB_OK | MB_ICONWARNING);
}

void ResultListActions::CopySelectedLine() const {
  const int selected = Selection();
  const std::vector<std::wstring> lines = Lines();
  if (selected < 0 || static_cast<size_t>(selected) >= lines.size()) return;
  Copy(lines[static_cast<size_t>(selected)]);
}

void ResultListActions::CopyAllLines() const {
  const std::vector<std::wstring> lines = Lines();
  if (lines.empty()) return;
  std::vector<std::string> utf8;
  for (const std::wstring& line : lines) utf8.push_back(Convert(line, CP_UTF8));
  Copy(Widen(JoinLinesCrLf(utf8), CP_UTF8));
}

std::optional<std::string> AskSavePath(HWND owner, const std::string& suggested,
                                       const char* filterName, const char* pattern,
                                       const char* extension) {
  std::string path = suggested;
  path.resize(4096, '\0');
  const std::string filter = std::string(filterName) + '\0' + pattern + '\0' +
                             text::kAllFilesFilter + '\0' + "*.*" + '\0';
  OPENFILENAMEA request{};
  request.lStructSize = sizeof request;
  request.hwndOwner = owner;
  request.lpstrFilter = filter.c_str();
  request.nFilterIndex = 1;
  request.lpstrFile = path.data();
  request.nMaxFile = static_cast<DWORD>(path.size());
  request.lpstrDefExt = extension;
  // The user's Documents folder, where people look for what they saved, not
  // wherever the last dialog of some program happened to be.
  char documents[MAX_PATH] = {};
  if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents)))
    request.lpstrInitialDir = documents;
  // The write itself says when the folder cannot take the file, naming it.
  request.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR |
                  OFN_NOTESTFILECREATE | OFN_HIDEREADONLY | OFN_EXPLORER;
  if (!GetSaveFileNameA(&request)) return std::nullopt;
  path.resize(std::strlen(path.c_str()));
  return path;
}

void ResultListActions::SaveReport(HWND owner) const {
  if (owner == nullptr) owner = m_hDialog;
  const std::optional<std::string> chosen =
      AskSavePath(owner, ReportFileName(Now()), text::kTextFilesFilter, "*.txt", "txt");
  if (!chosen) return;  // cancelled: nothing is written
  const std::string& path = *chosen;

  // The report builder takes the lines in the window's code page.
  std::vector<std::string> lines;
  for (const std::wstring& line : Lines()) lines.push_back(Convert(line, kBig5CodePage));
  const std::vector<std::string> report = m_report ? m_report(std::move(lines)) : lines;
  if (!fileio::ReplaceWholeFile(path, ReportFileText(report)))
    ui::AppMessageBox(owner,
                      Format(text::kSaveFailedFormat, path.c_str(), fileio::LastWriteFailure().c_str()).c_str(),
                      MB_OK | MB_ICONERROR);
}

std::wstring Widen(const std::string& bytes, UINT codePage) {
  if (bytes.empty()) return {};
  const int length = static_cast<int>(bytes.size());
  const int size = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
  std::wstring text(static_cast<size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0) MultiByteToWideChar(codePage, 0, bytes.data(), length, text.data(), size);
  return text;
}

void AnswerCellRequest(LPARAM request, bool wide, std::size_t rows, std::size_t columns,
                       const std::function<std::string(std::size_t, std::size_t)>& cell,
                       HeldCellText& held) {
  LVITEMA& item = reinterpret_cast<NMLVDISPINFOA*>(request)->item;
  if ((item.mask & LVIF_TEXT) == 0 || item.iItem < 0 || static_cast<std::size_t>(item.iItem) >= rows ||
      item.iSubItem < 0 || static_cast<std::size_t>(item.iSubItem) >= columns)
    return;
  held.narrow = cell(static_cast<std::size_t>(item.iItem), static_cast<std::size_t>(item.iSubItem));
  if (wide) {
    held.wide = Widen(held.narrow, kBig5CodePage);
    reinterpret_cast<LVITEMW&>(item).pszText = held.wide.data();
  } else {
    item.pszText = held.narrow.data();
  }
}

}  // namespace rk
