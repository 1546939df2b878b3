// Where the windows open, whether every label fits, and whether the fonts have every glyph the
// window shows. The fonts are made as the dialog manager makes them, from the program's own
// templates, so a font mapping that loses Chinese glyphs or a label too narrow shows here.
#include <cmath>

#include "base/format.h"
#include "base/texts.h"
#include "dialogs/dialog_ids.h"
#include "harness.h"
#include "resource.h"

using namespace harness;
using rk::Format;

namespace {

struct TemplateFont {
  std::wstring face;
  int points = 0, weight = 0;
  bool italic = false;
};

// The FONT line of a DIALOGEX template in the program's resources.
TemplateFont FontOf(const std::string& exe, int templateId) {
  TemplateFont font;
  HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  HRSRC found = module ? FindResourceW(module, MAKEINTRESOURCEW(templateId), MAKEINTRESOURCEW(5))
                       : nullptr;
  const auto* p = found ? static_cast<const WORD*>(LockResource(LoadResource(module, found)))
                        : nullptr;
  if (p != nullptr && p[0] == 1 && p[1] == 0xFFFF) {  // DIALOGEX
    p += 2 + 2 + 2 + 2 + 1 + 4;                       // help id, ex-style, style, count, x y cx cy
    for (int field = 0; field < 2; ++field)           // menu, class: none, an ordinal or a text
      p += *p == 0xFFFF ? 2 : std::wcslen(reinterpret_cast<const wchar_t*>(p)) + 1;
    p += std::wcslen(reinterpret_cast<const wchar_t*>(p)) + 1;  // caption
    font.points = p[0];
    font.weight = p[1];
    font.italic = (p[2] & 0xFF) != 0;
    font.face = reinterpret_cast<const wchar_t*>(p + 3);
  }
  if (module) FreeLibrary(module);
  return font;
}

// A font as the dialog manager makes one for a template (the points as pixels of the screen).
struct Font {
  HFONT handle;
  explicit Font(const TemplateFont& f, int points = 0) {
    HDC screen = GetDC(nullptr);
    const int pixels = MulDiv(points ? points : f.points, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    handle = CreateFontW(-pixels, 0, 0, 0, f.weight, f.italic, FALSE, FALSE, DEFAULT_CHARSET, 0,
                         0, PROOF_QUALITY, FF_DONTCARE, f.face.c_str());
  }
  explicit Font(const LOGFONTW& description) : handle(CreateFontIndirectW(&description)) {}
  ~Font() { DeleteObject(handle); }
};

std::wstring Wide(HWND window) {
  wchar_t text[512] = {};
  SendMessageW(window, WM_GETTEXT, 512, LPARAM(text));
  return text;
}

std::string Narrow(const std::wstring& text) {
  std::string out(text.size() * 2 + 1, '\0');
  out.resize(size_t(WideCharToMultiByte(CP_ACP, 0, text.c_str(), int(text.size()), out.data(),
                                        int(out.size()), nullptr, nullptr)));
  return out;
}

// Every character of `text` has a glyph in the face that `font` really selects.
void Glyphs(HFONT font, const std::wstring& text, const std::string& what) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(dc, font);
  // The face really used: a substituted face keeps its requested name in GetTextFace.
  std::vector<char> buffer(GetOutlineTextMetricsW(dc, 0, nullptr) + sizeof(OUTLINETEXTMETRICW));
  auto* outline = reinterpret_cast<OUTLINETEXTMETRICW*>(buffer.data());
  const bool named = GetOutlineTextMetricsW(dc, UINT(buffer.size()), outline) != 0;
  const std::wstring face =
      named ? reinterpret_cast<const wchar_t*>(buffer.data() + size_t(outline->otmpFamilyName))
            : L"?";
  std::vector<WORD> glyphs(text.size() + 1, 0);
  const DWORD n = GetGlyphIndicesW(dc, text.c_str(), int(text.size()), glyphs.data(),
                                   GGI_MARK_NONEXISTING_GLYPHS);
  std::string missing;
  for (size_t i = 0; i < text.size(); ++i)
    if (n == GDI_ERROR || glyphs[i] == 0xFFFF) missing += Narrow(text.substr(i, 1));
  Check(n != GDI_ERROR && missing.empty() && !text.empty(),
        what + " \"" + Narrow(text) + "\" in " + Narrow(face) + ": no glyph for [" + missing + "]");
  SelectObject(dc, previous);
  DeleteDC(dc);
}

// Every static text of `dialog` fits its rectangle, measured with `font` (the label 3002 with
// `labelFont`) as the static control lays it out: wrapped at words, within its client width.
void LabelsFit(HWND dialog, HFONT font, const std::string& what, HFONT labelFont = nullptr) {
  HDC dc = CreateCompatibleDC(nullptr);
  int measured = 0;
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t className[16] = {};
    GetClassNameW(c, className, 16);
    const LONG style = GetWindowLongW(c, GWL_STYLE);
    const std::wstring text = Wide(c);
    const LONG type = style & SS_TYPEMASK;
    if (_wcsicmp(className, L"Static") != 0 || text.empty() ||
        (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT && type != SS_LEFTNOWORDWRAP))
      continue;
    HGDIOBJ previous =
        SelectObject(dc, GetDlgCtrlID(c) == IDC_PREFERENCE_LABEL && labelFont ? labelFont : font);
    RECT client{};
    GetClientRect(c, &client);
    RECT need = client;
    const UINT format = DT_CALCRECT | DT_EXPANDTABS | (style & SS_NOPREFIX ? DT_NOPREFIX : 0) |
                        (type == SS_LEFTNOWORDWRAP ? DT_SINGLELINE : DT_WORDBREAK);
    DrawTextW(dc, text.c_str(), -1, &need, format);
    SelectObject(dc, previous);
    ++measured;
    Check(need.right <= client.right && need.bottom <= client.bottom,
          Format("%s: \"%s\" needs %ldx%ld, has %ldx%ld", what.c_str(), Narrow(text).c_str(),
                 need.right, need.bottom, client.right, client.bottom));
  }
  DeleteDC(dc);
  Check(measured > 0, what + ": static texts measured");
}

RECT WindowRect(HWND w) {
  RECT r{};
  GetWindowRect(w, &r);
  return r;
}

// `w` centred on `over` to the pixel (halves round toward zero), or kept inside the work area.
void Centred(HWND w, const RECT& over, const std::string& what) {
  const RECT r = WindowRect(w);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(w, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& work = monitor.rcWork;
  const LONG x = std::clamp(over.left + (over.right - over.left - (r.right - r.left)) / 2,
                            work.left, std::max(work.left, work.right - (r.right - r.left)));
  const LONG y = std::clamp(over.top + (over.bottom - over.top - (r.bottom - r.top)) / 2,
                            work.top, std::max(work.top, work.bottom - (r.bottom - r.top)));
  Check(std::abs(r.left - x) <= 1 && std::abs(r.top - y) <= 1,
        Format("%s at (%ld,%ld), centred would be (%ld,%ld)", what.c_str(), r.left, r.top, x, y));
}

RECT WorkArea(HWND w) {
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(w, MONITOR_DEFAULTTOPRIMARY), &monitor);
  return monitor.rcWork;
}

HWND OpenFrom(const Program& p, int button, const char* caption) {
  PostMessageW(p.Item(button), BM_CLICK, 0, 0);
  return p.WaitDialog(caption);
}

void Close(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, WPARAM(id), 0);
  WaitFor([&] { return !IsWindowVisible(dialog); });
}

}  // namespace

// Windows open centred, every label fits, every glyph shows; screenshot of the connect-setting
// dialog in `folder`.
int RunLooks(const std::string& exe, const std::string& folder) {
  const std::string tool = Tree(exe, folder + "\\client",
      {"\\Sys\\ZentickConSet.ini", "[Tradedesk]\nName=North,\xA5\x78\xA5\x5FOrder2\n",
       "\\Bin\\BaseConfig.ini", "[DC]\nClientToNMPortTry=8000\n", "\\Sys\\Reachkit.ini",
       "[Priority]\nCombo=North,-1,8001\n[Success]\nCombo=\xA5\x78\xA5\x5FOrder2,47811,47812\n"});
  Program p(tool);
  if (!Check(p.Shown(), "the program starts")) return 1;
  WaitFor([&] { return RectIn(p.main(), p.Item(IDC_BTN_CLEAR)).right > 0; });
  Centred(p.main(), WorkArea(p.main()), "the main window on its work area");

  const TemplateFont mainFace = FontOf(exe, IDD_REACHKIT_DIALOG);
  const Font mainFont(mainFace), labelFont(mainFace, 9);
  LabelsFit(p.main(), mainFont.handle, "main window", labelFont.handle);
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  Glyphs(Font(metrics.lfCaptionFont).handle, Wide(p.main()), "the title");
  for (int id : {IDC_PREFERENCE_TITLE, IDC_SETTINGS_TITLE, IDC_NETWORK_TITLE})
    Glyphs(mainFont.handle, Wide(p.Item(id)), Format("group title %d", id));
  Glyphs(labelFont.handle, Wide(p.Item(IDC_PREFERENCE_LABEL)), "the preference label");

  PostMessageW(p.main(), WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
  if (const HWND about = p.WaitDialog(rk::text::kAboutCaption); Check(about, "the About box")) {
    Centred(about, WindowRect(p.main()), "the About box on the main window");
    LabelsFit(about, Font(FontOf(exe, IDD_ABOUTBOX)).handle, "About box");
    Close(about, IDCANCEL);
  }
  if (const HWND connect = OpenFrom(p, IDC_BTN_CONNECT_SETTING, "ConnectSetting");
      Check(connect, "the connect-setting dialog")) {
    Centred(connect, WindowRect(p.main()), "the connect-setting dialog on the main window");
    LabelsFit(connect, Font(FontOf(exe, rk::dlg::kConnectSettingTemplate)).handle,
              "connect setting");
    Check(Grab(WindowRect(connect), folder + "\\connect-setting.png").saved,
          "screenshot: the connect-setting dialog");
    PostMessageW(GetDlgItem(connect, IDOK), BM_CLICK, 0, 0);  // the stored port -1: refused
    if (const HWND box = p.WaitDialog("Reachkit"); Check(box, "a message box")) {
      Centred(box, WindowRect(connect), "the message box on its dialog");
      Close(box, IDOK);
    }
    Close(connect, IDCANCEL);
  }
  if (const HWND proxy = OpenFrom(p, IDC_BTN_PROXY_SETTING, "ProxySetting");
      Check(proxy, "the proxy-setting dialog")) {
    Centred(proxy, WindowRect(p.main()), "the proxy-setting dialog on the main window");
    LabelsFit(proxy, Font(FontOf(exe, rk::dlg::kProxySettingTemplate)).handle, "proxy setting");
    Close(proxy, IDCANCEL);
  }
  p.Close();
  return std::printf("%d failed\n", g_failures), g_failures == 0 ? 0 : 1;
}
