"""Proxy servers on loopback for the proxy tests and the benchmark: Debian's
tinyproxy, danted and microsocks started from generated configuration files
on free ports, and a scripted SOCKS5 proxy that can hold requests unanswered.
Every server is stopped (and every thread ends) when its `with` block ends.
Only 127.0.0.1 is ever listened on or connected to; the scripted proxy knows
its names from a table and never looks one up."""
import contextlib
import os
import pathlib
import shutil
import socket
import struct
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
    """Something that listens on loopback and accepts and closes at once."""

    def __init__(self):
        self.sock = socket.socket()
        self.sock.bind((LOOPBACK, 0))
        self.sock.listen(128)
        self.port = self.sock.getsockname()[1]
        self.stopping = threading.Event()
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        self.sock.settimeout(0.1)
        while not self.stopping.is_set():
            with contextlib.suppress(OSError):
                connection, _ = self.sock.accept()
                connection.close()

    def close(self):
        self.stopping.set()
        self.thread.join(timeout=5)
        self.sock.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


def _read_exact(connection, count):
    data = b""
    while len(data) < count:
        chunk = connection.recv(count - len(data))
        if not chunk:
            raise ConnectionError("closed")
        data += chunk
    return data


def _connect_target(host_bytes, port, names):
    address = names.get(host_bytes.decode("latin-1"), host_bytes.decode("latin-1"))
    if not address.startswith("127."):
        return None  # never anywhere but loopback
    with contextlib.suppress(OSError):
        return socket.create_connection((address, port), timeout=2)
    return None


class ScriptedProxy:
    """A SOCKS5 proxy without login, one thread per connection, for the
    benchmark: targets whose port is in `hang_ports` get no reply at all (for
    concurrency measurements). Requests seen are recorded in `requests`.
    Answers that break the protocol are the parsers' unit tests' business."""

    def __init__(self, behaviour="socks5", names=None, hang_ports=()):
        assert behaviour == "socks5", behaviour
        self.behaviour, self.names, self.hang_ports = behaviour, names or {}, set(hang_ports)
        self.requests = []
        self.sock = socket.socket()
        self.sock.bind((LOOPBACK, 0))
        self.sock.listen(256)
        self.port = self.sock.getsockname()[1]
        self.stopping = threading.Event()
        self.connections = []
        self.lock = threading.Lock()
        self.thread = threading.Thread(target=self._accept, daemon=True)
        self.thread.start()

    def _accept(self):
        self.sock.settimeout(0.1)
        while not self.stopping.is_set():
            try:
                connection, _ = self.sock.accept()
            except OSError:
                continue
            with self.lock:
                self.connections.append(connection)
            threading.Thread(target=self._serve, args=(connection,), daemon=True).start()

    def _serve(self, connection):
        connection.settimeout(30)
        with contextlib.suppress(OSError, ConnectionError):
            getattr(self, "_" + self.behaviour.replace("-", "_"))(connection)

    def _hold(self):
        self.stopping.wait(60)

    def _socks5(self, c):
        greeting = _read_exact(c, 2)
        _read_exact(c, greeting[1])
        c.sendall(b"\5\0")
        head = _read_exact(c, 4)
        if head[3] == 1:
            host = socket.inet_ntoa(_read_exact(c, 4)).encode()
        else:
            host = _read_exact(c, _read_exact(c, 1)[0])
        port = struct.unpack(">H", _read_exact(c, 2))[0]
        self.requests.append(head + host)
        if port in self.hang_ports:
            self._hold()
            return
        target = _connect_target(host, port, self.names)
        c.sendall(b"\5" + (b"\0" if target else b"\5") + b"\0\1\x7f\0\0\1\0\0")
        if target:
            target.close()
        c.close()

    def close(self):
        self.stopping.set()
        self.thread.join(timeout=5)
        with self.lock:
            for connection in self.connections:
                connection.close()
        self.sock.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
