#!/usr/bin/env bash
# Every desktop in one go: runs the measuring scripts of X11 (openbox), GNOME, KWin, sway and i3
# on the same Release build and prints one table of their figures against the goals. A script
# that fails before it reports a figure is run once more; one that fails again is named in the
# table and makes the run fail. Each script's output is kept in the log folder it prints.
# Usage: bench/all_desktops.sh [runs]   (21 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-21}
bin=build/release/tessaloom
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSALOOM_TESTS=OFF \
  -DTESSALOOM_BENCH=OFF >/dev/null
cmake --build build/release -j "$(nproc)" --target tessaloom tessaloom-testclient \
  tessaloom_extension >/dev/null

logs=$(mktemp -d /tmp/tessaloom-bench.XXXXXX)
figures=$logs/figures.tsv
: >"$figures"
failed=()
# measure NAME SCRIPT ARGS...: the script's figures, from a second attempt when the first
# reported none.
measure() {
  local name=$1 attempt
  shift
  for attempt in 1 2; do
    local part=$logs/$name.$attempt.tsv
    : >"$part"
    echo "== $name (attempt $attempt)" >&2
    TESSALOOM_FIGURES=$part "$@" >"$logs/$name.$attempt.log" 2>&1 || true
    if [ -s "$part" ]; then
      cat "$part" >>"$figures"
      return
    fi
    echo "   no figures: $(tail -n 1 "$logs/$name.$attempt.log")" >&2
  done
  failed+=("$name")
}
measure x11-hotkey bench/tray_hotkey.sh "$bin" "$runs"
measure x11-cli bench/x11_cli.sh "$bin" "$runs"
measure gnome bench/gnome_cli.sh "$bin" "$runs"
measure kwin bench/kwin_cli.sh "$bin" "$runs"
measure sway-i3 bench/i3_cli.sh "$bin" "$runs"

# One row a desktop: hot key, until the first window moved and the first press after the tray
# started (X11), --apply grid, --list.
python3 - "$figures" "$runs" <<'EOF'
import sys
rows, order = {}, []
for line in open(sys.argv[1]):
    desktop, measure, micros, note = (line.rstrip("\n").split("\t") + [""])[:4]
    if desktop not in rows: rows[desktop] = {}; order.append(desktop)
    rows[desktop][measure] = (int(micros), note)
def cell(row, measure, goal=None):
    if measure not in row: return "-", ""
    micros, note = row[measure]
    if micros < 0: return "missed", note
    text = f"{micros / 1000:.1f}"
    if goal is not None: text += " ok" if micros <= goal * 1000 else " OVER"
    return text, note
print(f"\nmedians of {sys.argv[2]} runs, 20 windows unless noted; goals: hot key <= 30 ms, "
      "--apply grid <= 170 ms, --list <= 15 ms (X11: 100 windows, 0.35 x wmctrl)")
print(f"{'desktop':<22}{'hot key':>12}{'moved':>8}{'first':>10}{'--apply grid':>16}{'--list':>12}"
      "  notes")
for desktop in order:
    row = rows[desktop]
    hot, hot_note = cell(row, "hotkey", 30)
    moved, _ = cell(row, "first_move")
    first, _ = cell(row, "first_hotkey")
    apply, apply_note = cell(row, "apply", 170)
    listed, list_note = cell(row, "list", None if desktop.startswith("X11") else 15)
    notes = "; ".join(n for n in (hot_note, apply_note, list_note) if n)
    print(f"{desktop:<22}{hot:>12}{moved:>8}{first:>10}{apply:>16}{listed:>12}  {notes}")
EOF
printf 'load average %s (%s cores); logs in %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)" "$(nproc)" \
  "$logs"
for name in "${failed[@]}"; do echo "FAILED: $name (see its logs)"; done
(( ${#failed[@]} == 0 ))
