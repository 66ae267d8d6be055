// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/NoteFormat.h"

#include <cctype>
#include <cstring>
#include <sstream>

namespace zupfomat::content {
namespace {

struct Fail {
    int column;
    std::string message;
};

const char* soundName(Sound sound)
{
    switch (sound) {
    case Sound::Steel: return "steel";
    case Sound::Clean: return "clean";
    case Sound::Overdrive: return "overdrive";
    case Sound::Distortion: return "distortion";
    }
    return "clean";
}

std::optional<Sound> soundFromName(const std::string& name)
{
    for (Sound s : {Sound::Steel, Sound::Clean, Sound::Overdrive, Sound::Distortion}) {
        if (name == soundName(s))
            return s;
    }
    return std::nullopt;
}

Technique techniqueFromMark(char mark)
{
    switch (mark) {
    case 'h': return Technique::HammerOn;
    case 'p': return Technique::PullOff;
    case 'b': return Technique::Bend;
    case 's': return Technique::Slide;
    default: return Technique::Picked;
    }
}

const char* techniqueMark(Technique technique)
{
    switch (technique) {
    case Technique::HammerOn: return "h";
    case Technique::PullOff: return "p";
    case Technique::Bend: return "b";
    case Technique::Slide: return "s";
    case Technique::Picked: break;
    }
    return "";
}

std::string trimmed(const std::string& text)
{
    size_t a = 0, b = text.size();
    while (a < b && std::isspace(static_cast<unsigned char>(text[a])))
        ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(text[b - 1])))
        --b;
    return text.substr(a, b - a);
}

bool allDigits(const std::string& text)
{
    if (text.empty())
        return false;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

// "8", "4.", "8t" in ticks; 0 for a duration the format does not know.
int durationTicks(const std::string& text)
{
    std::string base = text;
    char mark = 0;
    if (!base.empty() && (base.back() == '.' || base.back() == 't')) {
        mark = base.back();
        base.pop_back();
    }
    static const std::pair<const char*, int> values[] = {{"1", 1920}, {"2", 960}, {"4", 480}, {"8", 240}, {"16", 120}, {"32", 60}};
    for (const auto& [name, ticks] : values) {
        if (base == name)
            return mark == '.' ? ticks * 3 / 2 : mark == 't' ? ticks * 2 / 3 : ticks;
    }
    return 0;
}

// One word of a bar: "6:0/8", "6:0+5:2/4.", "r/4".
Event parseWord(const std::string& word, int column)
{
    const size_t slash = word.rfind('/');
    if (slash == std::string::npos)
        throw Fail{column, "a note needs a duration after '/': " + word};
    Event event;
    event.durationText = word.substr(slash + 1);
    event.duration = durationTicks(event.durationText);
    if (event.duration == 0)
        throw Fail{column + int(slash) + 1, "unknown duration '" + event.durationText + "'"};
    const std::string pitch = word.substr(0, slash);
    if (pitch == "r")
        return event;
    size_t at = 0;
    while (at <= pitch.size()) {
        size_t plus = pitch.find('+', at);
        if (plus == std::string::npos)
            plus = pitch.size();
        const std::string part = pitch.substr(at, plus - at);
        const size_t colon = part.find(':');
        const int partColumn = column + int(at);
        std::string fret = colon == std::string::npos ? std::string() : part.substr(colon + 1);
        FrettedNote note;
        // The letters after the fret: at most one way of sounding it (h, p, b, s), and v and m,
        // which go with any of them.
        size_t digits = 0;
        while (digits < fret.size() && std::isdigit(static_cast<unsigned char>(fret[digits])))
            ++digits;
        for (size_t k = digits; digits > 0 && k < fret.size() && colon != std::string::npos; ++k) {
            const char mark = fret[k];
            const int markColumn = partColumn + int(colon + 1 + k);
            bool* flag = mark == 'v' ? &note.vibrato : mark == 'm' ? &note.palmMuted : nullptr;
            if (flag) {
                if (*flag)
                    throw Fail{markColumn, std::string("'") + mark + "' twice on one note"};
                *flag = true;
                continue;
            }
            const Technique technique = techniqueFromMark(mark);
            if (technique == Technique::Picked)
                throw Fail{markColumn, "unknown technique '" + fret.substr(k) + "' (h, p, b, s, v or m)"};
            if (note.technique != Technique::Picked)
                throw Fail{markColumn, "a note takes only one of h, p, b and s"};
            note.technique = technique;
            // A bend may name the fret whose pitch it reaches, as tab does: "7b9" full, "7b8" half.
            size_t target = k + 1;
            while (technique == Technique::Bend && target < fret.size() && std::isdigit(static_cast<unsigned char>(fret[target])))
                ++target;
            if (target > k + 1) {
                const int from = std::stoi(fret.substr(0, digits));
                const int to = target - k - 1 > 2 ? 999 : std::stoi(fret.substr(k + 1, target - k - 1));
                if (to - from != 1 && to - from != 2)
                    throw Fail{markColumn + 1, "a bend reaches the next fret's pitch or the one after (" + fret.substr(0, digits) + "b" +
                                                   std::to_string(from + 1) + " or " + fret.substr(0, digits) + "b" + std::to_string(from + 2) + ")"};
                note.bendSemitones = to - from;
                k = target - 1;
            }
        }
        if (colon != std::string::npos && digits > 0)
            fret.resize(digits);
        if (colon == std::string::npos || !allDigits(part.substr(0, colon)) || !allDigits(fret))
            throw Fail{partColumn, "expected string:fret, found '" + part + "'"};
        note.string = std::stoi(part.substr(0, colon));
        note.fret = fret.size() > 3 ? 999 : std::stoi(fret);
        if (note.string < 1 || note.string > 6)
            throw Fail{partColumn, "string " + part.substr(0, colon) + " is not 1 to 6"};
        if (note.fret < 0 || note.fret > 24)
            throw Fail{partColumn + int(colon) + 1, "fret " + fret + " is outside 0 to 24"};
        event.notes.push_back(note);
        at = plus + 1;
    }
    return event;
}

void parseHeader(Score& score, const std::string& key, const std::string& value, int valueColumn)
{
    if (key == "title") {
        score.title = value;
    } else if (key == "tempo") {
        if (!allDigits(value) || value.size() > 3 || std::stoi(value) < 20 || std::stoi(value) > 400)
            throw Fail{valueColumn, "tempo must be 20 to 400 quarter notes a minute"};
        score.tempo = std::stoi(value);
    } else if (key == "slow") {
        if (!allDigits(value) || value.size() > 3 || std::stoi(value) < 20 || std::stoi(value) >= score.tempo)
            throw Fail{valueColumn, "slow must be 20 or more quarter notes a minute and below tempo (write tempo first)"};
        score.slowTempo = std::stoi(value);
    } else if (key == "key") {
        if (keyTonic(value) < 0)
            throw Fail{valueColumn, "key must be a note and major or minor, like E minor or F# major"};
        score.key = value;
    } else if (key == "meter") {
        const size_t slash = value.find('/');
        if (slash == std::string::npos || !allDigits(value.substr(0, slash)) || !allDigits(value.substr(slash + 1)))
            throw Fail{valueColumn, "meter must look like 4/4"};
        score.beats = std::stoi(value.substr(0, slash));
        score.beatValue = std::stoi(value.substr(slash + 1));
        if (score.beats < 1 || score.beats > 16 || (score.beatValue != 4 && score.beatValue != 8))
            throw Fail{valueColumn, "meter must have 1 to 16 beats of 4 or 8"};
    } else if (key == "sound") {
        const auto sound = soundFromName(value);
        if (!sound)
            throw Fail{valueColumn, "sound must be steel, clean, overdrive or distortion"};
        score.sound = *sound;
    } else if (key == "feel") {
        if (value != "shuffle" && value != "straight")
            throw Fail{valueColumn, "feel must be shuffle or straight"};
        score.shuffle = value == "shuffle";
    } else if (key == "level") {
        if (!allDigits(value) || value.size() > 2 || std::stoi(value) < 1 || std::stoi(value) > kTopLevel)
            throw Fail{valueColumn, "level must be 1 to " + std::to_string(kTopLevel)};
        score.level = std::stoi(value);
    } else if (key == "focus") {
        score.focus = value;
    } else {
        throw Fail{1, "unknown key '" + key + "'"};
    }
}

} // namespace

std::optional<Score> parseScore(const std::string& text, ParseError* error)
{
    Score score;
    std::istringstream lines(text);
    std::string line;
    int lineNumber = 0;
    int tick = 0;
    bool inBar = false;
    int ringOpenedOn = 0; // the line of an open "ring(", 0 when none is
    int ringOpenedAt = 0;
    try {
        while (std::getline(lines, line)) {
            ++lineNumber;
            // A comment starts with '#' at the start of a line or after a blank; F# is a note.
            for (size_t hash = line.find('#'); hash != std::string::npos; hash = line.find('#', hash + 1)) {
                if (hash == 0 || std::isspace(static_cast<unsigned char>(line[hash - 1]))) {
                    line.erase(hash);
                    break;
                }
            }
            if (trimmed(line).empty())
                continue;
            const size_t colon = line.find(':');
            const size_t firstBar = line.find('|');
            if (firstBar == std::string::npos && colon != std::string::npos) {
                const size_t valueAt = line.find_first_not_of(' ', colon + 1);
                parseHeader(score, trimmed(line.substr(0, colon)), trimmed(line.substr(colon + 1)),
                            int(valueAt == std::string::npos ? colon + 2 : valueAt + 1));
                continue;
            }
            size_t i = 0;
            while (i < line.size()) {
                if (std::isspace(static_cast<unsigned char>(line[i]))) {
                    ++i;
                    continue;
                }
                if (line[i] == '|') {
                    if (!inBar) {
                        if (score.barStarts.empty() || score.barStarts.back() != tick)
                            score.barStarts.push_back(tick);
                        inBar = true;
                    } else {
                        const int barTicks = kTicksPerQuarter * 4 * score.beats / score.beatValue;
                        if (tick - score.barStarts.back() != barTicks)
                            throw Fail{int(i) + 1, "this bar does not add up to " + std::to_string(score.beats) + "/" +
                                                       std::to_string(score.beatValue)};
                        score.barStarts.push_back(tick);
                        // A bar line also opens the next bar when more follows on the line.
                        inBar = line.find_first_not_of(" \t", i + 1) != std::string::npos;
                    }
                    ++i;
                    continue;
                }
                if (!inBar)
                    throw Fail{int(i) + 1, "notes must stand inside | bars |"};
                const size_t end = line.find_first_of(" \t|", i);
                const std::string word = line.substr(i, end == std::string::npos ? std::string::npos : end - i);
                if (word == "ring(" || word == ")") {
                    if ((word == ")") != (ringOpenedOn != 0))
                        throw Fail{int(i) + 1, word == ")" ? "')' closes no ring(" : "ring( inside ring("};
                    ringOpenedOn = word == ")" ? 0 : lineNumber;
                    ringOpenedAt = int(i) + 1;
                    i += word.size();
                    continue;
                }
                Event event = parseWord(word, int(i) + 1);
                event.letRing = ringOpenedOn != 0;
                event.start = tick;
                tick += event.duration;
                score.events.push_back(std::move(event));
                i += word.size();
            }
            if (inBar)
                throw Fail{int(line.size()) + 1, "a bar must end with | on its line"};
        }
        if (ringOpenedOn) {
            lineNumber = ringOpenedOn;
            throw Fail{ringOpenedAt, "ring( is not closed with )"};
        }
        if (score.events.empty())
            throw Fail{1, "no bars"};
    } catch (const Fail& fail) {
        if (error)
            *error = {lineNumber == 0 ? 1 : lineNumber, fail.column, fail.message};
        return std::nullopt;
    }
    return score;
}

std::string formatScore(const Score& score)
{
    std::ostringstream out;
    out << "title: " << score.title << "\n"
        << "tempo: " << score.tempo << "\n";
    if (score.slowTempo > 0)
        out << "slow: " << score.slowTempo << "\n";
    if (!score.key.empty())
        out << "key: " << score.key << "\n";
    out << "meter: " << score.beats << "/" << score.beatValue << "\n"
        << "sound: " << soundName(score.sound) << "\n";
    if (score.shuffle)
        out << "feel: shuffle\n";
    out << "\n";
    size_t event = 0;
    for (size_t bar = 0; bar + 1 < score.barStarts.size(); ++bar) {
        out << "|";
        for (; event < score.events.size() && score.events[event].start < score.barStarts[bar + 1]; ++event) {
            const Event& e = score.events[event];
            const bool ringsOn = event + 1 < score.events.size() && score.events[event + 1].letRing &&
                                 score.events[event + 1].start < score.barStarts[bar + 1];
            // A let-ring stretch is written bar by bar, so that each bar reads whole.
            if (e.letRing && (event == 0 || !score.events[event - 1].letRing || e.start == score.barStarts[bar]))
                out << "  ring(";
            out << "  ";
            if (e.notes.empty())
                out << "r";
            for (size_t n = 0; n < e.notes.size(); ++n)
                out << (n ? "+" : "") << e.notes[n].string << ":" << e.notes[n].fret << techniqueMark(e.notes[n].technique)
                    << (e.notes[n].technique == Technique::Bend && e.notes[n].bendSemitones != 2
                            ? std::to_string(e.notes[n].fret + e.notes[n].bendSemitones) : std::string())
                    << (e.notes[n].vibrato ? "v" : "") << (e.notes[n].palmMuted ? "m" : "");
            out << "/" << e.durationText;
            if (e.letRing && !ringsOn)
                out << "  )";
        }
        out << "  |\n";
    }
    return out.str();
}

int keyTonic(const std::string& key)
{
    static const std::pair<const char*, int> names[] = {{"C", 0},  {"C#", 1}, {"Db", 1},  {"D", 2},  {"D#", 3}, {"Eb", 3},
                                                        {"E", 4},  {"F", 5},  {"F#", 6},  {"Gb", 6}, {"G", 7},  {"G#", 8},
                                                        {"Ab", 8}, {"A", 9},  {"A#", 10}, {"Bb", 10}, {"B", 11}};
    const size_t blank = key.find(' ');
    if (blank == std::string::npos || (key.substr(blank + 1) != "major" && key.substr(blank + 1) != "minor"))
        return -1;
    for (const auto& [name, pitchClass] : names) {
        if (key.compare(0, blank, name) == 0 && blank == std::strlen(name))
            return pitchClass;
    }
    return -1;
}

} // namespace zupfomat::content
