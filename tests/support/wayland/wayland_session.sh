#!/bin/bash
# A headless Wayland desktop for the tests, run as the test user inside
# dbus-run-session: PipeWire and WirePlumber, sway with Xwayland at 1280x720,
# and the real portal frontend pointed at the screen-cast stand-in, whose casts
# show the whole 1280x720 output.
# Prints NAME=VALUE lines for the session's environment, then "ready", and
# runs until it is killed. XDG_RUNTIME_DIR is the session's private folder.
# Usage: wayland_session.sh STANDIN_BINARY
set -eu
standin=$1
cd "$XDG_RUNTIME_DIR"

until_true() {  # until_true WHAT COMMAND...: polls for up to 20 s
  local what=$1
  shift
  for _ in $(seq 200); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  echo "wayland session: $what did not start" >&2
  exit 1
}

pipewire >pipewire.log 2>&1 &
until_true pipewire test -S pipewire-0
wireplumber >wireplumber.log 2>&1 &

printf 'output HEADLESS-1 mode 1280x720 position 0 0\n' >sway.conf
WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
  sway -c sway.conf >sway.log 2>&1 &
until_true sway test -S wayland-1
export WAYLAND_DISPLAY=wayland-1 SWAYSOCK
SWAYSOCK=$(echo "$XDG_RUNTIME_DIR"/sway-ipc.*.sock)
until_true swaymsg swaymsg -t get_outputs
# Xwayland's display, as sway hands it to the programs it starts.
swaymsg exec "echo \$DISPLAY >$XDG_RUNTIME_DIR/x-display" >/dev/null
until_true Xwayland grep -q : x-display

has_owner() {  # asking for a name's owner starts no service
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.NameHasOwner "string:$1" | grep -q true
}

mkdir -p portals standin
printf '[portal]\nDBusName=org.freedesktop.impl.portal.desktop.zarvextest\nInterfaces=org.freedesktop.impl.portal.ScreenCast;\nUseIn=sway\n' \
  >portals/zarvextest.portal
"$standin" org.freedesktop.impl.portal.desktop.zarvextest "$XDG_RUNTIME_DIR/standin" \
  0 0 1280 720 >standin.log 2>&1 &
until_true "the screen-cast stand-in" has_owner org.freedesktop.impl.portal.desktop.zarvextest
XDG_CURRENT_DESKTOP=sway XDG_DESKTOP_PORTAL_DIR=$XDG_RUNTIME_DIR/portals \
  /usr/libexec/xdg-desktop-portal -r >portal.log 2>&1 &
until_true "the portal" has_owner org.freedesktop.portal.Desktop
until_true "the portal's screen cast" dbus-send --session --print-reply \
  --dest=org.freedesktop.portal.Desktop /org/freedesktop/portal/desktop \
  org.freedesktop.DBus.Properties.Get string:org.freedesktop.portal.ScreenCast string:version

echo "DBUS_SESSION_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS"
echo "WAYLAND_DISPLAY=$WAYLAND_DISPLAY"
echo "SWAYSOCK=$SWAYSOCK"
echo "DISPLAY=$(cat x-display)"
echo ready
wait
