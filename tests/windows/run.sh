#!/usr/bin/env bash
# Runs the Windows build's tests under wine: the unit tests, then the
# end-to-end tests that drive dirrip.exe on a real (wine) console.
# WINDOWS_BUILD: the cross build folder; LINUX_BUILD: the native build, whose
# tools make the test archives.
set -euo pipefail
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
cd "$(dirname "$0")/../.."
source tests/windows/in_console.sh
WINDOWS_BUILD=${WINDOWS_BUILD:-build-windows}
LINUX_BUILD=${LINUX_BUILD:-build}

# A wine prefix of our own, made once; no debug chatter, no offers to install
# the .NET and HTML runtimes.
export WINEPREFIX="$PWD/$WINDOWS_BUILD/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== making the wine prefix $WINEPREFIX"
  timeout 300 wineboot -i >/dev/null 2>&1 || { echo "wineboot failed or hung"; exit 1; }
fi

# The console tests need a console (see in_console.sh); the report goes to a
# file beside it.
log="$WINDOWS_BUILD/tests/windows/unit.log"
echo "== unit tests under wine"
status=0
in_console 300 "wine '$WINDOWS_BUILD/tests/windows/test_windows.exe' --gtest_brief=1 \
  >'$log' 2>&1" || status=$?
cat "$log"
[ "$status" = 0 ] || { echo "unit tests under wine failed (status $status)"; exit 1; }

# One file to copy: the C++ runtime, libgcc and the thread library are inside.
if x86_64-w64-mingw32-objdump -p "$WINDOWS_BUILD/dirrip.exe" | grep -i 'DLL Name' |
     grep -iE 'libstdc|libgcc|winpthread'; then
  echo "dirrip.exe needs DLLs of the compiler beside it"; exit 1
fi
echo "== end-to-end tests under wine"
LINUX_BUILD="$LINUX_BUILD" WINDOWS_BUILD="$WINDOWS_BUILD" \
  timeout 900 bash tests/windows/e2e.sh
