#!/usr/bin/env bash
# A headless GNOME Shell with the Tessaloom extension on private buses, for tests and
# measurements: prints the session's environment (KEY=VALUE lines, then "ready") once the
# extension's name is on the bus, and ends everything once WORK/stop exists or the process
# that started it is gone.
#
#   gnome-session.sh WORK EXTENSION [WxH...]
#
# WORK is an empty folder it owns; EXTENSION the extension's folder (named after its uuid);
# every WxH adds a virtual monitor (default 1280x800). TESSALOOM_SHELL_EXTENSION=no installs the
# extension without enabling it and prints "ready" once the Shell itself is on the bus.
set -euo pipefail
work=$1 extension=$2
shift 2
[ $# -gt 0 ] || set -- 1280x800

if [ -z "${TESSALOOM_SESSION_INNER:-}" ]; then
  mkdir -p "$work/runtime" "$work/home"
  chmod 0700 "$work/runtime"
  exec env -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS TESSALOOM_SESSION_OWNER=${TESSALOOM_SESSION_OWNER:-$PPID} \
    TESSALOOM_SESSION_INNER=1 \
    HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/home/.config" \
    XDG_DATA_HOME="$work/home/.local/share" XDG_CACHE_HOME="$work/home/.cache" \
    dbus-run-session -- "$0" "$work" "$extension" "$@" 2>>"$work/session.log"
fi

pids=()
finish() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap finish EXIT

# Without a system bus the Shell aborts at start (login manager, power).
dbus-daemon --session --nofork --address="unix:path=$work/runtime/system_bus" \
  >/dev/null 2>"$work/system-bus.log" &
pids+=($!)
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/runtime/system_bus"

uuid=$(basename "$extension")
# Only extensions installed before the Shell starts are found on Wayland.
mkdir -p "$XDG_DATA_HOME/gnome-shell/extensions"
ln -sfn "$(realpath "$extension")" "$XDG_DATA_HOME/gnome-shell/extensions/$uuid"
if [ "${TESSALOOM_SHELL_EXTENSION:-yes}" != no ]; then
  gsettings set org.gnome.shell enabled-extensions "['$uuid']"
fi
gsettings set org.gnome.desktop.interface enable-animations false
gsettings set org.gnome.desktop.notifications show-banners false
gsettings set org.gnome.shell welcome-dialog-last-shown-version '999'

monitors=()
for m in "$@"; do monitors+=(--virtual-monitor "$m"); done
gnome-shell --wayland --headless --wayland-display=tessaloom-wayland "${monitors[@]}" \
  >"$work/shell.log" 2>&1 </dev/null &
pids+=($!)

# Ready: our extension's name, or without it the Shell's own extension interface answering.
ready() {
  if [ "${TESSALOOM_SHELL_EXTENSION:-yes}" != no ]; then
    gdbus wait --session --timeout 1 org.tessaloom.Shell
  else
    gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
      --method org.gnome.Shell.Extensions.ListExtensions --timeout 1
  fi
}
deadline=$((SECONDS + 60))
until ready >/dev/null 2>&1; do
  if ((SECONDS > deadline)); then
    echo "failed: the Shell did not come up (see $work/shell.log)"
    exit 1
  fi
  sleep 0.1
done
# XWayland's display, as mutter names it (its auth file holds no display number).
display=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$work/shell.log" | head -n1)
echo "DISPLAY=$display"
echo "XAUTHORITY=$(ls "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* 2>/dev/null | head -n1)"
echo "DBUS_SESSION_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS"
echo "XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR"
echo "WAYLAND_DISPLAY=tessaloom-wayland"
echo "XDG_CURRENT_DESKTOP=GNOME"
echo "XDG_SESSION_TYPE=wayland"
echo ready
while [ ! -e "$work/stop" ] && kill -0 "$TESSALOOM_SESSION_OWNER" 2>/dev/null; do sleep 0.2; done
