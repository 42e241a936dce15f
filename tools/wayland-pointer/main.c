// A pointer for end-to-end runs under a Wayland compositor whose seat has no pointer device, through the
// compositor's virtual-pointer protocol. One device lives as long as the program, so that a menu opened by
// one click is not closed by the pointer vanishing from the seat before the next.
//
//   kestrova_wayland_pointer WIDTH HEIGHT
//
// WIDTH and HEIGHT are the extent of the output layout. Commands come one a line on standard input:
// "move X Y" puts the pointer at (X, Y) of the layout, "click X Y [left|right|middle]" moves there and
// clicks; each is answered "done" on standard output once the compositor has handled it ("ready" first,
// once the device exists). A command it does not understand is answered "error: ..." and changes nothing.
// Exits 1 with a message when the compositor offers no virtual pointer.
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <linux/input-event-codes.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <wayland-client.h>

static struct zwlr_virtual_pointer_manager_v1 *manager;
static struct wl_seat *seat;

static void global(void *data, struct wl_registry *registry, uint32_t name, const char *interface,
                   uint32_t version) {
    (void)data;
    (void)version;
    if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        manager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
    else if (strcmp(interface, wl_seat_interface.name) == 0 && !seat)
        seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
}

static void global_remove(void *data, struct wl_registry *registry, uint32_t name) {
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener registry_listener = {global, global_remove};

static uint32_t now_ms(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (uint32_t)(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

static int parse_extent(const char *text, long *value) {
    char *end = NULL;
    *value = strtol(text, &end, 10);
    return end != text && *end == '\0' && *value >= 0;
}

static uint32_t button_code(const char *name) {
    if (strcmp(name, "left") == 0)
        return BTN_LEFT;
    if (strcmp(name, "right") == 0)
        return BTN_RIGHT;
    if (strcmp(name, "middle") == 0)
        return BTN_MIDDLE;
    return 0;
}

int main(int argc, char **argv) {
    long width, height;
    if (argc != 3 || !parse_extent(argv[1], &width) || !parse_extent(argv[2], &height) || width == 0 ||
        height == 0) {
        fprintf(stderr, "usage: %s WIDTH HEIGHT (then commands on standard input)\n", argv[0]);
        return 2;
    }
    struct wl_display *display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "%s: cannot connect to the Wayland display\n", argv[0]);
        return 1;
    }
    struct wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, NULL);
    wl_display_roundtrip(display);
    if (!manager) {
        fprintf(stderr, "%s: the compositor offers no virtual pointer\n", argv[0]);
        return 1;
    }
    struct zwlr_virtual_pointer_v1 *pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, seat);
    wl_display_roundtrip(display);
    setvbuf(stdout, NULL, _IOLBF, 0);
    printf("ready\n");

    char line[256];
    while (fgets(line, sizeof line, stdin)) {
        char command[16] = "", button_name[16] = "left", extra[2];
        long x = -1, y = -1;
        const int fields = sscanf(line, "%15s %ld %ld %15s %1s", command, &x, &y, button_name, extra);
        const int is_move = strcmp(command, "move") == 0 && fields == 3;
        const int is_click = strcmp(command, "click") == 0 && (fields == 3 || fields == 4);
        const uint32_t button = is_click ? button_code(button_name) : 0;
        if ((!is_move && !is_click) || (is_click && !button) || x < 0 || y < 0 || x > width || y > height) {
            printf("error: not understood: %s", line);
            continue;
        }
        zwlr_virtual_pointer_v1_motion_absolute(pointer, now_ms(), (uint32_t)x, (uint32_t)y, (uint32_t)width,
                                                (uint32_t)height);
        zwlr_virtual_pointer_v1_frame(pointer);
        // The surface under the pointer hears it enter before the press, as it would from a real mouse.
        wl_display_roundtrip(display);
        if (is_click) {
            zwlr_virtual_pointer_v1_button(pointer, now_ms(), button, WL_POINTER_BUTTON_STATE_PRESSED);
            zwlr_virtual_pointer_v1_frame(pointer);
            wl_display_roundtrip(display);
            zwlr_virtual_pointer_v1_button(pointer, now_ms(), button, WL_POINTER_BUTTON_STATE_RELEASED);
            zwlr_virtual_pointer_v1_frame(pointer);
            wl_display_roundtrip(display);
        }
        printf("done\n");
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    zwlr_virtual_pointer_manager_v1_destroy(manager);
    if (seat)
        wl_seat_destroy(seat);
    wl_registry_destroy(registry);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
