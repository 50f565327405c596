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
  rm -rf "$session" ${wayland_runtime:+"$wayland_runtime"} ${mutter_runtime:+"$mutter_runtime"}
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

# A headless Wayland session beside the X display, for the tests of the Wayland back end: sway
# with its headless back end (it delivers the keys that wtype types through the virtual-keyboard
# protocol, and starts Xwayland for X11 clients). sway refuses to run as root, so as root it
# runs as an unprivileged user, with a runtime folder of its own that this user can enter; its
# Xwayland then lets in only that user, until the user of this session is let in by name.
# Nothing is exported as WAYLAND_DISPLAY: the rest of the session stays an X11 one, and the
# Wayland tests hand the compositor's address to the programs they start.
if command -v sway >/dev/null && command -v wtype >/dev/null; then
  wayland_runtime=$(mktemp -d /tmp/velmora-wayland.XXXXXX)
  sway_user=()
  if [ "$(id -u)" = 0 ]; then
    chown nobody: "$wayland_runtime"
    sway_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
  fi
  chmod 711 "$wayland_runtime"
  printf '%s\n' 'xwayland force' 'output HEADLESS-1 resolution 1280x1024' \
    "exec sh -c 'xhost +si:localuser:$(id -un) >/dev/null; echo \"\$DISPLAY\" > $wayland_runtime/xwayland-display.new && mv $wayland_runtime/xwayland-display.new $wayland_runtime/xwayland-display'" \
    > "$session/sway.config"
  chmod 644 "$session/sway.config"
  cp "$session/sway.config" "$wayland_runtime/config"
  "${sway_user[@]}" env -i PATH=/usr/bin:/bin HOME="$wayland_runtime" XDG_RUNTIME_DIR="$wayland_runtime" \
    WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    sway -c "$wayland_runtime/config" >"$session/sway.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 200); do
    socket=$(ls "$wayland_runtime"/wayland-[0-9] 2>/dev/null | head -n1)
    [ -n "$socket" ] && [ -s "$wayland_runtime/xwayland-display" ] && break
    sleep 0.05
  done
  if [ -n "${socket:-}" ]; then
    export VELMORA_TEST_WAYLAND_DISPLAY="$socket"
    export VELMORA_TEST_SWAYSOCK="$(ls "$wayland_runtime"/sway-ipc.*.sock 2>/dev/null | head -n1)"
    [ -s "$wayland_runtime/xwayland-display" ] && export VELMORA_TEST_XWAYLAND_DISPLAY="$(cat "$wayland_runtime/xwayland-display")"
  else
    echo "with-desktop: sway did not start (see below); the Wayland tests will skip" >&2
    tail -n 5 "$session/sway.log" >&2
  fi
fi

# The session bus starts no desktop portal on demand (the service files in the data folder come
# first): tests that need one offer their own or start it.
mkdir -p "$XDG_DATA_HOME/dbus-1/services"
for name in org.freedesktop.portal.Desktop org.freedesktop.impl.portal.desktop.gnome org.freedesktop.impl.portal.desktop.gtk; do
  printf '[D-BUS Service]\nName=%s\nExec=/bin/false\n' "$name" > "$XDG_DATA_HOME/dbus-1/services/$name.service"
done
if command -v dbus-daemon >/dev/null; then
  eval "$(dbus-daemon --session --fork --print-address=1 --print-pid=1 | { read -r a; read -r p; echo "DBUS_SESSION_BUS_ADDRESS='$a' DBUS_SESSION_BUS_PID='$p'"; })"
  export DBUS_SESSION_BUS_ADDRESS DBUS_SESSION_BUS_PID
fi

# GNOME's compositor beside it, headless with one virtual monitor, on this session's bus as in a
# GNOME session (it runs as root too): tests type into it through its RemoteDesktop interface, as
# a remote-desktop client would, and the desktop portal the browser tests start reaches it there.
# Its XWayland lets in the user of this session by name, like sway's. Nothing on this bus starts
# the desktop portal on demand (see above).
if command -v mutter >/dev/null && [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
  mutter_runtime=$(mktemp -d /tmp/velmora-mutter.XXXXXX)
  chmod 700 "$mutter_runtime"
  mutter_x11=(--no-x11)
  command -v Xwayland >/dev/null && command -v xhost >/dev/null && mutter_x11=()
  env -i PATH=/usr/bin:/bin HOME="$mutter_runtime" XDG_RUNTIME_DIR="$mutter_runtime" \
    DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" \
    mutter --headless --wayland "${mutter_x11[@]}" --wayland-display=wayland-mutter --virtual-monitor 1280x1024 \
    >>"$session/mutter.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 200); do
    [ -S "$mutter_runtime/wayland-mutter" ] && dbus-send --session \
      --print-reply --dest=org.gnome.Mutter.RemoteDesktop /org/gnome/Mutter/RemoteDesktop \
      org.freedesktop.DBus.Peer.Ping >/dev/null 2>&1 && break
    sleep 0.05
  done
  if [ -S "$mutter_runtime/wayland-mutter" ]; then
    export VELMORA_TEST_MUTTER_WAYLAND_DISPLAY="$mutter_runtime/wayland-mutter"
    export VELMORA_TEST_MUTTER_BUS="$DBUS_SESSION_BUS_ADDRESS"
    mutter_display=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$session/mutter.log" | head -n1)
    mutter_auth=$(ls "$mutter_runtime"/.mutter-Xwaylandauth.* 2>/dev/null | head -n1)
    if [ -n "$mutter_display" ] && [ -n "$mutter_auth" ] \
      && DISPLAY="$mutter_display" XAUTHORITY="$mutter_auth" xhost +si:localuser:"$(id -un)" >/dev/null 2>&1; then
      export VELMORA_TEST_MUTTER_XWAYLAND_DISPLAY="$mutter_display"
    fi
  else
    echo "with-desktop: mutter did not start (see below); the Wayland tests run under sway alone" >&2
    tail -n 5 "$session/mutter.log" >&2
  fi
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
