#pragma once

namespace zupfomat {

// Loads FFmpeg and SDL2 on a thread of their own, so that the first PLAY finds them ready
// (media/MediaLibraries.h loads them on first use otherwise).
void warmUpMediaLibraries();

} // namespace zupfomat
