// The settings dialogs of the real program driven through their controls, then both INI files
// and the preference label checked: the wiring, as the forms' rules are unit-tested.
#include "base/texts.h"
#include "config/client_paths.h"
#include "config/connection_preference.h"
#include "config/profile_store.h"
#include "dialogs/dialog_ids.h"
#include "dialogs/proxy_setting_form.h"
#include "harness.h"
#include "resource.h"

using namespace harness;
using Strings = std::vector<std::string>;
namespace dlg = rk::dlg;

namespace {

std::string Ini(const std::string& path, const char* section, const char* key) {
  return rk::SystemProfileStore().GetString(section, key, "?", rk::kProfileBufferSize, path);
}

Strings ProxyKeys(const std::string& path) {
  Strings values;
  for (const char* key : rk::kProxyKeys) values.push_back(Ini(path, rk::kProxySection, key));
  return values;
}

struct Dialog {
  HWND window;
  HWND Item(int id) const { return GetDlgItem(window, id); }
  void Type(int id, const char* text) const { SendMessageA(Item(id), WM_SETTEXT, 0, LPARAM(text)); }
  void Press(int id) const { PostMessageW(Item(id), BM_CLICK, 0, 0); }  // not waiting in a modal
  void Choose(int id, int index) const {
    SendMessageW(Item(id), CB_SETCURSEL, WPARAM(index), 0);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), LPARAM(Item(id)));
  }
  bool Gone() const { return WaitFor([this] { return !IsWindowVisible(window); }); }
};

Dialog Open(const Program& p, int button, const char* caption) {
  PostMessageW(p.Item(button), BM_CLICK, 0, 0);
  const HWND window = p.WaitDialog(caption);
  Check(window != nullptr, std::to_string(button) + " opens " + caption);
  return {window};
}

void ConnectSetting(const std::string& exe, const std::string& root) {
  const std::string tool = root + "\\Sys\\Reachkit.ini", taipei = "\xA5\x78\xA5\x5F";  // 台北
  Program p(Tree(exe, root,
                 {"\\Sys\\ZentickConSet.ini", "[Tradedesk]\nName=Northeast,North," + taipei,
                  "\\Bin\\BaseConfig.ini", "[DC]\nClientToNMPortTry=8000", "\\Sys\\Reachkit.ini",
                  "[Priority]\nCombo=North,-1,8001\n[Success]\nCombo=South,1,2"}));
  if (!Check(p.Shown(), "the program starts on the connect-setting tree")) return;
  const HWND label = p.Item(IDC_PREFERENCE_LABEL);
  const std::string labelBefore = Text(label);
  Dialog d = Open(p, IDC_BTN_CONNECT_SETTING, "ConnectSetting");
  d.Press(IDCANCEL);
  Check(d.Gone() && Ini(tool, "Priority", "Combo") == "North,-1,8001" && Text(label) == labelBefore,
        "Cancel writes nothing and leaves the label");

  if (!(d = Open(p, IDC_BTN_CONNECT_SETTING, "ConnectSetting")).window) return;
  d.Press(IDOK);  // the stored port -1 shows as an empty edit
  Check(p.TakeMessageBox() == rk::text::kPortMustBePositive, "OK with an empty port: the message");
  d.Choose(dlg::kConnectLocationCombo, 2);
  d.Type(dlg::kConnectNmPortEdit, "080");
  d.Type(dlg::kConnectPsPortEdit, "70000");
  d.Press(IDOK);
  Check(p.TakeMessageBox() == rk::text::kPsPortOutOfRange, "a port beyond 65535: the message");
  d.Type(dlg::kConnectPsPortEdit, "65535");
  d.Press(IDOK);
  const rk::ClientPaths paths(root, '\\');  // stored, then shown: once shown, it is stored
  Check(d.Gone() && WaitFor([&] { return Text(label) != labelBefore; }) &&
            Ini(tool, "Priority", "Combo") == taipei + ",80,65535" &&
            Text(label) == rk::PreferenceLabelText(rk::SystemProfileStore(), paths),
        "OK stores the preference, the label shows it");
  p.Close();
}

void ProxySetting(const std::string& exe, const std::string& root) {
  const std::string tool = root + "\\Sys\\Reachkit.ini", base = root + "\\Bin\\BaseConfig.ini";
  const Strings client = {"1", "192.0.2.8", "3128", "hu", "hp", "192.0.2.9", "1080", "su", "sp"};
  std::string baseText = "[DC]\nClientToNMPortTry=8000\n";
  for (size_t i = 0; i < client.size(); ++i)
    baseText += rk::kProxyKeys[i] + ("=" + client[i]) + "\n";
  Program p(Tree(exe, root, {"\\Bin\\BaseConfig.ini", baseText}));
  if (!Check(p.Shown(), "the program starts on the proxy-setting tree")) return;
  const std::string labelBefore = Text(p.Item(IDC_PREFERENCE_LABEL));
  Dialog d = Open(p, IDC_BTN_PROXY_SETTING, "ProxySetting");
  if (!d.window) return;
  const HWND password = d.Item(dlg::kProxyPasswordEdit), host = d.Item(dlg::kProxyHostEdit);
  const LRESULT type = SendMessageW(d.Item(dlg::kProxyTypeCombo), CB_GETCURSEL, 0, 0);
  Check(ProxyKeys(tool) == client && type == 1 && Text(host) == "192.0.2.8",
        "opening copies the client's keys into the tool's file and shows them");
  Check((GetWindowLongW(password, GWL_STYLE) & ES_PASSWORD) &&
            SendMessageW(password, EM_GETPASSWORDCHAR, 0, 0), "the password edit hides typing");
  d.Choose(dlg::kProxyTypeCombo, 4);
  d.Type(dlg::kProxyUserEdit, "");
  d.Press(IDOK);
  Check(p.TakeMessageBox() == rk::text::kEnterUserId && ProxyKeys(base) == client,
        "SOCK5 without user: the message, nothing written");
  SendMessageW(d.Item(dlg::kProxyNeedLoginCheck), BM_CLICK, 0, 0);  // no login
  d.Type(dlg::kProxyHostEdit, "203.0.113.5");
  d.Type(dlg::kProxyPortEdit, "1090");
  d.Press(IDOK);
  const Strings saved = {"4", "192.0.2.8", "3128", "hu", "hp", "203.0.113.5", "1090", "", ""};
  Check(d.Gone() && ProxyKeys(tool) == saved && ProxyKeys(base) == saved &&
            Ini(base, "DC", "ClientToNMPortTry") == "8000" &&
            Text(p.Item(IDC_PREFERENCE_LABEL)) == labelBefore,
        "OK writes the nine keys into both files, keeps the rest and the label");

  if (!(d = Open(p, IDC_BTN_PROXY_SETTING, "ProxySetting")).window) return;
  d.Type(dlg::kProxyHostEdit, "not saved");
  d.Press(IDCANCEL);
  Check(d.Gone() && ProxyKeys(tool) == saved && ProxyKeys(base) == saved, "Cancel writes nothing");
  p.Close();
}

}  // namespace

int RunDialogs(const std::string& exe, const std::string& folder) {
  ConnectSetting(exe, folder + "\\connect");
  ProxySetting(exe, folder + "\\proxy");
  return std::printf("%d failed\n", g_failures), g_failures == 0 ? 0 : 1;
}
