#!/usr/bin/env bash
# bench_newmail on a few sample mails laid out as the corpus is: it delivers
# the arriving half, counts the one that is no message as refused, and prints times.
#   smoke_test.sh BENCH_NEWMAIL SAMPLE_MAIL_DIR
set -euo pipefail
bench=$1 mail=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
c="$dir/corpus"
mkdir -p "$c"/{easy-ham-1,easy-ham-2,hard-ham-1,spam-1,spam-2}
# Sorted by name, 1 and 3 train, 2 and 4 arrive.
cp "$mail/plain.eml" "$c/easy-ham-1/1.txt"
cp "$mail/html_alternative.eml" "$c/easy-ham-1/2.txt"
cp "$mail/no_transport_headers.eml" "$c/easy-ham-1/3.txt"
cp "$mail/malformed_no_header.eml" "$c/easy-ham-1/4.txt"
cp "$mail/signed.eml" "$c/spam-1/1.txt"
cp "$mail/encrypted.eml" "$c/spam-1/2.txt"

"$bench" "$c" --root "$dir/root" >"$dir/out" || fail "exit status $?: $(cat "$dir/out")"
value() { awk -v k="$1" '$1 == k { print $2 }' "$dir/out"; }
[[ $(value messages) == 2 && $(value refused) == 1 ]] || fail "counts: $(cat "$dir/out")"
awk '$1 ~ /_ms$/ && !($2 > 0) { exit 1 }' "$dir/out" || fail "a time is not positive: $(cat "$dir/out")"
awk '/^median_ms/ { m = $2 } /^p99_ms/ { p = $2 } END { exit !(m <= p) }' "$dir/out" ||
    fail "the median exceeds the 99th percentile"

# Without a corpus it says which group is missing.
if "$bench" "$dir/nowhere" --root "$dir/root2" >"$dir/out2" 2>&1; then
    fail "a missing corpus was accepted"
fi
grep -q 'no group easy-ham-1' "$dir/out2" || fail "no reason given: $(cat "$dir/out2")"
echo ok
