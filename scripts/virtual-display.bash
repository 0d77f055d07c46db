# Sourced by scripts/test and scripts/run: start_virtual_display starts an Xvfb display of its
# own for the Windows programs under Wine that open windows (CI has no display) and exports
# TARVIK_WINE_DISPLAY, which cmake/wine-run hands to them as DISPLAY. The display ends with
# the script (stop_virtual_display, or the EXIT trap it sets when the caller has none).

virtual_display_pid=""

start_virtual_display() {
  [ -z "$virtual_display_pid" ] || return 0
  command -v Xvfb >/dev/null || { echo "Xvfb is not installed (run scripts/setup)" >&2; return 1; }
  local n
  for n in $(seq 90 199); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    virtual_display_pid=$!
    local i
    for i in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      kill -0 "$virtual_display_pid" 2>/dev/null || break
      sleep 0.1
    done
    if [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "$virtual_display_pid" 2>/dev/null; then
      export TARVIK_WINE_DISPLAY=":$n"
      [ -n "$(trap -p EXIT)" ] || trap stop_virtual_display EXIT
      return 0
    fi
    virtual_display_pid=""
  done
  echo "no free X display number for Xvfb" >&2
  return 1
}

stop_virtual_display() {
  [ -n "$virtual_display_pid" ] || return 0
  kill "$virtual_display_pid" 2>/dev/null || true
  wait "$virtual_display_pid" 2>/dev/null || true
  virtual_display_pid=""
  unset TARVIK_WINE_DISPLAY
}
