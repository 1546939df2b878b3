// Helpers of the window tests, which drive Reachkit.exe from another process as a user would.
// Texts are read wide and compared as ANSI (code page 950) bytes, as the program's own texts.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <objidl.h>  // before gdiplus.h, which needs it under WIN32_LEAN_AND_MEAN
#include <gdiplus.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "resource.h"

namespace harness {

inline int g_failures = 0;

// One "ok" or "FAIL" line per check; the exit code tells whether any failed.
inline bool Check(bool ok, const std::string& what) {
  g_failures += ok ? 0 : 1;
  std::printf("%s - %s\n", ok ? "ok" : "FAIL", what.c_str());
  return std::fflush(stdout), ok;
}

inline bool WaitFor(const std::function<bool()>& condition, int ms = 10000) {
  for (const ULONGLONG end = GetTickCount64() + ULONGLONG(ms); !condition(); Sleep(20))
    if (GetTickCount64() > end) return false;
  return true;
}

inline std::string Narrow(const wchar_t* text, int n) {
  std::string out(size_t(n) * 2, '\0');
  out.resize(size_t(WideCharToMultiByte(CP_ACP, 0, text, n, out.data(), 2 * n, nullptr, nullptr)));
  return out;
}

// Sends `message` with room for a wide text (WM_GETTEXT, LB_GETTEXT, CB_GETLBTEXT).
inline std::string Text(HWND window, UINT message = WM_GETTEXT, WPARAM wParam = 1024) {
  wchar_t text[1024] = {};
  return Narrow(text, std::max(0, int(SendMessageW(window, message, wParam, LPARAM(text)))));
}

// A cell of another process's report-view list: the request and its text live in that process.
inline std::string ListCell(HWND list, int row, int column) {
  DWORD pid = 0;
  GetWindowThreadProcessId(list, &pid);
  const HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (process == nullptr) return "<no access>";
  constexpr int kChars = 512;
  auto* remote = static_cast<char*>(
      VirtualAllocEx(process, nullptr, sizeof(LVITEMW) + kChars * 2, MEM_COMMIT, PAGE_READWRITE));
  LVITEMW item{};
  item.iSubItem = column;
  item.cchTextMax = kChars;
  item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
  WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
  const int n = std::clamp(int(SendMessageW(list, LVM_GETITEMTEXTW, WPARAM(row), LPARAM(remote))), 0, kChars);
  wchar_t text[kChars] = {};
  ReadProcessMemory(process, remote + sizeof(LVITEMW), text, sizeof text, nullptr);
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return Narrow(text, n);
}

// The lines of a list box (LB_GETCOUNT, LB_GETTEXT) or combo box (CB_...).
inline std::vector<std::string> Items(HWND control, UINT countMessage, UINT textMessage) {
  std::vector<std::string> items;
  for (LRESULT i = 0, n = SendMessageW(control, countMessage, 0, 0); i < n; ++i)
    items.push_back(Text(control, textMessage, WPARAM(i)));
  return items;
}

// The program in root\Tools of a client tree that holds `files` (name, bytes, ...).
inline std::string Tree(const std::string& exe, const std::string& root,
                        const std::vector<std::string>& files) {
  for (const char* sub : {"", "\\Sys", "\\Bin", "\\Tools"})
    CreateDirectoryA((root + sub).c_str(), nullptr);
  for (size_t i = 0; i + 1 < files.size(); i += 2)
    std::ofstream(root + files[i], std::ios::binary) << files[i + 1];
  CopyFileA(exe.c_str(), (root + "\\Tools\\Reachkit.exe").c_str(), FALSE);
  return root + "\\Tools\\Reachkit.exe";
}

inline bool Enabled(HWND window) { return IsWindowEnabled(window) != FALSE; }

// The window's rectangle in the client coordinates of `parent` (of the screen: null).
inline RECT RectIn(HWND parent, HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// What the screen shows in a rectangle, top row first; saved as a PNG file when asked.
struct Pixels {
  int width, height;
  std::vector<DWORD> bgrx;
  bool saved;
  // The bytes blue, green, red, unused read as 0x00RRGGBB; a COLORREF is 0x00BBGGRR.
  COLORREF At(int x, int y) const { return _byteswap_ulong(bgrx[size_t(y * width + x)]) >> 8; }
};

inline Pixels Grab(const RECT& r, const std::string& pngPath = "") {
  Pixels pixels{r.right - r.left, r.bottom - r.top, {}, false};
  pixels.bgrx.resize(size_t(pixels.width * pixels.height));
  HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, pixels.width, pixels.height);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, pixels.width, pixels.height, screen, r.left, r.top, SRCCOPY);
  SelectObject(memory, previous);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof info.bmiHeader, pixels.width, -pixels.height, 1, 32, 0, 0, 0, 0, 0, 0};
  GetDIBits(memory, bitmap, 0, UINT(pixels.height), pixels.bgrx.data(), &info, DIB_RGB_COLORS);
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  if (!pngPath.empty() && Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok) {
    const CLSID png{0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    const std::wstring path(pngPath.begin(), pngPath.end());
    pixels.saved = Gdiplus::Bitmap(bitmap, nullptr).Save(path.c_str(), &png, nullptr) == 0;
    Gdiplus::GdiplusShutdown(token);
  }
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

// The program under test, started in its own folder. Still running at the end of its
// scenario is a failure; it is then terminated.
class Program {
 public:
  explicit Program(const std::string& exe) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string command = "\"" + exe + "\"", folder = exe.substr(0, exe.rfind('\\'));
    if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       folder.c_str(), &startup, &process_))
      WaitFor([this] { return (main_ = Find("Reachkit", nullptr, false)) != nullptr; }, 30000);
  }
  ~Program() {
    if (process_.hProcess == nullptr) return;
    if (!Check(Exited(5000), "the program has ended")) TerminateProcess(process_.hProcess, 9);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }

  bool Shown() const { return main_ && WaitFor([this] { return IsWindowVisible(main_); }); }
  // The window that has the keyboard focus in the program's windows' thread.
  HWND Focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(main_, nullptr), &info);
    return info.hwndFocus;
  }
  HWND main() const { return main_; }
  HWND Item(int id) const { return GetDlgItem(main_, id); }
  void Close() const { PostMessageW(main_, WM_CLOSE, 0, 0); }
  bool Exited(int ms) const { return WaitForSingleObject(process_.hProcess, DWORD(ms)) == 0; }
  void Click(int id) const { SendMessageW(Item(id), BM_CLICK, 0, 0); }
  int Count() const { return int(SendMessageW(Item(IDC_RESULT_LIST), LB_GETCOUNT, 0, 0)); }
  std::vector<std::string> Lines() const { return Items(Item(IDC_RESULT_LIST), LB_GETCOUNT, LB_GETTEXT); }
  bool TestsEnabled(bool on) const {
    for (int id : {IDC_BTN_PING, IDC_BTN_TRACERT, IDC_BTN_TELNET})
      if ((IsWindowEnabled(Item(id)) != FALSE) != on) return false;
    return true;
  }

  // A top-level window of this program of that class (and caption).
  HWND Find(const char* className, const char* caption = nullptr, bool visible = true) const {
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, className, caption)) != nullptr;) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      if (pid == process_.dwProcessId && (!visible || IsWindowVisible(w))) return w;
    }
    return nullptr;
  }

  // A shown window of the standard dialog class, waited for.
  HWND WaitDialog(const char* caption) const {
    HWND found = nullptr;
    WaitFor([&] { return (found = Find("#32770", caption)) != nullptr; });
    return found;
  }

  // The dialog that the system menu's `command` opens, waited for.
  HWND Open(int command, const char* caption) const {
    PostMessageW(main_, WM_SYSCOMMAND, WPARAM(command), 0);
    const HWND dialog = WaitDialog(caption);
    Check(dialog != nullptr, std::string(caption) + " opens from the system menu");
    return dialog;
  }

  // The text of the message box that opens, which is then closed with OK.
  std::string TakeMessageBox() const {
    const HWND box = WaitDialog("Reachkit");
    const std::string text = box ? Text(GetDlgItem(box, 0xFFFF)) : "<no message box>";
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    WaitFor([&] { return !IsWindowVisible(box); });
    return text;
  }

 private:
  PROCESS_INFORMATION process_{};
  HWND main_ = nullptr;
};

// The program at `exe`, `scenario` driving its window once shown; then closed.
inline void WithWindow(const std::string& exe, const std::string& what,
                       const std::function<void(const Program&)>& scenario) {
  Program w(exe);
  if (Check(w.Shown(), "the window on " + what)) scenario(w);
  w.Close();
}

}  // namespace harness
