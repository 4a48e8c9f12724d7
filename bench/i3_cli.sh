#!/usr/bin/env bash
# Wall time of the command line on sway (headless, 1920x1080) and on i3 (on Xvfb) with 20
# windows of 4 applications (on sway 10 native foot windows and 10 X11 windows through
# XWayland, on i3 20 X11 windows from the test client):
#  - `tessaloom --list` against `swaymsg -t get_tree` / `i3-msg -t get_tree`, runs interleaved;
#  - `tessaloom --apply grid`, every run moving every window (a cascade between runs);
#  - the tray's grid hot key: from the binding event of Control+Alt+G on sway (pressed with
#    wtype), from the return of xdotool, which presses it on i3, until GET_TREE shows every
#    window where the same key put it from the same cascade before (within 2 pixels).
# Medians of RUNS runs (at least 11). sway refuses to run as root: as root it runs as the user
# tessaloom-wm (created when missing).
# Usage: bench/i3_cli.sh [path/to/tessaloom] [runs]   (the test client is taken from beside it)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib/figures.bash
bin=$(realpath "${1:-build/release/tessaloom}")
runs=${2:-21}
(( runs >= 11 )) || { echo "at least 11 runs"; exit 1; }
client="$(dirname "$bin")/tessaloom-testclient"
for tool in "$bin" "$client"; do
  [ -x "$tool" ] || { echo "missing $tool (build tessaloom and tessaloom-testclient first)"; exit 1; }
done
for tool in sway swaymsg foot i3 i3-msg Xvfb wtype xdotool dbus-daemon python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps installs it)"; exit 1; }
done

work=$(mktemp -d)
chmod 755 "$work"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export TESSALOOM_DEFAULTS="$work/defaults.json" XDG_CONFIG_HOME="$work/config" \
  XDG_DATA_HOME="$work/data" XDG_DATA_DIRS="$work/system-data"
unset TESSALOOM_SCENE TESSALOOM_BACKEND SWAYSOCK I3SOCK WAYLAND_DISPLAY DISPLAY

as_user=()
if [ "$(id -u)" -eq 0 ]; then
  id tessaloom-wm >/dev/null 2>&1 ||
    useradd --system --no-create-home --shell /usr/sbin/nologin tessaloom-wm
  as_user=(setpriv --reuid="$(id -u tessaloom-wm)" --regid="$(id -g tessaloom-wm)" --clear-groups)
fi

source bench/lib/timing.bash
# Waits until the program lists `count` windows.
wait_listed() {
  local deadline=$((SECONDS + 20))
  until [ "$("$bin" --list | grep -c '^\[' || true)" -ge "$1" ]; do
    (( SECONDS < deadline )) || { echo "only $("$bin" --list | grep -c '^\[') windows came up"; exit 1; }
    sleep 0.1
  done
}
classes=(google-chrome,Google-chrome Navigator,firefox chatgpt,ChatGPT claude,Claude)
native=(google-chrome firefox)  # the same browsers' Wayland app ids
x11_clients() {  # first and last application index
  for a in $(seq "$1" "$2"); do
    args=()
    for w in 0 1 2 3 4; do args+=(--window --class "${classes[a]}" --title "Window $w of $a"); done
    "${as_user[@]}" env DISPLAY="$DISPLAY" "$client" "${args[@]}" >/dev/null 2>&1 &
    pids+=($!)
  done
}
# Times the listing against the desktop's own tree request, then the grid.
measure() {
  local name=$1; shift
  "$bin" --list >/dev/null; "$@" >/dev/null
  local tess=() own=() apply=()
  for _ in $(seq "$runs"); do
    tess+=("$(wall_us "$bin" --list)")
    own+=("$(wall_us "$@")")
  done
  for _ in $(seq "$runs"); do
    "$bin" --apply cascade >/dev/null
    apply+=("$(wall_us "$bin" --apply grid)")
  done
  printf '%-44s %10s\n' "$* (20 windows)" "$(ms "$(printf '%s\n' "${own[@]}" | median)")"
  printf '%-44s %10s\n' "tessaloom --list on $name" "$(ms "$(printf '%s\n' "${tess[@]}" | median)")"
  printf '%-44s %10s\n' "tessaloom --apply grid on $name" \
    "$(ms "$(printf '%s\n' "${apply[@]}" | median)")"
  figure "$(version "$name")" apply "$(printf '%s\n' "${apply[@]}" | median)"
  figure "$(version "$name")" list "$(printf '%s\n' "${tess[@]}" | median)" "20 windows"
}
version() { echo "$1 $("$1" --version | head -n1 | sed 's/.*version \([0-9][0-9.]*\).*/\1/')"; }

# The probe (`frames KIND SOCKET`, `time KIND SOCKET TARGETS COMMAND...`): prints the windows'
# outer frames from the tree, or runs COMMAND and times until every window is at its frame in
# TARGETS (one "id x y width height" a line). The time starts at the binding event the key fires
# on sway, at COMMAND's return on i3 (where the tray grabs the key from X): the press tool's own
# start-up is not counted. The tree is read every 2 ms, leaving the cores to the compositor and
# the tray.
cat >"$work/probe.py" <<'EOF_PY'
import json, select, socket, struct, subprocess, sys, time
def connect(path):
    s = socket.socket(socket.AF_UNIX); s.connect(path); return s
def send(s, kind, payload=b""):
    s.sendall(b"i3-ipc" + struct.pack("<II", len(payload), kind) + payload)
def take(s, n):
    b = b""
    while len(b) < n:
        part = s.recv(n - len(b))
        if not part: raise EOFError
        b += part
    return b
def reply(s):
    size, kind = struct.unpack("<II", take(s, 14)[6:]); return kind, json.loads(take(s, size))
def tree(path):
    s = connect(path); send(s, 4); t = reply(s)[1]; s.close(); return t
def frames(node, sway, out):
    if node.get("app_id") is not None or node.get("window"):
        r, title = node["rect"], node["deco_rect"]["height"] if sway else 0
        out[node["id"]] = (r["x"], r["y"] - title, r["width"], r["height"] + title)
    for k in ("nodes", "floating_nodes"):
        for c in node.get(k, []): frames(c, sway, out)
    return out
sway, path = sys.argv[2] == "sway", sys.argv[3]
if sys.argv[1] == "frames":
    for i, f in frames(tree(path), sway, {}).items(): print(i, *f)
    sys.exit()
targets = {int(l.split()[0]): tuple(map(int, l.split()[1:])) for l in open(sys.argv[4])}
if sway:
    events = connect(path); send(events, 2, b'["binding"]'); reply(events)
    press = subprocess.Popen(sys.argv[5:])
    if not select.select([events], [], [], 5)[0]: print("no binding event"); sys.exit(1)
    start = time.monotonic()
    press.wait()
else:
    subprocess.run(sys.argv[5:], check=True)
    start = time.monotonic()
while time.monotonic() - start < 5:
    now = frames(tree(path), sway, {})
    if all(i in now and max(abs(a - b) for a, b in zip(now[i], t)) <= 2 for i, t in targets.items()):
        print(round((time.monotonic() - start) * 1e6)); sys.exit()
    time.sleep(0.002)
print("timeout"); sys.exit(1)
EOF_PY
# Starts the tray on a bus of its own, then times the grid hot key RUNS times; `press` is the
# command that presses Control+Alt+G.
hot_key() {
  local socket=$1; shift
  dbus-daemon --session --nofork --print-address=1 >"$work/bus" 2>/dev/null &
  pids+=($!)
  until [ -s "$work/bus" ]; do sleep 0.05; done
  DBUS_SESSION_BUS_ADDRESS=$(head -1 "$work/bus") TESSALOOM_TRACE=1 NO_AT_BRIDGE=1 \
    XDG_DATA_DIRS=/usr/local/share:/usr/share "$bin" >"$work/tray.log" 2>&1 &
  local tray=$!
  pids+=($tray)
  local deadline=$((SECONDS + 20))
  until grep -qsx ready "$work/tray.log"; do
    (( SECONDS < deadline )) || { echo "the tray did not start"; cat "$work/tray.log"; exit 1; }
    sleep 0.05
  done
  local times=() misses=0
  for _ in $(seq "$runs"); do
    # Where the hot key's grid puts the windows from a cascade (the order of the cells follows
    # the focus), then back to that cascade.
    "$bin" --apply cascade >/dev/null
    "$@"
    sleep 0.5
    python3 "$work/probe.py" frames "$name" "$socket" >"$work/targets"
    "$bin" --undo >/dev/null
    sleep 0.3
    if t=$(python3 "$work/probe.py" time "$name" "$socket" "$work/targets" "$@"); then times+=("$t"); else
      misses=$((misses + 1))
    fi
  done
  kill "$tray"
  (( ${#times[@]} > 0 )) || { echo "no run put every window in place"; exit 1; }
  figure "$(version "$name")" hotkey "$(printf '%s\n' "${times[@]}" | sort -n |
    sed -n "$(( (${#times[@]} + 1) / 2 ))p")" "$misses/$runs missed"
  printf '%-44s %10s\n' "grid hot key on $name, $misses/$runs missed" \
    "$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (${#times[@]} + 1) / 2 ))p" |
      { read -r m; ms "$m"; })"
}

printf '\n%-44s %10s\n' "command (median of $runs runs)" "wall ms"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"

# Twenty tiles side by side would be too narrow to count as windows: they open floating.
floating='for_window [title=".*"] floating enable'

# --- sway ---------------------------------------------------------------------------------------
run=$work/run
mkdir -m 700 "$run"
[ ${#as_user[@]} -eq 0 ] || chown tessaloom-wm "$run"
printf 'output HEADLESS-1 resolution 1920x1080 position 0 0\nxwayland enable\n%s\n' \
  "$floating" >"$work/sway.config"
"${as_user[@]}" env XDG_RUNTIME_DIR="$run" HOME="$run" WLR_BACKENDS=headless WLR_RENDERER=pixman \
  WLR_LIBINPUT_NO_DEVICES=1 sway -c "$work/sway.config" >"$work/sway.log" 2>&1 &
pids+=($!)
deadline=$((SECONDS + 20))
until SWAYSOCK=$(ls "$run"/sway-ipc.* 2>/dev/null) && swaymsg -s "$SWAYSOCK" -t get_version >/dev/null 2>&1; do
  (( SECONDS < deadline )) || { echo "sway did not start"; exit 1; }
  sleep 0.05
done
export SWAYSOCK XDG_RUNTIME_DIR=$run WAYLAND_DISPLAY=$(basename "$(ls "$run"/wayland-* | grep -v lock | head -1)")
swaymsg exec "printf %s \"\$DISPLAY\" > $run/display" >/dev/null
until [ -s "$run/display" ]; do sleep 0.05; done
export DISPLAY=$(cat "$run/display")
for a in 0 1; do
  for w in 0 1 2 3 4; do
    "${as_user[@]}" env XDG_RUNTIME_DIR="$run" HOME="$run" WAYLAND_DISPLAY="$WAYLAND_DISPLAY" \
      foot --app-id "${native[a]}" -T "Window $w of $a" sleep 100000 >/dev/null 2>&1 &
    pids+=($!)
  done
done
x11_clients 2 3
wait_listed 20
measure sway swaymsg -t get_tree
name=sway hot_key "$SWAYSOCK" "${as_user[@]}" env XDG_RUNTIME_DIR="$run" \
  WAYLAND_DISPLAY="$WAYLAND_DISPLAY" wtype -M ctrl -M alt g -m alt -m ctrl
kill "${pids[@]}" 2>/dev/null || true
wait 2>/dev/null || true
pids=()
unset SWAYSOCK WAYLAND_DISPLAY XDG_RUNTIME_DIR

# --- i3 -----------------------------------------------------------------------------------------
exec {xvfb}< <(Xvfb -displayfd 1 -nolisten tcp -noreset -screen 0 1920x1080x24 2>/dev/null)
pids+=($!)
read -r -t 15 number <&"$xvfb" || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=":$number"
as_user=()
printf '# i3 config file (v4)\nfont pango:monospace 8\n%s\n' "$floating" >"$work/i3.config"
i3 -c "$work/i3.config" >"$work/i3.log" 2>&1 &
pids+=($!)
until i3-msg -t get_version >/dev/null 2>&1; do sleep 0.05; done
x11_clients 0 3
wait_listed 20
measure i3 i3-msg -t get_tree
name=i3 hot_key "$(i3 --get-socketpath)" xdotool key ctrl+alt+g
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
