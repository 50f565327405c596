#!/usr/bin/env bash
# Measures pastes that do not arrive whole (X11), each case in a private desktop session: a Qt
# field that sets its own text 5 ms after each change ("Hi /sig ok" typed), one that upper-cases
# it 50 ms after each change, Firefox's and Chromium's <input maxlength=10> ("Hi /sig ok" typed,
# the " ok" straight on), and the user copying while a stopped field's paste is pending (no
# clipboard manager, parcellite, CopyQ); and the verdict on multi-line expansions that arrive
# (Writer's paragraphs; Firefox's line and editable region), which must count as expansions.
# Prints what each try's field ended with (the tests' recorded properties) and whether the case
# passed.
#   TESTS=<folder with test_platform> (default build/tests; ../src/velmora beside it is used);
#   REWRITE_TRIES (32), UPPER_TRIES (22), BROWSER_TRIES (9), COPY_TRIES (15), MANAGER_COPY_TRIES (10),
#   MULTILINE_TRIES (5, each a fresh Writer and Firefox).
set -uo pipefail
cd "$(dirname "$0")/.."
tests=${TESTS:-build/tests}/test_platform
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

run_case() { # name, filter, tries, [--with-manager parcellite], extra environment...
  local name=$1 filter=$2 tries=$3 repeat=1
  shift 3
  if [ "${1:-}" = --repeat ]; then
    repeat=$2
    shift 2
  fi
  local wrapper=()
  if [ "${1:-}" = --with-manager ]; then
    wrapper=(bash -c 'm=$1; h=$2; shift 2
      HOME=$h XDG_DATA_HOME=$h/data XDG_CONFIG_HOME=$h/config $m >/dev/null 2>&1 & pid=$!; sleep 2
      "$@"; rc=$?; kill $pid; wait $pid 2>/dev/null; exit $rc' manager "$2" "$(mktemp -d -p "$out")")
    shift 2
  fi
  env VELMORA_FAULT_TRIES="$tries" "$@" scripts/with-desktop.sh "${wrapper[@]}" "$tests" \
    --gtest_filter="$filter" --gtest_repeat="$repeat" --gtest_output="xml:$out/$name.xml" >"$out/$name.log" 2>&1
  local result=FAILED
  [ "$(grep -c '^\[  PASSED  \] 1 test' "$out/$name.log")" = "$repeat" ] && result=passed
  [ "$repeat" -gt 1 ] && result="$result ($(grep -c '^\[  PASSED  \] 1 test' "$out/$name.log") of $repeat)"
  echo "$name: $result; $(grep -o '<property name="[^"]*" value="[^"]*"' "$out/$name.xml" 2>/dev/null \
    | sed 's/<property name="\([^"]*\)" value="\([^"]*\)"/\1=\2/' | tr '\n' ' ')"
}

run_case rewriting-field 'DesktopExpansion.aFieldThatSetsItsOwnText*' "${REWRITE_TRIES:-32}" VELMORA_FAULT_REWRITE=5 &
run_case upper-casing-field 'DesktopExpansion.aFieldThatSetsItsOwnText*' "${UPPER_TRIES:-22}" \
  VELMORA_FAULT_REWRITE='50 upper' &
run_case firefox-maxlength 'WebPage.aFirefoxFieldTooShort*' "${BROWSER_TRIES:-9}" &
run_case chromium-maxlength 'WebPage.aChromiumFieldTooShort*' "${BROWSER_TRIES:-9}" &
wait
run_case copy-while-stalled-no-manager 'StalledReplacement.whatTheUserCopies*' "${COPY_TRIES:-15}" &
run_case copy-while-stalled-parcellite 'StalledReplacement.whatTheUserCopies*' "${MANAGER_COPY_TRIES:-10}" \
  --with-manager parcellite &
run_case copy-while-stalled-copyq 'StalledReplacement.whatTheUserCopies*' "${MANAGER_COPY_TRIES:-10}" \
  VELMORA_FAULT_MANAGER=copyq &
wait
run_case multi-line-writer 'Office.aWriterParagraph*' 1 --repeat "${MULTILINE_TRIES:-5}" &
run_case multi-line-firefox 'WebPage.firefoxFields*' 1 --repeat "${MULTILINE_TRIES:-5}" &
wait
