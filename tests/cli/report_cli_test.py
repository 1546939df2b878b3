"""reachkit-cli report: text (UTF-8) and JSON carry the same facts, the check of every endpoint
included; passwords never appear."""
import calendar
import json
import os
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
        doc = self.document("report", "--timeout-ms", "2000")
        self.assertNotIn("Secret-Base-7", json.dumps(doc))
        generated = calendar.timegm(time.strptime(doc["generated"], "%Y-%m-%dT%H:%M:%SZ"))
        self.assertLess(abs(generated - before), 60)
        self.assertIn("127.0.0.1", doc["ipv4_addresses"])
        self.assertEqual(doc["client_root"], self.root)
        files = {f["name"]: f for f in doc["files"]}
        self.assertEqual(list(files), ["quote_settings", "platform_settings", "host_file",
                                       "base_configuration", "tool_settings"])
        self.assertEqual({k: files["base_configuration"][k] for k in ("path", "exists", "modified", "size")},
                         {"path": self.host_path(self.dir / "Bin/BaseConfig.ini"), "exists": True,
                          "modified": "2023-11-14T22:13:20Z", "size": len(self.read("Bin/BaseConfig.ini"))})
        self.assertEqual((files["platform_settings"]["exists"], files["platform_settings"]["size"]), (False, None))
        self.assertEqual([x["label"] for x in doc["hosts"]], ["報價主機-台北 : 127.0.0.1", "交易主機-1 : 127.0.0.1:0"])
        self.assertEqual(doc["preference"]["priority"], {"location": "台北", "nm_port": 80, "ps_port": 81})
        self.assertEqual([f["user_password_set"] for f in doc["proxy"]], [False, True])

        # The check, as `check --json` gives it (field by field over a real path: the namespace
        # test): every endpoint with its verdict and cause.
        self.assertEqual([(e["index"], e["address"], e["port"], e["verdict"], e["cause"])
                          for e in doc["check"]["endpoints"]], [
            (0, "127.0.0.1", self.closed, "refused",
             "the host answers, but nothing listens on port %d" % self.closed),
            (0, "127.0.0.1", self.open, "open", ""),
            (1, "127.0.0.1", 0, "no-port", "the entry has no port to test")])

        # The text, into a file: UTF-8 on every platform, the same facts (the table's lines are
        # the check's); the HTML page beside it is html_report_test's.
        out_file, html_file = self.dir / "report.txt", self.dir / "report.html"
        self.assertEqual(self.run_cli("--root", self.root, "report", "--out", self.host_path(out_file),
                                      "--html", self.host_path(html_file), "--timeout-ms", "2000",
                                      "--no-diagnose"), (0, b"", b""))
        text = out_file.read_bytes().decode("utf-8")
        self.assertNotIn("Secret-Base-7", text + html_file.read_bytes().decode("utf-8"))
        self.assertIn("UserPassword=********", text)
        self.assertIn("0\t報價主機-台北 : 127.0.0.1", text)
        self.assertRegex(text, r"\ncheck of every endpoint:\n[\s\S]*\n3 endpoints: 1 open, 1 refused, 1 no-port \(")
        bad = self.host_path(self.dir / "no-such-folder" / "r.txt")
        self.assertEqual(self.run_cli("--root", self.root, "report", "--out", bad)[0], 1)
        self.assertEqual(self.run_cli("--root", self.root, "report", "--html", bad,
                                      "--no-diagnose")[0], 1)


if __name__ == "__main__":
    h.main()
