// The two settings dialogs in the real program: Reachkit.exe runs in a
// generated client tree, and this test drives it from outside as a user
// would, through window messages: it opens each dialog from its button,
// types into the real controls, presses OK and Cancel, reads each message
// box, then checks both INI files and the main window's preference label.
//
// usage: dialogs_gui_tests PATH-TO-Reachkit.exe [gtest options]
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/texts.h"
#include "config/profile_store.h"
#include "dialogs/dialog_ids.h"
#include "dialogs/proxy_setting_form.h"
#include "support/test_support.h"

namespace rk {
namespace {

std::string g_exePath;  // Reachkit.exe as built

constexpr auto kWindowWait = std::chrono::seconds(20);
constexpr int kMainLabel = 3002;
constexpr int kProxyButton = 3000;
constexpr int kConnectButton = 3001;
constexpr int kMessageBoxText = 0xFFFF;  // the static that holds a message box's text

std::wstring Wide(const std::string& ansi) {
  if (ansi.empty()) return {};
  const int n =
      MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), n);
  return wide;
}

std::string Ansi(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string ansi(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(), n,
                      nullptr, nullptr);
  return ansi;
}

// Across processes the wide messages are marshalled faithfully; texts are
// compared as code page 950 bytes.
std::string TextOf(HWND window) {
  const auto length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const auto copied = SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(text.size()),
                                   reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(copied));
  return Ansi(text);
}

void SetText(HWND window, const std::string& ansi) {
  const std::wstring wide = Wide(ansi);
  SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

bool Enabled(HWND window) { return IsWindowEnabled(window) != FALSE; }

// The program under test in a client tree of its own: <root>\Tools\Reachkit.exe.
class Program {
 public:
  explicit Program(const testing::TempDir& tree) {
    const std::string exe = tree.File("Tools/Reachkit.exe");
    CreateDirectoryA(tree.File("Tools").c_str(), nullptr);
    if (!CopyFileA(g_exePath.c_str(), exe.c_str(), FALSE)) return;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + exe + "\"";
    if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        tree.File("Tools").c_str(), &startup, &process_))
      process_ = {};
  }
  ~Program() {
    if (process_.hProcess == nullptr) return;
    if (const HWND main = MainWindow(std::chrono::seconds(0))) PostMessageA(main, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_.hProcess, 10000) != WAIT_OBJECT_0)
      TerminateProcess(process_.hProcess, 1);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  [[nodiscard]] bool Started() const { return process_.hProcess != nullptr; }

  // The first top-level window of the program that `match` accepts, waiting
  // up to `wait`.
  HWND FindTopLevel(const std::function<bool(HWND)>& match,
                    std::chrono::milliseconds wait = kWindowWait) const {
    const auto until = std::chrono::steady_clock::now() + wait;
    for (;;) {
      struct Search {
        DWORD pid;
        const std::function<bool(HWND)>* match;
        HWND found;
      } search{process_.dwProcessId, &match, nullptr};
      EnumWindows(
          [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD pid = 0;
            GetWindowThreadProcessId(window, &pid);
            if (pid != s->pid || !IsWindowVisible(window) || !(*s->match)(window)) return TRUE;
            s->found = window;
            return FALSE;
          },
          reinterpret_cast<LPARAM>(&search));
      if (search.found != nullptr || std::chrono::steady_clock::now() >= until) return search.found;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }

  HWND MainWindow(std::chrono::milliseconds wait = kWindowWait) const {
    return FindTopLevel([](HWND w) { return ClassOf(w) == "Reachkit"; }, wait);
  }
  HWND Dialog(const char* caption, std::chrono::milliseconds wait = kWindowWait) const {
    return FindTopLevel(
        [caption](HWND w) { return ClassOf(w) == "#32770" && TextOf(w) == caption; }, wait);
  }
  HWND MessageBoxWindow(std::chrono::milliseconds wait = kWindowWait) const {
    return FindTopLevel(
        [](HWND w) {
          return ClassOf(w) == "#32770" && TextOf(w) == "Reachkit" &&
                 GetDlgItem(w, kMessageBoxText) != nullptr;
        },
        wait);
  }

  // The text of the message box that is open now, which is then closed with
  // its OK button; "" when none appears.
  std::string TakeMessageBox() const {
    const HWND box = MessageBoxWindow();
    if (box == nullptr) return {};
    const std::string text = TextOf(GetDlgItem(box, kMessageBoxText));
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    WaitGone(box);
    return text;
  }

  static bool WaitGone(HWND window) {
    const auto until = std::chrono::steady_clock::now() + kWindowWait;
    while (IsWindow(window) && IsWindowVisible(window)) {
      if (std::chrono::steady_clock::now() >= until) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
  }

  // Start-up may say that ICMP cannot be had; that box is not under test.
  HWND Ready() const {
    const auto until = std::chrono::steady_clock::now() + kWindowWait;
    while (std::chrono::steady_clock::now() < until) {
      if (const HWND box = MessageBoxWindow(std::chrono::milliseconds(0))) {
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        WaitGone(box);
      }
      if (const HWND main = MainWindow(std::chrono::milliseconds(0));
          main != nullptr && GetDlgItem(main, kMainLabel) != nullptr &&
          MessageBoxWindow(std::chrono::milliseconds(0)) == nullptr)
        return main;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return nullptr;
  }

 private:
  PROCESS_INFORMATION process_{};
};

// A press that may open a modal window (a message box, or the dialog ends):
// posted, so that this test never waits inside the program's handler.
void Press(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }

// Selects entry `index` as a user would: the change, then the notification.
void Choose(HWND dialog, int comboId, int index) {
  const HWND combo = GetDlgItem(dialog, comboId);
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(comboId, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
}

bool WaitForText(HWND window, const std::string& text) {
  const auto until = std::chrono::steady_clock::now() + kWindowWait;
  while (TextOf(window) != text) {
    if (std::chrono::steady_clock::now() >= until) {
      ADD_FAILURE() << "still " << TextOf(window);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return true;
}

int Selection(HWND dialog, int comboId) {
  return static_cast<int>(SendMessageW(GetDlgItem(dialog, comboId), CB_GETCURSEL, 0, 0));
}

std::vector<std::string> ComboEntries(HWND combo) {
  std::vector<std::string> entries;
  const auto count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    std::wstring text(
        static_cast<size_t>(SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0)) + 1,
        L'\0');
    const auto n = SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i),
                                reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(n > 0 ? n : 0));
    entries.push_back(Ansi(text));
  }
  return entries;
}

// Saves what the screen shows of `window` as a 24-bit BMP in the working
// folder, for a look at the layout after a run.
void SaveScreenshot(HWND window, const char* fileName) {
  RECT rect{};
  if (!GetWindowRect(window, &rect)) return;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return;
  const HDC screen = GetDC(nullptr);
  const HDC memory = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  const HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  std::vector<char> pixels(static_cast<size_t>(stride) * static_cast<size_t>(height));
  GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
            reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
  if (FILE* out = fopen(fileName, "wb")) {
    fwrite(&file, sizeof file, 1, out);
    fwrite(&info, sizeof info, 1, out);
    fwrite(pixels.data(), 1, pixels.size(), out);
    fclose(out);
  }
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

std::string Ini(const std::string& path, const char* section, const char* key) {
  return SystemProfileStore().GetString(section, key, "<missing>", kProfileBufferSize, path);
}

std::vector<std::string> ProxyValues(const std::string& path) {
  std::vector<std::string> values;
  for (const char* key : kProxyKeys) values.push_back(Ini(path, kProxySection, key));
  return values;
}

const std::string kTaipei = "\xA5\x78\xA5\x5F";  // 台北

// 成功連線：%s　　優先連線：%s
std::string Label(const std::string& success, const std::string& priority) {
  return "\xA6\xA8\xA5\x5C\xB3\x73\xBD\x75\xA1\x47" + success +
         "\xA1\x40\xA1\x40\xC0\x75\xA5\xFD\xB3\x73\xBD\x75\xA1\x47" + priority;
}

class SettingsDialogs : public ::testing::Test {
 protected:
  std::string Tool() const { return tree.File("Sys/Reachkit.ini"); }
  std::string Base() const { return tree.File("Bin/BaseConfig.ini"); }
  testing::TempDir tree;
};

TEST_F(SettingsDialogs, ConnectSettingChecksInputThenStoresAndRefreshesTheLabel) {
  tree.Write("Sys/ZentickConSet.ini", "[Tradedesk]\r\nName=Northeast,North," + kTaipei + "\r\n");
  tree.Write("Sys/Reachkit.ini",
             "[Priority]\r\nCombo=North,-1,8001\r\n[Success]\r\nCombo=South,1,2\r\n");
  tree.Write("Bin/BaseConfig.ini", "[DC]\r\nClientToNMPortTry=8000\r\n");
  Program program(tree);
  ASSERT_TRUE(program.Started()) << g_exePath;
  const HWND main = program.Ready();
  ASSERT_NE(main, nullptr);
  const HWND label = GetDlgItem(main, kMainLabel);
  EXPECT_EQ(TextOf(label), Label("South\xA1\x40"
                                 "1\xA1\x40"
                                 "2",
                                 " - "));

  // Cancel first: nothing is written, the label stays.
  Press(GetDlgItem(main, kConnectButton));
  HWND dialog = program.Dialog("ConnectSetting");
  ASSERT_NE(dialog, nullptr);
  const std::string before = testing::ReadBytes(Tool());
  const std::string labelBefore = TextOf(label);
  Press(GetDlgItem(dialog, IDCANCEL));
  ASSERT_TRUE(Program::WaitGone(dialog));
  EXPECT_EQ(testing::ReadBytes(Tool()), before);
  EXPECT_EQ(TextOf(label), labelBefore);

  Press(GetDlgItem(main, kConnectButton));
  dialog = program.Dialog("ConnectSetting");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ComboEntries(GetDlgItem(dialog, dlg::kConnectLocationCombo)),
            (std::vector<std::string>{"Northeast", "North", kTaipei}));
  EXPECT_EQ(Selection(dialog, dlg::kConnectLocationCombo), 0) << "first entry beginning with North";
  const HWND nm = GetDlgItem(dialog, dlg::kConnectNmPortEdit);
  const HWND ps = GetDlgItem(dialog, dlg::kConnectPsPortEdit);
  EXPECT_EQ(TextOf(nm), "") << "a stored -1 leaves the edit empty";
  EXPECT_EQ(TextOf(ps), "8001");
  SaveScreenshot(dialog, "dialogs-connect-setting.bmp");

  Press(GetDlgItem(dialog, IDOK));
  EXPECT_EQ(program.TakeMessageBox(), text::kPortMustBePositive);
  SendMessageW(GetDlgItem(dialog, dlg::kConnectLocationCombo), CB_SETCURSEL,
               static_cast<WPARAM>(-1), 0);
  SetText(nm, "8o");
  Press(GetDlgItem(dialog, IDOK));
  EXPECT_EQ(program.TakeMessageBox(), text::kNoLocationChosen) << "selection is checked first";
  Choose(dialog, dlg::kConnectLocationCombo, 2);
  Press(GetDlgItem(dialog, IDOK));
  EXPECT_EQ(program.TakeMessageBox(), text::kPortMustBePositive);
  EXPECT_EQ(testing::ReadBytes(Tool()), before) << "refusals write nothing";

  SetText(nm, "080");
  SetText(ps, "70000");
  Press(GetDlgItem(dialog, IDOK));
  ASSERT_TRUE(Program::WaitGone(dialog));
  // The preference is stored after the dialog has gone, then the label is
  // refreshed: once the label shows it, the file holds it.
  EXPECT_TRUE(WaitForText(label, Label(" - ", kTaipei + "\xA1\x40"
                                                        "80\xA1\x40"
                                                        "70000")));
  EXPECT_EQ(Ini(Tool(), "Priority", "Combo"), kTaipei + ",80,70000");
  EXPECT_EQ(Ini(Tool(), "LastSuccess", "Combo"), "South,1,2");
  EXPECT_EQ(Ini(Tool(), "Success", "Combo"), "-");  // " - ", trimmed by the read
}

TEST_F(SettingsDialogs, ProxySettingCopiesOnOpeningChecksInputAndWritesBothFiles) {
  const std::vector<std::string> client = {"1",         "192.0.2.8", "3128", "hu", "hp",
                                           "192.0.2.9", "1080",      "su",   "sp"};
  std::string base = "[DC]\r\nClientToNMPortTry=8000\r\n";
  for (size_t i = 0; i < kProxyKeys.size(); ++i)
    base += std::string(kProxyKeys[i]) + "=" + client[i] + "\r\n";
  tree.Write("Bin/BaseConfig.ini", base);
  tree.Write("Sys/ZentickConSet.ini", "[Tradedesk]\r\nName=North\r\n");
  Program program(tree);
  ASSERT_TRUE(program.Started()) << g_exePath;
  const HWND main = program.Ready();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(Ini(Tool(), "DC", "ProxyType"), "<missing>");

  Press(GetDlgItem(main, kProxyButton));
  HWND dialog = program.Dialog("ProxySetting");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ProxyValues(Tool()), client) << "opening copies the client's keys into a new file";
  const HWND combo = GetDlgItem(dialog, dlg::kProxyTypeCombo);
  EXPECT_EQ(ComboEntries(combo), (std::vector<std::string>{"NONE", "HTTP11_PROXY", "SOCK4_PROXY",
                                                           "SOCK4a_PROXY", "SOCK5_PROXY"}));
  EXPECT_EQ(Selection(dialog, dlg::kProxyTypeCombo), 1);
  const HWND host = GetDlgItem(dialog, dlg::kProxyHostEdit);
  const HWND port = GetDlgItem(dialog, dlg::kProxyPortEdit);
  const HWND check = GetDlgItem(dialog, dlg::kProxyNeedLoginCheck);
  const HWND user = GetDlgItem(dialog, dlg::kProxyUserEdit);
  const HWND password = GetDlgItem(dialog, dlg::kProxyPasswordEdit);
  EXPECT_NE(GetWindowLongA(password, GWL_STYLE) & ES_PASSWORD, 0);
  EXPECT_EQ(TextOf(host), "192.0.2.8");
  EXPECT_EQ(TextOf(user), "hu");
  EXPECT_EQ(SendMessageW(check, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_TRUE(Enabled(check) && Enabled(user) && Enabled(password));
  SaveScreenshot(dialog, "dialogs-proxy-setting.bmp");

  // Typed text is discarded by a switch of the type.
  SetText(host, "typed");
  Choose(dialog, dlg::kProxyTypeCombo, 2);
  EXPECT_EQ(TextOf(host), "192.0.2.9");
  EXPECT_FALSE(Enabled(check));
  EXPECT_EQ(SendMessageW(check, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_FALSE(Enabled(user) || Enabled(password) ||
               Enabled(GetDlgItem(dialog, dlg::kProxyUserLabel)));
  EXPECT_EQ(TextOf(user), "");
  Choose(dialog, dlg::kProxyTypeCombo, 1);
  EXPECT_EQ(TextOf(host), "192.0.2.8");
  Choose(dialog, dlg::kProxyTypeCombo, 0);
  EXPECT_FALSE(Enabled(host) || Enabled(port) || Enabled(GetDlgItem(dialog, dlg::kProxyHostLabel)));
  EXPECT_EQ(TextOf(host), "");

  // Login checks come before the host check.
  Choose(dialog, dlg::kProxyTypeCombo, 4);
  EXPECT_EQ(TextOf(user), "su");
  SetText(user, "");
  SetText(host, "");
  Press(GetDlgItem(dialog, IDOK));
  EXPECT_EQ(program.TakeMessageBox(), text::kEnterUserId);
  // The box unchecked: the login rows go grey, their texts stay.
  SendMessageW(check, BM_CLICK, 0, 0);
  EXPECT_EQ(SendMessageW(check, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_FALSE(Enabled(user) || Enabled(password));
  EXPECT_EQ(TextOf(password), "sp");
  Press(GetDlgItem(dialog, IDOK));
  EXPECT_EQ(program.TakeMessageBox(), text::kEnterProxyHost);
  SetText(host, "203.0.113.5");
  SetText(port, "");
  Press(GetDlgItem(dialog, IDOK));
  EXPECT_EQ(program.TakeMessageBox(), text::kEnterProxyPort);
  EXPECT_EQ(ProxyValues(Base()), client) << "refusals write nothing";

  SetText(port, "1090");
  Press(GetDlgItem(dialog, IDOK));
  ASSERT_TRUE(Program::WaitGone(dialog));
  const std::vector<std::string> saved = {"4",           "192.0.2.8", "3128", "hu", "hp",
                                          "203.0.113.5", "1090",      "",     ""};
  EXPECT_EQ(ProxyValues(Tool()), saved);
  EXPECT_EQ(ProxyValues(Base()), saved);
  EXPECT_EQ(Ini(Base(), "DC", "ClientToNMPortTry"), "8000");

  // Opening again copies the tool's keys back (the same now); Cancel adds nothing.
  Press(GetDlgItem(main, kProxyButton));
  dialog = program.Dialog("ProxySetting");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(Selection(dialog, dlg::kProxyTypeCombo), 4);
  EXPECT_EQ(SendMessageW(GetDlgItem(dialog, dlg::kProxyNeedLoginCheck), BM_GETCHECK, 0, 0),
            BST_UNCHECKED);
  EXPECT_EQ(TextOf(GetDlgItem(dialog, dlg::kProxyHostEdit)), "203.0.113.5");
  SetText(GetDlgItem(dialog, dlg::kProxyHostEdit), "not saved");
  Press(GetDlgItem(dialog, IDCANCEL));
  ASSERT_TRUE(Program::WaitGone(dialog));
  EXPECT_EQ(ProxyValues(Tool()), saved);
  EXPECT_EQ(ProxyValues(Base()), saved);
}

TEST_F(SettingsDialogs, ProxyTypeOutsideTheListShowsNoneAndOkStoresZero) {
  tree.Write("Sys/Reachkit.ini", "[DC]\r\nProxyType=7\r\nProxyServerName=192.0.2.1\r\n");
  tree.Write("Bin/BaseConfig.ini", "[DC]\r\nProxyType=1\r\nProxyServerName=192.0.2.2\r\n");
  Program program(tree);
  ASSERT_TRUE(program.Started()) << g_exePath;
  const HWND main = program.Ready();
  ASSERT_NE(main, nullptr);
  Press(GetDlgItem(main, kProxyButton));
  const HWND dialog = program.Dialog("ProxySetting");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(Ini(Base(), "DC", "ProxyType"), "7") << "copied as stored";
  EXPECT_EQ(Ini(Base(), "DC", "ProxyServerName"), "192.0.2.1");
  EXPECT_EQ(Selection(dialog, dlg::kProxyTypeCombo), 0);
  for (int id : {dlg::kProxyHostEdit, dlg::kProxyPortEdit, dlg::kProxyNeedLoginCheck,
                 dlg::kProxyUserEdit, dlg::kProxyPasswordEdit, dlg::kProxyHostLabel,
                 dlg::kProxyPortLabel, dlg::kProxyUserLabel, dlg::kProxyPasswordLabel})
    EXPECT_FALSE(Enabled(GetDlgItem(dialog, id))) << id;
  for (int id :
       {dlg::kProxyHostEdit, dlg::kProxyPortEdit, dlg::kProxyUserEdit, dlg::kProxyPasswordEdit})
    EXPECT_EQ(TextOf(GetDlgItem(dialog, id)), "") << id;
  Press(GetDlgItem(dialog, IDOK));
  ASSERT_TRUE(Program::WaitGone(dialog));
  EXPECT_EQ(Ini(Tool(), "DC", "ProxyType"), "0");
  EXPECT_EQ(Ini(Base(), "DC", "ProxyType"), "0");
  EXPECT_EQ(Ini(Base(), "DC", "ProxyServerName"), "192.0.2.1");
}

}  // namespace
}  // namespace rk

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc < 2) {
    fprintf(stderr, "usage: dialogs_gui_tests PATH-TO-Reachkit.exe\n");
    return 2;
  }
  std::string path = argv[1];
  // A POSIX path from the build system reaches us as is; Wine maps / to Z:.
  if (!path.empty() && path[0] == '/') {
    for (char& c : path)
      if (c == '/') c = '\\';
    path = "Z:" + path;
  }
  rk::g_exePath = path;
  return RUN_ALL_TESTS();
}
