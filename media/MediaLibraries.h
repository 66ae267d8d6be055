// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// FFmpeg and SDL2 are loaded when the first recording opens (or by the device's warm-up once the window
// is on screen), not with the program: together they pull in well over a hundred libraries that the
// first frame does not need. Each table is null when its libraries cannot be loaded; a
// recording then cannot open and sound goes to the clock-driven null output.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}
#include <rubberband/rubberband-c.h>
#ifndef SDL_MAIN_HANDLED
#define SDL_MAIN_HANDLED // the program has its own main
#endif
#include <SDL.h>

namespace zupfomat {

#define ZUPFOMAT_FFMPEG_CALLS(X)                                                                          \
    X(avformat, avformat_alloc_context) X(avformat, avformat_open_input) X(avformat, avformat_find_stream_info) \
    X(avformat, avformat_close_input) X(avformat, av_find_best_stream) X(avformat, av_probe_input_format2) \
    X(avformat, av_read_frame) X(avcodec, avcodec_find_decoder) X(avcodec, avcodec_alloc_context3)          \
    X(avcodec, avcodec_free_context) X(avcodec, avcodec_open2) X(avcodec, avcodec_parameters_to_context)    \
    X(avcodec, avcodec_send_packet) X(avcodec, avcodec_receive_frame) X(avcodec, av_packet_alloc)           \
    X(avcodec, av_packet_free) X(avcodec, av_packet_unref) X(avutil, av_frame_alloc) X(avutil, av_frame_free) \
    X(avutil, av_frame_unref) X(avutil, av_get_bytes_per_sample) X(avutil, av_sample_fmt_is_planar)         \
    X(avutil, av_log_set_level) X(avutil, av_rescale) X(avutil, av_rescale_q)                               \
    X(avutil, av_dict_set) X(avutil, av_dict_free)                                                          \
    X(avutil, av_channel_layout_compare) X(avutil, av_channel_layout_copy)                                  \
    X(avutil, av_channel_layout_default) X(avutil, av_channel_layout_uninit) X(swresample, swr_alloc_set_opts2) \
    X(swresample, swr_init) X(swresample, swr_convert) X(swresample, swr_free) X(swresample, swr_get_out_samples)

#define ZUPFOMAT_SDL_CALLS(X)                                                                              \
    X(sdl, SDL_SetMainReady) X(sdl, SDL_SetHint) X(sdl, SDL_InitSubSystem) X(sdl, SDL_QuitSubSystem)          \
    X(sdl, SDL_OpenAudioDevice) X(sdl, SDL_CloseAudioDevice) X(sdl, SDL_PauseAudioDevice)                    \
    X(sdl, SDL_GetAudioDeviceStatus) X(sdl, SDL_GetCurrentAudioDriver)

#define ZUPFOMAT_RUBBERBAND_CALLS(X)                                                                       \
    X(rubberband, rubberband_new) X(rubberband, rubberband_delete) X(rubberband, rubberband_reset)             \
    X(rubberband, rubberband_set_time_ratio) X(rubberband, rubberband_get_preferred_start_pad)                 \
    X(rubberband, rubberband_get_start_delay) X(rubberband, rubberband_get_samples_required)                  \
    X(rubberband, rubberband_set_max_process_size) X(rubberband, rubberband_process)                          \
    X(rubberband, rubberband_available) X(rubberband, rubberband_retrieve) X(rubberband, rubberband_get_engine_version)

#define ZUPFOMAT_DECLARE_CALL(library, name) decltype(&::name) name = nullptr;

struct FFmpegCalls {
    ZUPFOMAT_FFMPEG_CALLS(ZUPFOMAT_DECLARE_CALL)
};

struct SdlCalls {
    ZUPFOMAT_SDL_CALLS(ZUPFOMAT_DECLARE_CALL)
};

struct RubberBandCalls {
    ZUPFOMAT_RUBBERBAND_CALLS(ZUPFOMAT_DECLARE_CALL)
};

#undef ZUPFOMAT_DECLARE_CALL

// Loaded on the first call, once, from any thread; null when a library or a call is missing.
const FFmpegCalls* ffmpegLibrary();
const SdlCalls* sdlLibrary();
// Rubber Band, the time-stretcher, loaded only when a tempo other than the recording's own is asked for.
const RubberBandCalls* rubberBandLibrary();


} // namespace zupfomat
