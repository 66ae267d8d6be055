// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/Synth.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <set>

namespace zupfomat::content {
namespace {

constexpr int kBlockFrames = 64;

struct SynthDeleter {
    void operator()(fluid_synth_t* s) const { delete_fluid_synth(s); }
};
struct SettingsDeleter {
    void operator()(fluid_settings_t* s) const { delete_fluid_settings(s); }
};

enum class ChangeKind { NoteOff, Bend, NoteOn }; // at one frame: release first, strike last

struct Change {
    int64_t frame;
    ChangeKind kind;
    const NoteEvent* note;
    int bend = 0; // the pitch wheel, 8192 at rest
};

constexpr int kWheelCentre = 8192;
constexpr double kBendStart = 0.04;    // seconds after the strike
constexpr double kBendTime = 0.12;
constexpr int kBendSteps = 12;

} // namespace

std::string defaultSoundFont()
{
    for (const char* path : {"/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/sounds/sf2/default-GM.sf2"}) {
        if (std::filesystem::exists(path))
            return path;
    }
    return {};
}

int programFor(Sound sound)
{
    switch (sound) {
    case Sound::Steel: return 25;      // Acoustic Guitar (steel)
    case Sound::Clean: return 27;      // Electric Guitar (clean)
    case Sound::Overdrive: return 29;  // Overdriven Guitar
    case Sound::Distortion: return 30; // Distortion Guitar
    }
    return 27;
}

bool distortedProgram(int program)
{
    return program == programFor(Sound::Overdrive) || program == programFor(Sound::Distortion);
}

namespace {

constexpr double kSlideTime = 0.07;        // seconds the pitch takes to slide, arriving on the beat
constexpr int kSlideSteps = 10;
constexpr double kFingerTime = 0.004;    // a hammered or pulled finger changes the pitch at once, without a click
constexpr int kFingerSteps = 2;
constexpr double kVibratoDelay = 0.12;     // the note speaks plainly before it wavers
constexpr double kVibratoRate = 5.5;       // Hz
constexpr double kVibratoDepth = 0.5;      // semitones either way: a quarter tone
constexpr double kVibratoStep = 1.0 / 60;  // seconds between wheel positions
constexpr double kMutedLength = 0.5;       // of the note's written length: the hand damps it early
constexpr int kMutedSofter = 12;           // velocity
// A distorted guitar's palm mute is its own sound damped, a short dark chug; the amp's
// compression keeps it about as loud as the chords, so it is not played softer.
constexpr double kChugLength = 0.35;       // of the note's written length
constexpr float kChugCutoff = -2700;       // cents off the program's filter: the palm takes the overtones
constexpr float kChugResonance = -200;     // centibels: no peak at the cutoff, which would whistle
constexpr float kChugRelease = -2400;      // timecents: a quarter of the program's release, damped at once
constexpr float kChugMakeUp = -45;         // centibels of attenuation: what the filter takes, given back
constexpr double kPi = 3.14159265358979323846;

// Palm mutes on their own channel: a clean guitar's are General MIDI's muted guitar; a distorted
// one's are its own program, darkened, released at once and made up in level.
void setUpPalmMutes(fluid_synth_t* synth, int guitarProgram)
{
    if (!distortedProgram(guitarProgram)) {
        fluid_synth_program_change(synth, kMutedChannel, kMutedProgram);
        return;
    }
    fluid_synth_program_change(synth, kMutedChannel, guitarProgram);
    fluid_synth_set_gen(synth, kMutedChannel, GEN_FILTERFC, kChugCutoff);
    fluid_synth_set_gen(synth, kMutedChannel, GEN_FILTERQ, kChugResonance);
    fluid_synth_set_gen(synth, kMutedChannel, GEN_VOLENVRELEASE, kChugRelease);
    fluid_synth_set_gen(synth, kMutedChannel, GEN_ATTENUATION, kChugMakeUp);
}

void addVibrato(NoteEvent& n, double from, double until, double base)
{
    for (double t = from; t < until; t += kVibratoStep)
        n.glide.push_back({t, base + kVibratoDepth * std::sin(2 * kPi * kVibratoRate * (t - from))});
    n.glide.push_back({until, base});
}

} // namespace

std::vector<NoteEvent> scoreNotes(const Score& score, double tempoFactor)
{
    const double secondsPerTick = 60.0 / (score.tempo * tempoFactor) / kTicksPerQuarter;
    const int beat = score.beatValue == 8 ? kTicksPerQuarter * 3 / 2 : kTicksPerQuarter;
    // A shuffle plays each beat's second eighth a triplet eighth late, so that the first lasts
    // two triplet eighths and the second one; notes elsewhere in the beat (triplets) stay put.
    const bool swung = score.shuffle && score.beatValue == 4;
    auto swingTicks = [&](int tick) {
        return tick % kTicksPerQuarter == kTicksPerQuarter / 2 ? tick + kTicksPerQuarter / 6 : tick;
    };
    const bool chugs = distortedProgram(programFor(score.sound));
    const double mutedShare = chugs ? kChugLength : kMutedLength;
    const int mutedSofter = chugs ? 0 : kMutedSofter;
    std::vector<NoteEvent> notes;
    // The note each string still sounds: where it is in notes, the tick its event ends and the
    // key a slide has taken it to.
    struct Sounding {
        int index = -1;
        int endTick = -1;
        int key = 0;
    };
    Sounding strings[7];
    auto tickSeconds = [&](int tick) { return swung ? swingTicks(tick) * secondsPerTick : tick * secondsPerTick; };
    // Where a let-ring note stops: when its string is played again, or the piece ends.
    auto ringsUntil = [&](size_t from, int string) {
        for (size_t k = from + 1; k < score.events.size(); ++k) {
            for (const FrettedNote& n : score.events[k].notes) {
                if (n.string == string)
                    return score.events[k].start;
            }
        }
        return score.lengthTicks();
    };
    for (size_t index = 0; index < score.events.size(); ++index) {
        const Event& e = score.events[index];
        const bool onBeat = e.start % beat == 0;
        const bool onBar = std::find(score.barStarts.begin(), score.barStarts.end(), e.start) != score.barStarts.end();
        const double eventSeconds = tickSeconds(e.start);
        const double eventLength = swung ? (swingTicks(e.start + e.duration) - swingTicks(e.start)) * secondsPerTick
                                         : e.duration * secondsPerTick;
        // Low strings first, a few milliseconds apart, as a pick strums.
        std::vector<FrettedNote> strum = e.notes;
        std::sort(strum.begin(), strum.end(), [](const FrettedNote& a, const FrettedNote& b) { return a.string > b.string; });
        for (size_t i = 0; i < strum.size(); ++i) {
            NoteEvent n;
            n.seconds = eventSeconds + 0.006 * double(i);
            n.length = std::max(0.05, eventLength * 0.92);
            n.key = midiNote(strum[i]);
            if (e.letRing) // to the next note on the string, less a hair for the fingers to lift
                n.length = std::max(n.length, tickSeconds(ringsUntil(index, strum[i].string)) - eventSeconds - 0.02);
            const Technique technique = strum[i].technique;
            Sounding& sounding = strings[strum[i].string];
            // A slide, hammer-on or pull-off keeps the string sounding: the note before on it is
            // held, not picked again, and its pitch moves to this one: gliding over the frets for a
            // slide, at once for a finger hammered on or pulled off. A bent note before it is left
            // to ring out: its wheel is the bend's.
            const bool slurred = technique == Technique::HammerOn || technique == Technique::PullOff || technique == Technique::Slide;
            if (slurred && sounding.index >= 0 && sounding.endTick == e.start && !notes[size_t(sounding.index)].bend) {
                NoteEvent& held = notes[size_t(sounding.index)];
                held.channel = kFirstStringChannel + strum[i].string;
                const double arrive = n.seconds - held.seconds;
                const bool slide = technique == Technique::Slide;
                const double glideTime = std::min(slide ? kSlideTime : kFingerTime, arrive / 2);
                const int steps = slide ? kSlideSteps : kFingerSteps;
                while (!held.glide.empty() && held.glide.back().first >= arrive - glideTime)
                    held.glide.pop_back(); // a vibrato of the note before stops where the new note begins
                const double from = sounding.key - held.key, to = n.key - held.key;
                for (int step = 1; step <= steps; ++step)
                    held.glide.push_back({arrive - glideTime + glideTime * step / steps, from + (to - from) * step / steps});
                held.length = arrive + (strum[i].palmMuted ? std::max(0.05, n.length * mutedShare) : n.length);
                if (strum[i].vibrato)
                    addVibrato(held, arrive + kVibratoDelay, held.length, to);
                sounding.endTick = e.start + e.duration;
                sounding.key = n.key;
                continue;
            }
            n.velocity = slurred ? 66 : onBar ? 112 : onBeat ? 100 : 86; // the fretting hand is softer than the pick
            n.bend = technique == Technique::Bend;
            if (n.bend || strum[i].vibrato) {
                // Bends and vibrato move the pitch wheel of the string's own channel, so that
                // they move this note alone; a vibrato wavers round the bend's target.
                n.channel = kFirstStringChannel + strum[i].string;
                const double base = n.bend ? strum[i].bendSemitones : 0;
                for (int step = 1; n.bend && step <= kBendSteps; ++step)
                    n.glide.push_back({std::min(n.length * 0.8, kBendStart + kBendTime * step / kBendSteps), base * step / kBendSteps});
                if (strum[i].vibrato)
                    addVibrato(n, std::min(n.length, n.bend ? kBendStart + kBendTime : kVibratoDelay), n.length, base);
            }
            if (strum[i].palmMuted) {
                n.palmMuted = true;
                if (n.channel == 0)
                    n.channel = kMutedChannel;
                n.length = std::max(0.05, n.length * mutedShare);
                n.velocity -= mutedSofter;
            }
            sounding = {int(notes.size()), e.start + e.duration, n.key};
            notes.push_back(n);
        }
    }
    return notes;
}

std::vector<float> renderJob(const RenderJob& job, const std::string& soundFont, std::string* error)
{
    std::unique_ptr<fluid_settings_t, SettingsDeleter> settings(new_fluid_settings());
    fluid_settings_setnum(settings.get(), "synth.sample-rate", kRenderRate);
    fluid_settings_setint(settings.get(), "synth.threadsafe-api", 0);
    fluid_settings_setint(settings.get(), "synth.lock-memory", 0);
    // Only the samples a piece uses are read from the 140 MB soundfont.
    fluid_settings_setint(settings.get(), "synth.dynamic-sample-loading", 1);
    fluid_settings_setint(settings.get(), "synth.chorus.active", 0);
    fluid_settings_setint(settings.get(), "synth.reverb.active", 1);
    fluid_settings_setnum(settings.get(), "synth.gain", 0.5);
    std::unique_ptr<fluid_synth_t, SynthDeleter> synth(new_fluid_synth(settings.get()));
    if (!synth || fluid_synth_sfload(synth.get(), soundFont.c_str(), 1) == FLUID_FAILED) {
        if (error)
            *error = "cannot load the soundfont " + soundFont;
        return {};
    }
    fluid_synth_program_change(synth.get(), 0, job.guitarProgram);
    // The other channels only when a note uses them, so that a piece without is rendered as ever.
    std::set<int> channels;
    for (const NoteEvent& n : job.notes)
        channels.insert(n.channel);
    for (int channel : channels) {
        if (channel == kMutedChannel)
            setUpPalmMutes(synth.get(), job.guitarProgram);
        if (channel > kFirstStringChannel) {
            fluid_synth_program_change(synth.get(), channel, job.guitarProgram);
            fluid_synth_pitch_wheel_sens(synth.get(), channel, kStringWheelRange);
        }
    }

    std::vector<Change> changes;
    auto frameAt = [](double seconds) { return int64_t(std::llround(seconds * kRenderRate)); };
    for (const NoteEvent& n : job.notes) {
        changes.push_back({frameAt(n.seconds), ChangeKind::NoteOn, &n});
        changes.push_back({frameAt(n.seconds + n.length), ChangeKind::NoteOff, &n});
        if (!n.glide.empty()) {
            // The wheel is left where it is at the end, so that the release keeps its pitch; the
            // next note on the string's channel sets it back as it strikes.
            changes.push_back({frameAt(n.seconds), ChangeKind::Bend, &n, kWheelCentre});
            for (const auto& [after, semitones] : n.glide) {
                const int wheel = kWheelCentre + int(std::lround(semitones / kStringWheelRange * 8191));
                changes.push_back({frameAt(n.seconds + after), ChangeKind::Bend, &n, std::clamp(wheel, 0, 16383)});
            }
        }
    }
    std::stable_sort(changes.begin(), changes.end(), [](const Change& a, const Change& b) {
        return a.frame != b.frame ? a.frame < b.frame : int(a.kind) < int(b.kind);
    });
    const int64_t wanted = int64_t(std::ceil(job.seconds * kRenderRate));
    const int64_t blocks = (wanted + kBlockFrames - 1) / kBlockFrames;
    std::vector<float> out(size_t(blocks * kBlockFrames) * 2);
    float left[kBlockFrames], right[kBlockFrames];
    size_t next = 0;
    for (int64_t block = 0; block < blocks; ++block) {
        const int64_t start = block * kBlockFrames;
        while (next < changes.size() && changes[next].frame < start + kBlockFrames) {
            const Change& c = changes[next++];
            switch (c.kind) {
            case ChangeKind::NoteOn:
                fluid_synth_noteon(synth.get(), c.note->channel, c.note->key, c.note->velocity);
                break;
            case ChangeKind::NoteOff:
                fluid_synth_noteoff(synth.get(), c.note->channel, c.note->key);
                break;
            case ChangeKind::Bend:
                fluid_synth_pitch_bend(synth.get(), c.note->channel, c.bend);
                break;
            }
        }
        fluid_synth_write_float(synth.get(), kBlockFrames, left, 0, 1, right, 0, 1);
        for (int i = 0; i < kBlockFrames; ++i) {
            out[size_t(start + i) * 2] = left[i];
            out[size_t(start + i) * 2 + 1] = right[i];
        }
    }
    out.resize(size_t(wanted) * 2);
    return out;
}

std::vector<int16_t> toSamples(const std::vector<float>& samples)
{
    std::vector<int16_t> out(samples.size());
    for (size_t i = 0; i < samples.size(); ++i)
        out[i] = int16_t(std::clamp<long>(std::lround(samples[i] * 32767.0f), -32768, 32767));
    return out;
}

void fadeOut(std::vector<float>& samples, double seconds)
{
    const size_t frames = std::min(samples.size() / 2, size_t(seconds * kRenderRate));
    const size_t total = samples.size() / 2;
    for (size_t i = 0; i < frames; ++i) {
        const float g = float(i) / float(frames);
        samples[(total - 1 - i) * 2] *= g;
        samples[(total - 1 - i) * 2 + 1] *= g;
    }
}

} // namespace zupfomat::content
