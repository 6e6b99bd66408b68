#!/usr/bin/env bash
# Runs every end-to-end script of tests/windows/e2e under wine, each through
# the driver (e2e_driver.exe) in a console of its own inside a pseudo-terminal.
#
# A script may start with lines that prepare its folder on the Linux side:
#   #prep SHELL COMMAND    run in the script's folder ($WORK), with $LINUX_DIRRIP
#                          (the Linux build's program), $LINUX_DEMO (its demo
#                          archive) and $TESTS (this folder) at hand
# In the script, @WORK@ is the Windows path of that folder and @BUILD@ the
# Windows path of the build folder. E2E_ONLY=NAME (a glob) runs only the
# scripts of that name.
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/windows/in_console.sh
WINDOWS_BUILD=${WINDOWS_BUILD:-build-windows}
LINUX_BUILD=${LINUX_BUILD:-build}
export LINUX_DIRRIP="$PWD/$LINUX_BUILD/dirrip"
export LINUX_DEMO="$PWD/$LINUX_BUILD/demo.dir"
export TESTS="$PWD/tests/windows"
build_abs="$PWD/$WINDOWS_BUILD"
driver="$build_abs/tests/windows/e2e_driver.exe"

# The Windows form of an absolute Linux path, through wine's drive Z: (the
# whole file system). Worked out here rather than by `winepath`, which starts
# wine once per path, and whose failure would end the run without a word.
windows_path() {
  printf 'Z:%s\n' "${1//\//\\}"
}

work_root="$build_abs/e2e-work"
rm -rf "$work_root"
mkdir -p "$work_root"

passed=0
failed=0
for script in tests/windows/e2e/${E2E_ONLY:-*}.script; do
  name=$(basename "$script" .script)
  export WORK="$work_root/$name"
  mkdir -p "$WORK"
  prep=$(grep '^#prep ' "$script" | cut -c7- || true)
  ( cd "$WORK" && bash -ec "$prep" ) \
    || { echo "FAIL $name: preparing its folder failed"; failed=$((failed + 1)); continue; }
  work_win=$(windows_path "$WORK")
  build_win=$(windows_path "$build_abs")
  # Taken from the environment, so that backslashes in the paths stay as they are.
  WORK_WIN="$work_win" BUILD_WIN="$build_win" awk '
    BEGIN { work = ENVIRON["WORK_WIN"]; build = ENVIRON["BUILD_WIN"] }
    { gsub(/@WORK@/, "\001"); gsub(/@BUILD@/, "\002");
      out = ""; for (i = 1; i <= length($0); i++) { c = substr($0, i, 1);
        out = out (c == "\001" ? work : c == "\002" ? build : c) } print out }' \
    "$script" > "$WORK/run.script"
  report="$WORK/report.txt"
  rm -f "$report"
  status=0
  in_console 120 "wine '$driver' '$(windows_path "$WORK/run.script")' \
    '$(windows_path "$report")'" || status=$?
  if [ "$status" = 0 ] && grep -q '^passed' "$report" 2>/dev/null; then
    echo "ok   $name"
    passed=$((passed + 1))
  else
    echo "FAIL $name (status $status)"
    cat "$report" 2>/dev/null || true
    failed=$((failed + 1))
  fi
done
echo "end-to-end under wine: $passed passed, $failed failed"
[ "$failed" = 0 ]
