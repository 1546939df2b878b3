"""reachkit-cli report: text (UTF-8) and JSON carry the same facts, the check of every endpoint
included; passwords never appear."""
import calendar
import json
import os
import re
import time

import cli_test as h


class ReportCliTest(h.CliCase):
    def setUp(self):
        super().setUp()
        self.open, self.closed = self.loopback_ports()

    def test_report_names_every_file_read_and_masks_passwords_in_text_and_json(self):
        self.write("Sys/ZentickConSet.ini", "[Tradedesk]\nName=台北\n[台北]\nNMIP=127.0.0.1\n")
        self.write("Bin/BaseConfig.ini", "[DC]\nClientToNMPortTry=%d,%d\nUserPassword=Secret-Base-7\n"
                   % (self.closed, self.open))
        self.write("Sys/VekTradedesk.ini", "[Local]\nCount=1\nIP_1=127.0.0.1\n")
        self.write("Sys/Reachkit.ini", "[Priority]\nCombo=台北,80,81\n")
        os.utime(self.dir / "Bin/BaseConfig.ini", (0, 1_700_000_000))
        before = time.time()
        code, out, err = self.run_cli("--root", self.root, "report", "--json", "--timeout-ms", "2000")
        self.assertEqual((code, err), (0, b""))
        self.assertNotIn(b"Secret-Base-7", out)
        doc = json.loads(out)
        generated = calendar.timegm(time.strptime(doc["generated"], "%Y-%m-%dT%H:%M:%SZ"))
        self.assertLess(abs(generated - before), 60)
        self.assertRegex(doc["local_offset"], r"^[+-]\d\d:\d\d$")
        self.assertEqual(doc["version"].count("."), 3)
        self.assertIn("127.0.0.1", doc["ipv4_addresses"])
        self.assertEqual(doc["client_root"], self.root)
        files = {f["name"]: f for f in doc["files"]}
        self.assertEqual(list(files), ["quote_settings", "platform_settings", "host_file",
                                       "base_configuration", "tool_settings"])
        self.assertEqual({k: files["base_configuration"][k] for k in ("path", "exists", "modified")},
                         {"path": self.host_path(self.dir / "Bin/BaseConfig.ini"), "exists": True,
                          "modified": "2023-11-14T22:13:20Z"})
        self.assertEqual(files["base_configuration"]["size"], len(self.read("Bin/BaseConfig.ini")))
        self.assertEqual((files["host_file"]["exists"], files["host_file"]["size"]),
                         (True, len(self.read("Sys/VekTradedesk.ini"))))
        self.assertEqual((files["platform_settings"]["exists"], files["platform_settings"]["size"]), (False, None))
        self.assertEqual([x["label"] for x in doc["hosts"]], ["報價主機-台北 : 127.0.0.1", "交易主機-1 : 127.0.0.1:0"])
        self.assertEqual(doc["preference"]["priority"], {"location": "台北", "nm_port": 80, "ps_port": 81})
        self.assertEqual([f["user_password_set"] for f in doc["proxy"]], [False, True])

        # The check, as `check --json` gives it: every endpoint with its verdict and cause.
        check = doc["check"]
        self.assertEqual([(e["index"], e["address"], e["port"], e["verdict"], e["cause"])
                          for e in check["endpoints"]], [
            (0, "127.0.0.1", self.closed, "refused",
             "the host answers, but nothing listens on port %d" % self.closed),
            (0, "127.0.0.1", self.open, "open", ""),
            (1, "127.0.0.1", 0, "no-port", "the entry has no port to test")])
        self.assertEqual((check["client_root"], check["diagnosed"], [a["address"] for a in check["addresses"]]),
                         (self.root, True, []))  # a refusal needs no probe of the road
        self.assertEqual({k: v for k, v in check["summary"].items() if v},
                         {"open": 1, "refused": 1, "no-port": 1, "total": 3})
        self.assertTrue(all(0 <= e["ms"] < 2000 for e in check["endpoints"]))

        # The text, into a file: UTF-8 on every platform, the same facts.
        out_file = self.dir / "report.txt"
        self.assertEqual(self.run_cli("--root", self.root, "report", "--out", self.host_path(out_file),
                                      "--timeout-ms", "2000", "--no-diagnose"), (0, b"", b""))
        text = out_file.read_bytes().decode("utf-8")
        self.assertNotIn("Secret-Base-7", text)
        self.assertIn("UserPassword=********", text)
        self.assertIn("0\t報價主機-台北 : 127.0.0.1", text)
        self.assertIn("優先連線：台北　80　81", text)
        self.assertRegex(text, r"base_configuration: .*BaseConfig\.ini \(%d bytes, modified "
                         r"2023-11-14T22:13:20Z\)" % files["base_configuration"]["size"])
        self.assertIn("version: " + doc["version"], text)
        table = text[text.index("\ncheck of every endpoint:\n"):]
        for e in check["endpoints"]:
            self.assertRegex(table, r"\n%d +%s +127\.0\.0\.1:%s +%s +\d+\.\d ms\n" % (
                e["index"], re.escape(e["label"]), e["port"] or "-", e["verdict"]))
        self.assertIn("127.0.0.1:%d  the host answers, but nothing listens on port %d\n"
                      % (self.closed, self.closed), table)
        self.assertRegex(table, r"\n3 endpoints: 1 open, 1 refused, 1 no-port \(\d+\.\d ms\)\n$")
        bad = self.host_path(self.dir / "no-such-folder" / "r.txt")
        self.assertEqual(self.run_cli("--root", self.root, "report", "--out", bad)[0], 1)

    def test_a_client_without_hosts_still_gets_its_report_without_a_check(self):
        (self.dir / "Bin").mkdir()
        empty = self.host_path(self.dir / "Bin")
        code, out, err = self.run_cli("--root", empty, "--json", "report")
        self.assertEqual((code, err, json.loads(out)["check"], json.loads(out)["hosts"]), (0, b"", None, []))
        code, out, err = self.run_cli("--root", empty, "report")
        self.assertEqual((code, err), (0, b""))
        self.assertTrue(out.decode("utf-8").endswith("\ncheck of every endpoint:\nno hosts to check\n"))

    def test_a_stored_proxy_adds_the_proxied_check(self):
        # The proxied table itself is `check --via-proxy`'s (proxy_cli_test); the report only
        # has to carry it, here through a proxy port that refuses.
        self.write("Sys/VekTradedesk.ini", "[Local]\nCount=1\nIP_1=127.0.0.1\nPort_1=%d\n" % self.open)
        self.write("Bin/BaseConfig.ini", "[DC]\nProxyType=4\nSOCKSProxyServerName=127.0.0.1\n"
                   "SOCKSProxyPort=%d\nSOCKSUserPassword=Socks-Secret-4\n" % self.closed)
        code, out, err = self.run_cli("--root", self.root, "--json", "report", "--no-diagnose")
        self.assertEqual((code, err, b"Socks-Secret-4" in out), (0, b"", False))
        check = json.loads(out)["check"]
        self.assertEqual((check["proxy"]["port"], [e["proxy_verdict"] for e in check["endpoints"]]),
                         (str(self.closed), ["proxy-unreachable"]))
        code, out, _ = self.run_cli("--root", self.root, "report", "--no-diagnose")
        self.assertIn("\nthrough the SOCKS5 proxy 127.0.0.1:%d (" % self.closed, out.decode("utf-8"))


if __name__ == "__main__":
    h.main()
