// gui_harness folder-names: Reachkit.exe started from client trees in folders named in Chinese,
// with a blank, whose last character's second byte in code page 950 is "\" (功 A5 5C, 蓋 BB 5C).
// The window finds its client two folders up and lists its hosts as from any other folder.
#include "base/format.h"
#include "config/client_paths.h"
#include "config/connection_preference.h"
#include "config/host_catalogue.h"
#include "config/profile_store.h"
#include "harness.h"
#include "resource.h"

using namespace harness;

int RunFolderNames(const std::string& exe, const std::string& folder) {
  const std::string taipei = "\xA5\x78\xA5\x5F";  // 台北
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string roots[] = {folder + "\\" + taipei + " \xA5\x5C",  // 台北 功
                               folder + "\\\xBB\x5C"};                // 蓋
  for (const std::string& root : roots) {
    const std::string program = Tree(
        exe, root,
        {"\\Sys\\ZentickConSet.ini",
         "[Tradedesk]\r\nName=Order1," + taipei + "\r\n[Order1]\r\nNMIP=127.0.0.1\r\n[" + taipei +
             "]\r\nNMIP=localhost\r\n",
         "\\Bin\\BaseConfig.ini", "[DC]\r\nClientToNMPortTry=8000\r\n", "\\Sys\\VekTradedesk.ini",
         "[Local]\r\nCount=1\r\nIP_1=127.0.0.2\r\nPort_1=8001\r\n", "\\Sys\\Reachkit.ini",
         "[Priority]\r\nCombo=" + taipei + ",8000,8001\r\n"});
    // The reference: the catalogue of the root named directly, not found from the program's place.
    const rk::ClientPaths paths(root, '\\');
    const rk::HostCatalogue catalogue = rk::BuildHostCatalogue(rk::SystemProfileStore(), paths);
    Program p(program);
    if (!Check(p.Shown(), "the program starts in " + root)) continue;
    const auto hosts = Items(p.Item(IDC_HOST_COMBO), CB_GETCOUNT, CB_GETLBTEXT);
    Check(hosts == catalogue.labels && hosts.size() == 3 &&
              hosts[1].find(taipei + " : localhost") != std::string::npos,
          rk::Format("the client's %zu hosts (%zu listed)", catalogue.labels.size(), hosts.size()));
    const std::string label = Text(p.Item(IDC_PREFERENCE_LABEL));
    Check(label == rk::PreferenceLabelText(rk::SystemProfileStore(), paths) &&
              label.find(taipei) != std::string::npos,
          "the stored preference: " + label);
    if (&root == &roots[0]) Grab(RectIn(nullptr, p.main()), folder + "\\window.png");
    p.Close();
  }
  return std::printf("%d failed\n", g_failures), g_failures == 0 ? 0 : 1;
}
