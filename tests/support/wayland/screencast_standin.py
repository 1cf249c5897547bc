#!/usr/bin/python3
# A stand-in for a desktop's screen-cast backend, which the real portal frontend
# forwards to. Each Start makes a new PipeWire node, as desktops do, from
# GStreamer (colour bars, 30 frames a second; such a node serves one consumer
# only) placed at X, Y. In FOLDER: a file "answer" makes Start say the user
# cancelled the dialog, a file "hold" that the dialog stays open; a window
# asked for is one the size of the output; "log" gets a line per SelectSources (the restore data
# sent, the cursor mode); "cast-pid" names the process feeding the node
# (stopping it stops the stream as a still screen would).
# It is the desktop's shortcut service too: "log" gets a line per bound
# shortcut (id, description, preferred trigger), and a file "press" is taken
# as a press of the last one bound.
# Usage: screencast_standin.py BUS_NAME FOLDER X Y WIDTH HEIGHT
import json, os, subprocess, sys, time
import gi
gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib

name, folder = sys.argv[1:3]
x, y, width, height = map(int, sys.argv[3:7])
request = '<arg type="o" direction="in"/><arg type="o" direction="in"/><arg type="s" direction="in"/>'
answer = '<arg type="a{sv}" direction="in"/><arg type="u" direction="out"/><arg type="a{sv}" direction="out"/>'
interface = Gio.DBusNodeInfo.new_for_xml(
    '<node><interface name="org.freedesktop.impl.portal.ScreenCast">'
    f'<method name="CreateSession">{request}{answer}</method>'
    f'<method name="SelectSources">{request}{answer}</method>'
    f'<method name="Start">{request}<arg type="s" direction="in"/>{answer}</method>'
    + ''.join(f'<property name="{p}" type="u" access="read"/>'
              for p in ("AvailableSourceTypes", "AvailableCursorModes", "version"))
    + '</interface></node>').interfaces[0]
properties = {"AvailableSourceTypes": 3, "AvailableCursorModes": 3, "version": 4}
cast = None
shortcuts = Gio.DBusNodeInfo.new_for_xml(
    '<node><interface name="org.freedesktop.impl.portal.GlobalShortcuts">'
    '<method name="CreateSession"><arg type="o" direction="in"/><arg type="o" direction="in"/>'
    f'<arg type="s" direction="in"/>{answer}</method>'
    '<method name="BindShortcuts"><arg type="o" direction="in"/><arg type="o" direction="in"/>'
    f'<arg type="a(sa{{sv}})" direction="in"/><arg type="s" direction="in"/>{answer}</method>'
    '<signal name="Activated"><arg type="o"/><arg type="s"/><arg type="t"/><arg type="a{sv}"/>'
    '</signal><property name="version" type="u" access="read"/></interface></node>').interfaces[0]
bound = None
selected = 1


def start_node():
    global cast
    if cast:
        cast.kill()
        cast.wait()
    node = f"zarvex-cast-{time.monotonic_ns()}"
    cast = subprocess.Popen(["gst-launch-1.0", "-q", "videotestsrc", "is-live=true", "!",
                             f"video/x-raw,format=BGRx,width={width},height={height},framerate=30/1",
                             "!", "pipewiresink", "mode=provide",
                             f"stream-properties=p,node.name={node},media.class=Video/Source"])
    with open(f"{folder}/cast-pid", "w") as pid:
        pid.write(str(cast.pid))
    for _ in range(100):
        for item in json.loads(subprocess.run(["pw-dump"], capture_output=True).stdout or "[]"):
            if item.get("info", {}).get("props", {}).get("node.name") == node:
                return item["id"]
        time.sleep(0.1)
    return 0


def call(connection, sender, path, interface_name, method, parameters, invocation):
    global bound, selected
    options, response, results = parameters.unpack()[-1], 0, {}
    if method == "BindShortcuts":
        session, chosen = parameters.unpack()[1:3]
        with open(f"{folder}/log", "a") as log:
            for id, props in chosen:
                log.write(f"bind {id} {props.get('description')} {props.get('preferred_trigger')}\n")
                bound = (session, id)
        results = {"shortcuts": GLib.Variant("a(sa{sv})", [(id, {}) for id, _ in chosen])}
    elif method == "SelectSources":
        selected = options.get("types", 1)
        restored = options.get("restore_data", (None, None, "none"))[2]
        with open(f"{folder}/log", "a") as log:
            log.write(f"restore {restored} cursor {options.get('cursor_mode', 0)}\n")
    elif method == "Start" and os.path.exists(f"{folder}/hold"):
        return  # the dialog stays open: no answer
    elif method == "Start":
        cancel = os.path.exists(f"{folder}/answer")
        node = 0 if cancel else start_node()
        response = 1 if cancel else 0 if node else 2
        if node:
            window = selected == 2  # a window: no position
            place = {"size": GLib.Variant("(ii)", (width, height)),
                     "source_type": GLib.Variant("u", 2 if window else 1)}
            if not window:
                place["position"] = GLib.Variant("(ii)", (x, y))
            results = {"streams": GLib.Variant("a(ua{sv})", [(node, place)]),
                       "persist_mode": GLib.Variant("u", 2),
                       "restore_data": GLib.Variant("(suv)", ("zarvex", 1, GLib.Variant("s", "display")))}
    invocation.return_value(GLib.Variant("(ua{sv})", (response, results)))


def press(connection):
    if bound and os.path.exists(f"{folder}/press"):
        os.remove(f"{folder}/press")
        connection.emit_signal(None, "/org/freedesktop/portal/desktop", shortcuts.name, "Activated",
                               GLib.Variant("(osta{sv})", (*bound, 0, {})))
    return True


def registered(connection, _):
    connection.register_object("/org/freedesktop/portal/desktop", interface, call,
                               lambda *args: GLib.Variant("u", properties[args[-1]]), None)
    connection.register_object("/org/freedesktop/portal/desktop", shortcuts, call,
                               lambda *args: GLib.Variant("u", 1), None)
    GLib.timeout_add(50, press, connection)


Gio.bus_own_name(Gio.BusType.SESSION, name, Gio.BusNameOwnerFlags.NONE, registered, None, None)
GLib.MainLoop().run()
