#pragma once

// GIO and GObject, loaded when first called rather than linked: with their own dependencies (libmount,
// libblkid, libselinux, libffi, ...) they are about a megabyte of resident memory and seven libraries to
// map and relocate at every start, for what only opening files with an application, the Trash and a few
// desktop settings use. GLib itself stays linked (Qt links it too).
//
// Include this instead of <gio/gio.h>: every call of the functions listed below goes through the table,
// under the function's own name. GLib's headers come before Qt's: GLib's must not meet Qt's keyword macros.
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#define KESTROVA_GIO_FUNCTIONS(X)                                                                            \
    X(g_app_info_equal)                                                                                      \
    X(g_app_info_get_all)                                                                                    \
    X(g_app_info_get_all_for_type)                                                                           \
    X(g_app_info_get_default_for_type)                                                                       \
    X(g_app_info_get_default_for_uri_scheme)                                                                 \
    X(g_app_info_get_display_name)                                                                           \
    X(g_app_info_get_executable)                                                                             \
    X(g_app_info_get_icon)                                                                                   \
    X(g_app_info_get_id)                                                                                     \
    X(g_app_info_get_name)                                                                                   \
    X(g_app_info_get_type)                                                                                   \
    X(g_app_info_launch)                                                                                     \
    X(g_app_info_launch_default_for_uri)                                                                     \
    X(g_app_info_launch_uris)                                                                                \
    X(g_app_info_should_show)                                                                                \
    X(g_desktop_app_info_get_filename)                                                                       \
    X(g_desktop_app_info_get_string)                                                                         \
    X(g_desktop_app_info_get_type)                                                                           \
    X(g_desktop_app_info_new)                                                                                \
    X(g_desktop_app_info_new_from_filename)                                                                  \
    X(g_file_info_get_content_type)                                                                          \
    X(g_file_info_get_display_name)                                                                          \
    X(g_file_new_for_path)                                                                                   \
    X(g_file_query_info)                                                                                     \
    X(g_file_trash)                                                                                          \
    X(g_icon_to_string)                                                                                      \
    X(g_io_error_quark)                                                                                      \
    X(g_object_unref)                                                                                        \
    X(g_settings_get_boolean)                                                                                \
    X(g_settings_new)                                                                                        \
    X(g_settings_new_full)                                                                                   \
    X(g_settings_schema_has_key)                                                                             \
    X(g_settings_schema_source_get_default)                                                                  \
    X(g_settings_schema_source_lookup)                                                                       \
    X(g_settings_schema_unref)                                                                               \
    X(g_type_check_instance_cast)                                                                            \
    X(g_type_check_instance_is_a)

namespace kestrova::platform {

struct Gio {
#define KESTROVA_GIO_FUNCTION(name) decltype(&::name) name = nullptr;
    KESTROVA_GIO_FUNCTIONS(KESTROVA_GIO_FUNCTION)
#undef KESTROVA_GIO_FUNCTION
};

// Loaded on the first call from any thread. GIO ships with GLib, which every Qt program has loaded, so
// one that cannot be loaded is a broken installation: the process ends with the reason.
const Gio &gio();

} // namespace kestrova::platform

#define g_app_info_equal(...) (::kestrova::platform::gio().g_app_info_equal(__VA_ARGS__))
#define g_app_info_get_all(...) (::kestrova::platform::gio().g_app_info_get_all(__VA_ARGS__))
#define g_app_info_get_all_for_type(...)                                                                     \
    (::kestrova::platform::gio().g_app_info_get_all_for_type(__VA_ARGS__))
#define g_app_info_get_default_for_type(...)                                                                 \
    (::kestrova::platform::gio().g_app_info_get_default_for_type(__VA_ARGS__))
#define g_app_info_get_default_for_uri_scheme(...)                                                           \
    (::kestrova::platform::gio().g_app_info_get_default_for_uri_scheme(__VA_ARGS__))
#define g_app_info_get_display_name(...)                                                                     \
    (::kestrova::platform::gio().g_app_info_get_display_name(__VA_ARGS__))
#define g_app_info_get_executable(...) (::kestrova::platform::gio().g_app_info_get_executable(__VA_ARGS__))
#define g_app_info_get_icon(...) (::kestrova::platform::gio().g_app_info_get_icon(__VA_ARGS__))
#define g_app_info_get_id(...) (::kestrova::platform::gio().g_app_info_get_id(__VA_ARGS__))
#define g_app_info_get_name(...) (::kestrova::platform::gio().g_app_info_get_name(__VA_ARGS__))
#define g_app_info_get_type(...) (::kestrova::platform::gio().g_app_info_get_type(__VA_ARGS__))
#define g_app_info_launch(...) (::kestrova::platform::gio().g_app_info_launch(__VA_ARGS__))
#define g_app_info_launch_default_for_uri(...)                                                               \
    (::kestrova::platform::gio().g_app_info_launch_default_for_uri(__VA_ARGS__))
#define g_app_info_launch_uris(...) (::kestrova::platform::gio().g_app_info_launch_uris(__VA_ARGS__))
#define g_app_info_should_show(...) (::kestrova::platform::gio().g_app_info_should_show(__VA_ARGS__))
#define g_desktop_app_info_get_filename(...)                                                                 \
    (::kestrova::platform::gio().g_desktop_app_info_get_filename(__VA_ARGS__))
#define g_desktop_app_info_get_string(...)                                                                   \
    (::kestrova::platform::gio().g_desktop_app_info_get_string(__VA_ARGS__))
#define g_desktop_app_info_get_type(...)                                                                     \
    (::kestrova::platform::gio().g_desktop_app_info_get_type(__VA_ARGS__))
#define g_desktop_app_info_new(...) (::kestrova::platform::gio().g_desktop_app_info_new(__VA_ARGS__))
#define g_desktop_app_info_new_from_filename(...)                                                            \
    (::kestrova::platform::gio().g_desktop_app_info_new_from_filename(__VA_ARGS__))
#define g_file_info_get_content_type(...)                                                                    \
    (::kestrova::platform::gio().g_file_info_get_content_type(__VA_ARGS__))
#define g_file_info_get_display_name(...)                                                                    \
    (::kestrova::platform::gio().g_file_info_get_display_name(__VA_ARGS__))
#define g_file_new_for_path(...) (::kestrova::platform::gio().g_file_new_for_path(__VA_ARGS__))
#define g_file_query_info(...) (::kestrova::platform::gio().g_file_query_info(__VA_ARGS__))
#define g_file_trash(...) (::kestrova::platform::gio().g_file_trash(__VA_ARGS__))
#define g_icon_to_string(...) (::kestrova::platform::gio().g_icon_to_string(__VA_ARGS__))
#define g_io_error_quark(...) (::kestrova::platform::gio().g_io_error_quark(__VA_ARGS__))
#define g_object_unref(...) (::kestrova::platform::gio().g_object_unref(__VA_ARGS__))
#define g_settings_get_boolean(...) (::kestrova::platform::gio().g_settings_get_boolean(__VA_ARGS__))
#define g_settings_new(...) (::kestrova::platform::gio().g_settings_new(__VA_ARGS__))
#define g_settings_new_full(...) (::kestrova::platform::gio().g_settings_new_full(__VA_ARGS__))
#define g_settings_schema_has_key(...) (::kestrova::platform::gio().g_settings_schema_has_key(__VA_ARGS__))
#define g_settings_schema_source_get_default(...)                                                            \
    (::kestrova::platform::gio().g_settings_schema_source_get_default(__VA_ARGS__))
#define g_settings_schema_source_lookup(...)                                                                 \
    (::kestrova::platform::gio().g_settings_schema_source_lookup(__VA_ARGS__))
#define g_settings_schema_unref(...) (::kestrova::platform::gio().g_settings_schema_unref(__VA_ARGS__))
#define g_type_check_instance_cast(...) (::kestrova::platform::gio().g_type_check_instance_cast(__VA_ARGS__))
#define g_type_check_instance_is_a(...) (::kestrova::platform::gio().g_type_check_instance_is_a(__VA_ARGS__))
