/// Watching the library's screen windows. The X library is the one the
/// graphics library has loaded; its routines are looked up at run time, so
/// that the package needs neither its headers nor a link to it.
#include "plot/xwatch.h"

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string_view>
#include <thread>

namespace karvel::xwatch {

namespace {

/// The library names every window it opens so.
constexpr std::string_view kLibraryWindowName = "giza";

struct Display;  // the X library's connection, used only through pointers
struct ErrorEvent;
using ErrorHandler = int (*)(Display*, ErrorEvent*);
using IOErrorHandler = int (*)(Display*);
using IOErrorExitHandler = void (*)(Display*, void*);

/// The few X library routines used here.
struct Api {
    Display* (*open_display)(const char*) = nullptr;
    Window (*default_root)(Display*) = nullptr;
    int (*query_tree)(Display*, Window, Window*, Window*, Window**, unsigned*) = nullptr;
    int (*fetch_name)(Display*, Window, char**) = nullptr;
    int (*free)(void*) = nullptr;
    int (*get_geometry)(Display*, Window, Window*, int*, int*, unsigned*, unsigned*, unsigned*,
                        unsigned*) = nullptr;
    ErrorHandler (*set_error_handler)(ErrorHandler) = nullptr;
    IOErrorHandler (*set_io_error_handler)(IOErrorHandler) = nullptr;
    // Newer X libraries only: lets a connection that breaks end without
    // ending the process.
    void (*set_io_error_exit_handler)(Display*, IOErrorExitHandler, void*) = nullptr;
};

template <typename F>
bool find(F& f, const char* name) {
    void* p = dlsym(RTLD_DEFAULT, name);
    if (p == nullptr) return false;
    f = reinterpret_cast<F>(p);
    return true;
}

bool request_failed = false;  // an X error came back for our request
bool connection_lost = false;  // our connection to the X server broke

int on_error(Display*, ErrorEvent*) {
    request_failed = true;
    return 0;
}
int on_io_error(Display*) {
    connection_lost = true;
    return 0;
}
void on_io_error_exit(Display*, void*) { connection_lost = true; }

/// Our connection, opened at the first need; nullptr when there is none.
/// A broken connection is never used again.
struct Watch {
    Api api;
    Display* display = nullptr;

    Watch() {
        const bool found =
            find(api.open_display, "XOpenDisplay") && find(api.default_root, "XDefaultRootWindow") &&
            find(api.query_tree, "XQueryTree") && find(api.fetch_name, "XFetchName") &&
            find(api.free, "XFree") && find(api.get_geometry, "XGetGeometry") &&
            find(api.set_error_handler, "XSetErrorHandler") &&
            find(api.set_io_error_handler, "XSetIOErrorHandler") &&
            find(api.set_io_error_exit_handler, "XSetIOErrorExitHandler");
        // Without the exit handler a broken connection would end the process.
        if (!found) return;
        display = api.open_display(nullptr);
        if (display != nullptr) api.set_io_error_exit_handler(display, on_io_error_exit, nullptr);
    }

    bool usable() const { return display != nullptr && !connection_lost; }
};

Watch& watch() {
    static Watch w;
    return w;
}

/// Runs requests on our connection with our error handlers in place, so
/// that their errors neither reach the library's handlers nor end the
/// process; false when a request failed or the connection broke.
template <typename F>
bool guarded(F&& requests) {
    Watch& w = watch();
    if (!w.usable()) return false;
    request_failed = false;
    const ErrorHandler old_error = w.api.set_error_handler(on_error);
    const IOErrorHandler old_io = w.api.set_io_error_handler(on_io_error);
    const bool ok = requests(w.api, w.display);
    w.api.set_error_handler(old_error);
    w.api.set_io_error_handler(old_io);
    return ok && !request_failed && !connection_lost;
}

void collect(const Api& api, Display* d, Window window, std::vector<Window>& found) {
    char* name = nullptr;
    if (api.fetch_name(d, window, &name) != 0 && name != nullptr) {
        if (kLibraryWindowName == name) found.push_back(window);
        api.free(name);
    }
    if (connection_lost) return;
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (api.query_tree(d, window, &root, &parent, &children, &count) == 0) return;
    // A window that goes while it is being looked at just drops out.
    const std::vector<Window> kids(children, children + count);
    if (children != nullptr) api.free(children);
    for (Window child : kids) collect(api, d, child, found);
}

}  // namespace

std::vector<Window> library_windows() {
    std::vector<Window> found;
    guarded([&](const Api& api, Display* d) {
        collect(api, d, api.default_root(d), found);
        return true;
    });
    std::sort(found.begin(), found.end());
    return found;
}

Window new_window(const std::vector<Window>& before) {
    if (!watch().usable()) return 0;
    for (int attempt = 0; attempt < 40; ++attempt) {
        std::vector<Window> fresh;
        for (Window w : library_windows()) {
            if (!std::binary_search(before.begin(), before.end(), w)) fresh.push_back(w);
        }
        if (fresh.size() == 1) return fresh.front();
        if (fresh.size() > 1 || !watch().usable()) return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return 0;
}

bool alive(Window window) {
    return guarded([&](const Api& api, Display* d) {
        Window root = 0;
        int x = 0;
        int y = 0;
        unsigned width = 0;
        unsigned height = 0;
        unsigned border = 0;
        unsigned depth = 0;
        return api.get_geometry(d, window, &root, &x, &y, &width, &height, &border, &depth) != 0;
    });
}

}  // namespace karvel::xwatch
