// A stand-in system tray that offers an ARGB visual, as a composited panel's tray does: it owns the
// screen's tray selection, says so on the root window, embeds the first icon docked with it in a 40x32
// slot and reads back what the icon drew there. Prints, once the icon has drawn:
//
//   icon WINDOW depth D: C transparent corners, I ink, S soft edge, A opaque area
//
// where the corners are the slot's four corner pixels whose alpha is 0, ink the pixels drawn opaque and
// dark, soft edge those drawn partly transparent. Runs until killed, so the icon stays embedded.
//
//   kestrova_argb_tray
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

constexpr std::uint16_t kSlotWidth = 40;
constexpr std::uint16_t kSlotHeight = 32;

xcb_atom_t atom(xcb_connection_t *connection, const char *name) {
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : XCB_NONE;
    std::free(reply);
    return result;
}

xcb_visualid_t argbVisual(xcb_screen_t *screen) {
    for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem; xcb_depth_next(&depths)) {
        if (depths.data->depth != 32)
            continue;
        for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem;
             xcb_visualtype_next(&visuals)) {
            if (visuals.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR)
                return visuals.data->visual_id;
        }
    }
    return 0;
}

// Whether the icon has drawn: reads its pixels and prints what they are once some are opaque.
bool reportDrawn(xcb_connection_t *connection, xcb_window_t icon) {
    xcb_get_geometry_reply_t *geometry =
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, icon), nullptr);
    if (!geometry)
        return false;
    const int depth = geometry->depth;
    const int width = geometry->width;
    const int height = geometry->height;
    std::free(geometry);
    xcb_get_image_reply_t *image = xcb_get_image_reply(
        connection, xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, icon, 0, 0, width, height, ~0U),
        nullptr);
    if (!image)
        return false;
    if (xcb_get_image_data_length(image) < width * height * 4) {
        std::free(image);
        return false;
    }
    const auto *pixels = reinterpret_cast<const std::uint32_t *>(xcb_get_image_data(image));
    const auto alpha = [](std::uint32_t pixel) { return pixel >> 24; };
    int ink = 0;
    int soft = 0;
    for (int index = 0; index < width * height; ++index) {
        const std::uint32_t pixel = pixels[index];
        const int level = int((pixel >> 16) & 0xff) + int((pixel >> 8) & 0xff) + int(pixel & 0xff);
        if (alpha(pixel) == 0xff && level < 150)
            ++ink;
        else if (alpha(pixel) > 0 && alpha(pixel) < 0xff)
            ++soft;
    }
    int corners = 0;
    for (const int index : {0, width - 1, (height - 1) * width, height * width - 1})
        corners += alpha(pixels[index]) == 0 ? 1 : 0;
    std::free(image);
    if (ink == 0)
        return false;
    std::printf("icon %u depth %d: %d transparent corners, %d ink, %d soft edge, %dx%d\n", icon, depth,
                corners, ink, soft, width, height);
    std::fflush(stdout);
    return true;
}

} // namespace

int main() {
    int screenNumber = 0;
    xcb_connection_t *connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        std::fprintf(stderr, "argb tray: no X server\n");
        return 1;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int index = 0; index < screenNumber; ++index)
        xcb_screen_next(&screens);
    xcb_screen_t *screen = screens.data;
    const xcb_visualid_t visual = argbVisual(screen);
    if (!visual) {
        std::fprintf(stderr, "argb tray: the X server offers no 32-bit visual\n");
        return 1;
    }
    char selectionName[32];
    std::snprintf(selectionName, sizeof selectionName, "_NET_SYSTEM_TRAY_S%d", screenNumber);
    const xcb_atom_t selection = atom(connection, selectionName);
    const xcb_atom_t opcode = atom(connection, "_NET_SYSTEM_TRAY_OPCODE");
    const xcb_atom_t visualAtom = atom(connection, "_NET_SYSTEM_TRAY_VISUAL");
    const xcb_atom_t manager = atom(connection, "MANAGER");

    const xcb_colormap_t colormap = xcb_generate_id(connection);
    xcb_create_colormap(connection, XCB_COLORMAP_ALLOC_NONE, colormap, screen->root, visual);
    const xcb_window_t tray = xcb_generate_id(connection);
    const std::uint32_t values[] = {0, 0, 1, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY, colormap};
    xcb_create_window(connection, 32, tray, screen->root, 0, 0, 200, kSlotHeight, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK |
                          XCB_CW_COLORMAP,
                      values);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, tray, visualAtom, XCB_ATOM_VISUALID, 32, 1,
                        &visual);
    xcb_map_window(connection, tray);
    xcb_set_selection_owner(connection, tray, selection, XCB_CURRENT_TIME);
    xcb_client_message_event_t announce{};
    announce.response_type = XCB_CLIENT_MESSAGE;
    announce.format = 32;
    announce.window = screen->root;
    announce.type = manager;
    announce.data.data32[0] = XCB_CURRENT_TIME;
    announce.data.data32[1] = selection;
    announce.data.data32[2] = tray;
    xcb_send_event(connection, 0, screen->root, XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&announce));
    xcb_flush(connection);
    std::printf("tray %u\n", tray);
    std::fflush(stdout);

    xcb_window_t icon = XCB_NONE;
    bool reported = false;
    while (!xcb_connection_has_error(connection)) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(connection)) {
            const auto *message = reinterpret_cast<const xcb_client_message_event_t *>(event);
            if ((event->response_type & ~0x80) == XCB_CLIENT_MESSAGE && message->type == opcode &&
                message->data.data32[1] == 0 && icon == XCB_NONE) {
                // The first icon docks: into its slot, at the slot's size, shown.
                icon = message->data.data32[2];
                xcb_reparent_window(connection, icon, tray, 0, 0);
                const std::uint32_t size[] = {kSlotWidth, kSlotHeight};
                xcb_configure_window(connection, icon, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
                                     size);
                xcb_map_window(connection, icon);
                xcb_flush(connection);
            }
            std::free(event);
        }
        if (icon && !reported)
            reported = reportDrawn(connection, icon);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
}
