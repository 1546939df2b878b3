#!/usr/bin/env bash
# reachkit-cli's settings commands (set-preference, proxy) on generated client
# trees: exit codes, printed lines, and the bytes of the files afterwards.
#
# usage: settings_cli_test.sh CLI [EMULATOR]
#   CLI       the reachkit-cli (or reachkit-cli.exe) to test
#   EMULATOR  a runner for it (cmake/wine-run.sh for the Windows build)
#
# Arguments are passed as UTF-8 (Wine hands them to the program in code page
# 950); the Windows build prints code page 950, which is turned into UTF-8
# here so that both builds are checked against the same texts.
set -uo pipefail
cli=$1
emulator=${2:-}
windows=0
[ -n "$emulator" ] && windows=1

work=$(mktemp -d "${TMPDIR:-/tmp}/reachkit-settings-cli.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
checks=0

fail() {
  failures=$((failures + 1))
  echo "FAIL: $*" >&2
}

check_eq() {  # what expected actual
  checks=$((checks + 1))
  [ "$2" == "$3" ] || fail "$1"$'\n'"  expected: $(printf '%q' "$2")"$'\n'"  actual:   $(printf '%q' "$3")"
}

big5() { printf '%s' "$1" | iconv -f UTF-8 -t CP950; }

# A fresh client tree; prints its root.
new_tree() {
  local root
  root=$(mktemp -d "$work/tree.XXXXXX")
  mkdir -p "$root/Sys" "$root/Bin" "$root/Tools"
  { printf '[Tradedesk]\r\nName=Northeast,North,'; big5 '台北'; printf ',South\r\n'; } \
    >"$root/Sys/ZentickConSet.ini"
  echo "$root"
}

# Runs the CLI on a tree; sets rc, out, err (UTF-8, without CRs).
run() {
  local root=$1; shift
  local rootArg=$root
  if [ $windows = 1 ]; then rootArg="Z:${root//\//\\}"; fi
  local o="$work/out" e="$work/err"
  if [ $windows = 1 ]; then
    "$emulator" "$cli" --root "$rootArg" "$@" >"$o" 2>"$e"
  else
    "$cli" --root "$rootArg" "$@" >"$o" 2>"$e"
  fi
  rc=$?
  if [ $windows = 1 ]; then
    out=$(iconv -f CP950 -t UTF-8 <"$o" | tr -d '\r')
    err=$(iconv -f CP950 -t UTF-8 <"$e" | tr -d '\r')
  else
    out=$(tr -d '\r' <"$o")
    err=$(tr -d '\r' <"$e")
  fi
}

# A file's bytes, hex-dumped so that CRs and Big5 bytes compare exactly.
bytes() { [ -e "$1" ] && od -An -tx1 -v "$1" | tr -s ' \n' ' ' || echo "(no file)"; }

# The value of key=... within [section] (Wine re-serialises the files it
# writes, so the Windows build is checked by values, ours by bytes).
ini_value() {  # file section key
  tr -d '\r' <"$1" | awk -v s="[$2]" -v k="$3" '
    /^\[/ { in_s = ($0 == s) ; next }
    in_s { i = index($0, "="); if (i && substr($0, 1, i - 1) == k) { print substr($0, i + 1); exit } }'
}

label() { printf '成功連線：%s　　優先連線：%s' "$1" "$2"; }

test_set_preference_moves_success_aside() {
  local root; root=$(new_tree)
  printf '; kept\r\n[Success]\r\nCombo=South,1,2\r\n\r\n[Priority]\r\nCombo= - \r\n' \
    >"$root/Sys/Reachkit.ini"
  run "$root" set-preference '台北' 080 70000
  check_eq "set-preference exit" 0 "$rc"
  check_eq "set-preference label" "$(label ' - ' '台北　80　70000')" "$out"
  check_eq "set-preference stderr" "" "$err"
  if [ $windows = 0 ]; then
    local expected="$work/expected"
    { printf '; kept\r\n[Success]\r\nCombo= - \r\n\r\n[Priority]\r\nCombo='; big5 '台北';
      printf ',80,70000\r\n[LastSuccess]\r\nCombo=South,1,2\r\n'; } >"$expected"
    check_eq "set-preference file bytes" "$(bytes "$expected")" "$(bytes "$root/Sys/Reachkit.ini")"
  else
    check_eq "Priority" "$(big5 '台北'),80,70000" "$(ini_value "$root/Sys/Reachkit.ini" Priority Combo)"
    check_eq "LastSuccess" "South,1,2" "$(ini_value "$root/Sys/Reachkit.ini" LastSuccess Combo)"
    check_eq "Success" "-" "$(ini_value "$root/Sys/Reachkit.ini" Success Combo | tr -d ' ')"
  fi
}

test_set_preference_without_success_writes_priority_only() {
  local root; root=$(new_tree)
  run "$root" set-preference North 8000 8001
  check_eq "first preference exit" 0 "$rc"
  check_eq "first preference label" "$(label ' - ' 'North　8000　8001')" "$out"
  if [ $windows = 0 ]; then
    check_eq "new file bytes" "$(printf '[Priority]\r\nCombo=North,8000,8001\r\n' | od -An -tx1 -v | tr -s ' \n' ' ')" \
      "$(bytes "$root/Sys/Reachkit.ini")"
  else
    check_eq "new file Priority" "North,8000,8001" "$(ini_value "$root/Sys/Reachkit.ini" Priority Combo)"
    check_eq "no Success" "" "$(ini_value "$root/Sys/Reachkit.ini" Success Combo)"
  fi
}

# Each row: the three arguments, the message and the case it stands for.
test_set_preference_refusals_write_nothing() {
  local root; root=$(new_tree)
  printf '[Success]\r\nCombo=South,1,2\r\n' >"$root/Sys/Reachkit.ini"
  local before; before=$(bytes "$root/Sys/Reachkit.ini")
  local loc='沒有選擇連線位置' port='Port必須是正整數'
  local rows=(
    "West|80|81|$loc|not listed"
    "north|80|81|$loc|other case: only the exact name is taken"
    "Nort|80|81|$loc|a prefix"
    "South |80|81|$loc|trailing blank"
    "West|0|x|$loc|location checked before the ports"
    "North|0|81|$port|zero"
    "North|000|81|$port|zeros"
    "North|+80|81|$port|sign"
    "North|8o|81|$port|letter o"
    "North| 80|81|$port|leading blank"
    "North|80||$port|empty"
    "North|80|2147483648|$port|beyond 32 bits"
    "North|80|-1|$port|negative"
  )
  local row a b c message why
  for row in "${rows[@]}"; do
    IFS='|' read -r a b c message why <<<"$row"
    run "$root" set-preference "$a" "$b" "$c"
    check_eq "refusal exit ($why)" 1 "$rc"
    check_eq "refusal message ($why)" "$message" "$err"
    check_eq "refusal prints nothing on stdout ($why)" "" "$out"
  done
  check_eq "refusals leave the file" "$before" "$(bytes "$root/Sys/Reachkit.ini")"
}

test_set_preference_usage() {
  local root; root=$(new_tree)
  local args
  for args in "North 80" "North 80 81 82" ""; do
    # shellcheck disable=SC2086
    run "$root" set-preference $args
    check_eq "usage exit ($args)" 2 "$rc"
    check_eq "usage line ($args)" "usage: reachkit-cli set-preference LOCATION NMPORT PSPORT" "$err"
  done
  check_eq "usage writes nothing" "(no file)" "$(bytes "$root/Sys/Reachkit.ini")"
}

test_set_preference_empty_location_list() {
  local root; root=$(new_tree)
  rm "$root/Sys/ZentickConSet.ini"
  run "$root" set-preference North 80 81
  check_eq "empty list exit" 1 "$rc"
  check_eq "empty list message" "沒有選擇連線位置" "$err"
}

proxy_block() {  # title path, then nine values
  local title=$1 path=$2; shift 2
  local keys=(ProxyType ProxyServerName ProxyPort UserName UserPassword SOCKSProxyServerName
              SOCKSProxyPort SOCKSUserName SOCKSUserPassword)
  local values=("$@") i
  echo "$title: $path"
  for i in "${!keys[@]}"; do echo "${keys[$i]}=${values[$i]}"; done
}

test_proxy_shows_both_files_and_hides_passwords() {
  local root; root=$(new_tree)
  printf '[DC]\r\nClientToNMPortTry=8000\r\nProxyType=1\r\nProxyServerName=192.0.2.8\r\nProxyPort=3128\r\nUserName=hu\r\nUserPassword=hp\r\n' \
    >"$root/Bin/BaseConfig.ini"
  printf '[DC]\r\nProxyType=4\r\nSOCKSProxyServerName=198.51.100.1\r\nSOCKSProxyPort=1080\r\nSOCKSUserName=su\r\nSOCKSUserPassword=sp\r\n' \
    >"$root/Sys/Reachkit.ini"
  local toolBefore baseBefore
  toolBefore=$(bytes "$root/Sys/Reachkit.ini"); baseBefore=$(bytes "$root/Bin/BaseConfig.ini")
  local toolPath="$root/Sys/Reachkit.ini" basePath="$root/Bin/BaseConfig.ini"
  if [ $windows = 1 ]; then
    toolPath="Z:${root//\//\\}\\Sys\\Reachkit.ini"; basePath="Z:${root//\//\\}\\Bin\\BaseConfig.ini"
  fi
  run "$root" proxy
  check_eq "proxy exit" 0 "$rc"
  check_eq "proxy output" \
    "$(proxy_block "tool settings" "$toolPath" 4 "" "" "" "" 198.51.100.1 1080 su '********'
       proxy_block "base configuration" "$basePath" 1 192.0.2.8 3128 hu '********' "" "" "" "")" \
    "$out"
  run "$root" proxy --show-passwords
  check_eq "proxy --show-passwords" \
    "$(proxy_block "tool settings" "$toolPath" 4 "" "" "" "" 198.51.100.1 1080 su sp
       proxy_block "base configuration" "$basePath" 1 192.0.2.8 3128 hu hp "" "" "" "")" \
    "$out"
  check_eq "proxy leaves the tool file" "$toolBefore" "$(bytes "$root/Sys/Reachkit.ini")"
  check_eq "proxy leaves the base file" "$baseBefore" "$(bytes "$root/Bin/BaseConfig.ini")"
  run "$root" proxy --bogus
  check_eq "proxy usage exit" 2 "$rc"
  check_eq "proxy usage line" "usage: reachkit-cli proxy [--show-passwords]" "$err"
}

test_proxy_on_a_bare_tree_creates_nothing() {
  local root; root=$(new_tree)
  run "$root" proxy
  check_eq "bare proxy exit" 0 "$rc"
  check_eq "bare proxy type lines" "ProxyType=0 ProxyType=0" "$(grep '^ProxyType=' <<<"$out" | tr '\n' ' ' | sed 's/ $//')"
  check_eq "bare proxy creates no tool file" "(no file)" "$(bytes "$root/Sys/Reachkit.ini")"
}

for t in $(declare -F | awk '{print $3}' | grep '^test_'); do
  "$t"
done
echo "settings CLI: $checks checks, $failures failed"
[ "$failures" -eq 0 ]
