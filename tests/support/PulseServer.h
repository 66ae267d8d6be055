// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "tests/support/TempFolder.h"

#include <QProcess>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zupfomat::testing {

// A private sound server with one null sink, as a desktop's sound server would be, in a runtime
// folder of its own: PulseAudio, or on a machine whose desktop sound is PipeWire, PipeWire with
// its pulse server and WirePlumber linking the streams (PulseAudio cannot be installed there
// without taking the desktop's sound away). Programs reach either through the pulse protocol.
// It can be killed and started again on the same socket, and what reaches the sink is
// recorded from its monitor all the time the server runs. Everything it starts it stops, by
// process id; it never touches the user's own sound server.
//
// The recorder asks for 10 ms of latency, which keeps the null sink running in small blocks as
// a card's sink does; an idle PulseAudio null sink sleeps in blocks of two seconds, and a new
// stream would wait for the end of one before it is played.
class PulseServer {
public:
    static constexpr const char* kSink = "zupfomat_test";

    enum class Kind { PulseAudio, PipeWire };

    PulseServer();
    ~PulseServer();
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    // The server this machine can run: PulseAudio where it is installed, else PipeWire with
    // WirePlumber; ZUPFOMAT_TEST_SOUND_SERVER=pulseaudio or pipewire asks for one. Empty when
    // neither is there, or parec and pactl are missing.
    static std::optional<Kind> installedKind();
    static bool available() { return installedKind().has_value(); }

    // Starts the server and waits until it answers; false when it does not within 5 s.
    bool start();
    // Ends it at once, as a crash or a session restart would.
    void kill();
    // Stops it where it is (SIGSTOP), as a server that hangs, and lets it go on (SIGCONT).
    void hang();
    void resume();
    bool running() const;
    // The address clients use (PULSE_SERVER); the socket stays the same across restarts.
    std::string address() const;
    // Points this process's clients (SDL, libpulse) at the server, or at one that is never there.
    void useForThisProcess() const;
    static void useNoServerForThisProcess(const TempFolder& folder);

    // What reached the sink (S16 stereo 44.1 kHz) from startCapture on.
    void startCapture();
    std::vector<int16_t> capturedSoFar() const;
    // Waits a moment for the recorder to write out what it holds, then returns it all.
    std::vector<int16_t> stopCapture();

    // The playback streams on the server now.
    int playbackStreams() const;
    // `pactl list sink-inputs` as it prints it: each stream with its properties.
    QString playbackStreamList() const;

private:
    QProcessEnvironment clientEnvironment() const;
    QProcessEnvironment serverEnvironment() const;
    QString runtimeFolder() const;
    bool startPulseAudio();
    bool startPipeWire();
    bool writePipeWireConfig() const;
    bool startRecorder();
    bool sinkRunsInSmallBlocks() const;

    TempFolder folder_;
    Kind kind_;
    std::unique_ptr<QProcess> server_;
    std::unique_ptr<QProcess> sessionManager_; // WirePlumber, beside PipeWire
    std::unique_ptr<QProcess> recorder_;
    int64_t captureFrom_ = 0; // bytes of the recording before startCapture
};

} // namespace zupfomat::testing
