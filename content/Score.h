// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace zupfomat::content {

// Ticks of a quarter note; fine enough for sixteenth triplets.
inline constexpr int kTicksPerQuarter = 480;

enum class Sound { Steel, Clean, Overdrive, Distortion };

// How a note is played besides picking it.
enum class Technique {
    Picked,
    HammerOn, // "h": from the note before, on the same string, by the fretting hand alone
    PullOff,  // "p"
    Bend,     // "b": bent up bendSemitones, a whole tone ("full") unless its target says a half ("1/2")
    Slide,    // "s": slid to from the note before on the same string, not picked again
};

struct FrettedNote {
    int string = 1; // 1 is the high e, 6 the low E
    int fret = 0;
    Technique technique = Technique::Picked;
    bool palmMuted = false; // "m": damped by the picking hand's edge, short and dark
    bool vibrato = false;   // "v": the pitch wavers once the note sounds
    int bendSemitones = 2;  // how far a bend goes: "7b9" is full, "7b8" a half
};

// A note, a chord (several strings at once) or, with no notes, a rest.
struct Event {
    int start = 0;    // ticks from the beginning
    int duration = 0; // ticks
    std::string durationText; // as written: "8", "4.", "8t"
    std::vector<FrettedNote> notes;
    bool letRing = false; // inside "ring( ... )": its notes sound on until their string is played again
};

// An exercise's slow recording runs at this share of its tempo unless its notes name one.
inline constexpr double kDefaultSlowShare = 0.6;

// The course's levels run from 1 to this.
inline constexpr int kTopLevel = 10;

struct Score {
    std::string title;
    int level = 0;      // "level: 3": where the piece stands in the course; 0 for none
    std::string focus;  // "focus: Hammer-on und Pull-off": the technique the piece practises, in German
    int tempo = 100; // quarter notes a minute
    int slowTempo = 0; // "slow: 60": the slow recording's tempo; 0 for the default share
    std::string key;   // "E minor", "A major": the key the piece states; empty for none
    int beats = 4;
    int beatValue = 4;
    Sound sound = Sound::Clean;
    bool shuffle = false; // "feel: shuffle": eighths are played long-short, as triplets
    std::vector<Event> events;
    std::vector<int> barStarts; // tick of each bar's start; one more at the end
    int lengthTicks() const { return barStarts.empty() ? 0 : barStarts.back(); }
    double seconds() const { return lengthTicks() / double(kTicksPerQuarter) * 60.0 / tempo; }
    double slowShare() const { return slowTempo > 0 ? double(slowTempo) / tempo : kDefaultSlowShare; }
};

// Standard tuning, MIDI note of each open string, index 1 to 6.
inline constexpr int kOpenString[7] = {0, 64, 59, 55, 50, 45, 40};
inline int midiNote(const FrettedNote& n) { return kOpenString[n.string] + n.fret; }
// Where a note ends up: a bend's target, else the note itself.
inline int heardNote(const FrettedNote& n) { return midiNote(n) + (n.technique == Technique::Bend ? n.bendSemitones : 0); }

} // namespace zupfomat::content
