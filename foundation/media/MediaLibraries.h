#pragma once

// The movie and HEIC libraries bring their codecs with them: about a hundred shared libraries and some
// 18 MB of resident memory, loaded and relocated before the first line of main. Most runs never read a
// movie or a HEIC file, so they are loaded on first use instead, and their functions called through these
// tables. Their own headers still give every function its exact type.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/imgutils.h>
#include <libheif/heif.h>
#include <libswscale/swscale.h>
}

#include <QString>

#define KESTROVA_LIBAV_FUNCTIONS(X)                                                                          \
    X(av_dict_free)                                                                                          \
    X(av_dict_set)                                                                                           \
    X(av_dict_set_int)                                                                                       \
    X(av_frame_alloc)                                                                                        \
    X(av_frame_free)                                                                                         \
    X(av_frame_move_ref)                                                                                     \
    X(av_frame_unref)                                                                                        \
    X(av_free)                                                                                               \
    X(av_freep)                                                                                              \
    X(av_image_check_size)                                                                                   \
    X(av_log_set_level)                                                                                      \
    X(av_malloc)                                                                                             \
    X(av_packet_alloc)                                                                                       \
    X(av_packet_free)                                                                                        \
    X(av_packet_unref)                                                                                       \
    X(av_read_frame)                                                                                         \
    X(av_rescale_q)                                                                                          \
    X(av_seek_frame)                                                                                         \
    X(av_stream_get_side_data)                                                                               \
    X(av_strerror)                                                                                           \
    X(avcodec_alloc_context3)                                                                                \
    X(avcodec_find_decoder)                                                                                  \
    X(avcodec_flush_buffers)                                                                                 \
    X(avcodec_free_context)                                                                                  \
    X(avcodec_open2)                                                                                         \
    X(avcodec_parameters_to_context)                                                                         \
    X(avcodec_receive_frame)                                                                                 \
    X(avcodec_send_packet)                                                                                   \
    X(avformat_alloc_context)                                                                                \
    X(avformat_close_input)                                                                                  \
    X(avformat_find_stream_info)                                                                             \
    X(avformat_open_input)                                                                                   \
    X(avio_alloc_context)                                                                                    \
    X(avio_context_free)                                                                                     \
    X(sws_freeContext)                                                                                       \
    X(sws_getContext)                                                                                        \
    X(sws_scale)

#define KESTROVA_LIBHEIF_FUNCTIONS(X)                                                                        \
    X(heif_check_filetype)                                                                                   \
    X(heif_context_alloc)                                                                                    \
    X(heif_context_encode_image)                                                                             \
    X(heif_context_free)                                                                                     \
    X(heif_context_get_encoder_for_format)                                                                   \
    X(heif_context_get_primary_image_handle)                                                                 \
    X(heif_context_read_from_memory_without_copy)                                                            \
    X(heif_context_write)                                                                                    \
    X(heif_decode_image)                                                                                     \
    X(heif_encoder_release)                                                                                  \
    X(heif_encoder_set_lossy_quality)                                                                        \
    X(heif_image_add_plane)                                                                                  \
    X(heif_image_create)                                                                                     \
    X(heif_image_get_plane)                                                                                  \
    X(heif_image_get_plane_readonly)                                                                         \
    X(heif_image_handle_get_height)                                                                          \
    X(heif_image_handle_get_width)                                                                           \
    X(heif_image_handle_release)                                                                             \
    X(heif_image_release)

namespace kestrova::media {

#define KESTROVA_MEDIA_FUNCTION(name) decltype(&::name) name = nullptr;

// libavformat, libavcodec, libavutil and libswscale.
struct Libav {
    KESTROVA_LIBAV_FUNCTIONS(KESTROVA_MEDIA_FUNCTION)
};

struct Libheif {
    KESTROVA_LIBHEIF_FUNCTIONS(KESTROVA_MEDIA_FUNCTION)
};

#undef KESTROVA_MEDIA_FUNCTION

// Loaded on the first call from any thread and kept for the life of the process; nullptr where a library
// or one of its functions is missing, with the reason in `problem`.
const Libav *libav(QString *problem = nullptr);
const Libheif *libheif(QString *problem = nullptr);

} // namespace kestrova::media
