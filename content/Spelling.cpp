// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/Spelling.h"

#include "content/NoteFormat.h"

#include <algorithm>
#include <map>

namespace zupfomat::content {
namespace {

constexpr int kNaturalPitch[7] = {0, 2, 4, 5, 7, 9, 11}; // C D E F G A B
constexpr int kSharpOrder[7] = {3, 0, 4, 1, 5, 2, 6};    // F C G D A E B
constexpr int kFlatOrder[7] = {6, 2, 5, 1, 4, 0, 3};     // B E A D G C F
// Where a signature's sharps and flats sit on the treble staff, in the order above.
constexpr int kSharpSteps[7] = {8, 5, 9, 6, 3, 7, 4};
constexpr int kFlatSteps[7] = {4, 7, 3, 6, 2, 5, 1};

bool isMinor(const std::string& key) { return key.find("minor") != std::string::npos; }

int letterOf(char c) { return c >= 'A' && c <= 'G' ? (c - 'A' + 5) % 7 : -1; }

// For each semitone above the tonic: the scale degree (0 the tonic) it is written as. Minor and
// major keys agree: a note between two degrees is the upper one lowered (b2, b3, b5, b6, b7),
// except the major third, sixth and seventh, which are their own degrees in either mode.
constexpr int kDegree[12] = {0, 1, 1, 2, 2, 3, 4, 4, 5, 5, 6, 6};

int wrap(int semitones) { return ((semitones + 6) % 12 + 12) % 12 - 6; }

// The alteration each letter has in a signature.
std::map<int, int> signatureAlters(int fifths)
{
    std::map<int, int> alters;
    for (int i = 0; i < std::abs(fifths) && i < 7; ++i)
        alters[fifths > 0 ? kSharpOrder[i] : kFlatOrder[i]] = fifths > 0 ? 1 : -1;
    return alters;
}

WrittenNote fromLetter(int writtenMidi, int letter)
{
    WrittenNote n;
    n.letter = letter;
    n.alter = wrap(writtenMidi % 12 - kNaturalPitch[letter]);
    n.octave = (writtenMidi - n.alter) / 12 - 1;
    return n;
}

} // namespace

int keyFifths(const std::string& key)
{
    const int tonic = keyTonic(key);
    if (tonic < 0)
        return 0;
    const int major = isMinor(key) ? (tonic + 3) % 12 : tonic;
    // The circle of fifths from C: seven steps up a fifth give the pitch class times seven.
    int fifths = (major * 7) % 12;
    if (fifths > 6 || (fifths == 6 && key.find('b') != std::string::npos))
        fifths -= 12;
    return fifths;
}

WrittenNote spell(int writtenMidi, const std::string& key)
{
    const int tonic = keyTonic(key);
    const int tonicLetter = key.empty() ? -1 : letterOf(key[0]);
    if (tonic < 0 || tonicLetter < 0) {
        // No key: sharps, as a chromatic scale upwards is written.
        static const int sharpLetter[12] = {0, 0, 1, 1, 2, 3, 3, 4, 4, 5, 5, 6};
        return fromLetter(writtenMidi, sharpLetter[writtenMidi % 12]);
    }
    const int interval = ((writtenMidi - tonic) % 12 + 12) % 12;
    const int degree = kDegree[interval];
    WrittenNote n = fromLetter(writtenMidi, (tonicLetter + degree) % 7);
    if (std::abs(n.alter) > 1) { // a double sharp or flat reads worse than the neighbouring letter
        const int letter = (n.letter + (n.alter > 0 ? 1 : 6)) % 7;
        n = fromLetter(writtenMidi, letter);
    }
    return n;
}

std::vector<std::vector<WrittenNote>> writtenNotes(const Score& score)
{
    const std::map<int, int> signature = signatureAlters(keyFifths(score.key));
    std::vector<std::vector<WrittenNote>> written;
    std::map<std::pair<int, int>, int> inBar; // (letter, octave) -> alteration the bar has set
    size_t bar = 1;
    for (const Event& e : score.events) {
        while (bar < score.barStarts.size() && e.start >= score.barStarts[bar]) {
            inBar.clear(); // accidentals hold to the end of their bar
            ++bar;
        }
        std::vector<int> pitches;
        for (const FrettedNote& fretted : e.notes)
            pitches.push_back(midiNote(fretted) + 12);
        std::sort(pitches.begin(), pitches.end());
        std::vector<WrittenNote> notes;
        for (size_t i = 0; i < pitches.size(); ++i) {
            WrittenNote n = spell(pitches[i], score.key);
            // A power chord's fifth and octave are spelled from its root, never enharmonically.
            if (i > 0) {
                const int above = pitches[i] - pitches[0];
                if (above % 12 == 7)
                    n = fromLetter(pitches[i], (notes[0].letter + 4) % 7);
                else if (above % 12 == 0)
                    n = fromLetter(pitches[i], notes[0].letter);
            }
            notes.push_back(n);
        }
        for (WrittenNote& n : notes) {
            const auto key = std::make_pair(n.letter, n.octave);
            const auto set = inBar.find(key);
            const auto signed_ = signature.find(n.letter);
            const int current = set != inBar.end() ? set->second : (signed_ != signature.end() ? signed_->second : 0);
            if (n.alter != current)
                n.accidental = n.alter > 0 ? Accidental::Sharp : n.alter < 0 ? Accidental::Flat : Accidental::Natural;
            inBar[key] = n.alter;
        }
        written.push_back(notes);
    }
    return written;
}

std::vector<int> signatureSteps(int fifths)
{
    std::vector<int> steps;
    for (int i = 0; i < std::abs(fifths) && i < 7; ++i)
        steps.push_back(fifths > 0 ? kSharpSteps[i] : kFlatSteps[i]);
    return steps;
}

} // namespace zupfomat::content
