#!/usr/bin/env bash
# Runs a command inside a private desktop session: a virtual X display, a session D-Bus,
# the accessibility bus with accessibility switched on, and an unlocked keyring, all in a
# temporary home. Every process it starts is stopped on exit. Tests that need none of it
# still run (widget tests use the offscreen platform).
set -uo pipefail
session=$(mktemp -d /tmp/velmora-session.XXXXXX)
chmod 700 "$session"
mkdir -p "$session"/{runtime,data,config,cache,home}
chmod 700 "$session/runtime"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  [ -n "${DBUS_SESSION_BUS_PID:-}" ] && kill "$DBUS_SESSION_BUS_PID" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$session"
}
trap cleanup EXIT INT TERM

export HOME="$session/home" XDG_RUNTIME_DIR="$session/runtime" XDG_DATA_HOME="$session/data" \
       XDG_CONFIG_HOME="$session/config" XDG_CACHE_HOME="$session/cache"
unset WAYLAND_DISPLAY

if command -v Xvfb >/dev/null; then
  exec 3<> "$session/displayfd"
  Xvfb -displayfd 3 -noreset -screen 0 1280x1024x24 -nolisten tcp +extension RECORD +extension XTEST >"$session/xvfb.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    n=$(head -n1 "$session/displayfd" 2>/dev/null)
    [ -n "$n" ] && break
    sleep 0.05
  done
  if [ -n "${n:-}" ]; then export DISPLAY=":$n"; else echo "with-desktop: Xvfb did not start" >&2; unset DISPLAY; fi
fi

if command -v dbus-daemon >/dev/null; then
  eval "$(dbus-daemon --session --fork --print-address=1 --print-pid=1 | { read -r a; read -r p; echo "DBUS_SESSION_BUS_ADDRESS='$a' DBUS_SESSION_BUS_PID='$p'"; })"
  export DBUS_SESSION_BUS_ADDRESS DBUS_SESSION_BUS_PID
fi

if [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] && [ -x /usr/libexec/at-spi-bus-launcher ]; then
  /usr/libexec/at-spi-bus-launcher --launch-immediately >"$session/atspi.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1 && break
    sleep 0.05
  done
  dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.freedesktop.DBus.Properties.Set \
    string:org.a11y.Status string:IsEnabled variant:boolean:true >/dev/null 2>&1
  export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
fi

if [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] && command -v gnome-keyring-daemon >/dev/null; then
  # In the foreground, so that the process stopped on exit is the one started here (a
  # daemonised one would have to be looked for, and could be another session's).
  gnome-keyring-daemon --foreground --unlock --components=secrets <<<"" >"$session/keyring.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    [ -S "$XDG_RUNTIME_DIR/keyring/control" ] && break
    sleep 0.05
  done
  export GNOME_KEYRING_CONTROL="$XDG_RUNTIME_DIR/keyring"
fi

"$@"
