#!/usr/bin/env bash
# What `make test` runs: the test suite under this machine's own Wine (scripts/wine-ctest.sh),
# then under Wine 10 from a Debian 13 root (scripts/wine10-ctest.sh), then each world's ctest
# summary under a line naming the world. It fails when either world fails; a world that is left
# out or skipped says why there and fails nothing. Each world's whole output is kept in
# BUILD_DIR/test-logs/.
#   scripts/test-worlds.sh BUILD_DIR [extra ctest arguments, for both worlds]
set -euo pipefail
if [ $# -lt 1 ]; then
  echo "usage: $0 BUILD_DIR [extra ctest arguments]" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
shift
scripts=$(cd "$(dirname "$0")" && pwd)
logs=$build/test-logs
mkdir -p "$logs"

# run_world NAME COMMAND...: runs the world's command, its output shown and kept in NAME.log, its
# exit status and seconds in NAME.status.
run_world() {
  local name=$1 start=$SECONDS rc
  shift
  set +e
  "$@" 2>&1 | tee "$logs/$name.log"
  rc=${PIPESTATUS[0]}
  set -e
  echo "$rc $((SECONDS - start))" >"$logs/$name.status"
}

# summarize NAME TITLE: the world's ctest summary (from "N% tests passed" to the end: the lists of
# tests that did not run, skipped ones among them, and of failed ones) under one line with its
# Wine, time and skip count; or, where ctest never ran, the world's own last lines. Returns the
# world's exit status.
summarize() {
  local log=$logs/$1.log rc seconds wine skipped
  read -r rc seconds <"$logs/$1.status"
  wine=$(sed -n 's/^wine-ctest\.sh: \(.*\), prefix .*/\1/p' "$log" | head -n 1)
  echo
  if grep -q '^[0-9]*% tests passed' "$log"; then
    skipped=$(sed -n '/^The following tests did not run:/,/^$/p' "$log" | grep -c '(Skipped)' || true)
    echo "== $2 (${wine:-Wine not named}): $seconds s in all, $skipped skipped"
    sed -n '/^[0-9]*% tests passed/,$p' "$log"
  elif [ "$rc" -eq 0 ]; then
    # Left out or skipped: the world's last line says which and why.
    echo "== $(tail -n 1 "$log")"
  else
    echo "== $2: no ctest summary, exit status $rc after $seconds s; the end of $log:"
    tail -n 5 "$log"
  fi
  return "$rc"
}

run_world own "$scripts/wine-ctest.sh" "$build" "$@"
run_world wine10 "$scripts/wine10-ctest.sh" "$build" "$@"

failed=()
summarize own "This machine's Wine" || failed+=("this machine's Wine")
summarize wine10 "Wine 10 world, root $build/wine10-root" || failed+=("the Wine 10 world")
echo
if [ ${#failed[@]} -gt 0 ]; then
  echo "make test: FAILED in $(printf '%s and ' "${failed[@]}" | sed 's/ and $//')"
  exit 1
fi
