#!/bin/bash
# A headless Wayland desktop for the tests in FOLDER: its own D-Bus session,
# PipeWire and WirePlumber, sway with Xwayland (output HEADLESS-1 of WIDTH x
# HEIGHT), and the real portal frontend pointed at screencast_standin.py, whose
# casts show the whole output (its folder is FOLDER/run/standin). Run as root,
# it runs the desktop as an unprivileged user made on first use (sway refuses
# root); PROGRAMs are copied to FOLDER/bin for that user. Prints NAME=VALUE
# lines of the session's environment, then "ready", and runs until killed.
# Usage: wayland_session.sh FOLDER WIDTH HEIGHT PROGRAM...
set -eu
here=$(dirname "$0")
if [ "$1" != --inside ]; then
  folder=$1 width=$2 height=$3
  mkdir -p "$folder/bin" "$folder/home" "$folder/run/standin"
  cp "${@:4}" "$0" "$here/screencast_standin.py" "$folder/bin/"
  chmod 755 "$folder" && chmod 700 "$folder/run"
  user=$(id -un) as_user=()
  if [ "$(id -u)" = 0 ]; then
    user=zarvex-wayland as_user=(runuser -u zarvex-wayland --)
    # Another test program may be making the user at the same moment.
    id -u $user >/dev/null 2>&1 || useradd --system --user-group --no-create-home \
      --shell /usr/sbin/nologin $user || id -u $user >/dev/null
    chown -R "$user:" "$folder/home" "$folder/run"
  fi
  echo "USER=$user"
  echo "HOME=$folder/home"
  echo "XDG_CONFIG_HOME=$folder/home/.config"
  echo "XDG_RUNTIME_DIR=$folder/run"
  echo "PULSE_SERVER=unix:$folder/run/no-pulse"
  exec "${as_user[@]}" env HOME="$folder/home" XDG_RUNTIME_DIR="$folder/run" \
    dbus-run-session -- bash "$folder/bin/wayland_session.sh" --inside "$width" "$height"
fi
width=$2 height=$3
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
has_owner() {  # asking for a name's owner starts no service
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.NameHasOwner "string:$1" | grep -q true
}

pipewire >pipewire.log 2>&1 &
until_true pipewire test -S pipewire-0
wireplumber >wireplumber.log 2>&1 &
printf 'output HEADLESS-1 mode %dx%d position 0 0\n' "$width" "$height" >sway.conf
WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
  sway -c sway.conf >sway.log 2>&1 &
until_true sway test -S wayland-1
export WAYLAND_DISPLAY=wayland-1 SWAYSOCK
SWAYSOCK=$(echo "$XDG_RUNTIME_DIR"/sway-ipc.*.sock)
until_true swaymsg swaymsg -t get_outputs
# Xwayland's display, as sway hands it to the programs it starts.
swaymsg exec "echo \$DISPLAY >$XDG_RUNTIME_DIR/x-display" >/dev/null
until_true Xwayland grep -q : x-display

standin=org.freedesktop.impl.portal.desktop.zarvextest
mkdir -p portals
printf '[portal]\nDBusName=%s\nInterfaces=%s;%s;\nUseIn=sway\n' $standin \
  org.freedesktop.impl.portal.ScreenCast org.freedesktop.impl.portal.GlobalShortcuts \
  >portals/zarvextest.portal
/usr/bin/python3 "$here/screencast_standin.py" $standin "$XDG_RUNTIME_DIR/standin" 0 0 "$width" \
  "$height" >standin.log 2>&1 &
until_true "the screen-cast stand-in" has_owner $standin
XDG_CURRENT_DESKTOP=sway XDG_DESKTOP_PORTAL_DIR=$XDG_RUNTIME_DIR/portals \
  /usr/libexec/xdg-desktop-portal -r >portal.log 2>&1 &
until_true "the portal" has_owner org.freedesktop.portal.Desktop

echo "DBUS_SESSION_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS"
echo "WAYLAND_DISPLAY=$WAYLAND_DISPLAY"
echo "SWAYSOCK=$SWAYSOCK"
echo "DISPLAY=$(cat x-display)"
echo ready
wait
