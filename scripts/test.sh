#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice: in the Release build,
# and in a clang build with AddressSanitizer and UndefinedBehaviorSanitizer that also runs
# the fuzz targets. Each configuration keeps its own build directory so reruns stay fast.
# The sanitizer build goes without the precompiled header, so that a file missing one of its
# includes fails there, and its compile database is what clang-tidy checks.
# The Release build is also made into the Debian package, whose control data is checked.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc)
"$top/scripts/setup.sh"

"$top/scripts/build.sh" build -DCMAKE_BUILD_TYPE=Release
"$top/scripts/build.sh" build-asan -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_COMPILER=clang++ -DVELMORA_SANITIZE=ON -DVELMORA_FUZZ=ON -DVELMORA_PCH=OFF

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export LSAN_OPTIONS="suppressions=$top/tests/support/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

status=0
echo "== clang-tidy"
run-clang-tidy -quiet -j "$jobs" -p "$top/build-asan" "^$top/src/" >"$top/build-asan/clang-tidy.log" 2>&1 || {
  grep -E "(warning|error):" "$top/build-asan/clang-tidy.log" || cat "$top/build-asan/clang-tidy.log"
  status=1
}
echo "== Release build: Debian package"
rm -rf "$top/build/package"
if cpack --config "$top/build/CPackConfig.cmake" -B "$top/build/package" >/dev/null; then
  "$top/tests/packaging/debian-package.sh" "$top"/build/package/velmora_*.deb || status=1
else
  status=1
fi
# Tests that type into real windows race the machine's load (a key reaches the field while the
# field's application waits for a processor), so they run on their own after the rest. A desktop
# case that fails is run once more on its own in a fresh session: one that passes then is named
# below as unsteady (worth a look, not a failure); one that fails again fails the run.
failed_cases() {
  grep -E '^\[  FAILED  \] [A-Za-z0-9_/]+\.[A-Za-z0-9_/]+(,| |$)' "$1" | awk '{sub(/,$/, "", $4); print $4}' | sort -u
}
summary=()
run_tests() {
  local dir=$1 name=$2 log cases rc=0
  log="$dir/desktop-tests.log"
  "$top/scripts/with-desktop.sh" ctest --test-dir "$dir" --output-on-failure -j "$jobs" -LE desktop || status=1
  "$top/scripts/with-desktop.sh" ctest --test-dir "$dir" --output-on-failure -L desktop 2>&1 | tee "$log" || rc=$?
  [ "$rc" -eq 0 ] && return
  cases=$(failed_cases "$log")
  if [ -z "$cases" ]; then
    summary+=("$name: the desktop tests failed without naming a case (a crash or a timeout)")
    status=1
    return
  fi
  echo "== $name: running the failed desktop cases again: $(echo $cases)"
  rc=0
  GTEST_FILTER=$(echo $cases | tr ' ' ':') "$top/scripts/with-desktop.sh" \
    ctest --test-dir "$dir" --output-on-failure -L desktop 2>&1 | tee "$log.again" || rc=$?
  if [ "$rc" -eq 0 ]; then
    summary+=("$name: unsteady, passed when run again: $(echo $cases)")
  else
    summary+=("$name: failed twice: $(failed_cases "$log.again" | tr '\n' ' ')")
    status=1
  fi
}
echo "== Release build: tests"
run_tests "$top/build" "Release build"
# As the README has it built by hand: no display, no session bus. The tests that need one skip,
# and a skip has to end as cleanly as a pass; the rest run again without a bus (about a minute).
echo "== Release build: tests without a desktop"
env -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS \
  ctest --test-dir "$top/build" --output-on-failure -j "$jobs" || status=1
echo "== Sanitizer build: tests and fuzz targets"
run_tests "$top/build-asan" "Sanitizer build"
for line in "${summary[@]}"; do echo "== $line"; done
exit $status
