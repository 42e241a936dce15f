// Asks an X window whether its program still answers, as a window manager does (_NET_WM_PING), and waits
// for the answer on the root window: kestrova-x-ping WINDOW [TIMEOUT_MS]. Prints how long the answer took in
// milliseconds; exits 1 when none came in time (5 s unless told).
#include <xcb/xcb.h>

#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

xcb_atom_t atom(xcb_connection_t *connection, const char *name) {
    const Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr),
        &std::free);
    return reply ? reply->atom : XCB_NONE;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2 && argc != 3)
        return 2;
    const auto window = xcb_window_t(std::strtoul(argv[1], nullptr, 0));
    const std::chrono::milliseconds timeout(argc == 3 ? std::atoi(argv[2]) : 5000);
    int screenNumber = 0;
    const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> connected(
        xcb_connect(nullptr, &screenNumber), &xcb_disconnect);
    xcb_connection_t *connection = connected.get();
    if (xcb_connection_has_error(connection))
        return 2;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int index = 0; index < screenNumber && screens.rem > 1; ++index)
        xcb_screen_next(&screens);
    const xcb_window_t root = screens.data->root;
    // The answer goes to the root window, to the clients that hear its substructure change.
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t protocols = atom(connection, "WM_PROTOCOLS");
    const xcb_atom_t ping = atom(connection, "_NET_WM_PING");

    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = protocols;
    message.data.data32[0] = ping;
    message.data.data32[1] = XCB_CURRENT_TIME;
    message.data.data32[2] = window;
    xcb_send_event(connection, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&message));
    xcb_flush(connection);

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    for (auto left = timeout; left.count() > 0;
         left = timeout - std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start)) {
        pollfd descriptor{xcb_get_file_descriptor(connection), POLLIN, 0};
        poll(&descriptor, 1, int(left.count()));
        while (const Reply<xcb_generic_event_t> event{xcb_poll_for_event(connection), &std::free}) {
            if ((event->response_type & ~0x80) != XCB_CLIENT_MESSAGE)
                continue;
            const auto *answer = reinterpret_cast<const xcb_client_message_event_t *>(event.get());
            if (answer->type == protocols && answer->data.data32[0] == ping &&
                answer->data.data32[2] == window) {
                const std::chrono::duration<double, std::milli> took = Clock::now() - start;
                std::printf("%.1f\n", took.count());
                return 0;
            }
        }
        if (xcb_connection_has_error(connection))
            return 2;
    }
    return 1;
}
