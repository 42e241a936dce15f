#include "platform/desktop/tray/XEmbedTrayIcon.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QCursor>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QLoggingCategory>
#include <QScreen>
#include <QSet>
#include <QStyleHints>
#include <QSysInfo>
#include <QTimer>
#include <QToolTip>
#include <QWindow>
#include <QtEndian>
#include <QtGui/qguiapplication_platform.h>

#include <X11/Xlib.h>
#include <xcb/render.h>
#include <xcb/xcb.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>

namespace kestrova::platform::desktop {

Q_LOGGING_CATEGORY(lcXEmbed, "kestrova.platform.desktop.tray.xembed")

namespace {

// The tray's opcode asking it to embed a window, and what the window says of itself to its embedder.
constexpr std::uint32_t kRequestDock = 0;
constexpr std::uint32_t kXEmbedVersion = 0;
constexpr std::uint32_t kXEmbedMapped = 1;
// The size trays are told an icon wants at least, before they give it the slot's.
constexpr std::uint16_t kMinimumSide = 22;
// WM_NORMAL_HINTS: 18 numbers, the first the flags (PMinSize), the minimum size at 5 and 6.
constexpr std::uint32_t kMinimumSizeFlag = 1U << 4;
// As long as a widget's tool tip takes to come.
constexpr int kToolTipDelay = 700;
constexpr std::uint32_t kIconEvents = XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_STRUCTURE_NOTIFY |
                                      XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                      XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE |
                                      XCB_EVENT_MASK_ENTER_WINDOW | XCB_EVENT_MASK_LEAVE_WINDOW;

template <typename T> struct Reply {
    T *data;
    explicit Reply(T *reply)
        : data(reply) {}
    ~Reply() { std::free(data); }
    Q_DISABLE_COPY_MOVE(Reply)
    T *operator->() const { return data; }
    explicit operator bool() const { return data != nullptr; }
};

// The window an event is about, for the events an icon's window gets; 0 for others.
xcb_window_t windowOf(const xcb_generic_event_t *event) {
    switch (event->response_type & ~0x80) {
    case XCB_EXPOSE:
        return reinterpret_cast<const xcb_expose_event_t *>(event)->window;
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE:
        return reinterpret_cast<const xcb_button_press_event_t *>(event)->event;
    case XCB_ENTER_NOTIFY:
    case XCB_LEAVE_NOTIFY:
        return reinterpret_cast<const xcb_enter_notify_event_t *>(event)->event;
    case XCB_CONFIGURE_NOTIFY:
        return reinterpret_cast<const xcb_configure_notify_event_t *>(event)->window;
    case XCB_MAP_NOTIFY:
        return reinterpret_cast<const xcb_map_notify_event_t *>(event)->window;
    case XCB_UNMAP_NOTIFY:
        return reinterpret_cast<const xcb_unmap_notify_event_t *>(event)->window;
    case XCB_REPARENT_NOTIFY:
        return reinterpret_cast<const xcb_reparent_notify_event_t *>(event)->window;
    case XCB_DESTROY_NOTIFY:
        return reinterpret_cast<const xcb_destroy_notify_event_t *>(event)->window;
    case XCB_CLIENT_MESSAGE:
        return reinterpret_cast<const xcb_client_message_event_t *>(event)->window;
    default:
        return XCB_NONE;
    }
}

// The class the application's own windows carry, so an icon is found among them: the instance name (from
// RESOURCE_NAME, else the program's file name), then the application's name.
QByteArray windowClass() {
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    QString instance = qEnvironmentVariable("RESOURCE_NAME");
    if (instance.isEmpty())
        instance = program;
    QString className = QCoreApplication::applicationName();
    if (className.isEmpty()) {
        className = program;
        if (!className.isEmpty())
            className[0] = className.at(0).toUpper();
    }
    return instance.toLocal8Bit() + '\0' + className.toLocal8Bit() + '\0';
}

} // namespace

// What every icon shares: the X connection, the tray that owns the selection and its visual, the formats
// the icons are composited with, the native event filter that hands each icon its window's events, and
// the one tool tip timer. Made with the first icon, or the first question for a tray; ended with the
// application, while its X connection is still open.
class XEmbedTray : public QObject, public QAbstractNativeEventFilter {
public:
    static XEmbedTray *instance();

    xcb_connection_t *connection() const { return m_connection; }
    xcb_window_t manager() const { return m_manager; }

    void add(XEmbedTrayIcon *icon) { m_icons.insert(icon); }
    void remove(XEmbedTrayIcon *icon) {
        m_icons.remove(icon);
        if (m_hovered == icon)
            leave(icon);
    }
    // Makes the icon's window and asks the tray to embed it.
    void dock(XEmbedTrayIcon &icon);
    void destroyWindow(XEmbedTrayIcon &icon);
    void composite(XEmbedTrayIcon &icon, const QImage &image);
    QRect geometryOf(const XEmbedTrayIcon &icon) const;
    void enter(XEmbedTrayIcon *icon);
    void leave(XEmbedTrayIcon *icon);
    // Writes what was asked once the loop turns: a thousand icons' requests go in one write.
    void scheduleFlush();

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    XEmbedTray(xcb_connection_t *connection, int screenNumber);
    ~XEmbedTray() override;
    Q_DISABLE_COPY_MOVE(XEmbedTray)

    void findManager();
    void redockAll();
    void findFormats();
    static void end();
    xcb_window_t pointerProxy();

    xcb_connection_t *m_connection;
    xcb_screen_t *m_screen = nullptr;
    xcb_atom_t m_selection = XCB_NONE;
    xcb_atom_t m_opcode = XCB_NONE;
    xcb_atom_t m_visualAtom = XCB_NONE;
    xcb_atom_t m_xembedInfo = XCB_NONE;
    xcb_atom_t m_managerAtom = XCB_NONE;
    xcb_atom_t m_pidAtom = XCB_NONE;
    xcb_atom_t m_protocolsAtom = XCB_NONE;
    xcb_atom_t m_pingAtom = XCB_NONE;
    QByteArray m_windowClass;

    xcb_window_t m_manager = XCB_NONE;
    xcb_visualid_t m_visual = 0;
    std::uint8_t m_depth = 0;
    xcb_colormap_t m_colormap = XCB_NONE;

    bool m_formatsKnown = false;
    xcb_render_pictformat_t m_argbFormat = XCB_NONE;
    xcb_render_pictformat_t m_windowFormat = XCB_NONE;
    // A drawing context for 32-bit pixmaps, made with the first one.
    xcb_gcontext_t m_argbContext = XCB_NONE;

    QSet<XEmbedTrayIcon *> m_icons;
    QHash<xcb_window_t, XEmbedTrayIcon *> m_windows;
    XEmbedTrayIcon *m_hovered = nullptr;
    std::unique_ptr<QWindow> m_pointerProxy;
    QTimer m_toolTipTimer;
    bool m_toolTipShown = false;
    bool m_flushPending = false;

    static XEmbedTray *s_instance;
    static QGuiApplication *s_endedWith;
};

XEmbedTray *XEmbedTray::s_instance = nullptr;
QGuiApplication *XEmbedTray::s_endedWith = nullptr;

XEmbedTray *XEmbedTray::instance() {
    if (s_instance || !qGuiApp || qGuiApp == s_endedWith)
        return s_instance;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return nullptr;
    Display *display = x11->display();
    s_instance = new XEmbedTray(x11->connection(), display ? DefaultScreen(display) : 0);
    // Before the application closes its X connection: the windows go with one flush while it is open.
    qAddPostRoutine(&XEmbedTray::end);
    return s_instance;
}

void XEmbedTray::end() {
    s_endedWith = qGuiApp;
    delete std::exchange(s_instance, nullptr);
}

XEmbedTray::XEmbedTray(xcb_connection_t *connection, int screenNumber)
    : m_connection(connection)
    , m_windowClass(windowClass()) {
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int index = 0; index < screenNumber && screens.rem > 1; ++index)
        xcb_screen_next(&screens);
    m_screen = screens.data;

    const QByteArray selection = "_NET_SYSTEM_TRAY_S" + QByteArray::number(screenNumber);
    const std::array<std::pair<const char *, xcb_atom_t *>, 8> atoms{{
        {selection.constData(), &m_selection},
        {"_NET_SYSTEM_TRAY_OPCODE", &m_opcode},
        {"_NET_SYSTEM_TRAY_VISUAL", &m_visualAtom},
        {"_XEMBED_INFO", &m_xembedInfo},
        {"MANAGER", &m_managerAtom},
        {"_NET_WM_PID", &m_pidAtom},
        {"WM_PROTOCOLS", &m_protocolsAtom},
        {"_NET_WM_PING", &m_pingAtom},
    }};
    // All asked before any answer is read: one round trip.
    std::array<xcb_intern_atom_cookie_t, atoms.size()> cookies{};
    for (std::size_t index = 0; index < atoms.size(); ++index)
        cookies[index] = xcb_intern_atom(connection, 0, qstrlen(atoms[index].first), atoms[index].first);
    for (std::size_t index = 0; index < atoms.size(); ++index) {
        const Reply reply(xcb_intern_atom_reply(connection, cookies[index], nullptr));
        if (reply)
            *atoms[index].second = reply->atom;
    }

    // A tray that starts says so on the root window, to those that hear its structure change.
    const Reply attributes(xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, m_screen->root), nullptr));
    if (attributes && !(attributes->your_event_mask & XCB_EVENT_MASK_STRUCTURE_NOTIFY)) {
        const std::uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection, m_screen->root, XCB_CW_EVENT_MASK, &mask);
    }

    m_toolTipTimer.setSingleShot(true);
    m_toolTipTimer.setInterval(kToolTipDelay);
    connect(&m_toolTipTimer, &QTimer::timeout, this, [this] {
        if (!m_hovered || m_hovered->m_toolTip.isEmpty())
            return;
        QToolTip::showText(QCursor::pos(), m_hovered->m_toolTip);
        m_toolTipShown = true;
    });

    findManager();
    qGuiApp->installNativeEventFilter(this);
}

XEmbedTray::~XEmbedTray() {
    for (XEmbedTrayIcon *icon : std::as_const(m_icons))
        destroyWindow(*icon);
    if (m_colormap)
        xcb_free_colormap(m_connection, m_colormap);
    if (m_argbContext)
        xcb_free_gc(m_connection, m_argbContext);
    xcb_flush(m_connection);
}

void XEmbedTray::findManager() {
    m_manager = XCB_NONE;
    const Reply owner(xcb_get_selection_owner_reply(
        m_connection, xcb_get_selection_owner(m_connection, m_selection), nullptr));
    if (!owner || owner->owner == XCB_NONE)
        return;
    m_manager = owner->owner;
    // Its end is heard as its window's.
    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_connection, m_manager, XCB_CW_EVENT_MASK, &mask);

    // The visual it would have its icons in: ARGB where it composites them, else the screen's own.
    m_visual = m_screen->root_visual;
    m_depth = m_screen->root_depth;
    const Reply visual(xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, m_manager, m_visualAtom, XCB_ATOM_VISUALID, 0, 1),
        nullptr));
    if (visual && visual->format == 32 && xcb_get_property_value_length(visual.data) == 4) {
        const auto offered = *static_cast<const xcb_visualid_t *>(xcb_get_property_value(visual.data));
        for (auto depths = xcb_screen_allowed_depths_iterator(m_screen); depths.rem;
             xcb_depth_next(&depths)) {
            for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem;
                 xcb_visualtype_next(&visuals)) {
                // An icon shows the tray's background through it only at the tray's depth; ARGB needs none.
                if (visuals.data->visual_id == offered &&
                    (depths.data->depth == 32 || depths.data->depth == m_screen->root_depth)) {
                    m_visual = offered;
                    m_depth = depths.data->depth;
                }
            }
        }
    }
    if (m_colormap) {
        xcb_free_colormap(m_connection, m_colormap);
        m_colormap = XCB_NONE;
    }
    if (m_visual != m_screen->root_visual) {
        m_colormap = xcb_generate_id(m_connection);
        xcb_create_colormap(m_connection, XCB_COLORMAP_ALLOC_NONE, m_colormap, m_screen->root, m_visual);
    }
    m_formatsKnown = false;
}

void XEmbedTray::redockAll() {
    for (XEmbedTrayIcon *icon : std::as_const(m_icons)) {
        destroyWindow(*icon);
        if (icon->m_visible)
            dock(*icon);
    }
    scheduleFlush();
}

void XEmbedTray::findFormats() {
    m_formatsKnown = true;
    m_argbFormat = XCB_NONE;
    m_windowFormat = XCB_NONE;
    const xcb_query_extension_reply_t *render = xcb_get_extension_data(m_connection, &xcb_render_id);
    if (!render || !render->present) {
        qCWarning(lcXEmbed) << "the X server has no RENDER extension: tray icons are left empty";
        return;
    }
    const Reply formats(xcb_render_query_pict_formats_reply(
        m_connection, xcb_render_query_pict_formats(m_connection), nullptr));
    if (!formats)
        return;
    for (auto it = xcb_render_query_pict_formats_formats_iterator(formats.data); it.rem;
         xcb_render_pictforminfo_next(&it)) {
        const xcb_render_pictforminfo_t &format = *it.data;
        if (format.type == XCB_RENDER_PICT_TYPE_DIRECT && format.depth == 32 &&
            format.direct.alpha_mask == 0xff && format.direct.alpha_shift == 24 &&
            format.direct.red_shift == 16 && format.direct.green_shift == 8 && format.direct.blue_shift == 0)
            m_argbFormat = format.id;
    }
    for (auto screens = xcb_render_query_pict_formats_screens_iterator(formats.data); screens.rem;
         xcb_render_pictscreen_next(&screens)) {
        for (auto depths = xcb_render_pictscreen_depths_iterator(screens.data); depths.rem;
             xcb_render_pictdepth_next(&depths)) {
            for (auto visuals = xcb_render_pictdepth_visuals_iterator(depths.data); visuals.rem;
                 xcb_render_pictvisual_next(&visuals)) {
                if (visuals.data->visual == m_visual)
                    m_windowFormat = visuals.data->format;
            }
        }
    }
}

void XEmbedTray::dock(XEmbedTrayIcon &icon) {
    if (icon.m_window || !m_manager)
        return;
    if (!m_formatsKnown)
        findFormats();
    const xcb_window_t window = xcb_generate_id(m_connection);
    if (m_depth == 32) {
        // Transparent where the icon is not drawn; the tray composites it over its own background.
        const std::array<std::uint32_t, 4> values{0, 0, kIconEvents, m_colormap};
        xcb_create_window(m_connection, m_depth, window, m_screen->root, 0, 0, kMinimumSide, kMinimumSide, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, m_visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_EVENT_MASK | XCB_CW_COLORMAP,
                          values.data());
    } else {
        // The tray's background shows through, and the icon is composited over it.
        const std::array<std::uint32_t, 3> values{XCB_BACK_PIXMAP_PARENT_RELATIVE, kIconEvents, m_colormap};
        xcb_create_window(m_connection, m_depth, window, m_screen->root, 0, 0, kMinimumSide, kMinimumSide, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, m_visual,
                          XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK | (m_colormap ? XCB_CW_COLORMAP : 0),
                          values.data());
    }
    icon.m_window = window;
    icon.m_size = QSize(kMinimumSide, kMinimumSide);
    m_windows.insert(window, &icon);

    const std::array<std::uint32_t, 2> info{kXEmbedVersion, kXEmbedMapped};
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, m_xembedInfo, m_xembedInfo, 32,
                        info.size(), info.data());
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        m_windowClass.size(), m_windowClass.constData());
    const std::uint32_t pid = getpid();
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, m_pidAtom, XCB_ATOM_CARDINAL, 32, 1,
                        &pid);
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, m_protocolsAtom, XCB_ATOM_ATOM, 32, 1,
                        &m_pingAtom);
    std::array<std::uint32_t, 18> hints{};
    hints[0] = kMinimumSizeFlag;
    hints[5] = kMinimumSide;
    hints[6] = kMinimumSide;
    xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NORMAL_HINTS,
                        XCB_ATOM_WM_SIZE_HINTS, 32, hints.size(), hints.data());
    if (m_windowFormat) {
        icon.m_picture = xcb_generate_id(m_connection);
        xcb_render_create_picture(m_connection, icon.m_picture, window, m_windowFormat, 0, nullptr);
    }

    // Sent to the tray's window alone: the tray reparents the window into its slot and maps it.
    xcb_client_message_event_t request{};
    request.response_type = XCB_CLIENT_MESSAGE;
    request.format = 32;
    request.window = m_manager;
    request.type = m_opcode;
    request.data.data32[0] = XCB_CURRENT_TIME;
    request.data.data32[1] = kRequestDock;
    request.data.data32[2] = window;
    xcb_send_event(m_connection, 0, m_manager, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char *>(&request));
    scheduleFlush();
}

void XEmbedTray::destroyWindow(XEmbedTrayIcon &icon) {
    if (!icon.m_window)
        return;
    if (m_hovered == &icon)
        leave(&icon);
    if (icon.m_picture)
        xcb_render_free_picture(m_connection, icon.m_picture);
    xcb_destroy_window(m_connection, icon.m_window);
    m_windows.remove(icon.m_window);
    icon.m_window = XCB_NONE;
    icon.m_picture = XCB_NONE;
    icon.m_mapped = false;
    icon.m_size = QSize();
    scheduleFlush();
}

void XEmbedTray::composite(XEmbedTrayIcon &icon, const QImage &image) {
    xcb_clear_area(m_connection, 0, icon.m_window, 0, 0, 0, 0);
    if (image.isNull() || !icon.m_picture || !m_argbFormat) {
        scheduleFlush();
        return;
    }
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QByteArray pixels(reinterpret_cast<const char *>(argb.constBits()), argb.sizeInBytes());
    // The server's own byte order for 32-bit pixels.
    const bool serverIsLittleEndian =
        xcb_get_setup(m_connection)->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    if (serverIsLittleEndian != (QSysInfo::ByteOrder == QSysInfo::LittleEndian)) {
        auto *words = reinterpret_cast<std::uint32_t *>(pixels.data());
        for (qsizetype index = 0; index < pixels.size() / 4; ++index)
            words[index] = qbswap(words[index]);
    }
    const auto width = static_cast<std::uint16_t>(argb.width());
    const auto height = static_cast<std::uint16_t>(argb.height());
    const xcb_pixmap_t pixmap = xcb_generate_id(m_connection);
    xcb_create_pixmap(m_connection, 32, pixmap, icon.m_window, width, height);
    if (!m_argbContext) {
        m_argbContext = xcb_generate_id(m_connection);
        xcb_create_gc(m_connection, m_argbContext, pixmap, 0, nullptr);
    }
    xcb_put_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, m_argbContext, width, height, 0, 0, 0, 32,
                  pixels.size(), reinterpret_cast<const std::uint8_t *>(pixels.constData()));
    const xcb_render_picture_t picture = xcb_generate_id(m_connection);
    xcb_render_create_picture(m_connection, picture, pixmap, m_argbFormat, 0, nullptr);
    // Centred; a slot smaller than the smallest rendering cuts it evenly on both sides.
    const auto x = static_cast<std::int16_t>((icon.m_size.width() - width) / 2);
    const auto y = static_cast<std::int16_t>((icon.m_size.height() - height) / 2);
    xcb_render_composite(m_connection, XCB_RENDER_PICT_OP_OVER, picture, XCB_NONE, icon.m_picture, 0, 0, 0, 0,
                         x, y, width, height);
    xcb_render_free_picture(m_connection, picture);
    xcb_free_pixmap(m_connection, pixmap);
    scheduleFlush();
}

QRect XEmbedTray::geometryOf(const XEmbedTrayIcon &icon) const {
    const Reply place(xcb_translate_coordinates_reply(
        m_connection, xcb_translate_coordinates(m_connection, icon.m_window, m_screen->root, 0, 0), nullptr));
    if (!place)
        return {};
    // The desktop's coordinates are Qt's device-independent ones.
    const QScreen *screen = QGuiApplication::primaryScreen();
    const qreal ratio = screen ? screen->devicePixelRatio() : 1.0;
    return QRect(QPoint(qRound(place->dst_x / ratio), qRound(place->dst_y / ratio)),
                 QSize(qRound(icon.m_size.width() / ratio), qRound(icon.m_size.height() / ratio)));
}

void XEmbedTray::enter(XEmbedTrayIcon *icon) {
    m_hovered = icon;
    m_toolTipTimer.start();
}

void XEmbedTray::leave(XEmbedTrayIcon *icon) {
    if (m_hovered != icon)
        return;
    m_hovered = nullptr;
    m_toolTipTimer.stop();
    if (std::exchange(m_toolTipShown, false))
        QToolTip::hideText();
}

void XEmbedTray::scheduleFlush() {
    if (std::exchange(m_flushPending, true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_flushPending = false;
            xcb_flush(m_connection);
        },
        Qt::QueuedConnection);
}

bool XEmbedTray::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) {
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    const std::uint8_t type = event->response_type & ~0x80;
    if (type == 0) {
        // An icon's window or the tray's may go before a request about it arrives: nothing to report.
        const auto *error = reinterpret_cast<const xcb_generic_error_t *>(event);
        return (m_manager && error->resource_id == m_manager) || m_windows.contains(error->resource_id);
    }
    if (type == XCB_CLIENT_MESSAGE) {
        const auto *client = reinterpret_cast<const xcb_client_message_event_t *>(event);
        if (client->window == m_screen->root && client->type == m_managerAtom &&
            client->data.data32[1] == m_selection) {
            // A new tray: every icon asked to show docks with it.
            findManager();
            redockAll();
            return false;
        }
        if (client->type == m_protocolsAtom && client->data.data32[0] == m_pingAtom &&
            m_windows.contains(client->window)) {
            // Asked whether the program still answers (by whoever watches for hung programs), an icon
            // answers as the program's other windows do: from the event loop, so a held loop shows.
            xcb_client_message_event_t answer = *client;
            answer.response_type = XCB_CLIENT_MESSAGE;
            answer.window = m_screen->root;
            xcb_send_event(m_connection, 0, m_screen->root,
                           XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                           reinterpret_cast<const char *>(&answer));
            xcb_flush(m_connection);
            return true;
        }
    }
    if (type == XCB_DESTROY_NOTIFY && m_manager &&
        reinterpret_cast<const xcb_destroy_notify_event_t *>(event)->window == m_manager) {
        // The tray ended and its slots put our windows on the root: they go, until a tray starts.
        m_manager = XCB_NONE;
        redockAll();
        return false;
    }
    if (type == XCB_KEY_PRESS || type == XCB_KEY_RELEASE) {
        auto *key = static_cast<xcb_key_press_event_t *>(message);
        if (!m_windows.contains(key->event))
            return false;
        // Where the focus follows the pointer, keys typed over an icon come to it: they are for the menu the
        // icon just opened (before that menu takes the keyboard), else for the window that has the focus.
        const QWidget *popup = QApplication::activePopupWidget();
        const QWindow *target = popup ? popup->windowHandle() : QGuiApplication::focusWindow();
        if (!target)
            return true;
        key->event = static_cast<xcb_window_t>(target->winId());
        key->child = XCB_NONE;
        return false;
    }
    const xcb_window_t window = windowOf(event);
    XEmbedTrayIcon *icon = window ? m_windows.value(window) : nullptr;
    if (!icon)
        return false;
    icon->handleEvent(event);
    if (type != XCB_BUTTON_PRESS && type != XCB_BUTTON_RELEASE)
        return true;
    // Qt follows the pointer from the presses and releases it is given: handed to a window of its own
    // that never shows, they tell it where the pointer is and that the buttons are up again, so the menu
    // this press opens takes the release and the first move over it as a window of Qt's icon would.
    auto *button = static_cast<xcb_button_press_event_t *>(message);
    button->event = pointerProxy();
    button->child = XCB_NONE;
    return false;
}

xcb_window_t XEmbedTray::pointerProxy() {
    if (!m_pointerProxy) {
        m_pointerProxy = std::make_unique<QWindow>();
        // Never the focus: a press on an icon leaves the keyboard where it was.
        m_pointerProxy->setFlags(Qt::ToolTip | Qt::WindowDoesNotAcceptFocus);
        m_pointerProxy->create();
    }
    return static_cast<xcb_window_t>(m_pointerProxy->winId());
}

XEmbedTrayIcon::XEmbedTrayIcon(QObject *parent)
    : QObject(parent) {
    if (XEmbedTray *tray = XEmbedTray::instance())
        tray->add(this);
}

XEmbedTrayIcon::~XEmbedTrayIcon() {
    if (XEmbedTray *tray = XEmbedTray::instance()) {
        tray->destroyWindow(*this);
        tray->remove(this);
    }
}

void XEmbedTrayIcon::setImage(const StatusItemImage &image) {
    m_image = image;
    m_renderedSize = 0;
    m_rendered = QImage();
    paint();
}

void XEmbedTrayIcon::setToolTip(const QString &toolTip) {
    m_toolTip = toolTip;
}

void XEmbedTrayIcon::setVisible(bool visible) {
    if (m_visible == visible)
        return;
    m_visible = visible;
    if (visible)
        dock();
    else
        undock();
}

void XEmbedTrayIcon::dock() {
    if (XEmbedTray *tray = XEmbedTray::instance())
        tray->dock(*this);
}

void XEmbedTrayIcon::undock() {
    if (XEmbedTray *tray = XEmbedTray::instance())
        tray->destroyWindow(*this);
}

QRect XEmbedTrayIcon::geometry() const {
    XEmbedTray *tray = XEmbedTray::instance();
    return tray && m_window && m_mapped ? tray->geometryOf(*this) : QRect();
}

int XEmbedTrayIcon::renderingSizeFor(QSize slot) {
    const int side = std::min(slot.width(), slot.height());
    int chosen = StatusItemImage::kTraySizes.front();
    for (const int size : StatusItemImage::kTraySizes) {
        if (size <= side)
            chosen = std::max(chosen, size);
    }
    return chosen;
}

QImage XEmbedTrayIcon::rendering(QSize slot) const {
    if (m_image.isNull())
        return {};
    const int size = renderingSizeFor(slot);
    if (size != m_renderedSize) {
        m_rendered = m_image.render(size);
        m_renderedSize = size;
    }
    return m_rendered;
}

bool XEmbedTrayIcon::isTrayAvailable() {
    const XEmbedTray *tray = XEmbedTray::instance();
    return tray && tray->manager() != XCB_NONE;
}

void XEmbedTrayIcon::paint() {
    XEmbedTray *tray = XEmbedTray::instance();
    if (!tray || !m_window || !m_mapped)
        return;
    tray->composite(*this, rendering(m_size));
}

void XEmbedTrayIcon::handleEvent(const void *message) {
    XEmbedTray *tray = XEmbedTray::instance();
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    switch (event->response_type & ~0x80) {
    case XCB_EXPOSE:
        if (reinterpret_cast<const xcb_expose_event_t *>(event)->count == 0)
            paint();
        break;
    case XCB_CONFIGURE_NOTIFY: {
        const auto *configure = reinterpret_cast<const xcb_configure_notify_event_t *>(event);
        const QSize size(configure->width, configure->height);
        // A slot of another size may take another rendering, and is centred anew.
        if (size != std::exchange(m_size, size))
            paint();
        break;
    }
    case XCB_MAP_NOTIFY:
        m_mapped = true;
        break;
    case XCB_UNMAP_NOTIFY:
        m_mapped = false;
        break;
    case XCB_ENTER_NOTIFY:
        if (tray)
            tray->enter(this);
        break;
    case XCB_LEAVE_NOTIFY:
        if (tray)
            tray->leave(this);
        break;
    case XCB_BUTTON_PRESS: {
        if (tray)
            tray->leave(this);
        const auto *press = reinterpret_cast<const xcb_button_press_event_t *>(event);
        StatusItemClick::Button button = StatusItemClick::Button::left;
        switch (press->detail) {
        case 1:
            button = StatusItemClick::Button::left;
            break;
        case 2:
            button = StatusItemClick::Button::middle;
            break;
        case 3:
            button = StatusItemClick::Button::right;
            break;
        default:
            // The wheel and the extra buttons click nothing.
            return;
        }
        const QPoint position(press->root_x, press->root_y);
        const QStyleHints *hints = QGuiApplication::styleHints();
        const bool secondOfDouble =
            m_lastPress.button == press->detail &&
            press->time - m_lastPress.time < static_cast<std::uint32_t>(hints->mouseDoubleClickInterval()) &&
            (position - m_lastPress.position).manhattanLength() <= hints->mouseDoubleClickDistance();
        // A third press is a click again.
        m_lastPress = secondOfDouble ? Press{} : Press{press->detail, press->time, position};
        // Once Qt has taken the press too (it follows every press of the pointer): the menu a click opens
        // comes after it.
        if (!secondOfDouble)
            QMetaObject::invokeMethod(
                this, [this, button] { Q_EMIT pressed(button); }, Qt::QueuedConnection);
        break;
    }
    default:
        break;
    }
}

} // namespace kestrova::platform::desktop
