#!/usr/bin/env bash
# Wall time (median of N runs) and peak resident memory of the command line on the demo scene.
# Usage: bench/cli_wall_time.sh [path/to/tessaloom] [runs]
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${1:-build/release/tessaloom}
runs=${2:-21}
[ -x "$bin" ] || { echo "no binary at $bin (run scripts/run or build the Release tree first)"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TESSALOOM_SCENE="$work/scene.json" TESSALOOM_DEFAULTS="$work/defaults.json"

measure() {
  local label=$1; shift
  local times=() peak=0
  for _ in $(seq "$runs"); do
    cp examples/demo-scene.json "$work/scene.json"
    local start end kb
    start=$(date +%s%N)
    kb=$( { /usr/bin/time -f '%M' "$bin" "$@" >/dev/null; } 2>&1 )
    end=$(date +%s%N)
    times+=($(( (end - start) / 1000 )))
    (( kb > peak )) && peak=$kb
  done
  local median
  median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
  printf '%-28s median %6.1f ms   peak RSS %5d KiB   (%d runs)\n' "$label" \
    "$(echo "$median / 1000" | bc -l)" "$peak" "$runs"
}

measure "tessaloom --list" --list
measure "tessaloom --apply grid" --apply grid
