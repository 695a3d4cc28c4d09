#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test:
#   1. the normal build and all its tests (unit, integration, end to end;
#      the end-to-end tests start and stop Kamailio, the account server and
#      the peer user agent themselves),
#   2. the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer,
#   3. every libFuzzer target for a bounded time under the sanitizers.
# Between 1 and 2 it builds the Debian package and checks it, unpacked, as a
# user would meet it (packaging/check_package.sh).
# Set PELEX_SKIP_SANITIZERS=1 or PELEX_SKIP_FUZZ=1 to leave a stage out locally.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)
# The end-to-end tests spend most of their time waiting on timers and peers,
# so twice as many run at once as there are cores.
test_jobs=$((jobs * 2))
export PULSE_SERVER=unix:/nonexistent   # no sound server is spawned by tests
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

# Runs every test of build preset $1 once. End-to-end tests, which talk to
# real servers over loopback, get one more try when they fail, so a
# scheduling hiccup on a busy machine does not hide a green build; any other
# test that fails, or an end-to-end test that fails twice, fails the run.
# The tests that passed only on their second try are named at the end.
retried=()
run_tests() {
  local preset=$1
  local failed_log=build/$preset/Testing/Temporary/LastTestsFailed.log
  if ctest --preset "$preset" -j "$test_jobs"; then return 0; fi
  local failed e2e retry=() other=()
  [ -s "$failed_log" ] || return 1  # ctest failed without naming a test
  mapfile -t failed < <(cut -d: -f2- "$failed_log")
  mapfile -t e2e < <(ctest --preset "$preset" -N -L e2e | sed -n 's/^ *Test *#[0-9]*: //p')
  for t in "${failed[@]}"; do
    if printf '%s\n' "${e2e[@]}" | grep -qxF -- "$t"; then retry+=("$t"); else other+=("$t"); fi
  done
  if [ ${#other[@]} -gt 0 ]; then
    echo "== failed, and not retried (only end-to-end tests get a second try): ==" >&2
    printf '  %s\n' "${other[@]}" >&2
    return 1
  fi
  echo "== second try of the failed end-to-end tests =="
  printf '  %s\n' "${retry[@]}"
  local pattern
  pattern=$(printf '%s\n' "${retry[@]}" | sed 's/[][\.*^$+?(){}|]/\\&/g' | paste -sd'|')
  ctest --preset "$preset" -j "$test_jobs" -R "^($pattern)\$" || return 1
  for t in "${retry[@]}"; do retried+=("$preset: $t"); done
}

echo "== build and test =="
cmake --preset default
cmake --build --preset default -j "$jobs"
run_tests default

echo "== Debian package =="
cmake --build --preset default --target package
bash packaging/check_package.sh build/default

if [ "${PELEX_SKIP_SANITIZERS:-0}" != 1 ]; then
  echo "== AddressSanitizer + UndefinedBehaviorSanitizer =="
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
  export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp:print_suppressions=0}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
  cmake --preset asan
  cmake --build --preset asan -j "$jobs"
  run_tests asan
fi

if [ "${PELEX_SKIP_FUZZ:-0}" != 1 ]; then
  echo "== fuzz targets (bounded) =="
  cmake --preset fuzz
  if cmake --build --preset fuzz -j "$jobs"; then :; else
    echo "fuzz build failed" >&2; exit 1
  fi
  seconds=${PELEX_FUZZ_SECONDS:-30}
  for f in build/fuzz/bin/fuzz_*; do
    [ -x "$f" ] || continue
    corpus=$(mktemp -d)
    echo "-- $(basename "$f") for ${seconds}s"
    "$f" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 "$corpus" 2>&1 | tail -n 4
    rm -rf "$corpus"
  done
fi
if [ ${#retried[@]} -gt 0 ]; then
  echo "== passed only on their second try (look into these) =="
  printf '  %s\n' "${retried[@]}"
fi
echo "== all tests passed =="
