// zarvex_test_window: shows one plain coloured window for tests, as another
// application would, and obeys commands on stdin (see tests/support/xvfb.h).
// Prints the window id once the window is on screen, then "ok" after each
// command once the server has applied it. Exits when stdin closes.
//
// Usage: zarvex_test_window --geometry WxH+X+Y --color RRGGBB [--title T]
//        [--class C] [--pid N] [--override-redirect] [--type DOCK|DESKTOP|…]
//        [--opacity FRACTION]
//        zarvex_test_window --wallpaper --color RRGGBB
// The second form paints the desktop picture as wallpaper tools do (a root
// background pixmap named in _XROOTPMAP_ID) and prints the pixmap's id.

#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

namespace {

struct Arguments {
    int x = 0, y = 0, width = 100, height = 100;
    std::uint32_t color = 0xff0000;
    std::string title = "Test window";
    std::string applicationClass = "ZarvexTest";
    std::uint32_t pid = static_cast<std::uint32_t>(::getpid());
    bool overrideRedirect = false;
    bool wallpaper = false;
    std::string windowType;
    double opacity = -1;  // negative: not set
};

Arguments parse(int argc, char** argv) {
    Arguments args;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : "";
        if (name == "--override-redirect") {
            args.overrideRedirect = true;
            continue;
        }
        if (name == "--wallpaper") {
            args.wallpaper = true;
            continue;
        }
        ++i;  // the other options take a value
        if (name == "--geometry") {
            std::sscanf(value, "%dx%d+%d+%d", &args.width, &args.height, &args.x, &args.y);
        } else if (name == "--color") {
            args.color = static_cast<std::uint32_t>(std::strtoul(value, nullptr, 16));
        } else if (name == "--title") {
            args.title = value;
        } else if (name == "--class") {
            args.applicationClass = value;
        } else if (name == "--pid") {
            args.pid = static_cast<std::uint32_t>(std::strtoul(value, nullptr, 10));
        } else if (name == "--type") {
            args.windowType = value;
        } else if (name == "--opacity") {
            args.opacity = std::strtod(value, nullptr);
        }
    }
    return args;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return result;
}

// A round trip: everything sent before has been processed by the server.
void sync(xcb_connection_t* c) {
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

void paint(xcb_connection_t* c, xcb_window_t window, std::uint32_t color) {
    xcb_change_window_attributes(c, window, XCB_CW_BACK_PIXEL, &color);
    xcb_clear_area(c, 0, window, 0, 0, 0, 0);
}

// Waits for the window to be mapped. A window manager that is still starting up
// can miss the first map request on a loaded machine, so the request is repeated
// every two seconds until the window shows.
void waitForMap(xcb_connection_t* c, xcb_window_t window) {
    pollfd connection{xcb_get_file_descriptor(c), POLLIN, 0};
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                                reinterpret_cast<xcb_map_notify_event_t*>(event)->window == window;
            std::free(event);
            if (mapped) {
                return;
            }
        }
        if (xcb_connection_has_error(c)) {
            return;
        }
        if (::poll(&connection, 1, 2000) == 0) {
            xcb_map_window(c, window);
            xcb_flush(c);
        }
    }
}

std::uint32_t setWallpaper(xcb_connection_t* c, xcb_screen_t* screen, std::uint32_t color) {
    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    xcb_create_pixmap(c, screen->root_depth, pixmap, screen->root, screen->width_in_pixels,
                      screen->height_in_pixels);
    const xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, pixmap, XCB_GC_FOREGROUND, &color);
    const xcb_rectangle_t all{0, 0, screen->width_in_pixels, screen->height_in_pixels};
    xcb_poly_fill_rectangle(c, pixmap, gc, 1, &all);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, screen->root, atom(c, "_XROOTPMAP_ID"),
                        XCB_ATOM_PIXMAP, 32, 1, &pixmap);
    xcb_change_window_attributes(c, screen->root, XCB_CW_BACK_PIXMAP, &pixmap);
    xcb_clear_area(c, 0, screen->root, 0, 0, 0, 0);
    sync(c);
    return pixmap;
}

}  // namespace

int main(int argc, char** argv) {
    const Arguments args = parse(argc, argv);
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "zarvex_test_window: cannot open the display\n");
        return 1;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (args.wallpaper) {
        std::cout << setWallpaper(c, screen, args.color) << std::endl;
        std::string line;
        while (std::getline(std::cin, line)) {
            std::cout << "ok" << std::endl;
        }
        xcb_disconnect(c);
        return 0;
    }
    const xcb_window_t window = xcb_generate_id(c);
    const std::uint32_t values[] = {args.color, args.overrideRedirect ? 1u : 0u,
                                    XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root,
                      static_cast<std::int16_t>(args.x), static_cast<std::int16_t>(args.y),
                      static_cast<std::uint16_t>(args.width),
                      static_cast<std::uint16_t>(args.height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        args.title.size(), args.title.data());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom(c, "_NET_WM_NAME"),
                        atom(c, "UTF8_STRING"), 8, args.title.size(), args.title.data());
    const std::string wmClass =
        "zarvex-test" + std::string(1, '\0') + args.applicationClass + std::string(1, '\0');
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        wmClass.size(), wmClass.data());
    if (args.pid != 0) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom(c, "_NET_WM_PID"),
                            XCB_ATOM_CARDINAL, 32, 1, &args.pid);
    }
    if (!args.windowType.empty()) {
        const std::string typeName = "_NET_WM_WINDOW_TYPE_" + args.windowType;
        const xcb_atom_t type = atom(c, typeName.c_str());
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom(c, "_NET_WM_WINDOW_TYPE"),
                            XCB_ATOM_ATOM, 32, 1, &type);
    }
    if (args.opacity >= 0) {
        const auto opacity = static_cast<std::uint32_t>(args.opacity * 0xffffffffu);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom(c, "_NET_WM_WINDOW_OPACITY"),
                            XCB_ATOM_CARDINAL, 32, 1, &opacity);
    }
    // Ask a window manager to keep the requested position.
    const std::uint32_t hints[18] = {(1u << 0) | (1u << 2) | (1u << 3), 0, 0, 0, 0};
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NORMAL_HINTS,
                        XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
    xcb_map_window(c, window);
    xcb_flush(c);
    waitForMap(c, window);
    paint(c, window, args.color);
    sync(c);
    std::cout << window << std::endl;

    std::uint32_t color = args.color;
    int animateMs = 0;
    std::string line;
    while (true) {
        pollfd input{0, POLLIN, 0};
        const int ready = ::poll(&input, 1, animateMs > 0 ? animateMs : -1);
        if (ready == 0) {
            color = (color + 0x030507) & 0xffffff;
            paint(c, window, color);
            xcb_flush(c);
            continue;
        }
        if (!std::getline(std::cin, line)) {
            break;
        }
        std::istringstream command(line);
        std::string verb;
        command >> verb;
        if (verb == "color") {
            std::string hex;
            command >> hex;
            color = static_cast<std::uint32_t>(std::strtoul(hex.c_str(), nullptr, 16));
            paint(c, window, color);
        } else if (verb == "move") {
            std::int32_t position[2] = {0, 0};
            command >> position[0] >> position[1];
            xcb_configure_window(c, window, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, position);
        } else if (verb == "resize") {
            std::uint32_t size[2] = {1, 1};
            command >> size[0] >> size[1];
            xcb_configure_window(c, window, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                                 size);
        } else if (verb == "raise") {
            const std::uint32_t above = XCB_STACK_MODE_ABOVE;
            xcb_configure_window(c, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        } else if (verb == "map") {
            xcb_map_window(c, window);
        } else if (verb == "unmap") {
            xcb_unmap_window(c, window);
        } else if (verb == "animate") {
            command >> animateMs;
        } else if (verb == "destroy") {
            xcb_destroy_window(c, window);
        }
        sync(c);
        std::cout << "ok" << std::endl;
    }
    xcb_disconnect(c);
    return 0;
}
