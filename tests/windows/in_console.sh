# Sourced by the scripts that run the Windows build under wine.
#
# in_console SECONDS COMMAND: runs the shell command line COMMAND in a console
# of its own, which wine makes inside the pseudo-terminal that `script`
# provides, and gives its exit status (124 when it ran out of time).
#
# `script` hands its own standard input on to that terminal, and when that
# input ends it writes an end-of-file byte there, which wine reads as a key
# press landing in whatever test is running (CI has no standard input, so it
# ends at once). A silent input that stays open while COMMAND runs keeps such
# stray keys out.
in_console() {
  local seconds=$1 command=$2 status=0
  coproc KEEPER { exec sleep "$((seconds + 5))"; }
  timeout "$seconds" script -qec "$command" /dev/null \
    <&"${KEEPER[0]}" >/dev/null 2>&1 || status=$?
  kill "$KEEPER_PID" 2>/dev/null || true
  wait "$KEEPER_PID" 2>/dev/null || true
  return "$status"
}
