#!/usr/bin/env bash
# setup.exe for Windows 95: builds it (preset win32), checks the image, runs
# the Windows layer's tests and the end-to-end runs of setup.exe under Wine.
# Installs nothing: scripts/install-windows-tools.sh does that. Needs
# build/idesetup (the host build) for the comparisons with simulated runs;
# builds it when it is missing.
#
#   tests/wine/run_all.sh [--update-screenshot]
#
# --update-screenshot copies the completion dialog's screenshot taken by the
# runs into docs/completion-dialog.png.
#
# Ends with "N passed, M failed"; exits 1 when anything failed.
set -uo pipefail
cd "$(dirname "$0")/../.."
source_dir=$(pwd)

update_screenshot=0
[ "${1:-}" = "--update-screenshot" ] && update_screenshot=1

passed=0
failed=0
pass() { passed=$((passed + 1)); echo "PASS $1"; }
fail() { failed=$((failed + 1)); echo "FAIL $1"; }
finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit $?
}

# Adds the "N passed, M failed" of a part to the totals.
add_counts() {
  local line=$1
  if [[ $line =~ ([0-9]+)\ passed,\ ([0-9]+)\ failed ]]; then
    passed=$((passed + BASH_REMATCH[1]))
    failed=$((failed + BASH_REMATCH[2]))
    return 0
  fi
  return 1
}

jobs=$(nproc 2>/dev/null || echo 2)
work=$(mktemp -d /tmp/ide-wine.XXXXXX)
xvfb_pid=
cleanup() {
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT

for tool in i686-w64-mingw32-g++-win32 i686-w64-mingw32-g++-posix \
            i686-w64-mingw32-objdump wine wineboot wineserver Xvfb xdotool \
            import convert python3; do
  if ! command -v "$tool" >/dev/null; then
    fail "tool $tool is missing (scripts/install-windows-tools.sh installs it)"
  fi
done
[ "$failed" -eq 0 ] || finish

echo "== build (preset win32)"
if cmake --preset win32 >"$work/configure.log" 2>&1 &&
   cmake --build --preset win32 -j "$jobs" >"$work/build.log" 2>&1; then
  pass "build-win32/setup.exe built"
else
  tail -40 "$work/configure.log" "$work/build.log"
  fail "the Windows build"
  finish
fi

echo "== image check"
if tests/wine/check_image.py build-win32/setup.exe; then
  pass "setup.exe loads on Windows 95"
else
  fail "setup.exe image check"
fi
# The check must refuse an image that Windows 95 would not load, naming each
# fault of it.
probe_report=$(tests/wine/check_image.py build-win32/test-only/win95_incompatible_probe.exe)
probe_status=$?
probe_ok=1
[ "$probe_status" -ne 0 ] || probe_ok=0
for expected in "KERNEL32.dll!IsDebuggerPresent" "KERNEL32.dll!GetFileSizeEx" \
                "KERNEL32.dll!GetTickCount64" "imports from ole32.dll" \
                "subsystem 00000003" "image version 0.0" "not stripped" \
                "no DIALOG_COMPLETE resource"; do
  grep -qF "$expected" <<<"$probe_report" || { probe_ok=0; echo "missing: $expected"; }
done
if [ "$probe_ok" -eq 1 ]; then
  pass "image check refuses an image Windows 95 cannot load"
else
  echo "$probe_report"
  fail "image check on the incompatible probe"
fi

echo "== X server"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp \
  3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do
  [ -s "$work/display" ] && break
  sleep 0.2
done
if [ ! -s "$work/display" ]; then
  cat "$work/xvfb.log"
  fail "Xvfb did not start"
  finish
fi
export DISPLAY=":$(head -1 "$work/display")"
echo "DISPLAY=$DISPLAY"

echo "== the Windows layer under Wine"
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
layer_prefix="$work/layer-prefix"
if WINEPREFIX="$layer_prefix" timeout 180 wineboot -i >"$work/wineboot.log" 2>&1; then
  WINEPREFIX="$layer_prefix" timeout 300 wine \
    build-win32/layer-tests/win32_layer_tests.exe >"$work/layer.log" 2>&1
  layer_status=$?
  WINEPREFIX="$layer_prefix" timeout 30 wineserver -k >/dev/null 2>&1
  rm -rf "$layer_prefix"  # a prefix takes some 600 MB
  grep -E '^\[( +OK|  FAILED) .*\([0-9]+ ms\)' "$work/layer.log"
  grep -B3 -A12 'Failure$' "$work/layer.log" | head -60
  tests_ok=$(grep -c '^\[       OK \]' "$work/layer.log")
  # A failed test's own line carries its time; the summary repeats it.
  tests_failed=$(grep -cE '^\[  FAILED  \] \S+ \([0-9]+ ms\)' "$work/layer.log")
  passed=$((passed + tests_ok))
  failed=$((failed + tests_failed))
  if [ "$layer_status" -ne 0 ] && [ "$tests_failed" -eq 0 ]; then
    tail -20 "$work/layer.log"
    fail "win32_layer_tests.exe ended with status $layer_status"
  fi
else
  tail -20 "$work/wineboot.log"
  fail "making a Wine prefix for the layer tests"
fi

echo "== setup.exe end to end under Wine"
# IDE_IDESETUP names another build of idesetup (a developer's own).
idesetup="${IDE_IDESETUP:-$source_dir/build/idesetup}"
if [ ! -x "$idesetup" ]; then
  cmake --preset host >/dev/null &&
    cmake --build --preset host -j "$jobs" --target idesetup >/dev/null
fi
if [ -x "$idesetup" ]; then
  mkdir -p build-win32/wine-runs
  python3 tests/wine/setup_runs.py --build-win32 build-win32 \
    --idesetup "$idesetup" --work "$work/runs" \
    --screenshot build-win32/wine-runs/completion-dialog.png |
    tee "$work/runs.log"
  add_counts "$(tail -1 "$work/runs.log")" || fail "setup_runs.py gave no summary"
  if [ "$update_screenshot" -eq 1 ] &&
     [ -s build-win32/wine-runs/completion-dialog.png ]; then
    cp build-win32/wine-runs/completion-dialog.png docs/completion-dialog.png
    echo "docs/completion-dialog.png updated"
  fi
else
  fail "build/idesetup is needed for the comparisons and could not be built"
fi

finish
