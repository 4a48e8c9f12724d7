#!/usr/bin/env bash
# Wall time of the command line on a real X desktop: a private Xvfb (1920x1080) with openbox and
# 100 windows of 20 applications from the test client.
#  - `tessaloom --list` against `wmctrl -lpGx` on the same desktop, runs interleaved.
#    Goal: at most 0.35 times wmctrl's median.
#  - `tessaloom --apply grid` on 20 of the windows (the other applications quit), every run
#    moving every window (a cascade between runs). Goal: at most 175 ms, with every window in
#    its grid cell when the command returns (checked after each run).
# Medians of RUNS runs (at least 11).
# Usage: bench/x11_cli.sh [path/to/tessaloom] [runs]   (the test client is taken from beside it)
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${1:-build/release/tessaloom}
runs=${2:-21}
(( runs >= 11 )) || { echo "at least 11 runs"; exit 1; }
if [ "$#" -eq 0 ] && [ ! -x "$bin" -o ! -x "$(dirname "$bin")/tessaloom-testclient" ]; then
  cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSALOOM_TESTS=OFF \
    -DTESSALOOM_BENCH=OFF >/dev/null
  cmake --build build/release -j "$(nproc)" --target tessaloom tessaloom-testclient >/dev/null
fi
client="$(dirname "$bin")/tessaloom-testclient"
for tool in "$bin" "$client"; do
  [ -x "$tool" ] || { echo "missing $tool (build the Release tree first)"; exit 1; }
done
for tool in Xvfb openbox wmctrl; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps installs it)"; exit 1; }
done

work=$(mktemp -d)
source scripts/lib/virtual-desktop.bash
trap 'virtual_desktop_stop; rm -rf "$work"' EXIT
export TESSALOOM_DEFAULTS="$work/defaults.json" XDG_CONFIG_HOME="$work/config" \
  XDG_DATA_HOME="$work/data"
unset TESSALOOM_SCENE
virtual_desktop_start "$work" "$client"

# 20 applications of 5 windows each: 12 browsers, 8 AI applications.
classes=(google-chrome,Google-chrome Navigator,firefox chromium,Chromium brave-browser,Brave-browser
  microsoft-edge,Microsoft-edge vivaldi-stable,Vivaldi-stable opera,Opera epiphany,Epiphany
  librewolf,LibreWolf falkon,Falkon qutebrowser,qutebrowser firefox-esr,Firefox-esr
  chatgpt,ChatGPT claude,Claude perplexity,Perplexity gemini,Gemini copilot,Copilot
  deepseek,DeepSeek lm-studio,"LM Studio" ollama,Ollama)
mkdir -p "$work/data/applications"
# Two of them are known by the ids of their desktop entries.
printf '[Desktop Entry]\nType=Application\nName=Falkon\nStartupWMClass=Falkon\nExec=true\n' \
  >"$work/data/applications/org.kde.falkon.desktop"
printf '[Desktop Entry]\nType=Application\nName=qutebrowser\nStartupWMClass=qutebrowser\nExec=true\n' \
  >"$work/data/applications/org.qutebrowser.qutebrowser.desktop"
app_pids=()
for a in "${!classes[@]}"; do
  args=()
  for w in 0 1 2 3 4; do
    args+=(--window --class "${classes[a]}" --title "Window $w of application $a"
      --geometry "$((400 + 10 * w))x$((300 + 10 * w))+$((60 * a + 20 * w))+$((30 * a + 25 * w))")
  done
  virtual_desktop_open "${args[@]}"
  app_pids+=("$virtual_desktop_last")
done

source bench/lib/timing.bash

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
listed=$("$bin" --list | grep -c '^\[') || true
(( listed == 100 )) || { echo "tessaloom --list shows $listed windows instead of 100"; exit 1; }
"$bin" --list >/dev/null; wmctrl -lpGx >/dev/null  # warm the caches

tess=() wm=()
for _ in $(seq "$runs"); do
  tess+=("$(wall_us "$bin" --list)")
  wm+=("$(wall_us wmctrl -lpGx)")
done
tess_list=$(printf '%s\n' "${tess[@]}" | median)
wm_list=$(printf '%s\n' "${wm[@]}" | median)

# --- arranging 20 windows -----------------------------------------------------------------------
for pid in "${app_pids[@]:4}"; do kill "$pid"; done
deadline=$((SECONDS + 10))
until [ "$("$client" --frames | wc -l)" -eq 20 ]; do
  (( SECONDS < deadline )) || { echo "the quit applications' windows stayed"; exit 1; }
  sleep 0.05
done

# The grid cells of 20 windows on the whole screen with the default gap of 8, made integral as
# the program applies them (origin rounded down, far edges up), in reading order.
cells=$(awk -v n=20 -v X=8 -v Y=8 -v W=1904 -v H=1064 -v g=8 '
  function up(v) { return v == int(v) ? v : int(v) + 1 }
  BEGIN {
    best = 1e300; R = 1
    for (r = 1; r <= n; r++) {
      c = int((n + r - 1) / r); if (!(c * (r - 1) < n)) continue
      cw = (W - (c - 1) * g) / c; ch = (H - (r - 1) * g) / r; if (cw <= 0 || ch <= 0) continue
      s = (r * c - n) * 0.25 + ((v = log(cw / ch / 1.3)) < 0 ? -v : v)
      if (ch < 300 || cw < 420) s += 2
      if (s < best) { best = s; R = r }
    }
    h = (H - (R - 1) * g) / R; q = int(n / R); m = n % R
    for (i = 0; i < R; i++) {
      k = i < m ? q + 1 : q; w = (W - (k - 1) * g) / k; y = Y + (h + g) * i
      for (j = 0; j < k; j++) {
        x = X + (w + g) * j
        print int(x), int(y), up(x + w) - int(x), up(y + h) - int(y)
      }
    }
  }' | sort -n -k2,2 -k1,1)

# Whether every window's frame is, right now, within 2 points of a distinct grid cell.
in_cells() {
  local frames
  frames=$("$client" --frames | cut -d' ' -f2- | sort -n -k2,2 -k1,1)
  paste -d' ' <(echo "$cells") <(echo "$frames") | awk '
    function d(a, b) { return a > b ? a - b : b - a }
    NF != 8 || d($1, $5) > 2 || d($2, $6) > 2 || d($3, $7) > 2 || d($4, $8) > 2 { bad = 1 }
    END { exit bad }'
}

apply=() misses=0
for _ in $(seq "$runs"); do
  "$bin" --apply cascade >/dev/null
  apply+=("$(wall_us "$bin" --apply grid)")
  in_cells || misses=$((misses + 1))
done
tess_apply=$(printf '%s\n' "${apply[@]}" | median)
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# --- report -------------------------------------------------------------------------------------
verdict() { if [ "$1" = 1 ]; then echo "met"; else echo "NOT met"; fi; }
printf '\n%-44s %10s %s\n' "command (median of $runs runs)" "wall ms" "goal"
printf '%-44s %10s\n' "wmctrl -lpGx (100 windows)" "$(ms "$wm_list")"
printf '%-44s %10s %s\n' "tessaloom --list (100 windows)" "$(ms "$tess_list")" \
  "<= $(ms $((wm_list * 35 / 100))): $(verdict $(( tess_list * 100 <= wm_list * 35 )))"
printf '%-44s %10s %s\n' "tessaloom --apply grid (20 windows)" "$(ms "$tess_apply")" \
  "<= 175.0: $(verdict $(( tess_apply <= 175000 )))"
printf '%-44s %10s\n' "  runs with a window off its cell at return" "$misses/$runs"
printf 'load average before %s, after %s (%s cores)\n' "$load_before" "$load_after" "$(nproc)"
source bench/lib/figures.bash
desktop="X11 (openbox $(openbox --version | head -n1 | cut -d' ' -f2))"
figure "$desktop" apply "$tess_apply" "$misses/$runs off at return"
figure "$desktop" list "$tess_list" "100 windows; goal 0.35 x wmctrl = $(ms $((wm_list * 35 / 100))) ms"
(( misses == 0 ))
