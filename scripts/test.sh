#!/usr/bin/env bash
# Runs every test suite of both builds: the native build (with the HTML reports
# rendered by headless chromium, its network off), the Windows build
# under Wine (unit, CLI and window tests), ThreadSanitizer, AddressSanitizer
# with UndefinedBehaviorSanitizer, the fuzzers (built in the same sanitizer
# tree) for a bounded time, and the network-namespace tests. With CI=true
# nothing may be skipped. Ends with one line "suites: N passed, M failed".
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/common.sh"
cd "$repo_root"

"$here/install-deps.sh" || exit 1

export REACHKIT_FUZZ_SECONDS=${REACHKIT_FUZZ_SECONDS:-20}
passed=0
failed=0
failed_names=()

suite() {
  local name=$1; shift
  echo "=== $name"
  local start=$SECONDS
  if "$@"; then
    passed=$((passed + 1)); echo "=== $name: passed ($((SECONDS - start)) s)"
  else
    failed=$((failed + 1)); failed_names+=("$name"); echo "=== $name: FAILED ($((SECONDS - start)) s)"
  fi
}

build() {
  cmake --preset "$1" -DREACHKIT_WERROR=ON >/dev/null && cmake --build --preset "$1"
}

linux_suite() {
  build linux && ctest --preset linux -j2 --timeout 900
}

windows_suite() {
  build windows || return 1
  ensure_display || return 1
  wine_prepare
  local rc=0
  ctest --preset windows -j2 --timeout 900 || rc=1
  wine_finish
  return $rc
}

tsan_suite() {
  build tsan && TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --preset tsan -j2 --timeout 900
}

# The unit and CLI tests under AddressSanitizer and UndefinedBehaviorSanitizer:
# any report fails its test (the CLI tests run the instrumented program). The
# test preset sets the sanitizers' options: a finding ends the process with
# exit code 86, which no test expects (the default, 1, is the CLI's own "not
# reachable" and would pass a test that expects it).
asan_suite() {
  build asan && ctest --preset asan -j2 -L "unit|cli" --timeout 900
}

# The fuzz targets come from the sanitizer build of asan_suite. They run side by side, each for
# the same bounded time, and report in turn once all have ended.
fuzz_suite() {
  local target name corpus seeds out pids=() outs=() names=() rc=0 i
  for target in build/asan/tests/fuzz/*_fuzz; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    corpus="build/asan/corpus/$name" seeds="tests/fuzz/corpus/${name%_fuzz}"
    mkdir -p "$corpus"
    out=$(mktemp) && outs+=("$out") && names+=("$name")
    "$target" -max_total_time="$REACHKIT_FUZZ_SECONDS" -timeout=5 -rss_limit_mb=1024 \
      -print_final_stats=0 "$corpus" $( [ -d "$seeds" ] && echo "$seeds" ) >"$out" 2>&1 &
    pids+=($!)
  done
  [ ${#pids[@]} -gt 0 ] || { echo "no fuzz targets built"; return 1; }
  for i in "${!pids[@]}"; do
    wait "${pids[$i]}" || { rc=1; echo "--- ${names[$i]} FAILED:"; tail -n 60 "${outs[$i]}"; }
    echo "--- ${names[$i]}, ${REACHKIT_FUZZ_SECONDS} s: $(tail -n 1 "${outs[$i]}")"
    rm -f "${outs[$i]}"
  done
  return $rc
}

trap 'wine_finish; stop_display' EXIT

suite native linux_suite
suite windows windows_suite
suite tsan tsan_suite
suite asan asan_suite
suite fuzz fuzz_suite

echo
[ ${#failed_names[@]} -gt 0 ] && echo "failed suites: ${failed_names[*]}"
echo "suites: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
