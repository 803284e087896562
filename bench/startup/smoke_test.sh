#!/usr/bin/env bash
# bench_startup over three starts: every figure is a positive time, and a
# bad argument is refused.
#   smoke_test.sh BENCH_STARTUP
set -euo pipefail
bench=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$bench" --root "$dir/root" --runs 3 >"$dir/out" || fail "exit status $?: $(cat "$dir/out")"
value() { awk -v k="$1" '$1 == k { print $2 }' "$dir/out"; }
[[ $(value runs) == 3 ]] || fail "runs: $(cat "$dir/out")"
awk '$1 ~ /_ms$/ && !($2 > 0) { exit 1 }' "$dir/out" || fail "a time is not positive: $(cat "$dir/out")"
awk '/^bar_median_ms/ { m = $2 } /^bar_max_ms/ { x = $2 } END { exit !(m <= x) }' "$dir/out" ||
    fail "the median exceeds the largest"
if "$bench" --runs 0 >/dev/null 2>&1; then
    fail "no runs was accepted"
fi
echo ok
