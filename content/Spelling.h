// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "content/Score.h"

#include <string>
#include <vector>

namespace zupfomat::content {

// Sharps (positive) or flats (negative) of a key's signature; 0 for C major, A minor or no key.
int keyFifths(const std::string& key);

enum class Accidental { None, Sharp, Flat, Natural };

// A written note: its letter (0 C .. 6 B), octave, alteration (-1 flat, +1 sharp) and the
// accidental the staff shows before it.
struct WrittenNote {
    int letter = 0;
    int octave = 4;
    int alter = 0;
    Accidental accidental = Accidental::None;
    int step() const { return (octave - 4) * 7 + letter - 2; } // 0 is the staff's bottom line E4
};

// Spells a written (an octave above sounding) MIDI note in a key by what it is in that key: the
// scale's own notes as the signature has them; a minor key's raised sixth and seventh and its
// major third with a sharp or natural; the blue note (a flat fifth), a lowered second and, in a
// major key, a lowered third, sixth and seventh with a flat or natural.
WrittenNote spell(int writtenMidi, const std::string& key);

// Every event's notes as the staff writes them, lowest first, with the accidentals a bar needs:
// none for what the signature or an earlier note of the bar already says, a natural to cancel.
std::vector<std::vector<WrittenNote>> writtenNotes(const Score& score);

// The staff step of each sharp or flat of a signature, in the order they are written.
std::vector<int> signatureSteps(int fifths);

} // namespace zupfomat::content
