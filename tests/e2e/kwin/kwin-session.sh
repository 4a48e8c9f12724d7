#!/usr/bin/env bash
# A headless KWin (Wayland, with XWayland) on a private session bus, for tests and measurements:
# prints the session's environment (KEY=VALUE lines, then "ready") once KWin and XWayland are
# up, and ends everything once WORK/stop exists or the process that started it is gone.
#
#   kwin-session.sh WORK [WxH] [OUTPUTS]
#
# WORK is an empty folder it owns; WxH the size of each virtual output (default 1920x1080);
# OUTPUTS how many outputs side by side (default 1).
set -euo pipefail
work=$1 size=${2:-1920x1080} outputs=${3:-1}

if [ -z "${TESSALOOM_SESSION_INNER:-}" ]; then
  mkdir -p "$work/runtime" "$work/home"
  chmod 0700 "$work/runtime"
  exec env -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS TESSALOOM_SESSION_INNER=1 \
    TESSALOOM_SESSION_OWNER=${TESSALOOM_SESSION_OWNER:-$PPID} \
    HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/home/.config" \
    XDG_DATA_HOME="$work/home/.local/share" XDG_CACHE_HOME="$work/home/.cache" \
    dbus-run-session -- "$0" "$@" 2>>"$work/session.log"
fi

# The installed binary carries a file capability that containers refuse to grant: a copy has
# none. Software painting keeps KWin small.
cp "$(command -v kwin_wayland)" "$work/kwin_wayland"
export KWIN_COMPOSE=Q QT_QPA_PLATFORM=wayland
# KWin starts this inside its session: it hands on the session's displays, then waits.
cat >"$work/inside.sh" <<INSIDE
#!/bin/sh
printf 'DISPLAY=%s\\nWAYLAND_DISPLAY=%s\\nXAUTHORITY=%s\\n' "\$DISPLAY" "\$WAYLAND_DISPLAY" "\$XAUTHORITY" \\
  >"$work/displays.tmp"
mv "$work/displays.tmp" "$work/displays"
exec sleep infinity
INSIDE
chmod +x "$work/inside.sh"
rm -f "$work/displays"
"$work/kwin_wayland" --virtual --xwayland --no-lockscreen --socket tessaloom-wayland \
  --width "${size%x*}" --height "${size#*x}" --output-count "$outputs" \
  "$work/inside.sh" >"$work/kwin.log" 2>&1 </dev/null &
kwin=$!
trap 'kill $kwin 2>/dev/null || true; wait 2>/dev/null || true' EXIT

for _ in $(seq 200); do
  [ -s "$work/displays" ] && break
  kill -0 $kwin 2>/dev/null || { echo "failed: KWin ended (see $work/kwin.log)"; exit 1; }
  sleep 0.05
done
[ -s "$work/displays" ] || { echo "failed: KWin did not start (see $work/kwin.log)"; exit 1; }
cat "$work/displays"
echo "DBUS_SESSION_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS"
echo "XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR"
echo "XDG_CURRENT_DESKTOP=KDE"
echo "XDG_SESSION_TYPE=wayland"
echo ready
while [ ! -e "$work/stop" ] && kill -0 "$TESSALOOM_SESSION_OWNER" 2>/dev/null; do sleep 0.2; done
