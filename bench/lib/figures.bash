# One measured figure for bench/all_desktops.sh (sourced by the measuring scripts; nothing when
# TESSALOOM_FIGURES is unset):
#
#   figure DESKTOP MEASURE MICROSECONDS [NOTE]
#
# MEASURE is one of hotkey, first_move, first_hotkey, apply, list; NOTE says how many runs missed
# or what the goal is measured against.
figure() {
  [ -z "${TESSALOOM_FIGURES:-}" ] || printf '%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "${4:-}" \
    >>"$TESSALOOM_FIGURES"
}
