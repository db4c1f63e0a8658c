#!/usr/bin/env bash
# Runs the benchmarks built in the given build folder (default: build); each prints its figures.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)

if [ -x "$build/bench/devsim_bench" ]; then
    # Raw frames only inside a private namespace; without root the wrapper says why and exits 77.
    status=0
    PROVIX_DEVSIM="$build/provix/devsim" "$root/tests/netns/in-netns.sh" "$build/bench/devsim_bench" || status=$?
    [ "$status" -eq 0 ] || [ "$status" -eq 77 ] || exit "$status"
fi

if [ -x "$build/bench/transfer_bench" ]; then
    # The engine's discovery and transfer figures; the table is printed, the figures kept as JSON.
    status=0
    PROVIX_DEVSIM="$build/provix/devsim" "$root/tests/netns/in-netns.sh" "$build/bench/transfer_bench" \
        --json "$build/bench/transfer-bench.json" || status=$?
    [ "$status" -eq 0 ] || [ "$status" -eq 77 ] || exit "$status"
fi
