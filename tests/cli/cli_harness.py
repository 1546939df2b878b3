"""Runs reachkit-cli (native, or the Windows build under Wine) on client trees.

Shared by the CLI test scripts: each takes --cli PATH, --demo DIR and, for the
Windows build, --wine LAUNCHER. Texts are compared as code page 950 bytes; the
native build prints UTF-8 unless --raw, the Windows build always prints bytes.
"""
import argparse
import os
import shutil
import socket
import subprocess
import tempfile
import unittest


class Cli:
    def __init__(self, path, wine=None):
        self.path = path
        self.wine = wine

    @property
    def windows(self):
        return self.wine is not None

    def host_path(self, path):
        """A path as the program under test spells it."""
        if not self.windows:
            return path
        return "Z:" + os.path.abspath(path).replace("/", "\\")

    def run(self, *args, timeout=120):
        cmd = ([self.wine] if self.wine else []) + [self.path] + list(args)
        proc = subprocess.run(cmd, capture_output=True, timeout=timeout)
        return proc.returncode, proc.stdout, proc.stderr

    def lines(self, *args, timeout=120):
        """Exit code and stdout lines as code page 950 bytes."""
        code, out, err = self.run(*args, timeout=timeout)
        text = out.replace(b"\r\n", b"\n")
        if not self.windows and "--raw" not in args:
            text = text.decode("utf-8").encode("cp950", errors="replace")
        return code, [l for l in text.split(b"\n") if l != b""] if text else [], err


def big5(text):
    return text.encode("cp950")


class ClientTree:
    """A client root in a temporary folder; files are given as UTF-8 and stored as Big5."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="reachkit-cli-")

    def write(self, relative, text, encoding="cp950", newline="\r\n"):
        path = os.path.join(self.root, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        data = text.replace("\n", newline).encode(encoding) if isinstance(text, str) else text
        with open(path, "wb") as f:
            f.write(data)
        return path

    def read(self, relative):
        with open(os.path.join(self.root, relative), "rb") as f:
            return f.read()

    def copy_from(self, source):
        shutil.copytree(source, self.root, dirs_exist_ok=True)

    def cleanup(self):
        shutil.rmtree(self.root, ignore_errors=True)


class Listener:
    """A TCP listener on 127.0.0.1 with a port of the system's choosing."""

    def __init__(self, port=0):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind(("127.0.0.1", port))
        self.sock.listen(16)
        self.port = self.sock.getsockname()[1]

    def close(self):
        self.sock.close()


def closed_port():
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


ARGS = None


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--demo", required=True)
    parser.add_argument("--wine")
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[os.path.basename(__file__)] + rest, verbosity=1)


def cli():
    return Cli(ARGS.cli, ARGS.wine)
