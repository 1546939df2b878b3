// Drives Reachkit.exe from the outside, as a user would, and checks what the
// window shows: texts, rectangles, enabled states, message boxes and pixels.
//
//   gui_harness.exe SCENARIO <client-root\Reachkit\Reachkit.exe> [screenshot folder]
//   gui_harness.exe demo <client-root\Reachkit\Reachkit.exe> <screenshot.png>
//   gui_harness.exe startup <client-root\Reachkit\Reachkit.exe> [runs]
//
// SCENARIO is window, tests, close, all (those three) or no-icmp (run with
// ICMP disabled for the program). Each scenario starts the program afresh,
// prints one "ok" or "FAIL" line per check and exits 1 if any failed.
// "startup" times the way from process start to the shown window. "demo" pings the
// first host and saves a screenshot of the window. Texts are read with the
// wide messages and converted to the ANSI code page (950), then compared with
// the program's own texts; the host list and the preference text are
// compared with what the portable core computes from the same client files.
#include <windows.h>
#include <objidl.h>  // before gdiplus.h, which needs it under WIN32_LEAN_AND_MEAN
#include <gdiplus.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/format.h"
#include "base/texts.h"
#include "config/client_paths.h"
#include "config/connection_preference.h"
#include "config/host_catalogue.h"
#include "config/profile_store.h"
#include "controls/button_look.h"
#include "resource.h"

namespace {

using Clock = std::chrono::steady_clock;

int g_failures = 0;
int g_checks = 0;

void Check(bool condition, const std::string& what) {
  ++g_checks;
  if (!condition) ++g_failures;
  std::printf("%s - %s\n", condition ? "ok" : "FAIL", what.c_str());
  std::fflush(stdout);
}

void Note(const std::string& text) {
  std::printf("# %s\n", text.c_str());
  std::fflush(stdout);
}

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Polls `condition` every `pollMs` for up to `timeoutMs`.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs, int pollMs = 50) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    if (condition()) return true;
    if (Clock::now() >= end) return false;
    Pause(pollMs);
  }
}

std::string ToAnsi(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

std::string Text(HWND window) {
  if (window == nullptr) return {};
  const auto length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
  const auto copied = SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(length + 1),
                                   reinterpret_cast<LPARAM>(buffer.data()));
  buffer.resize(static_cast<size_t>(copied));
  return ToAnsi(buffer);
}

std::vector<std::string> ItemTexts(HWND control, UINT countMessage, UINT lengthMessage,
                                   UINT textMessage) {
  std::vector<std::string> items;
  const auto count = SendMessageW(control, countMessage, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const auto length = SendMessageW(control, lengthMessage, static_cast<WPARAM>(i), 0);
    std::wstring buffer(static_cast<size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
    const auto copied = SendMessageW(control, textMessage, static_cast<WPARAM>(i),
                                     reinterpret_cast<LPARAM>(buffer.data()));
    buffer.resize(static_cast<size_t>(std::max<LRESULT>(copied, 0)));
    items.push_back(ToAnsi(buffer));
  }
  return items;
}

std::vector<std::string> ListLines(HWND list) {
  return ItemTexts(list, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT);
}

int ListCount(HWND list) { return static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0)); }

std::string ClassName(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return ToAnsi(name);
}

// Rectangle of `child` in the client coordinates of `parent`.
RECT ClientRectOf(HWND parent, HWND child) {
  RECT rect{};
  GetWindowRect(child, &rect);
  MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

std::string RectText(const RECT& r) {
  return rk::Format("(%ld,%ld)-(%ld,%ld)", r.left, r.top, r.right, r.bottom);
}

// The program under test: one process and its main window.
class Program {
 public:
  explicit Program(const std::string& exePath) {
    const std::string folder = exePath.substr(0, exePath.find_last_of('\\'));
    std::string command = "\"" + exePath + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    started_ = CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              folder.c_str(), &startup, &process_) != FALSE;
    startTime_ = Clock::now();
    if (started_) WaitFor([this] { return (window_ = FindOwn("Reachkit")) != nullptr; }, 60000, 5);
  }
  ~Program() {
    if (!started_) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      Note("program still running at the end of its scenario: terminated");
      TerminateProcess(process_.hProcess, 99);
      WaitForSingleObject(process_.hProcess, 10000);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  [[nodiscard]] bool started() const { return started_ && window_ != nullptr; }
  [[nodiscard]] HWND window() const { return window_; }
  [[nodiscard]] HWND Item(int id) const { return GetDlgItem(window_, id); }
  [[nodiscard]] double SecondsSinceStart() const {
    return std::chrono::duration<double>(Clock::now() - startTime_).count();
  }

  // A top-level window of this process with class `className` (and, when
  // given, caption `caption`), or null.
  [[nodiscard]] HWND FindOwn(const char* className, const std::string* caption = nullptr) const {
    struct Search {
      DWORD pid;
      const char* className;
      const std::string* caption;
      HWND found;
    } search{process_.dwProcessId, className, caption, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
          auto& s = *reinterpret_cast<Search*>(data);
          DWORD pid = 0;
          GetWindowThreadProcessId(window, &pid);
          if (pid != s.pid || ClassName(window) != s.className) return TRUE;
          if (s.caption != nullptr && Text(window) != *s.caption) return TRUE;
          s.found = window;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

  // A message box or other dialog of the standard class, shown by this process.
  [[nodiscard]] HWND FindDialog() const { return FindOwn("#32770"); }

  [[nodiscard]] bool WaitExit(int timeoutMs) const {
    return WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0;
  }

  void Click(int id) const { SendMessageW(Item(id), BM_CLICK, 0, 0); }
  bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
  bool TestButtonsEnabled(bool enabled) const {
    return Enabled(IDC_BTN_PING) == enabled && Enabled(IDC_BTN_TRACERT) == enabled &&
           Enabled(IDC_BTN_TELNET) == enabled;
  }
  void Select(int index) const {
    SendMessageW(Item(IDC_HOST_COMBO), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  }

 private:
  PROCESS_INFORMATION process_{};
  bool started_ = false;
  HWND window_ = nullptr;
  Clock::time_point startTime_;
};

// What the program should show, computed by the core from the same files.
struct Expected {
  rk::HostCatalogue catalogue;
  std::string preferenceText;
  int noPortIndex = -1;  // a Local entry without a port, or -1
};

Expected ComputeExpected(const std::string& exePath) {
  char full[MAX_PATH] = {};
  GetFullPathNameA(exePath.c_str(), MAX_PATH, full, nullptr);
  std::string root = full;
  for (int i = 0; i < 2; ++i) root = root.substr(0, root.find_last_of('\\'));
  const rk::ClientPaths paths(root, '\\');
  Expected expected;
  expected.catalogue = rk::BuildHostCatalogue(rk::SystemProfileStore(), paths);
  expected.preferenceText = rk::PreferenceLabelText(rk::SystemProfileStore(), paths);
  for (size_t k = 0; k < expected.catalogue.localPorts.size(); ++k) {
    if (expected.catalogue.localPorts[k] == 0) {
      expected.noPortIndex = expected.catalogue.serverSectionCount + static_cast<int>(k);
      break;
    }
  }
  return expected;
}

// Pixels of a screen rectangle, top row first, as COLORREF values.
class Capture {
 public:
  explicit Capture(const RECT& screen)
      : left_(screen.left), top_(screen.top), width_(screen.right - screen.left),
        height_(screen.bottom - screen.top) {
    if (width_ <= 0 || height_ <= 0) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screenDc = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screenDc);
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(screenDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap_);
    BitBlt(memory, 0, 0, width_, height_, screenDc, left_, top_, SRCCOPY);
    GdiFlush();
    const auto* bytes = static_cast<const unsigned char*>(bits);
    pixels_.resize(static_cast<size_t>(width_ * height_));
    for (size_t i = 0; i < pixels_.size(); ++i)
      pixels_[i] = RGB(bytes[i * 4 + 2], bytes[i * 4 + 1], bytes[i * 4]);
    SelectObject(memory, previous);
    DeleteDC(memory);
    ReleaseDC(nullptr, screenDc);
  }
  ~Capture() {
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
  }
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;

  [[nodiscard]] COLORREF At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    return pixels_[static_cast<size_t>(y * width_ + x)];
  }
  [[nodiscard]] int width() const { return width_; }
  [[nodiscard]] int height() const { return height_; }

  // Saves the capture as a PNG file; 0 when saved, else a GDI+ status.
  int SavePng(const std::string& path) const {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return -1;
    int status = -2;
    UINT count = 0, bytes = 0;
    Gdiplus::GetImageEncodersSize(&count, &bytes);
    std::vector<unsigned char> buffer(bytes);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    CLSID kPngEncoder{};
    bool found = false;
    if (bytes > 0 && Gdiplus::GetImageEncoders(count, bytes, encoders) == Gdiplus::Ok)
      for (UINT i = 0; i < count && !found; ++i)
        if (std::wstring(encoders[i].MimeType) == L"image/png") {
          kPngEncoder = encoders[i].Clsid;
          found = true;
        }
    if (found) {
      Gdiplus::Bitmap image(bitmap_, nullptr);
      const std::wstring widePath(path.begin(), path.end());
      status = image.GetLastStatus();
      if (status == Gdiplus::Ok) status = image.Save(widePath.c_str(), &kPngEncoder, nullptr);
    }
    Gdiplus::GdiplusShutdown(token);
    return status;
  }

 private:
  int left_, top_, width_, height_;
  HBITMAP bitmap_ = nullptr;
  std::vector<COLORREF> pixels_;
};

RECT ScreenRect(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

RECT ClientScreenRect(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

int Darkest(COLORREF c) { return std::min({GetRValue(c), GetGValue(c), GetBValue(c)}); }

// Bounding box of the dark ("ink") pixels of a capture; empty when none.
RECT InkBox(const Capture& capture, int threshold) {
  RECT box{capture.width(), capture.height(), -1, -1};
  for (int y = 0; y < capture.height(); ++y)
    for (int x = 0; x < capture.width(); ++x)
      if (Darkest(capture.At(x, y)) < threshold) {
        box.left = std::min<LONG>(box.left, x);
        box.top = std::min<LONG>(box.top, y);
        box.right = std::max<LONG>(box.right, x + 1);
        box.bottom = std::max<LONG>(box.bottom, y + 1);
      }
  if (box.right < 0) return RECT{0, 0, 0, 0};
  return box;
}

std::string ColorText(COLORREF c) {
  return rk::Format("(%d,%d,%d)", GetRValue(c), GetGValue(c), GetBValue(c));
}

std::string g_shots;  // folder for screenshots, "" for none

void SaveShot(HWND window, const char* name) {
  if (g_shots.empty()) return;
  const std::string path = g_shots + "\\" + name;
  Capture capture(ClientScreenRect(window));
  const int status = capture.SavePng(path);
  Check(status == 0, rk::Format("screenshot saved: %s (status %d)", name, status));
}

// --- Scenarios --------------------------------------------------------------

// The executable's resources, read from the file itself.
void ResourceScenario(const std::string& exe) {
  Note("resources of Reachkit.exe");
  HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  Check(module != nullptr, "the program's file loads as data");
  if (module == nullptr) return;
  Check(FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)) == nullptr,
        "no application manifest");
  const WORD taiwan = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL);
  struct Picture {
    int id, width;
  };
  const Picture pictures[] = {{136, 64}, {138, 64}, {139, 64}, {140, 64}, {141, 64},
                              {142, 64}, {143, 64}, {144, 192}, {146, 192}};
  for (const Picture& picture : pictures) {
    HRSRC found = FindResourceExA(module, "PNG", MAKEINTRESOURCEA(picture.id), taiwan);
    const auto* bytes =
        found ? static_cast<const unsigned char*>(LockResource(LoadResource(module, found)))
              : nullptr;
    // IHDR: width and height, bit depth 8, colour type 6, no interlace.
    const bool png = bytes != nullptr && SizeofResource(module, found) > 33 &&
                     bytes[1] == 'P' && bytes[2] == 'N' && bytes[3] == 'G' &&
                     bytes[16] * 16777216 + bytes[17] * 65536 + bytes[18] * 256 + bytes[19] ==
                         picture.width &&
                     bytes[23] == 64 && bytes[24] == 8 && bytes[25] == 6 && bytes[28] == 0;
    Check(png, rk::Format("picture %d: a %dx64 8-bit RGBA PNG of language 0x0404", picture.id,
                          picture.width));
  }
  HRSRC group = FindResourceA(module, MAKEINTRESOURCEA(128), MAKEINTRESOURCEA(14));
  std::vector<int> sizes;
  if (group != nullptr) {
    const auto* dir = static_cast<const unsigned char*>(LockResource(LoadResource(module, group)));
    const int count = dir[4] | (dir[5] << 8);
    for (int i = 0; i < count; ++i) sizes.push_back(dir[6 + i * 14] == 0 ? 256 : dir[6 + i * 14]);
  }
  std::sort(sizes.begin(), sizes.end());
  Check(sizes == std::vector<int>{16, 32, 48}, "icon 128 holds 16, 32 and 48 pixel images");
  char text[256] = {};
  LoadStringA(module, 101, text, sizeof text);
  Check(std::string(text) == rk::text::kAboutMenuItem, "string 101 is the About item");
  LoadStringA(module, 103, text, sizeof text);
  Check(std::string(text) == rk::text::kSocketsInitFailed, "string 103 is the sockets message");
  FreeLibrary(module);

  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(exe.c_str(), &ignored);
  std::vector<unsigned char> block(size + 1, 0);
  void* value = nullptr;
  UINT length = 0;
  const bool version =
      size != 0 && GetFileVersionInfoA(exe.c_str(), 0, size, block.data()) &&
      VerQueryValueA(block.data(), "\\StringFileInfo\\040404b0\\FileVersion", &value, &length) &&
      std::string(static_cast<const char*>(value)) == "4.0.1.0" &&
      VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &value, &length) &&
      length >= 4 && static_cast<const WORD*>(value)[0] == 0x0404 &&
      static_cast<const WORD*>(value)[1] == 1200;
  Check(version, "version block 040404B0 with FileVersion 4.0.1.0, translation 0x0404/1200");
}


void WindowScenario(const std::string& exe, const Expected& expected) {
  Note("window: title, class, controls, layout, system menu, About box, button looks");
  Program program(exe);
  Check(program.started(), "the program starts and shows a window of class \"Reachkit\"");
  if (!program.started()) return;
  HWND window = program.window();
  WaitFor([&] { return IsWindowVisible(window) != FALSE; }, 10000);
  Note(rk::Format("window visible %.2f s after start", program.SecondsSinceStart()));
  Pause(500);

  Check(ClassName(window) == "Reachkit", "class name is Reachkit");
  Check(Text(window) == rk::Format("%s v4.0.1", rk::text::kAppCaption),
        "title is the caption followed by v4.0.1");
  Check(program.FindDialog() == nullptr, "no message box at start");

  // Children in tab order: the template's controls, then the created ones.
  std::vector<int> order;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT))
    order.push_back(GetDlgCtrlID(child));
  const std::vector<int> expectedOrder = {1007, 1006, 1026, 1027, 1028, 1029, 1030, 1031,
                                          3000, 3001, 3010, 3011, 3013, 3012, 3002};
  std::string orderText;
  for (int id : order) orderText += rk::Format(" %d", id);
  Check(order == expectedOrder, "controls and tab order:" + orderText);

  Check(Text(program.Item(1026)) == rk::text::kPreferenceGroupTitle, "title 1026 text");
  Check(Text(program.Item(1027)) == rk::text::kSettingsGroupTitle, "title 1027 text");
  Check(Text(program.Item(1028)) == rk::text::kNetworkGroupTitle, "title 1028 text");
  for (int id : {3000, 3001, 3010, 3011, 3013, 3012})
    Check(Text(program.Item(id)).empty() && program.Enabled(id),
          rk::Format("button %d has no caption and is enabled", id));

  const auto labels = ItemTexts(program.Item(IDC_HOST_COMBO), CB_GETCOUNT, CB_GETLBTEXTLEN,
                                CB_GETLBTEXT);
  Check(!labels.empty() && labels == expected.catalogue.labels,
        rk::Format("host list holds the catalogue's %zu labels in order", labels.size()));
  Check(SendMessageW(program.Item(IDC_HOST_COMBO), CB_GETCURSEL, 0, 0) == 0,
        "first host selected");
  Check(Text(program.Item(IDC_PREFERENCE_LABEL)) == expected.preferenceText,
        "preference label shows the stored preference");
  Check((GetWindowLongW(program.Item(IDC_PREFERENCE_LABEL), GWL_STYLE) & SS_CENTER) != 0,
        "preference label is centred");

  // Layout in client pixels.
  RECT client{};
  GetClientRect(window, &client);
  const LONG W = client.right, H = client.bottom;
  Note(rk::Format("client area %ldx%ld", W, H));
  const int titles[] = {1026, 1027, 1028};
  const int lines[] = {1029, 1030, 1031};
  for (int g = 0; g < 3; ++g) {
    const RECT t = ClientRectOf(window, program.Item(titles[g]));
    const RECT l = ClientRectOf(window, program.Item(lines[g]));
    Check(l.left == t.right + 2 && l.top == (t.top + t.bottom) / 2 + 2 && l.right == W - 15 &&
              l.bottom - l.top == 2,
          rk::Format("separator %d beside its title, ends 15 before the edge: ", lines[g]) +
              RectText(l));
  }
  const RECT t1026 = ClientRectOf(window, program.Item(1026));
  const RECT t1027 = ClientRectOf(window, program.Item(1027));
  const RECT t1028 = ClientRectOf(window, program.Item(1028));
  const RECT label = ClientRectOf(window, program.Item(IDC_PREFERENCE_LABEL));
  Check(label.left == 30 && label.right == W - 30 && label.top == t1026.bottom + 3 &&
            label.bottom == t1027.top - 3,
        "preference label fills its group: " + RectText(label));
  const RECT proxy = ClientRectOf(window, program.Item(3000));
  const RECT connect = ClientRectOf(window, program.Item(3001));
  const LONG half = (W - 60 - 5) / 2;
  Check(proxy.left == 30 && proxy.right - proxy.left == half && connect.left == proxy.right + 5 &&
            connect.right - connect.left == half && proxy.top == t1027.bottom + 7 &&
            proxy.bottom == t1028.top - 7 && connect.top == proxy.top &&
            connect.bottom == proxy.bottom,
        "settings buttons share their row: " + RectText(proxy) + " " + RectText(connect));
  const RECT combo = ClientRectOf(window, program.Item(IDC_HOST_COMBO));
  Check(combo.left == 30 && combo.right == W - 30 && combo.top == t1028.bottom + 15,
        "host list spans the content: " + RectText(combo));
  const int tools[] = {3010, 3011, 3013, 3012};
  const LONG toolWidth = (combo.right - combo.left - 15) / 4;
  LONG x = combo.left;
  for (int id : tools) {
    const RECT b = ClientRectOf(window, program.Item(id));
    Check(b.left == x && b.right - b.left == toolWidth && b.top == combo.bottom + 5 &&
              b.bottom - b.top == 66,
          rk::Format("tool button %d: ", id) + RectText(b));
    x = b.right + 5;
  }
  const RECT list = ClientRectOf(window, program.Item(IDC_RESULT_LIST));
  Check(list.top == combo.bottom + 76 && list.bottom == H - 30 && list.left == 30 &&
            list.right == W - 30,
        "result list 76 below the closed combo box, 30 above the bottom: " + RectText(list));

  // System menu: one separator and the About item, id 16.
  HMENU menu = GetSystemMenu(window, FALSE);
  if (menu != nullptr) {
    const int count = GetMenuItemCount(menu);
    wchar_t item[128] = {};
    GetMenuStringW(menu, static_cast<UINT>(count - 1), item, 128, MF_BYPOSITION);
    Check(count >= 2 && GetMenuItemID(menu, count - 1) == 16 &&
              ToAnsi(item) == rk::text::kAboutMenuItem &&
              (GetMenuState(menu, static_cast<UINT>(count - 2), MF_BYPOSITION) & MF_SEPARATOR),
          "system menu ends in a separator and the About item");
  } else {
    Note("the system menu of another process cannot be read here; About is checked by command");
  }
  const std::string aboutCaption = rk::text::kAboutCaption;
  for (const WPARAM command : {WPARAM{0x10}, WPARAM{0x13}}) {
    PostMessageW(window, WM_SYSCOMMAND, command, 0);
    HWND about = nullptr;
    WaitFor([&] { return (about = program.FindOwn("#32770", &aboutCaption)) != nullptr; }, 5000);
    Check(about != nullptr, rk::Format("system command 0x%x opens the About box", unsigned(command)));
    if (about == nullptr) continue;
    bool named = false;
    for (HWND child = GetWindow(about, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
      named = named || Text(child) == "Reachkit";
    Check(named, "About box names the program");
    if (command == 0x10) {
      Pause(300);
      SaveShot(about, "about.png");
    }
    PostMessageW(about, WM_COMMAND, command == 0x10 ? IDOK : IDCANCEL, 0);
    Check(WaitFor([&] { return IsWindow(about) == FALSE; }, 5000),
          command == 0x10 ? "Enter closes the About box" : "Escape closes the About box");
  }

  // Looks of the image buttons, read from the screen.
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const COLORREF shade = rk::ShadeFromFace(face);
  SetCursorPos(0, 0);
  Pause(400);
  SaveShot(window, "window.png");
  {
    Capture ping(ScreenRect(program.Item(IDC_BTN_PING)));
    const RECT ink = InkBox(ping, 80);
    Check(ping.At(1, 1) == face && ping.At(ping.width() - 2, ping.height() - 2) == face,
          "normal look: face colour around the picture " + ColorText(ping.At(1, 1)));
    const int pictureLeft = (ping.width()) / 2 - 32, pictureTop = ping.height() / 2 - 32;
    Check(ping.At(pictureLeft + 1, pictureTop + 1) == face &&
              ping.At(pictureLeft + 62, pictureTop + 62) == face,
          "transparent corners of the picture show the face colour (no black or white box)");
    Check(ink.right - ink.left > 40 && ink.left >= pictureLeft && ink.right <= pictureLeft + 64,
          "the picture's ink is drawn inside its 64 pixels: " + RectText(ink));
  }
  HWND clear = program.Item(IDC_BTN_CLEAR);
  Capture normal(ScreenRect(clear));
  const RECT normalInk = InkBox(normal, 80);
  const RECT clearRect = ScreenRect(clear);
  SetCursorPos((clearRect.left + clearRect.right) / 2, (clearRect.top + clearRect.bottom) / 2);
  bool shaded = WaitFor([&] { return Capture(clearRect).At(1, 1) == shade; }, 3000);
  Check(shaded, "hover look: shade " + ColorText(shade) + " behind the picture");
  SaveShot(window, "hover.png");
  SetCursorPos(0, 0);
  Check(WaitFor([&] { return Capture(clearRect).At(1, 1) == face; }, 3000),
        "leaving the button brings the face colour back");
  SendMessageW(clear, BM_SETSTATE, TRUE, 0);
  Pause(300);
  {
    Capture pressed(clearRect);
    const RECT ink = InkBox(pressed, 80);
    Check(pressed.At(1, 1) == shade, "pressed look: shade background");
    Check(ink.left == normalInk.left + 2 && ink.top == normalInk.top + 2 &&
              ink.right == normalInk.right + 2 && ink.bottom == normalInk.bottom + 2,
          "pressed look: picture 2 pixels right and down " + RectText(normalInk) + " -> " +
              RectText(ink));
  }
  SendMessageW(clear, BM_SETSTATE, FALSE, 0);

  PostMessageW(window, WM_CLOSE, 0, 0);
  const auto closing = Clock::now();
  WaitFor([&] { return IsWindow(window) == FALSE; }, 5000);
  const double gone = std::chrono::duration<double>(Clock::now() - closing).count();
  Check(program.WaitExit(5000), "closing the idle window ends the process");
  Note(rk::Format("idle close: window gone after %.2f s, process ended after %.2f s", gone,
                  std::chrono::duration<double>(Clock::now() - closing).count()));
}

void PingScenario(const std::string& exe, const Expected& expected) {
  Note("tests: Ping run, button states, Clear during a run, the 500-line rule");
  Program program(exe);
  Check(program.started(), "the program starts");
  if (!program.started()) return;
  HWND window = program.window();
  WaitFor([&] { return IsWindowVisible(window) != FALSE; }, 10000);
  HWND list = program.Item(IDC_RESULT_LIST);
  const std::string host = expected.catalogue.hostTexts.empty() ? "" : expected.catalogue.hostTexts[0];

  program.Select(0);
  program.Click(IDC_BTN_PING);
  Check(program.TestButtonsEnabled(false) && program.Enabled(IDC_BTN_CLEAR),
        "during Ping: Ping, TraceRT and Telnet disabled, Clear enabled");
  Check(program.Enabled(IDC_BTN_PROXY_SETTING) && program.Enabled(IDC_BTN_CONNECT_SETTING) &&
            IsWindowEnabled(program.Item(IDC_HOST_COMBO)),
        "during Ping: settings buttons and host list stay usable");
  Pause(300);
  {
    Capture faded(ScreenRect(program.Item(IDC_BTN_PING)));
    int darkest = 255;
    for (int y = 0; y < faded.height(); ++y)
      for (int x = 0; x < faded.width(); ++x) darkest = std::min(darkest, Darkest(faded.At(x, y)));
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    Check(faded.At(1, 1) == face && darkest >= Darkest(face) - 30 && darkest < Darkest(face),
          rk::Format("disabled look: faded picture over the face colour (darkest %d)", darkest));
  }
  SaveShot(window, "ping-running.png");
  const bool ended = WaitFor([&] { return program.TestButtonsEnabled(true); }, 40000);
  Check(ended, "the test buttons are enabled again when Ping ends");
  const auto lines = ListLines(list);
  Check(lines.size() == 7, rk::Format("Ping wrote 7 lines (got %zu)", lines.size()));
  if (lines.size() == 7) {
    Check(lines[0] == rk::Format(rk::text::kPingHeaderFormat, host.c_str(), host.c_str()),
          "header line: " + lines[0]);
    bool echoes = true;
    for (int i = 1; i <= 5; ++i)
      echoes = echoes && lines[static_cast<size_t>(i)].rfind(
                             rk::Format("32 bytes from %s: icmp_seq = %d. time: ", host.c_str(),
                                        i - 1),
                             0) == 0;
    Check(echoes, "five echo lines: " + lines[1]);
    Check(lines[6] == rk::text::kPingEnd, "end line");
  }
  Check(SendMessageW(list, LB_GETCURSEL, 0, 0) == ListCount(list) - 1, "newest line selected");
  SaveShot(window, "ping-done.png");

  // Clear while a test runs: the list empties and the run writes on into it.
  program.Click(IDC_BTN_PING);
  WaitFor([&] { return ListCount(list) >= 10; }, 10000);
  program.Click(IDC_BTN_CLEAR);
  Check(ListCount(list) == 0, "Clear during a run empties the list at once");
  WaitFor([&] { return program.TestButtonsEnabled(true); }, 40000);
  const auto after = ListLines(list);
  Check(!after.empty() && after.size() < 7 && after.back() == rk::text::kPingEnd,
        rk::Format("the run went on into the empty list (%zu lines, ending with the end line)",
                   after.size()));

  // More than 500 lines are emptied at the next start, 500 are kept.
  Check(expected.noPortIndex >= 0, "the demo client has a Local host without a port");
  if (expected.noPortIndex >= 0) {
    program.Click(IDC_BTN_CLEAR);
    program.Select(expected.noPortIndex);
    for (int i = 0; i < 500; ++i) program.Click(IDC_BTN_TELNET);
    Check(ListCount(list) == 500, rk::Format("500 failure lines (got %d)", ListCount(list)));
    Check(program.TestButtonsEnabled(true), "a resolution failure leaves the buttons enabled");
    program.Click(IDC_BTN_TELNET);
    Check(ListCount(list) == 501, "with 500 lines counted the list is kept (501 lines)");
    program.Click(IDC_BTN_TELNET);
    const auto fresh = ListLines(list);
    Check(fresh.size() == 1 && fresh[0] == rk::text::kNoLocalPort,
          "with 501 lines counted the list is emptied first; the failure line stands alone");
  }

  PostMessageW(window, WM_CLOSE, 0, 0);
  Check(program.WaitExit(5000), "the process ends after closing");
}

// `delayMs` after the click the window is closed; on loopback TraceRT and
// Telnet end within moments, so they are closed almost at once.
void CloseScenario(const std::string& exe, int button, const char* name, bool escape,
                   int delayMs) {
  Program program(exe);
  Check(program.started(), std::string("the program starts for closing during ") + name);
  if (!program.started()) return;
  WaitFor([&] { return IsWindowVisible(program.window()) != FALSE; }, 10000);
  program.Select(0);
  program.Click(button);
  Check(program.TestButtonsEnabled(false) || ListCount(program.Item(IDC_RESULT_LIST)) > 0,
        std::string(name) + " started");
  Pause(delayMs);
  const auto closing = Clock::now();
  if (escape)
    PostMessageW(program.Item(IDC_RESULT_LIST), WM_KEYDOWN, VK_ESCAPE, 0);
  else
    PostMessageW(program.window(), WM_CLOSE, 0, 0);
  const bool exited = program.WaitExit(15000);
  const double seconds = std::chrono::duration<double>(Clock::now() - closing).count();
  Check(exited, rk::Format("%s the window during %s ends the process (%.2f s)",
                           escape ? "Escape closes" : "closing", name, seconds));
  Check(program.FindDialog() == nullptr, std::string("no message box after closing during ") + name);
}

void NoIcmpScenario(const std::string& exe, const Expected& expected) {
  Note("without ICMP: the message, then the reduced window");
  Program program(exe);
  Check(program.started(), "the program starts without ICMP");
  if (!program.started()) return;
  HWND box = nullptr;
  WaitFor([&] { return (box = program.FindDialog()) != nullptr && IsWindowVisible(box); }, 15000);
  Check(box != nullptr, "a message box is shown");
  if (box == nullptr) return;
  Pause(300);
  bool said = false;
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    said = said || Text(child) == rk::text::kIcmpFunctionsMissing;
  Check(said, "it says \"Could not find ICMP functions in the ICMP DLL\"");
  Check(Text(box) == "Reachkit", "its caption is the program's name");
  SaveShot(box, "no-icmp-message.png");
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  HWND window = program.window();
  Check(WaitFor([&] { return IsWindowVisible(window) != FALSE; }, 10000),
        "the main window opens after the message");
  Pause(300);
  bool noButtons = true;
  for (int id : {3000, 3001, 3002, 3010, 3011, 3012, 3013}) noButtons = noButtons && !program.Item(id);
  Check(noButtons, "no buttons and no preference label");
  const auto labels = ItemTexts(program.Item(IDC_HOST_COMBO), CB_GETCOUNT, CB_GETLBTEXTLEN,
                                CB_GETLBTEXT);
  Check(labels == expected.catalogue.labels, "the host list is filled");
  RECT client{};
  GetClientRect(window, &client);
  Check(ClientRectOf(window, program.Item(1031)).right != client.right - 15,
        "no layout: the separators keep their template places");
  Check(Text(window) == rk::Format("%s v4.0.1", rk::text::kAppCaption), "title as usual");
  SaveShot(window, "no-icmp-window.png");
  PostMessageW(window, WM_CLOSE, 0, 0);
  Check(program.WaitExit(5000), "closing the reduced window ends the process");
}

int Demo(const std::string& exe, const std::string& shot) {
  Program program(exe);
  if (!program.started()) {
    std::fprintf(stderr, "Reachkit.exe did not show its window\n");
    return 1;
  }
  HWND window = program.window();
  WaitFor([&] { return IsWindowVisible(window) != FALSE; }, 10000);
  program.Select(0);
  program.Click(IDC_BTN_PING);
  const bool ended = WaitFor([&] { return program.TestButtonsEnabled(true); }, 40000);
  for (const std::string& line : ListLines(program.Item(IDC_RESULT_LIST)))
    std::printf("  %s\n", line.c_str());
  SetCursorPos(0, 0);
  Pause(300);
  Capture capture(ClientScreenRect(window));
  const bool saved = capture.SavePng(shot) == 0;
  PostMessageW(window, WM_CLOSE, 0, 0);
  const bool exited = program.WaitExit(10000);
  if (!ended || !saved || !exited) {
    std::fprintf(stderr, "demo failed: ping ended %d, screenshot saved %d, exited %d\n", ended,
                 saved, exited);
    return 1;
  }
  return 0;
}

// Starts the program `runs` times; prints the seconds from the start of its
// process to its visible, laid-out window (the tool buttons placed), each run
// and the median.
int Startup(const std::string& exe, int runs) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    Program program(exe);
    if (!program.started()) return 1;
    HWND window = program.window();
    const bool shown = WaitFor(
        [&] {
          RECT r{};
          GetWindowRect(program.Item(IDC_BTN_CLEAR), &r);
          return IsWindowVisible(window) != FALSE && r.right > r.left;
        },
        30000, 5);
    if (!shown) return 1;
    times.push_back(program.SecondsSinceStart());
    std::printf("run %d: window shown %.3f s after process start\n", i + 1, times.back());
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (!program.WaitExit(15000)) return 1;
  }
  std::sort(times.begin(), times.end());
  std::printf("median %.3f s, min %.3f s, max %.3f s over %d runs\n", times[times.size() / 2],
              times.front(), times.back(), runs);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: gui_harness all|window|tests|close|no-icmp <Reachkit.exe> [shots]\n"
                 "       gui_harness demo <Reachkit.exe> <screenshot.png>\n");
    return 2;
  }
  const std::string command = argv[1];
  const std::string exe = argv[2];
  if (command == "demo" && argc >= 4) return Demo(exe, argv[3]);
  if (command == "startup") return Startup(exe, argc >= 4 ? std::max(1, std::atoi(argv[3])) : 5);
  if (argc >= 4) g_shots = argv[3];
  const Expected expected = ComputeExpected(exe);
  const bool all = command == "all";
  if (all || command == "window") {
    ResourceScenario(exe);
    WindowScenario(exe, expected);
  }
  if (all || command == "tests") PingScenario(exe, expected);
  if (all || command == "close") {
    Note("closing while a test runs");
    CloseScenario(exe, IDC_BTN_PING, "Ping", false, 1500);
    CloseScenario(exe, IDC_BTN_PING, "Ping (Escape)", true, 700);
    CloseScenario(exe, IDC_BTN_TRACERT, "TraceRT", false, 0);
    CloseScenario(exe, IDC_BTN_TELNET, "Telnet", false, 0);
  }
  // Needs WINEDLLOVERRIDES="icmp,iphlpapi=d" in the harness's own environment:
  // Wine reads it when a process starts, and the program inherits it.
  if (command == "no-icmp") NoIcmpScenario(exe, expected);
  if (g_checks == 0) return 2;

  std::printf("%d checks, %d failed\n", g_checks, g_failures);
  return g_failures == 0 ? 0 : 1;
}
