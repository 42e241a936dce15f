#include "platform/desktop/tray/X11PanelStruts_p.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <memory>

namespace kestrova::platform::desktop {

namespace {

struct DisplayCloser {
    void operator()(Display *display) const { XCloseDisplay(display); }
};
struct XFreeer {
    void operator()(void *data) const { XFree(data); }
};

} // namespace

std::vector<PanelStrut> x11PanelStruts() {
    // A connection of our own for one question: Qt's is not ours to block on.
    const std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
    if (!display)
        return {};
    const Atom strutPartial = XInternAtom(display.get(), "_NET_WM_STRUT_PARTIAL", /*only_if_exists=*/True);
    if (strutPartial == None)
        return {};
    // A window may go between listing and asking; Xlib's default answer to that error ends the process.
    const auto previousHandler = XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
    struct HandlerRestorer {
        XErrorHandler previous;
        Display *display;
        ~HandlerRestorer() {
            XSync(display, False);
            XSetErrorHandler(previous);
        }
    } restorer{previousHandler, display.get()};
    Window root = 0;
    Window parent = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display.get(), DefaultRootWindow(display.get()), &root, &parent, &children, &count))
        return {};
    const std::unique_ptr<Window, XFreeer> owned(children);
    std::vector<PanelStrut> struts;
    for (unsigned int index = 0; index < count; ++index) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display.get(), children[index], &attributes) ||
            attributes.map_state != IsViewable)
            continue;
        Atom type = None;
        int format = 0;
        unsigned long items = 0;
        unsigned long remaining = 0;
        unsigned char *data = nullptr;
        if (XGetWindowProperty(display.get(), children[index], strutPartial, 0, 12, False, XA_CARDINAL, &type,
                               &format, &items, &remaining, &data) != Success)
            continue;
        const std::unique_ptr<unsigned char, XFreeer> value(data);
        if (type != XA_CARDINAL || format != 32 || items != 12)
            continue;
        // Format 32 properties come as longs, whatever the size of a long.
        const auto *v = reinterpret_cast<const long *>(data);
        const auto at = [v](int i) { return static_cast<int>(v[i]); };
        // Widths left, right, top, bottom, then the spans: left's and right's in y, top's and bottom's in x.
        struts.push_back({.left = {at(0), at(4), at(5)},
                          .right = {at(1), at(6), at(7)},
                          .top = {at(2), at(8), at(9)},
                          .bottom = {at(3), at(10), at(11)}});
    }
    return struts;
}

} // namespace kestrova::platform::desktop
