#!/usr/bin/env bash
# Runs scenarios one after another in one fresh root, each in a process of
# its own, as Outlook started again on the same machine; fails at the first
# that fails.
#   run_in_one_root.sh OLSIM SCENARIO...
set -euo pipefail
olsim=$1
shift
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
for scenario in "$@"; do
    "$olsim" run "$scenario" --root "$root"
done
