#!/usr/bin/env bash
# Wall time on a headless GNOME Shell with the Tessaloom extension (tests/e2e/gnome), same
# desktop, same run: 20 windows of 4 applications (two browsers under XWayland, two chat
# applications on Wayland), 1440x900.
#  - `tessaloom --list` and `tessaloom --apply grid` (a cascade between runs, so every run moves
#    every window); medians of RUNS runs.
#  - The tray's Control+Alt+G, pressed through mutter's RemoteDesktop interface: from the key
#    press until every window is at the frame `--apply grid` gave it (polled every 10 ms).
# Usage: bench/gnome_cli.sh [path/to/tessaloom] [runs]   (the extension is taken from beside it)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${1:-build/gnome/tessaloom}
runs=${2:-11}
flavour=module
[[ $(gnome-shell --version) =~ Shell\ 4[34]\. ]] && flavour=legacy
extension="$(dirname "$bin")/extension/$flavour/tessaloom@tessaloom.github.io"
[ -x "$bin" ] && [ -d "$extension" ] || { echo "build tessaloom and tessaloom_extension first"; exit 1; }

work=$(mktemp -d)
exec {session}< <(exec tests/e2e/desktop-session.sh gnome "$work/shell" "$extension" 1440x900)
trap 'touch "$work/shell/stop"; wait 2>/dev/null; rm -rf "$work"' EXIT
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
for app in google-chrome firefox org.example.ChatApp org.example.Claude; do
  backend=wayland
  [[ $app == *.* ]] || backend=x11
  GDK_BACKEND=$backend "$client" "$app" "$app 1" "$app 2" "$app 3" "$app 4" "$app 5" \
    >"$work/$app.ready" 2>/dev/null &
done
for app in google-chrome firefox org.example.ChatApp org.example.Claude; do
  for _ in $(seq 100); do grep -q ready "$work/$app.ready" && break; sleep 0.1; done
done
sleep 1
[ "$("$bin" --list | grep -c '^\[')" -eq 20 ] || { echo "the program does not see 20 windows"; exit 1; }

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ms() { local s e; s=$(date +%s%N); "$@" >/dev/null; e=$(date +%s%N); echo $(((e - s) / 1000000)); }
for _ in $(seq "$runs"); do ms "$bin" --list; done | median >"$work/list"
for _ in $(seq "$runs"); do
  "$bin" --apply cascade >/dev/null
  sleep 0.3
  ms "$bin" --apply grid
done | median >"$work/grid"
echo "--list: $(cat "$work/list") ms, --apply grid (20 windows): $(cat "$work/grid") ms (medians of $runs)"

# The hot key: the grid frames as --apply grid left them, then a cascade, then the key.
sleep 0.5
frames() {
  gdbus call --session --dest org.tessaloom.Shell --object-path /org/tessaloom/Shell \
    --method org.tessaloom.Shell.Facts | sed 's/"plates":.*//' | grep -o '"frame":\[[-0-9,]*\]' | sort
}
frames >"$work/target"
"$bin" --apply cascade >/dev/null
TESSALOOM_TRACE=1 "$bin" >"$work/tray.log" 2>&1 &
tray=$!
for _ in $(seq 100); do grep -q ready "$work/tray.log" && break; sleep 0.1; done
sleep 1
start=$(date +%s%N)
tests/e2e/gnome/press-keys.js Control_L Alt_L g
pressed=$(date +%s%N)
until frames | cmp -s - "$work/target"; do
  (($(date +%s%N) - start < 10000000000)) || { echo "hot key: windows not at the grid after 10 s"; break; }
  sleep 0.01
done
done_at=$(date +%s%N)
kill "$tray"
echo "hot key -> every window at its target: $(((done_at - pressed) / 1000000)) ms after the" \
  "key press returned ($(((done_at - start) / 1000000)) ms with the key helper's start)"
