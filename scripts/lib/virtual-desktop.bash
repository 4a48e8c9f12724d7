# A private X desktop for the demo and the measuring scripts (sourced, not run): a fresh Xvfb
# (1920x1080) on a display number it picks itself, openbox, and test clients. Everything started
# here ends when the script exits.
#
#   virtual_desktop_start WORKDIR CLIENT   exports DISPLAY; CLIENT is the test client program
#   virtual_desktop_open ARGS...           starts a test client, waits for its windows (the pid
#                                          is left in $virtual_desktop_last)
#   virtual_desktop_stop                   ends everything (also run at exit)

virtual_desktop_pids=()
virtual_desktop_last=

virtual_desktop_stop() {
  # The server first: its clients and the manager leave when it goes.
  local i
  for ((i = 0; i < ${#virtual_desktop_pids[@]}; i++)); do
    kill "${virtual_desktop_pids[i]}" 2>/dev/null || true
  done
  wait "${virtual_desktop_pids[@]}" 2>/dev/null || true
  virtual_desktop_pids=()
}

virtual_desktop_start() {
  virtual_desktop_work=$1
  virtual_desktop_client=$2
  local displayfd deadline
  exec {displayfd}>"$virtual_desktop_work/display"
  Xvfb -displayfd "$displayfd" -nolisten tcp -noreset -screen 0 1920x1080x24 \
    >/dev/null 2>"$virtual_desktop_work/xvfb.log" &
  virtual_desktop_pids+=($!)
  exec {displayfd}>&-
  deadline=$((SECONDS + 15))
  until [ -s "$virtual_desktop_work/display" ]; do
    ((SECONDS < deadline)) || { echo "Xvfb did not start" >&2; return 1; }
    sleep 0.05
  done
  export DISPLAY=":$(head -n1 "$virtual_desktop_work/display")"
  HOME="$virtual_desktop_work" XDG_CONFIG_HOME="$virtual_desktop_work/openbox-config" \
    openbox --sm-disable >/dev/null 2>"$virtual_desktop_work/openbox.log" </dev/null &
  virtual_desktop_pids+=($!)
  # The manager announces itself before it takes windows and drops the early ones: retry a
  # first window until it is taken.
  deadline=$((SECONDS + 20))
  until virtual_desktop_wait=1 virtual_desktop_open --window --class probe,Probe \
    --geometry 10x10+0+0 2>/dev/null; do
    ((SECONDS < deadline)) || { echo "openbox did not take windows" >&2; return 1; }
  done
  kill "$virtual_desktop_last"
}

virtual_desktop_open() {
  local fifo="$virtual_desktop_work/client-$BASHPID-$RANDOM"
  mkfifo "$fifo"
  "$virtual_desktop_client" "$@" >"$fifo" 2>>"$virtual_desktop_work/clients.log" &
  local pid=$! line=""
  # The client gives up after 20 s.
  read -r -t "${virtual_desktop_wait:-25}" line <"$fifo" || true
  rm -f "$fifo"
  if [[ $line == ready* ]]; then
    virtual_desktop_pids+=("$pid")
    virtual_desktop_last=$pid
    return 0
  fi
  kill "$pid" 2>/dev/null || true
  echo "the window manager did not take the windows of: $*" >&2
  return 1
}
