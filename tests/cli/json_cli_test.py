"""--json on every command: one UTF-8 document on stdout, the same findings as the lines, field by
field; no password ever appears."""
import json

import cli_test as h


class JsonCliTest(h.CliCase):
    def setUp(self):
        super().setUp()
        self.open, self.closed = self.loopback_ports()
        self.write("Sys/ZentickConSet.ini", "[Tradedesk]\nName=台北,Loop\n[台北]\nNMIP=127.0.0.1\n"
                   "[Loop]\nNMIP=localhost\n")
        self.write("Bin/BaseConfig.ini", "[DC]\nClientToNMPortTry=%d,%d\nProxyType=1\n"
                   "ProxyServerName=192.0.2.8\nProxyPort=3128\nUserName=hu\nUserPassword=Secret-Base-7\n"
                   % (self.closed, self.open))
        self.write("Sys/VekTradedesk.ini", "[Local]\nCount=2\nIP_1=127.0.0.3\nPort_1=%d\nIP_2=127.0.0.4\n"
                   % self.closed)
        self.write("Sys/Reachkit.ini", "[Priority]\nCombo=台北,8000,8001\n[DC]\nSOCKSUserPassword=Secret-Tool-9\n")

    def document(self, *args, code=0):
        rc, out, err = self.run_cli("--root", self.root, "--json", *args)
        self.assertEqual(rc, code, (args, err))
        for secret in (b"Secret-Base-7", b"Secret-Tool-9"):
            self.assertNotIn(secret, out + err, args)
        return json.loads(out.decode("utf-8"))

    def test_hosts_preference_and_proxy_documents(self):
        ports = [self.closed, self.open]
        self.assertEqual(self.document("hosts"), {"client_root": self.root, "hosts": [
            {"index": 0, "label": "報價主機-台北 : 127.0.0.1", "host": "127.0.0.1", "group": "server", "ports": ports},
            {"index": 1, "label": "報價主機-Loop : localhost", "host": "localhost", "group": "server", "ports": ports},
            {"index": 2, "label": "交易主機-1 : 127.0.0.3:%d" % self.closed, "host": "127.0.0.3",
             "group": "local", "ports": [self.closed]},
            {"index": 3, "label": "交易主機-2 : 127.0.0.4:0", "host": "127.0.0.4", "group": "local", "ports": []}]})
        self.assertEqual(self.document("preference"), {
            "line": "成功連線： - 　　優先連線：台北　8000　8001", "success": None,
            "priority": {"location": "台北", "nm_port": 8000, "ps_port": 8001}})
        proxy = self.document("proxy")
        files = proxy["files"]
        # The tool file holds one of the nine keys, so the dialog loads it.
        self.assertEqual(proxy["master_copy"], self.host_path(self.dir / "Sys/Reachkit.ini"))
        # The nine keys per file are cli_test's; here which ones each file holds.
        self.assertEqual([[k for k, held in f["stored"].items() if held] for f in files], [
            ["SOCKSUserPassword"],
            ["ProxyType", "ProxyServerName", "ProxyPort", "UserName", "UserPassword"]])

    def test_tests_give_their_probes_as_data_and_their_lines(self):
        ping = self.document("ping", "0")
        self.assertEqual({k: ping[k] for k in ("command", "index", "label", "host", "address", "answered",
                                               "interrupted")},
                         {"command": "ping", "index": 0, "label": "報價主機-台北 : 127.0.0.1", "host": "127.0.0.1",
                          "address": "127.0.0.1", "answered": True, "interrupted": False})
        self.assertEqual([(e["seq"], e["answered"], e["address"], e["error_code"]) for e in ping["echoes"]],
                         [(i, True, "127.0.0.1", 0) for i in range(5)])
        self.assertEqual((len(ping["lines"]), ping["lines"][-1]), (7, "End "))

        telnet = self.document("telnet", "0")
        self.assertEqual((telnet["ports"], telnet["attempts"], telnet["answered"], telnet["lines"][1:]), (
            [self.closed, self.open], [{"port": self.closed, "connected": False},
                                       {"port": self.open, "connected": True}], True,
            ["連線失敗，127.0.0.1：%d" % self.closed, "連線成功，127.0.0.1：%d" % self.open]))


if __name__ == "__main__":
    h.main()
