#!/usr/bin/env bash
# bench_filter on a small synthetic corpus: the counts it reports add up, the
# errors by threshold move the right way, and a message file it cannot open fails, naming the file.
#   smoke_test.sh BENCH_FILTER GENERATE_CORPUS
set -euo pipefail
bench=$1 generate=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
python3 "$generate" "$dir/corpus" 30 7 >/dev/null
for kind in good spam; do
    find "$dir/corpus/$kind" -type f | LC_ALL=C sort | awk 'NR % 2' >"$dir/$kind-train"
    find "$dir/corpus/$kind" -type f | LC_ALL=C sort | awk '!(NR % 2)' >"$dir/$kind-test"
done
fail() { echo "FAIL: $*" >&2; exit 1; }

"$bench" --sweep "$dir/store" "$dir/good-train" "$dir/spam-train" "$dir/good-test" \
    "$dir/spam-test" >"$dir/out"
read -r name trained _ scored _ fp fn <"$dir/out"
[[ $name == core && $trained == 30 && $scored == 30 ]] || fail "counts: $(head -1 "$dir/out")"
# The synthetic kinds are easy to tell apart: a trained engine gets nearly all right.
((fp <= 1 && fn <= 1)) || fail "errors at the default threshold: $fp $fn"
[[ $(grep -c '^threshold ' "$dir/out") == 100 ]] || fail "sweep lines"
# Raising the threshold never adds a false positive nor removes a false negative.
awk '/^threshold/ { if (NR > 2 && ($4 > fp || $6 < fn)) bad = 1; fp = $4; fn = $6 }
     END { exit bad }' "$dir/out" || fail "errors not monotonic in the threshold"
awk '$1 == "threshold" && $2 == 1 && $6 != 0 { exit 1 }' "$dir/out" ||
    fail "a spam scored under 1"

# --errors names each message judged wrongly at the threshold, and only those: with a threshold
# of 0 every good test message is a false positive, each named once with its kind.
"$bench" --threshold 0 --errors "$dir/errors" "$dir/store" "$dir/good-train" "$dir/spam-train" \
    "$dir/good-test" "$dir/spam-test" >/dev/null
read -r _ _ _ _ _ fp1 fn1 < <("$bench" --threshold 0 "$dir/store" "$dir/good-train" \
    "$dir/spam-train" "$dir/good-test" "$dir/spam-test")
[[ $(wc -l <"$dir/errors") == $((fp1 + fn1)) && $fp1 == 15 ]] || fail "errors: $fp1 $fn1"
cut -f1,3 "$dir/errors" | sort | diff - <(sed 's/^/good\t/' "$dir/good-test" | sort) >/dev/null ||
    fail "errors list: $(head -3 "$dir/errors")"

# A list naming a missing file stops the run with an error, not a table.
echo "$dir/missing.eml" >"$dir/broken"
if "$bench" "$dir/store" "$dir/broken" "$dir/spam-train" "$dir/good-test" \
    "$dir/spam-test" >"$dir/out2" 2>&1; then
    fail "a missing message file was accepted"
fi
grep -q 'missing.eml: cannot open' "$dir/out2" || fail "no reason given: $(cat "$dir/out2")"
echo ok
