#!/usr/bin/env bash
# Runs Reachkit on the embedded demo client: installs what is missing, builds
# if needed, copies demo/ into build/demo-client (the repository's files stay
# untouched), places the programs in a sub-folder of that client root as in
# the field, and shows the host list, the preference and each test against the
# demo hosts, checks every endpoint at once and writes the support report, then opens the window
# under Wine and checks there too. A TCP listener on 127.0.0.1:47811 stands in for the trading
# server, so one demo port connects, the other (47812) is refused, and 47813 goes unanswered as
# behind a filtering firewall.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/common.sh"
cd "$repo_root"

"$here/install-deps.sh"

cmake --preset linux >/dev/null
cmake --build --preset linux --target reachkit-cli >/dev/null

client=$repo_root/build/demo-client
rm -rf "$client"
mkdir -p "$client/Reachkit"
cp -r demo/Sys demo/Bin "$client/"
cp build/linux/src/reachkit-cli "$client/Reachkit/"

python3 - <<'PY' &
import socket, time
def listener(port, backlog):
    s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", port)); s.listen(backlog); s.settimeout(1.0)
    return s
server = listener(47811, 16)
# 47813 never accepts, and two connections of our own fill its queue of one: the kernel then
# drops every further request unanswered, as a filtering firewall would.
filtered = listener(47813, 0)
fill = []
for _ in range(2):
    c = socket.socket(); c.setblocking(False)
    try:
        c.connect(("127.0.0.1", 47813))
    except BlockingIOError:
        pass
    fill.append(c)
end = time.time() + 900  # never outlives the demo by much
while time.time() < end:
    try:
        c, _ = server.accept(); c.close()
    except OSError:
        pass
PY
listener=$!
trap 'kill $listener 2>/dev/null || true' EXIT
sleep 0.3

cli="$client/Reachkit/reachkit-cli"
echo "== client root: $client"
echo "== reachkit-cli hosts"
"$cli" hosts
echo "== reachkit-cli preference"
"$cli" preference
echo "== reachkit-cli ping 0"
"$cli" ping 0 || true
echo "== reachkit-cli trace 1"
"$cli" trace 1 || true
echo "== reachkit-cli telnet 0"
"$cli" telnet 0 || true
echo "== reachkit-cli telnet 5 (a Local host without a port)"
"$cli" telnet 5 || true

echo "== reachkit-cli check --timeout-ms 3000 (every endpoint at once, with the causes)"
"$cli" check --timeout-ms 3000 || true
echo "== reachkit-cli report --timeout-ms 3000 --out $client/support-report.txt --html $client/support-report.html"
"$cli" report --timeout-ms 3000 --out "$client/support-report.txt" --html "$client/support-report.html" || true
sed -n '1,12p' "$client/support-report.txt"
echo "   ... ($(wc -l <"$client/support-report.txt") lines in all)"

echo "== Reachkit.exe under Wine"
"$here/run-window.sh" "$client"
