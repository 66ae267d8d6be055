#include "content/Synth.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>

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
constexpr int kWheelWholeTone = 16383; // the default bend range is two semitones
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

std::vector<NoteEvent> scoreNotes(const Score& score, double tempoFactor)
{
    const double secondsPerTick = 60.0 / (score.tempo * tempoFactor) / kTicksPerQuarter;
    const int beat = score.beatValue == 8 ? kTicksPerQuarter * 3 / 2 : kTicksPerQuarter;
    std::vector<NoteEvent> notes;
    for (const Event& e : score.events) {
        const bool onBeat = e.start % beat == 0;
        const bool onBar = std::find(score.barStarts.begin(), score.barStarts.end(), e.start) != score.barStarts.end();
        // Low strings first, a few milliseconds apart, as a pick strums.
        std::vector<FrettedNote> strum = e.notes;
        std::sort(strum.begin(), strum.end(), [](const FrettedNote& a, const FrettedNote& b) { return a.string > b.string; });
        for (size_t i = 0; i < strum.size(); ++i) {
            NoteEvent n;
            n.seconds = e.start * secondsPerTick + 0.006 * double(i);
            n.length = std::max(0.05, e.duration * secondsPerTick * 0.92);
            n.key = midiNote(strum[i]);
            const Technique technique = strum[i].technique;
            const bool slurred = technique == Technique::HammerOn || technique == Technique::PullOff;
            n.velocity = slurred ? 66 : onBar ? 112 : onBeat ? 100 : 86; // the fretting hand is softer than the pick
            n.bend = technique == Technique::Bend;
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

    std::vector<Change> changes;
    auto frameAt = [](double seconds) { return int64_t(std::llround(seconds * kRenderRate)); };
    for (const NoteEvent& n : job.notes) {
        changes.push_back({frameAt(n.seconds), ChangeKind::NoteOn, &n});
        changes.push_back({frameAt(n.seconds + n.length), ChangeKind::NoteOff, &n});
        if (!n.bend)
            continue;
        for (int step = 1; step <= kBendSteps; ++step) {
            const double at = n.seconds + std::min(n.length * 0.8, kBendStart + kBendTime * step / kBendSteps);
            changes.push_back({frameAt(at), ChangeKind::Bend, &n,
                               kWheelCentre + (kWheelWholeTone - kWheelCentre) * step / kBendSteps});
        }
        changes.push_back({frameAt(n.seconds + n.length), ChangeKind::Bend, &n, kWheelCentre});
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

std::vector<int16_t> normalised(const std::vector<float>& samples)
{
    float peak = 0;
    for (float s : samples)
        peak = std::max(peak, std::fabs(s));
    const float gain = peak > 0 ? 0.708f * 32767.0f / peak : 0.0f; // -3 dBFS
    std::vector<int16_t> out(samples.size());
    for (size_t i = 0; i < samples.size(); ++i)
        out[i] = int16_t(std::clamp<long>(std::lround(samples[i] * gain), -32768, 32767));
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
