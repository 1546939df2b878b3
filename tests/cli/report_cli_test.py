"""reachkit-cli report: text (UTF-8) and JSON carry the same facts; passwords never appear."""
import calendar
import json
import os
import re
import time

import cli_test as h


class ReportCliTest(h.CliCase):
    def test_report_names_every_file_read_and_masks_passwords_in_text_and_json(self):
        self.write("Sys/ZentickConSet.ini", "[Tradedesk]\nName=台北\n[台北]\nNMIP=127.0.0.1\n")
        self.write("Bin/BaseConfig.ini", "[DC]\nClientToNMPortTry=8000\nUserPassword=Secret-Base-7\n")
        self.write("Sys/Reachkit.ini", "[Priority]\nCombo=台北,80,81\n")
        os.utime(self.dir / "Bin/BaseConfig.ini", (0, 1_700_000_000))
        before = time.time()
        code, out, err = self.run_cli("--root", self.root, "report", "--json")
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
        self.assertEqual((files["host_file"]["exists"], files["host_file"]["size"]), (False, None))
        self.assertEqual([x["label"] for x in doc["hosts"]], ["報價主機-台北 : 127.0.0.1"])
        self.assertEqual(doc["preference"]["priority"], {"location": "台北", "nm_port": 80, "ps_port": 81})
        self.assertEqual([f["user_password_set"] for f in doc["proxy"]], [False, True])

        # The text, into a file: UTF-8 on every platform, the same facts.
        out_file = self.dir / "report.txt"
        self.assertEqual(self.run_cli("--root", self.root, "report", "--out", self.host_path(out_file)),
                         (0, b"", b""))
        text = out_file.read_bytes().decode("utf-8")
        self.assertNotIn("Secret-Base-7", text)
        self.assertIn("UserPassword=********", text)
        self.assertIn("0\t報價主機-台北 : 127.0.0.1", text)
        self.assertIn("優先連線：台北　80　81", text)
        self.assertRegex(text, r"base_configuration: .*BaseConfig\.ini \(%d bytes, modified "
                         r"2023-11-14T22:13:20Z\)" % files["base_configuration"]["size"])
        self.assertIn("version: " + doc["version"], text)
        bad = self.host_path(self.dir / "no-such-folder" / "r.txt")
        self.assertEqual(self.run_cli("--root", self.root, "report", "--out", bad)[0], 1)


if __name__ == "__main__":
    h.main()
