// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/MediaLibraries.h"

#include <dlfcn.h>

#include <string>

namespace zupfomat {
namespace {

#define ZUPFOMAT_STRINGIFY2(x) #x
#define ZUPFOMAT_STRINGIFY(x) ZUPFOMAT_STRINGIFY2(x)

// The libraries of the versions the program was built against, by their sonames.
struct Handles {
    void* avformat = nullptr;
    void* avcodec = nullptr;
    void* avutil = nullptr;
    void* swresample = nullptr;
    void* sdl = nullptr;
    void* rubberband = nullptr;
};

void* open(const char* soname)
{
    // Kept for the program's life: FFmpeg and SDL keep threads and state that outlive any call.
    return dlopen(soname, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
}

template <typename Call>
bool bind(void* library, const char* name, Call& call)
{
    call = library ? reinterpret_cast<Call>(dlsym(library, name)) : nullptr;
    return call != nullptr;
}

#define ZUPFOMAT_BIND(library, name) all = bind(h.library, #name, calls.name) && all;

FFmpegCalls* loadFFmpeg()
{
    static FFmpegCalls calls;
    Handles h;
    h.avutil = open("libavutil.so." ZUPFOMAT_STRINGIFY(LIBAVUTIL_VERSION_MAJOR));
    h.swresample = open("libswresample.so." ZUPFOMAT_STRINGIFY(LIBSWRESAMPLE_VERSION_MAJOR));
    h.avcodec = open("libavcodec.so." ZUPFOMAT_STRINGIFY(LIBAVCODEC_VERSION_MAJOR));
    h.avformat = open("libavformat.so." ZUPFOMAT_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR));
    bool all = true;
    ZUPFOMAT_FFMPEG_CALLS(ZUPFOMAT_BIND)
    return all ? &calls : nullptr;
}

SdlCalls* loadSdl()
{
    static SdlCalls calls;
    Handles h;
    h.sdl = open("libSDL2-2.0.so.0");
    bool all = true;
    ZUPFOMAT_SDL_CALLS(ZUPFOMAT_BIND)
    return all ? &calls : nullptr;
}

RubberBandCalls* loadRubberBand()
{
    static RubberBandCalls calls;
    Handles h;
    h.rubberband = open("librubberband.so.2");
    bool all = true;
    ZUPFOMAT_RUBBERBAND_CALLS(ZUPFOMAT_BIND)
    return all ? &calls : nullptr;
}

#undef ZUPFOMAT_BIND

} // namespace

const FFmpegCalls* ffmpegLibrary()
{
    static const FFmpegCalls* const calls = loadFFmpeg(); // thread-safe, once
    return calls;
}

const RubberBandCalls* rubberBandLibrary()
{
    static const RubberBandCalls* const calls = loadRubberBand();
    return calls;
}

const SdlCalls* sdlLibrary()
{
    static const SdlCalls* const calls = loadSdl();
    return calls;
}

} // namespace zupfomat
