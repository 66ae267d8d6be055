#pragma once

namespace zupfomat {

// Loads FFmpeg and SDL2 on a thread of their own, so that the first PLAY finds them ready
// (media/MediaLibraries.h loads them on first use otherwise).
void warmUpMediaLibraries();
// True once a warm-up has loaded them (or found they cannot load).
bool mediaLibrariesWarm();

} // namespace zupfomat
