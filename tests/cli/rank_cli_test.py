"""reachkit-cli rank on loopback: several 127.0.0.x locations sharing one port list."""
import shutil
import socket

import cli_test as h
from cli_test import big5


class RankCliTest(h.CliCase):
    def setUp(self):
        super().setUp()
        # NM and PS ports listen on 127.0.0.1 and .3; .2 listens on the first only.
        self.ports = []
        for hosts in (("127.0.0.1", "127.0.0.2", "127.0.0.3"), ("127.0.0.1", "127.0.0.3")):
            first = socket.create_server((hosts[0], 0))
            port = first.getsockname()[1]
            self.addCleanup(first.close)
            for host in hosts[1:]:
                self.addCleanup(socket.create_server((host, port)).close)
            self.ports.append(port)
        self.write("Bin/BaseConfig.ini", "[DC]\nClientToNMPortTry=%d,%d\n" % tuple(self.ports))
        self.write("Sys/ZentickConSet.ini",
                   "[Tradedesk]\nName=Fast, 台北Order2 ,Refuser,Blank\n[Fast]\nNMIP=127.0.0.1\n"
                   "[台北Order2]\nNMIP=127.0.0.3\n[Refuser]\nNMIP=127.0.0.2\n")

    def test_the_table_rules_out_a_refused_port_and_lists_a_location_without_nmip(self):
        self.write("Sys/Reachkit.ini", "[Priority]\nCombo=Fast,1111,2222\n")
        code, lines, _ = self.lines("--root", self.root, "rank", "--rounds", "3")
        self.assertEqual(code, 0)
        rows = {line.split()[0]: line for line in lines[1:5]}
        self.assertIn(b"ruled out: port %d refused" % self.ports[1], rows[b"Refuser"])
        self.assertIn(b"not measurable: no NMIP", rows[b"Blank"])
        self.assertIn(b" 0/3 ", rows[big5("台北Order2")])
        self.assertTrue(lines[-1].startswith(b"recommendation: "), lines[-1])

    def test_apply_writes_what_set_preference_writes_for_the_same_choice(self):
        # The current location refuses a port, so the fastest of the others is recommended.
        self.write("Sys/Reachkit.ini", "[Priority]\nCombo=Refuser,1111,2222\n[Success]\nCombo=Fast,5,6\n")
        twin = self.dir.parent / (self.dir.name + "-twin")
        shutil.copytree(self.dir, twin)
        self.addCleanup(shutil.rmtree, twin)
        doc = self.document("rank", "--rounds", "3", "--apply")
        self.assertEqual((doc["decision"], doc["applied"]["stored"]), ("recommend", True))
        self.assertIn(doc["recommended"], ("Fast", "台北Order2 "))  # the dialog's split keeps a trailing blank
        self.assertEqual(self.run_cli("--root", self.host_path(twin), "set-preference",
                                      doc["recommended"], "1111", "2222")[0], 0)
        self.assertEqual(self.read("Sys/Reachkit.ini"), (twin / "Sys/Reachkit.ini").read_bytes())
        self.assertIn(b"[LastSuccess]\r\nCombo=Fast,5,6", self.read("Sys/Reachkit.ini"))

    def test_exit_codes_without_a_priority_record_without_locations_and_when_all_fail(self):
        doc = self.document("rank", "--rounds", "3", "--apply", code=1)
        self.assertEqual((doc["decision"], doc["applied"]["stored"]), ("recommend", False))
        self.assertIn("choose the location and its ports", doc["applied"]["line"])
        self.assertIsNone(self.read("Sys/Reachkit.ini"))
        self.write("Bin/BaseConfig.ini", "[DC]\nClientToNMPortTry=%d,1\n" % self.ports[0])
        self.assertEqual(self.document("rank", "--rounds", "3", code=1)["decision"], "all-failed")
        self.write("Sys/ZentickConSet.ini", "[Tradedesk]\nName=\n")
        self.assertEqual(self.run_cli("--root", self.root, "rank")[::2], (3, b"reachkit-cli: no connection locations: the client's "
                                               b"configuration below %s lists none\n" % self.root.encode()))


if __name__ == "__main__":
    h.main()
