#!/usr/bin/env bash
# A headless GNOME Shell or KWin with XWayland on private buses, in the empty folder WORK: prints
# the session's environment (KEY=VALUE lines, then "ready") once it is up, and ends everything
# once WORK/stop exists or the process that started it is gone.
#   desktop-session.sh gnome WORK EXTENSION [WxH...]  a virtual monitor each (default 1280x800)
#   desktop-session.sh kde WORK [WxH [OUTPUTS]]       outputs side by side (1920x1080, 1)
# EXTENSION is the extension's folder, named after its uuid. TESSALOOM_EXTENSION_STATE=missing,
# disabled or outdated (a copy that claims an older Shell) starts the Shell without it working.
set -euo pipefail
kind=$1 work=$2
if [ -z "${TESSALOOM_SESSION_INNER:-}" ]; then
  mkdir -p "$work/runtime" "$work/home"
  chmod 0700 "$work/runtime"
  exec env -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS TESSALOOM_SESSION_INNER=1 \
    TESSALOOM_SESSION_OWNER=${TESSALOOM_SESSION_OWNER:-$PPID} HOME="$work/home" \
    XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/home/.config" \
    XDG_DATA_HOME="$work/home/.local/share" XDG_CACHE_HOME="$work/home/.cache" \
    dbus-run-session -- "$0" "$@" 2>>"$work/session.log"
fi
# Everything started here ends with the session: stopped ones are continued first, and one that
# ignores SIGTERM (a Shell caught in its own shutdown was seen to) is killed after 3 s.
stop_all() {
  local pids alive
  pids=$(jobs -p)
  [ -n "$pids" ] || return 0
  kill -CONT $pids 2>/dev/null || true
  kill $pids 2>/dev/null || true
  for _ in $(seq 30); do
    alive=0
    for p in $pids; do kill -0 "$p" 2>/dev/null && alive=1; done
    [ "$alive" = 1 ] || break
    sleep 0.1
  done
  kill -KILL $pids 2>/dev/null || true
  wait 2>/dev/null || true
}
trap stop_all EXIT
shift 2

if [ "$kind" = kde ]; then
  size=${1:-1920x1080}
  # A copy drops the file capability that containers refuse; software painting keeps KWin small.
  cp "$(command -v kwin_wayland)" "$work/kwin_wayland"
  export KWIN_COMPOSE=Q QT_QPA_PLATFORM=wayland
  # KWin starts this inside its session to hand on the session's X display (KWin outlives it).
  printf '#!/bin/sh\necho "DISPLAY=$DISPLAY\nXAUTHORITY=$XAUTHORITY" >"%s.tmp"\nmv "%s.tmp" "%s"\n' \
    "$work/x" "$work/x" "$work/x" >"$work/inside.sh"
  chmod +x "$work/inside.sh"
  "$work/kwin_wayland" --virtual --xwayland --no-lockscreen --socket tessaloom-wayland \
    --width "${size%x*}" --height "${size#*x}" --output-count "${2:-1}" "$work/inside.sh" \
    >"$work/kwin.log" 2>&1 </dev/null &
  ready() { [ -s "$work/x" ]; }
else
  extension=$1
  shift
  [ $# -gt 0 ] || set -- 1280x800
  # Without a system bus the Shell aborts at start (login manager, power).
  export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/runtime/system_bus"
  dbus-daemon --session --nofork --address="$DBUS_SYSTEM_BUS_ADDRESS" >/dev/null 2>&1 &
  uuid=$(basename "$extension") state=${TESSALOOM_EXTENSION_STATE:-enabled}
  if [ "$state" = outdated ]; then
    cp -r "$(realpath "$extension")" "$work/$uuid"
    sed -i 's/"shell-version": \[.*\]/"shell-version": ["3.38"]/' "$work/$uuid/metadata.json"
    extension=$work/$uuid
  fi
  # Only extensions installed before the Shell starts are found on Wayland.
  mkdir -p "$XDG_DATA_HOME/gnome-shell/extensions"
  [ "$state" = missing ] || ln -sfn "$(realpath "$extension")" "$XDG_DATA_HOME/gnome-shell/extensions/$uuid"
  [ "$state" = disabled ] || gsettings set org.gnome.shell enabled-extensions "['$uuid']"
  gsettings set org.gnome.desktop.interface enable-animations false
  gsettings set org.gnome.desktop.notifications show-banners false
  gsettings set org.gnome.shell welcome-dialog-last-shown-version '999'
  monitors=()
  for m in "$@"; do monitors+=(--virtual-monitor "$m"); done
  gnome-shell --wayland --headless --wayland-display=tessaloom-wayland "${monitors[@]}" \
    >"$work/shell.log" 2>&1 </dev/null &
  ready() { gdbus wait --session --timeout 1 org.tessaloom.Shell; }
  # Without the extension's name: once the Shell reports on its extensions.
  [ "$state" = enabled ] || ready() {
    gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell --timeout 1 \
      --method org.gnome.Shell.Extensions.GetExtensionInfo "$uuid"
  }
fi

deadline=$((SECONDS + 60))
until ready >/dev/null 2>&1; do
  ((SECONDS < deadline)) || {
    echo "failed: $kind did not come up (see $work): $(tail -n 3 "$work"/*.log 2>/dev/null | tr '\n' ' ')"
    exit 1
  }
  sleep 0.1
done
if [ "$kind" = kde ]; then
  cat "$work/x"
  echo XDG_CURRENT_DESKTOP=KDE
else
  # XWayland's display, as mutter names it (its auth file holds no display number).
  echo "DISPLAY=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$work/shell.log" | head -n1)"
  echo "XAUTHORITY=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* 2>/dev/null | head -n1)"
  echo XDG_CURRENT_DESKTOP=GNOME
fi
echo "DBUS_SESSION_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS"
echo "XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR"
printf '%s\n' WAYLAND_DISPLAY=tessaloom-wayland XDG_SESSION_TYPE=wayland ready
while [ ! -e "$work/stop" ] && kill -0 "$TESSALOOM_SESSION_OWNER" 2>/dev/null; do sleep 0.2; done
