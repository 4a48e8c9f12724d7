#!/usr/bin/env bash
# Wall time on a headless GNOME Shell with the Tessaloom extension (tests/e2e/gnome), same
# desktop, same run: 20 windows of 4 applications (two browsers under XWayland, two chat
# applications on Wayland), 1440x900.
#  - `tessaloom --list` and `tessaloom --apply grid` (a cascade between runs, so every run moves
#    every window); medians of RUNS runs.
#  - The tray's Control+Alt+G, pressed through mutter's RemoteDesktop interface: from the last
#    key going down until every grid cell `--apply grid` filled is filled again (read every
#    2 ms by the same process that presses the keys); a cascade before each of RUNS presses.
# Usage: bench/gnome_cli.sh [path/to/tessaloom] [runs]   (the extension is taken from beside it)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib/figures.bash
bin=${1:-build/gnome/tessaloom}
runs=${2:-11}
flavour=module
[[ $(gnome-shell --version) =~ Shell\ 4[34]\. ]] && flavour=legacy
extension="$(dirname "$bin")/extension/$flavour/tessaloom@tessaloom.github.io"
[ -x "$bin" ] && [ -d "$extension" ] || { echo "build tessaloom and tessaloom_extension first"; exit 1; }

work=$(mktemp -d)
# The frames are read through a copy of gjs the extension trusts as it trusts the program.
mkdir -p "$work/trusting"
cp -r "$extension" "$work/trusting/"
extension=$work/trusting/$(basename "$extension")
cp "$(readlink -f "$(command -v gjs)")" "$work/observer"
echo "$work/observer" >>"$extension/trusted"
exec {session}< <(exec tests/e2e/desktop-session.sh gnome "$work/shell" "$extension" 1440x900)
tray=
trap '[ -z "$tray" ] || kill "$tray" 2>/dev/null; [ -z "${watch_PID:-}" ] || kill "$watch_PID" 2>/dev/null; touch "$work/shell/stop"; wait 2>/dev/null; rm -rf "$work"' EXIT
while read -r -u "$session" line; do
  [ "$line" = ready ] && break
  [[ $line == failed* ]] && { echo "$line"; exit 1; }
  [[ $line == *=* ]] && export "${line?}"
done
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" \
  TESSALOOM_DEFAULTS="$work/defaults.json"
unset TESSALOOM_SCENE TESSALOOM_BACKEND
mkdir -p "$XDG_DATA_HOME/applications"
for app in org.example.ChatApp:ChatGPT org.example.Claude:Claude; do
  printf '[Desktop Entry]\nType=Application\nName=%s\nExec=true\n' "${app#*:}" \
    >"$XDG_DATA_HOME/applications/${app%%:*}.desktop"
done
client=tests/e2e/gnome/gtk-client.js
# One application's five windows; a client that does not come up (an X11 one can lose the
# race with XWayland's start) is started once more.
open_app() {
  local app=$1 backend=wayland attempt
  [[ $app == *.* ]] || backend=x11
  for attempt in 1 2; do
    GDK_BACKEND=$backend "$client" "$app" "$app 1" "$app 2" "$app 3" "$app 4" "$app 5" \
      >"$work/$app.ready" 2>>"$work/clients.log" &
    for _ in $(seq 100); do grep -q ready "$work/$app.ready" && return; sleep 0.1; done
    kill $! 2>/dev/null || true
  done
  echo "the windows of $app did not come up: $(tail -n 2 "$work/clients.log")"
  exit 1
}
for app in google-chrome firefox org.example.ChatApp org.example.Claude; do open_app "$app"; done
deadline=$((SECONDS + 15))
until [ "$("$bin" --list | grep -c '^\[')" -eq 20 ]; do
  ((SECONDS < deadline)) || {
    echo "the program does not see 20 windows: $("$bin" --list 2>&1 | grep -c '^\[') seen"
    exit 1
  }
  sleep 0.2
done

source bench/lib/timing.bash
# The Shell animates the windows that just opened: the measuring starts once that is over.
sleep 1
for _ in $(seq "$runs"); do wall_us "$bin" --list; done | median >"$work/list"
for _ in $(seq "$runs"); do
  "$bin" --apply cascade >/dev/null
  sleep 0.3
  wall_us "$bin" --apply grid
done | median >"$work/grid"
echo "--list: $(ms "$(cat "$work/list")") ms," \
  "--apply grid (20 windows): $(ms "$(cat "$work/grid")") ms (medians of $runs)"

# The hot key: the grid frames as --apply grid left them, then a cascade, then the key.
coproc watch { exec "$work/observer" bench/lib/gnome-hotkey.js; }
sleep 0.5
echo target >&"${watch[1]}"
read -r -t 10 -u "${watch[0]}" answer && [ "$answer" = ok ] || { echo "the observer did not answer"; exit 1; }
"$bin" --apply cascade >/dev/null
TESSALOOM_TRACE=1 "$bin" >"$work/tray.log" 2>&1 &
tray=$!
for _ in $(seq 100); do grep -q ready "$work/tray.log" && break; sleep 0.1; done
sleep 1
times=() misses=0
for _ in $(seq "$runs"); do
  "$bin" --apply cascade >/dev/null
  sleep 0.3
  echo "press Control_L Alt_L g" >&"${watch[1]}"
  read -r -t 10 -u "${watch[0]}" answer || answer=timeout
  if [ "$answer" = timeout ]; then misses=$((misses + 1)); else times+=("$answer"); fi
done
kill "$tray"
tray=
hot=$(printf '%s\n' "${times[@]:--1}" | median)
echo "hot key -> every window at its target: $((hot / 1000)) ms after the key went down" \
  "(median of $runs, $misses missed)"
desktop="GNOME $(gnome-shell --version | sed 's/[^0-9]*//')"
figure "$desktop" hotkey "$hot" "$misses/$runs missed"
figure "$desktop" apply "$(cat "$work/grid")"
figure "$desktop" list "$(cat "$work/list")" "20 windows"
