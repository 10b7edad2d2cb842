# Sourced by the scripts: the project's own Wine prefix, and a virtual display
# for Wine programs when there is no display.

ostrel_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# A Wine prefix of the project's own, never the user's; quiet, and without the
# prompts to install .NET and the HTML engine. OSTREL_WINEARCH=win64 picks the
# 64-bit prefix instead, where our 32-bit programs run as on 64-bit Windows.
if [ "${OSTREL_WINEARCH:-win32}" = win64 ]; then
  export WINEPREFIX="$ostrel_root/build/wineprefix64" WINEARCH=win64
else
  export WINEPREFIX="$ostrel_root/build/wineprefix" WINEARCH=win32
fi
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# Starts Xvfb on the first free display and waits until it answers; exports
# DISPLAY and leaves the server's process id in ostrel_xvfb_pid.
ostrel_start_xvfb() {
  local n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  ostrel_xvfb_pid=$!
  export DISPLAY=":$n"
  for _ in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "no virtual display on $DISPLAY" >&2
  return 1
}
