"""Proxy servers on loopback for the proxy tests and the benchmark: Debian's tinyproxy, danted and
microsocks started from generated configuration files on free ports, each stopped when its `with`
block ends. Only 127.0.0.1 is ever listened on or connected to."""
import contextlib
import os
import pathlib
import shutil
import socket
import subprocess
import tempfile
import threading
import time

LOOPBACK = "127.0.0.1"


def free_port():
    with socket.socket() as s:
        s.bind((LOOPBACK, 0))
        return s.getsockname()[1]


def wait_listening(port, process=None, seconds=15):
    """Until something accepts on the port; bounded in time."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if process is not None and process.poll() is not None:
            raise RuntimeError(f"server on {port} ended at start (rc {process.returncode})")
        with socket.socket() as s:
            s.settimeout(0.5)
            if s.connect_ex((LOOPBACK, port)) == 0:
                return
        time.sleep(0.05)
    raise RuntimeError(f"nothing listens on {port} after {seconds} s")


@contextlib.contextmanager
def daemon(command, port, files=None):
    """Writes `files` (name -> text) into a fresh folder, runs `command` there
    with {dir} replaced, and stops it afterwards."""
    folder = pathlib.Path(tempfile.mkdtemp(prefix="rk-proxy-"))
    os.chmod(folder, 0o755)
    for name, text in (files or {}).items():
        (folder / name).write_text(text)
        os.chmod(folder / name, 0o644)
    log = open(folder / "server.log", "wb")
    process = subprocess.Popen([part.replace("{dir}", str(folder)) for part in command],
                               stdout=log, stderr=subprocess.STDOUT, cwd=folder,
                               start_new_session=True)
    try:
        wait_listening(port, process)
        yield port
    finally:
        with contextlib.suppress(ProcessLookupError):
            os.killpg(process.pid, 15)  # danted runs child processes
        try:
            process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            with contextlib.suppress(ProcessLookupError):
                os.killpg(process.pid, 9)
            process.wait(timeout=5)
        log.close()
        shutil.rmtree(folder, ignore_errors=True)


def tinyproxy(port, connect_ports, login=None):
    """HTTP CONNECT, only to `connect_ports`; Basic login when given (user, password)."""
    lines = [f"Port {port}", f"Listen {LOOPBACK}", "Timeout 15", "MaxClients 200",
             "LogLevel Info"] + [f"ConnectPort {p}" for p in connect_ports]
    if login:
        lines.append(f"BasicAuth {login[0]} {login[1]}")
    return daemon(["tinyproxy", "-d", "-c", "{dir}/tinyproxy.conf"], port,
                  {"tinyproxy.conf": "\n".join(lines) + "\n"})


def danted(port):
    """SOCKS4 and SOCKS5 without login; connects only within 127.0.0.0/8, every
    other destination is refused by rule before any packet is sent."""
    conf = f"""logoutput: stderr
internal: {LOOPBACK} port = {port}
external: {LOOPBACK}
clientmethod: none
socksmethod: none
user.privileged: root
user.unprivileged: nobody
client pass {{
  from: 127.0.0.0/8 to: 0.0.0.0/0
}}
socks pass {{
  from: 127.0.0.0/8 to: 127.0.0.0/8
  command: connect
}}
socks block {{
  from: 0.0.0.0/0 to: 0.0.0.0/0
}}
"""
    return daemon(["danted", "-f", "{dir}/danted.conf", "-p", "{dir}/danted.pid", "-N", "1"],
                  port, {"danted.conf": conf})


def microsocks(port, user, password):
    """SOCKS5 that requires the user/password login."""
    return daemon(["microsocks", "-i", LOOPBACK, "-p", str(port), "-u", user, "-P", password],
                  port)


class Listener:
    """Something that listens on loopback and accepts and closes at once, until closed."""

    def __init__(self):
        self.sock = socket.create_server((LOOPBACK, 0), backlog=128)
        self.port = self.sock.getsockname()[1]
        threading.Thread(target=self._run, daemon=True).start()

    def _run(self):
        with contextlib.suppress(OSError):  # ends when close() shuts the socket down
            while True:
                self.sock.accept()[0].close()

    def close(self):
        with contextlib.suppress(OSError):
            self.sock.shutdown(socket.SHUT_RDWR)  # wakes a waiting accept
        self.sock.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
