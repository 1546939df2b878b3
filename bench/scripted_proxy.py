"""A scripted SOCKS5 proxy on loopback for the benchmark: it can hold requests unanswered. It knows
its names from a table and never looks one up; it connects only to 127.0.0.0/8."""
import contextlib
import socket
import struct
import threading

LOOPBACK = "127.0.0.1"


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
