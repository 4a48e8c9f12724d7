# The timing helpers of the measuring scripts (sourced).

# Prints the wall time of one run of "$@" in microseconds, output discarded (the shell's own
# clock: no process is started to read it).
wall_us() {
  local start=$EPOCHREALTIME
  "$@" >/dev/null
  local end=$EPOCHREALTIME
  echo $((10#${end//[.,]/} - 10#${start//[.,]/}))
}
# The median of the numbers on standard input, one per line (the lower middle of an even count).
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# Microseconds as milliseconds with one decimal.
ms() { printf '%.1f' "$(echo "$1 / 1000" | bc -l)"; }
