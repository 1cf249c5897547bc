#include "capture/x11/x11_desktop.h"

#include <xcb/randr.h>

#include <algorithm>
#include <cstring>

namespace zarvex::x11 {
namespace {

bool hasRandr(X11Connection& connection, std::uint32_t minor) {
    if (!connection.extension(&xcb_randr_id)) {
        return false;
    }
    auto version = reply(connection.get(), xcb_randr_query_version_reply,
                         xcb_randr_query_version(connection.get(), 1, 5));
    return version && (version->major_version > 1 || version->minor_version >= minor);
}

std::string atomName(X11Connection& connection, xcb_atom_t atom) {
    auto name =
        reply(connection.get(), xcb_get_atom_name_reply, xcb_get_atom_name(connection.get(), atom));
    if (!name) {
        return {};
    }
    return std::string(xcb_get_atom_name_name(name.get()),
                       static_cast<std::size_t>(xcb_get_atom_name_name_length(name.get())));
}

double scaleOf(const ScaleForOutput& scale, const std::string& name) {
    const double value = scale ? scale(name) : 1.0;
    return value > 0 ? value : 1.0;
}

std::vector<MonitorGeometry> monitorsFromRandrMonitors(X11Connection& connection,
                                                       const ScaleForOutput& scale) {
    std::vector<MonitorGeometry> monitors;
    auto list = reply(connection.get(), xcb_randr_get_monitors_reply,
                      xcb_randr_get_monitors(connection.get(), connection.root(), 1));
    if (!list) {
        return monitors;
    }
    for (auto it = xcb_randr_get_monitors_monitors_iterator(list.get()); it.rem > 0;
         xcb_randr_monitor_info_next(&it)) {
        const xcb_randr_monitor_info_t* info = it.data;
        if (xcb_randr_monitor_info_outputs_length(info) == 0) {
            continue;
        }
        MonitorGeometry monitor;
        monitor.id = xcb_randr_monitor_info_outputs(info)[0];
        monitor.name = atomName(connection, info->name);
        monitor.pixels = {info->x, info->y, info->width, info->height};
        monitor.scale = scaleOf(scale, monitor.name);
        monitor.primary = info->primary != 0;
        monitors.push_back(std::move(monitor));
    }
    return monitors;
}

// RandR 1.2–1.4: every output driven by a CRTC is a display.
std::vector<MonitorGeometry> monitorsFromOutputs(X11Connection& connection,
                                                 const ScaleForOutput& scale) {
    std::vector<MonitorGeometry> monitors;
    xcb_connection_t* c = connection.get();
    auto resources = reply(c, xcb_randr_get_screen_resources_current_reply,
                           xcb_randr_get_screen_resources_current(c, connection.root()));
    if (!resources) {
        return monitors;
    }
    auto primary = reply(c, xcb_randr_get_output_primary_reply,
                         xcb_randr_get_output_primary(c, connection.root()));
    const xcb_randr_output_t* outputs =
        xcb_randr_get_screen_resources_current_outputs(resources.get());
    const int count = xcb_randr_get_screen_resources_current_outputs_length(resources.get());
    for (int i = 0; i < count; ++i) {
        auto output = reply(c, xcb_randr_get_output_info_reply,
                            xcb_randr_get_output_info(c, outputs[i], resources->config_timestamp));
        if (!output || output->crtc == XCB_NONE) {
            continue;
        }
        auto crtc = reply(c, xcb_randr_get_crtc_info_reply,
                          xcb_randr_get_crtc_info(c, output->crtc, resources->config_timestamp));
        if (!crtc) {
            continue;
        }
        MonitorGeometry monitor;
        monitor.id = outputs[i];
        monitor.name = std::string(
            reinterpret_cast<const char*>(xcb_randr_get_output_info_name(output.get())),
            static_cast<std::size_t>(xcb_randr_get_output_info_name_length(output.get())));
        monitor.pixels = {crtc->x, crtc->y, crtc->width, crtc->height};
        monitor.scale = scaleOf(scale, monitor.name);
        monitor.primary = primary && primary->output == outputs[i];
        monitors.push_back(std::move(monitor));
    }
    return monitors;
}

std::vector<xcb_window_t> windowListProperty(X11Connection& connection, std::string_view name) {
    auto value = reply(connection.get(), xcb_get_property_reply,
                       requestProperty(connection, connection.root(), connection.atom(name)));
    std::vector<xcb_window_t> windows;
    if (!value || value->type != XCB_ATOM_WINDOW || value->format != 32) {
        return windows;
    }
    const auto* ids = static_cast<const xcb_window_t*>(xcb_get_property_value(value.get()));
    windows.assign(ids, ids + xcb_get_property_value_length(value.get()) / 4);
    return windows;
}

std::vector<xcb_window_t> rootChildren(X11Connection& connection) {
    auto tree = reply(connection.get(), xcb_query_tree_reply,
                      xcb_query_tree(connection.get(), connection.root()));
    std::vector<xcb_window_t> children;
    if (tree) {
        const xcb_window_t* ids = xcb_query_tree_children(tree.get());
        children.assign(ids, ids + xcb_query_tree_children_length(tree.get()));
    }
    return children;
}

std::optional<std::uint32_t> cardinalValue(const xcb_get_property_reply_t* value) {
    if (value == nullptr || value->format != 32 || value->type != XCB_ATOM_CARDINAL ||
        xcb_get_property_value_length(value) < 4) {
        return std::nullopt;
    }
    std::uint32_t result = 0;
    std::memcpy(&result, xcb_get_property_value(value), sizeof result);
    return result;
}

// WM_CLASS holds "instance\0class\0"; the class names the application.
std::string applicationClass(const xcb_get_property_reply_t* value) {
    if (value == nullptr || value->format != 8) {
        return {};
    }
    const char* bytes = static_cast<const char*>(xcb_get_property_value(value));
    const std::string both(bytes, static_cast<std::size_t>(xcb_get_property_value_length(value)));
    const std::size_t separator = both.find('\0');
    if (separator == std::string::npos) {
        return {};
    }
    std::string name = both.substr(separator + 1);
    name.erase(std::find(name.begin(), name.end(), '\0'), name.end());
    return name;
}

std::vector<xcb_atom_t> atomList(const xcb_get_property_reply_t* value) {
    if (value == nullptr || value->type != XCB_ATOM_ATOM || value->format != 32) {
        return {};
    }
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(value));
    return {atoms, atoms + xcb_get_property_value_length(value) / 4};
}

// The stacking layer a window asks for through its EWMH type and state:
// desktops and windows kept below sit under the ordinary ones; docks, menus,
// notifications and windows kept above sit over them.
int stackingLayer(X11Connection& connection, const xcb_get_property_reply_t* type,
                  const xcb_get_property_reply_t* state) {
    auto is = [&connection](const std::vector<xcb_atom_t>& atoms, std::string_view name) {
        return std::find(atoms.begin(), atoms.end(), connection.atom(name)) != atoms.end();
    };
    const std::vector<xcb_atom_t> types = atomList(type);
    const std::vector<xcb_atom_t> states = atomList(state);
    if (is(types, "_NET_WM_WINDOW_TYPE_DESKTOP") || is(states, "_NET_WM_STATE_BELOW")) {
        return -1;
    }
    for (std::string_view above : {"_NET_WM_WINDOW_TYPE_DOCK", "_NET_WM_WINDOW_TYPE_NOTIFICATION",
                                   "_NET_WM_WINDOW_TYPE_TOOLTIP", "_NET_WM_WINDOW_TYPE_POPUP_MENU",
                                   "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU", "_NET_WM_WINDOW_TYPE_COMBO",
                                   "_NET_WM_WINDOW_TYPE_DND"}) {
        if (is(types, above)) {
            return 1;
        }
    }
    return is(states, "_NET_WM_STATE_ABOVE") ? 1 : kNormalWindowLayer;
}

// _NET_WM_WINDOW_OPACITY: 0xffffffff is opaque; absent means opaque.
double windowAlpha(const xcb_get_property_reply_t* opacity) {
    const auto value = cardinalValue(opacity);
    return value ? static_cast<double>(*value) / 0xffffffffu : 1.0;
}

}  // namespace

std::vector<MonitorGeometry> readMonitors(X11Connection& connection, const ScaleForOutput& scale) {
    std::vector<MonitorGeometry> monitors;
    if (hasRandr(connection, 5)) {
        monitors = monitorsFromRandrMonitors(connection, scale);
    } else if (hasRandr(connection, 2)) {
        monitors = monitorsFromOutputs(connection, scale);
    } else {
        const xcb_screen_t* screen = connection.screen();
        monitors.push_back(
            MonitorGeometry{screen->root, "screen",
                            PixelRect{0, 0, screen->width_in_pixels, screen->height_in_pixels},
                            scaleOf(scale, "screen"), true});
    }
    std::stable_partition(monitors.begin(), monitors.end(),
                          [](const MonitorGeometry& monitor) { return monitor.primary; });
    // With no primary output set, the first display counts as primary, as
    // desktop toolkits take it.
    if (!monitors.empty()) {
        monitors.front().primary = true;
    }
    return monitors;
}

bool selectMonitorChanges(X11Connection& connection) {
    if (!hasRandr(connection, 2)) {
        return false;
    }
    xcb_randr_select_input(connection.get(), connection.root(),
                           XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE |
                               XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE |
                               XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE);
    return true;
}

std::vector<ClientWindow> readClientWindows(X11Connection& connection) {
    xcb_connection_t* c = connection.get();
    bool managed = true;
    std::vector<xcb_window_t> ids = windowListProperty(connection, "_NET_CLIENT_LIST_STACKING");
    if (ids.empty()) {
        ids = windowListProperty(connection, "_NET_CLIENT_LIST");
    }
    if (ids.empty()) {
        managed = false;
        ids = rootChildren(connection);
    }
    const xcb_atom_t pidAtom = connection.atom("_NET_WM_PID");
    const xcb_atom_t netNameAtom = connection.atom("_NET_WM_NAME");
    const xcb_atom_t typeAtom = connection.atom("_NET_WM_WINDOW_TYPE");
    const xcb_atom_t stateAtom = connection.atom("_NET_WM_STATE");
    const xcb_atom_t opacityAtom = connection.atom("_NET_WM_WINDOW_OPACITY");
    connection.atom("UTF8_STRING");

    // Every request goes out before the first reply is awaited: one round trip
    // for the whole list instead of several per window.
    struct Pending {
        xcb_window_t id;
        xcb_get_window_attributes_cookie_t attributes;
        xcb_get_geometry_cookie_t geometry;
        xcb_translate_coordinates_cookie_t position;
        xcb_get_property_cookie_t pid, netName, name, wmClass, type, state, opacity;
    };
    std::vector<Pending> pending;
    pending.reserve(ids.size());
    for (auto it = ids.rbegin(); it != ids.rend(); ++it) {
        const xcb_window_t id = *it;
        pending.push_back(
            {id, xcb_get_window_attributes(c, id), xcb_get_geometry(c, id),
             xcb_translate_coordinates(c, id, connection.root(), 0, 0),
             requestProperty(connection, id, pidAtom), requestProperty(connection, id, netNameAtom),
             requestProperty(connection, id, XCB_ATOM_WM_NAME),
             requestProperty(connection, id, XCB_ATOM_WM_CLASS),
             requestProperty(connection, id, typeAtom), requestProperty(connection, id, stateAtom),
             requestProperty(connection, id, opacityAtom)});
    }
    std::vector<ClientWindow> windows;
    for (const Pending& p : pending) {
        auto attributes = reply(c, xcb_get_window_attributes_reply, p.attributes);
        auto geometry = reply(c, xcb_get_geometry_reply, p.geometry);
        auto position = reply(c, xcb_translate_coordinates_reply, p.position);
        auto pid = reply(c, xcb_get_property_reply, p.pid);
        auto netName = reply(c, xcb_get_property_reply, p.netName);
        auto name = reply(c, xcb_get_property_reply, p.name);
        auto wmClass = reply(c, xcb_get_property_reply, p.wmClass);
        auto type = reply(c, xcb_get_property_reply, p.type);
        auto state = reply(c, xcb_get_property_reply, p.state);
        auto opacity = reply(c, xcb_get_property_reply, p.opacity);
        if (!attributes || !geometry || !position ||
            attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
            attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY ||
            (!managed && attributes->override_redirect)) {
            continue;
        }
        ClientWindow window;
        window.id = p.id;
        window.processID = cardinalValue(pid.get()).value_or(0);
        window.title = decodeText(connection, netName.get())
                           .value_or(decodeText(connection, name.get()).value_or(""));
        window.applicationName = applicationClass(wmClass.get());
        window.frame = {position->dst_x, position->dst_y, geometry->width, geometry->height};
        window.layer = stackingLayer(connection, type.get(), state.get());
        window.alpha = windowAlpha(opacity.get());
        windows.push_back(std::move(window));
    }
    return windows;
}

std::optional<PixelRect> windowPixelFrame(X11Connection& connection, xcb_window_t window) {
    xcb_connection_t* c = connection.get();
    const auto geometryCookie = xcb_get_geometry(c, window);
    const auto positionCookie = xcb_translate_coordinates(c, window, connection.root(), 0, 0);
    auto geometry = reply(c, xcb_get_geometry_reply, geometryCookie);
    auto position = reply(c, xcb_translate_coordinates_reply, positionCookie);
    if (!geometry || !position) {
        return std::nullopt;
    }
    return PixelRect{position->dst_x, position->dst_y, geometry->width, geometry->height};
}

std::vector<TopLevel> readTopLevels(X11Connection& connection) {
    xcb_connection_t* c = connection.get();
    const std::vector<xcb_window_t> ids = rootChildren(connection);
    std::vector<std::pair<xcb_get_window_attributes_cookie_t, xcb_get_geometry_cookie_t>> cookies;
    cookies.reserve(ids.size());
    for (const xcb_window_t id : ids) {
        cookies.emplace_back(xcb_get_window_attributes(c, id), xcb_get_geometry(c, id));
    }
    std::vector<TopLevel> windows;
    windows.reserve(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        auto attributes = reply(c, xcb_get_window_attributes_reply, cookies[i].first);
        auto geometry = reply(c, xcb_get_geometry_reply, cookies[i].second);
        if (!attributes || !geometry) {
            continue;  // destroyed meanwhile
        }
        const int border = geometry->border_width;
        windows.push_back(TopLevel{ids[i],
                                   PixelRect{geometry->x, geometry->y, geometry->width + 2 * border,
                                             geometry->height + 2 * border},
                                   border, attributes->map_state == XCB_MAP_STATE_VIEWABLE,
                                   attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY});
    }
    return windows;
}

std::uint32_t topLevelProcessID(X11Connection& connection, xcb_window_t window) {
    const xcb_atom_t pidAtom = connection.atom("_NET_WM_PID");
    const xcb_atom_t stateAtom = connection.atom("WM_STATE");
    // A frame keeps its client a level or two down; look no deeper than that.
    std::vector<xcb_window_t> level{window};
    for (int depth = 0; depth < 3 && !level.empty(); ++depth) {
        std::vector<xcb_window_t> next;
        for (const xcb_window_t candidate : level) {
            if (auto pid = cardinalProperty(connection, candidate, pidAtom, XCB_ATOM_CARDINAL)) {
                return *pid;
            }
            auto state = reply(
                connection.get(), xcb_get_property_reply,
                xcb_get_property(connection.get(), 0, candidate, stateAtom, XCB_ATOM_ANY, 0, 0));
            if (state && state->type != XCB_ATOM_NONE) {
                return 0;  // the client itself, without a process id
            }
            auto tree = reply(connection.get(), xcb_query_tree_reply,
                              xcb_query_tree(connection.get(), candidate));
            if (tree) {
                const xcb_window_t* children = xcb_query_tree_children(tree.get());
                next.insert(next.end(), children,
                            children + xcb_query_tree_children_length(tree.get()));
            }
        }
        level = std::move(next);
    }
    return 0;
}

}  // namespace zarvex::x11
