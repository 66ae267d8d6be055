// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "content/Score.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zupfomat::content {

inline constexpr int kRenderRate = 44100;

struct NoteEvent {
    double seconds = 0;
    double length = 0;
    int channel = 0;
    int key = 60;
    int velocity = 100;
    bool bend = false; // bent up a whole tone soon after it sounds
    bool palmMuted = false; // damped by the picking hand: short and dark
    // Where the pitch wheel goes while the note sounds: {seconds after the strike, semitones from
    // key}. Such a note is on a string's own channel, so that the wheel moves it alone.
    std::vector<std::pair<double, double>> glide;
};

inline constexpr int kMutedChannel = 1;        // palm-muted notes, with their own program and filter
inline constexpr int kMutedProgram = 28;       // General MIDI "Electric Guitar (muted)", 0-based: a clean guitar's mutes
inline constexpr int kFirstStringChannel = 9;  // string s glides on channel 9 + s, clear of the drums
inline constexpr int kStringWheelRange = 24;   // semitones the wheel reaches there: any slide on the neck

struct RenderJob {
    std::vector<NoteEvent> notes;
    int guitarProgram = 25;  // General MIDI program (0-based) on channel 0; channel 9 is drums
    double seconds = 0;      // how much to render; whole 64-frame blocks, at least this long
};

// Renders with a synthesizer of its own (a reused one keeps reverb and queued resets from the
// file before), so that the same job always gives the same samples. Stereo float, interleaved.
std::vector<float> renderJob(const RenderJob& job, const std::string& soundFont, std::string* error);

// The notes of a score; tempoFactor below 1 plays it slower at the same pitch.
std::vector<NoteEvent> scoreNotes(const Score& score, double tempoFactor);
int programFor(Sound sound);
// One of the overdriven or distorted guitars: its palm mutes are its own sound, damped.
bool distortedProgram(int program);

// Full scale 1.0 to 16 bits, as it is.
std::vector<int16_t> toSamples(const std::vector<float>& samples);
// A short fade over the last milliseconds, so that a cut-off note ends without a click.
void fadeOut(std::vector<float>& samples, double seconds);

std::string defaultSoundFont();

} // namespace zupfomat::content
