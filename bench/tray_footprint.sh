#!/usr/bin/env bash
# Measures the tray application at rest: resident memory and how often it wakes up while idle.
# Starts its own Xvfb, openbox, session bus and tray (trayer), runs the program on a scene file,
# lets it settle, then reads /proc over a quiet interval (and, when strace is installed, counts
# the poll calls over the same interval).
#
#   bench/tray_footprint.sh [path/to/tessaloom] [seconds]
set -euo pipefail

binary=${1:-build/gcc/tessaloom}
seconds=${2:-10}
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 1 -nolisten tcp -noreset -screen 0 1920x1080x24 >"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -1 "$work/display")"
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
dbus-daemon --session --nofork --nopidfile --print-address=1 >"$work/bus" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/bus" ] && break; sleep 0.05; done
export DBUS_SESSION_BUS_ADDRESS=$(head -1 "$work/bus")
if command -v trayer >/dev/null; then
  trayer --edge top --align right --widthtype request --height 24 >/dev/null 2>&1 &
  pids+=($!)
fi

cat >"$work/scene.json" <<'SCENE'
{"screens": [{"name": "screen", "frame": [0, 0, 1920, 1080]}],
 "apps": [{"pid": 101, "bundleID": "com.google.Chrome", "name": "Google Chrome",
           "windows": [{"title": "Docs", "frame": [100, 80, 900, 700]}]}]}
SCENE
mkdir -p "$work/runtime"
XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config" HOME="$work" \
  TESSALOOM_SCENE="$work/scene.json" TESSALOOM_DEFAULTS="$work/defaults.json" \
  TESSALOOM_TRACE=1 "$binary" >"$work/out" 2>/dev/null &
tray=$!
pids+=($tray)
for _ in $(seq 200); do grep -qx ready "$work/out" 2>/dev/null && break; sleep 0.05; done
grep -qx ready "$work/out" || { echo "the tray did not start" >&2; exit 1; }

# Once: show the overlay and let it fade, so its fonts and window are part of the figure.
xdotool key ctrl+alt+g
sleep 3

switches() { awk '/^(non)?voluntary_ctxt_switches/ {n += $2} END {print n}' "/proc/$tray/status"; }
before=$(switches)
if command -v strace >/dev/null; then
  timeout -s INT "$seconds" strace -c -f -e trace=poll,ppoll -p "$tray" -o "$work/strace" 2>/dev/null || true
else
  sleep "$seconds"
fi
after=$(switches)
field() { awk -v k="$1:" '$1 == k {print $2}' "/proc/$tray/status"; }
rss=$(field VmRSS)
echo "resident memory: $((rss / 1024)) MiB (peak $(($(field VmHWM) / 1024)) MiB;" \
  "anonymous $(($(field RssAnon) / 1024)) MiB, mapped files $(($(field RssFile) / 1024)) MiB," \
  "shared memory $(($(field RssShmem) / 1024)) MiB)"
echo "context switches while idle: $((after - before)) in ${seconds} s"
if [ -f "$work/strace" ]; then
  calls=$(awk '$NF ~ /^p?poll$/ {n += $4} END {print n + 0}' "$work/strace")
  echo "poll calls while idle: $calls in ${seconds} s"
  [ -n "${TRAY_FOOTPRINT_VERBOSE:-}" ] && cat "$work/strace"
fi
if [ -n "${TRAY_FOOTPRINT_VERBOSE:-}" ]; then
  echo "largest mapped files (resident KiB):"
  awk '/^[0-9a-f]+-[0-9a-f]+ / {file = $6} /^Rss:/ && file != "" {rss[file] += $2}
       END {for (f in rss) print rss[f], f}' "/proc/$tray/smaps" | sort -rn | head -8
fi
