// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/PulseServer.h"

#include "tests/support/TestMedia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <signal.h>

#include <cstdlib>
#include <initializer_list>
#include <thread>

namespace zupfomat::testing {
namespace {

using namespace std::chrono_literals;

constexpr const char* kCaptureFile = "capture.raw";

bool installed(std::initializer_list<const char*> programs)
{
    for (const char* program : programs)
        if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
            return false;
    return true;
}

bool writeFile(const QString& path, const QByteArray& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

// PipeWire as the fixture needs it and no more: the graph at the device's own rate, the pulse
// server on the fixture's socket and the program's, and the null sink, which drives the graph
// from the system clock as a card would. No device monitors, no D-Bus, no real-time requests.
// A 512-frame quantum keeps the sink running in small blocks, as the recorder's 10 ms do for
// PulseAudio's.
constexpr const char* kPipeWireConfig = R"(context.properties = {
    core.daemon = true
    core.name = pipewire-0
    default.clock.rate = 44100
    default.clock.allowed-rates = [ 44100 ]
    default.clock.quantum = 512
    default.clock.min-quantum = 256
    default.clock.max-quantum = 2048
    support.dbus = false
    mem.allow-mlock = false
    log.level = 2
}
context.spa-libs = {
    audio.convert.* = audioconvert/libspa-audioconvert
    support.*       = support/libspa-support
}
context.modules = [
    { name = libpipewire-module-protocol-native }
    { name = libpipewire-module-metadata }
    { name = libpipewire-module-spa-node-factory }
    { name = libpipewire-module-client-node }
    { name = libpipewire-module-access }
    { name = libpipewire-module-adapter }
    { name = libpipewire-module-link-factory }
    { name = libpipewire-module-session-manager }
    { name = libpipewire-module-protocol-pulse
      args = { server.address = [ "unix:%1" "unix:%2" ] }
    }
]
context.objects = [
    { factory = adapter
      args = {
        factory.name     = support.null-audio-sink
        node.name        = %3
        node.description = "Zupfomat test sink"
        media.class      = Audio/Sink
        audio.position   = [ FL FR ]
        audio.rate       = 44100
        object.linger    = true
        priority.session = 1009
        priority.driver  = 1009
      }
    }
]
)";

// WirePlumber links the streams to the default sink and keeps the defaults; the device
// monitors, the Flatpak portal and Bluetooth stay off, as they would reach for the machine's
// own cards and the user's D-Bus session.
constexpr const char* kWirePlumberConfig = R"(context.properties = {
    log.level = 2
    wireplumber.script-engine = lua-scripting
}
context.spa-libs = {
    audio.convert.* = audioconvert/libspa-audioconvert
    support.*       = support/libspa-support
}
context.modules = [
    { name = libpipewire-module-protocol-native }
    { name = libpipewire-module-client-node }
    { name = libpipewire-module-client-device }
    { name = libpipewire-module-adapter }
    { name = libpipewire-module-metadata }
    { name = libpipewire-module-session-manager }
]
wireplumber.components = [
    { name = libwireplumber-module-lua-scripting, type = module }
    { name = main.lua, type = config/lua }
    { name = policy.lua, type = config/lua }
]
)";

constexpr const char* kWirePlumberMain = R"(load_module("metadata")
device_defaults.enable()
stream_defaults.enable()
)";

bool runQuietly(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
                QByteArray* output = nullptr)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(1000);
        return false;
    }
    if (output)
        *output = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

PulseServer::PulseServer() : kind_(installedKind().value_or(Kind::PulseAudio)) { QDir().mkpath(runtimeFolder()); }

PulseServer::~PulseServer() { kill(); }

std::optional<PulseServer::Kind> PulseServer::installedKind()
{
    if (!installed({"parec", "pactl"}))
        return std::nullopt;
    const QByteArray asked = qgetenv("ZUPFOMAT_TEST_SOUND_SERVER");
    if (asked != "pipewire" && installed({"pulseaudio"}))
        return Kind::PulseAudio;
    if (asked != "pulseaudio" && installed({"pipewire", "wireplumber"}))
        return Kind::PipeWire;
    return std::nullopt;
}

QString PulseServer::runtimeFolder() const { return folder_.qpath(QStringLiteral("runtime")); }

std::string PulseServer::address() const { return "unix:" + folder_.path("runtime/native"); }

// The fixture's own tools (its recorder, pactl) use a socket of their own, open from the start.
QProcessEnvironment PulseServer::clientEnvironment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + folder_.qpath(QStringLiteral("runtime/fixture")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder());
    return environment;
}

// PIPEWIRE_REMOTE too, so that a client that speaks PipeWire's own protocol never reaches the
// desktop's server either.
void PulseServer::useForThisProcess() const
{
    qputenv("PULSE_SERVER", QByteArray::fromStdString(address()));
    qputenv("PIPEWIRE_REMOTE", QByteArray::fromStdString(folder_.path("runtime/pipewire-0")));
    qunsetenv("SDL_AUDIODRIVER");
}

void PulseServer::useNoServerForThisProcess(const TempFolder& folder)
{
    qputenv("PULSE_SERVER", QByteArray::fromStdString("unix:" + folder.path("no-server")));
    qputenv("PIPEWIRE_REMOTE", QByteArray::fromStdString(folder.path("no-server")));
    qunsetenv("SDL_AUDIODRIVER");
}

// The servers keep their state, configuration and sockets in the folder, and reach no D-Bus
// session and no other sound server.
QProcessEnvironment PulseServer::serverEnvironment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* inherited : {"PULSE_SERVER", "PIPEWIRE_REMOTE", "PIPEWIRE_RUNTIME_DIR", "PIPEWIRE_CONFIG_DIR"})
        environment.remove(QLatin1String(inherited));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder());
    environment.insert(QStringLiteral("HOME"), runtimeFolder()); // its cookie and state stay in the folder
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder_.qpath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_STATE_HOME"), folder_.qpath(QStringLiteral("state")));
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=") + folder_.qpath(QStringLiteral("no-bus")));
    environment.insert(QStringLiteral("WIREPLUMBER_CONFIG_DIR"), folder_.qpath(QStringLiteral("wireplumber")));
    return environment;
}

bool PulseServer::start()
{
    if (running())
        return true;
    // A killed server leaves its sockets behind.
    for (const char* socket : {"runtime/native", "runtime/fixture", "runtime/pipewire-0", "runtime/pipewire-0.lock"})
        QFile::remove(QString::fromStdString(folder_.path(socket)));
    server_ = std::make_unique<QProcess>();
    server_->setProcessEnvironment(serverEnvironment());
    server_->setStandardOutputFile(folder_.qpath(QStringLiteral("server.log")), QIODevice::Append);
    server_->setStandardErrorFile(folder_.qpath(QStringLiteral("server.log")), QIODevice::Append);
    if (kind_ == Kind::PipeWire ? startPipeWire() : startPulseAudio())
        return true;
    QFile log(folder_.qpath(QStringLiteral("server.log")));
    log.open(QIODevice::ReadOnly);
    qWarning("the sound server did not start:\n%s", log.readAll().right(4000).constData());
    return false;
}

bool PulseServer::startPulseAudio()
{
    const QString socket = QString::fromStdString(folder_.path("runtime/native"));
    const QString fixtureSocket = folder_.qpath(QStringLiteral("runtime/fixture"));
    server_->start(QStringLiteral("pulseaudio"),
                   {QStringLiteral("-n"), QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                    QStringLiteral("--use-pid-file=no"), QStringLiteral("--disallow-exit"),
                    QStringLiteral("--log-target=stderr"),
                    QStringLiteral("-L"),
                    QStringLiteral("module-null-sink sink_name=%1 rate=44100 channels=2 format=s16le").arg(QLatin1String(kSink)),
                    QStringLiteral("-L"),
                    QStringLiteral("module-native-protocol-unix auth-anonymous=1 socket=%1").arg(fixtureSocket)});
    if (!server_->waitForStarted(3000))
        return false;
    const bool answers = waitUntil(
        [&] { return runQuietly(QStringLiteral("pactl"), {QStringLiteral("info")}, clientEnvironment()); }, 5s);
    if (!answers || !startRecorder() || !waitUntil([&] { return sinkRunsInSmallBlocks(); }, 5s))
        return false;
    // The sink's thread is still asleep in the first block it began with; suspending and
    // resuming it starts its timer afresh at the small blocks.
    for (const char* suspended : {"1", "0"})
        runQuietly(QStringLiteral("pactl"),
                   {QStringLiteral("suspend-sink"), QLatin1String(kSink), QLatin1String(suspended)}, clientEnvironment());
    // Only now may the program connect: its stream meets a sink that runs as a card's would.
    return runQuietly(QStringLiteral("pactl"),
                      {QStringLiteral("load-module"), QStringLiteral("module-native-protocol-unix"),
                       QStringLiteral("auth-anonymous=1"), QStringLiteral("socket=%1").arg(socket)},
                      clientEnvironment());
}

// Written once per fixture. WirePlumber reads only the fixture's folder: the Lua functions that
// enable its parts and its linking policy are linked in from the system's, and what it enables
// is the fixture's own list.
bool PulseServer::writePipeWireConfig() const
{
    const QString ours = folder_.qpath(QStringLiteral("wireplumber"));
    if (QFileInfo::exists(ours + QStringLiteral("/wireplumber.conf")))
        return true;
    const QString system = qEnvironmentVariable("WIREPLUMBER_CONFIG_DIR", QStringLiteral("/usr/share/wireplumber"));
    const QString pipewire = QString::fromLatin1(kPipeWireConfig)
                                 .arg(folder_.qpath(QStringLiteral("runtime/fixture")),
                                      QString::fromStdString(folder_.path("runtime/native")), QLatin1String(kSink));
    bool written = QDir().mkpath(ours + QStringLiteral("/main.lua.d")) &&
                   writeFile(folder_.qpath(QStringLiteral("pipewire.conf")), pipewire.toUtf8()) &&
                   writeFile(ours + QStringLiteral("/main.lua.d/90-enable-all.lua"), kWirePlumberMain) &&
                   QFile::link(system + QStringLiteral("/policy.lua.d"), ours + QStringLiteral("/policy.lua.d"));
    for (const char* functions : {"00-functions.lua", "40-device-defaults.lua", "40-stream-defaults.lua"})
        written = written && QFile::link(system + QStringLiteral("/main.lua.d/") + QLatin1String(functions),
                                         ours + QStringLiteral("/main.lua.d/") + QLatin1String(functions));
    // Last, as the mark that all is there.
    return written && writeFile(ours + QStringLiteral("/wireplumber.conf"), kWirePlumberConfig);
}

bool PulseServer::startPipeWire()
{
    if (!writePipeWireConfig())
        return false;
    server_->start(QStringLiteral("pipewire"), {QStringLiteral("-c"), folder_.qpath(QStringLiteral("pipewire.conf"))});
    if (!server_->waitForStarted(3000))
        return false;
    const bool answers = waitUntil(
        [&] { return runQuietly(QStringLiteral("pactl"), {QStringLiteral("info")}, clientEnvironment()); }, 5s);
    if (!answers)
        return false;
    sessionManager_ = std::make_unique<QProcess>();
    sessionManager_->setProcessEnvironment(serverEnvironment());
    sessionManager_->setStandardOutputFile(folder_.qpath(QStringLiteral("server.log")), QIODevice::Append);
    sessionManager_->setStandardErrorFile(folder_.qpath(QStringLiteral("server.log")), QIODevice::Append);
    sessionManager_->start(QStringLiteral("wireplumber"), {});
    // Sound reaches the recorder once WirePlumber has linked it to the sink's monitor and the
    // sink runs: from then on it links the program's streams too.
    const QString capture = folder_.qpath(QLatin1String(kCaptureFile));
    const qint64 recorded = QFileInfo(capture).size();
    return sessionManager_->waitForStarted(3000) && startRecorder() &&
           waitUntil([&] { return QFileInfo(capture).size() > recorded; }, 5s);
}

bool PulseServer::startRecorder()
{
    recorder_ = std::make_unique<QProcess>();
    recorder_->setProcessEnvironment(clientEnvironment());
    recorder_->setStandardOutputFile(folder_.qpath(QLatin1String(kCaptureFile)), QIODevice::Append);
    recorder_->setStandardErrorFile(QProcess::nullDevice());
    recorder_->start(QStringLiteral("parec"),
                     {QStringLiteral("--raw"), QStringLiteral("--format=s16le"), QStringLiteral("--rate=44100"),
                      QStringLiteral("--channels=2"), QStringLiteral("--latency-msec=10"),
                      QStringLiteral("--device=%1.monitor").arg(QLatin1String(kSink))});
    return recorder_->waitForStarted(3000);
}

// The sink's configured latency, from "pactl list sinks", is down to the recorder's.
bool PulseServer::sinkRunsInSmallBlocks() const
{
    QByteArray out;
    if (!runQuietly(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("sinks")}, clientEnvironment(), &out))
        return false;
    const int at = out.indexOf("configured ");
    if (at < 0)
        return false;
    const QByteArray usec = out.mid(at + 11).split(' ').value(0);
    return usec.toLongLong() > 0 && usec.toLongLong() <= 50000;
}

void PulseServer::kill()
{
    for (auto* process : {&recorder_, &sessionManager_, &server_}) {
        if (*process && (*process)->state() != QProcess::NotRunning) {
            (*process)->kill(); // SIGKILL to its process id
            (*process)->waitForFinished(3000);
        }
        process->reset();
    }
}

bool PulseServer::running() const { return server_ && server_->state() == QProcess::Running; }

void PulseServer::hang()
{
    if (running())
        ::kill(pid_t(server_->processId()), SIGSTOP);
}

void PulseServer::resume()
{
    if (running())
        ::kill(pid_t(server_->processId()), SIGCONT);
}

void PulseServer::startCapture() { captureFrom_ = QFileInfo(folder_.qpath(QLatin1String(kCaptureFile))).size() & ~int64_t(3); }

std::vector<int16_t> PulseServer::capturedSoFar() const
{
    std::vector<int16_t> all = readRawSamples(folder_.path(kCaptureFile));
    const size_t from = std::min(all.size(), size_t(captureFrom_ / 2));
    return {all.begin() + long(from), all.end()};
}

std::vector<int16_t> PulseServer::stopCapture()
{
    std::this_thread::sleep_for(100ms); // the recorder's 10 ms and the pipe's, with room to spare
    return capturedSoFar();
}

QString PulseServer::playbackStreamList() const
{
    QByteArray out;
    runQuietly(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("sink-inputs")}, clientEnvironment(), &out);
    return QString::fromUtf8(out);
}

int PulseServer::playbackStreams() const
{
    QByteArray out;
    if (!runQuietly(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("sink-inputs"), QStringLiteral("short")},
                    clientEnvironment(), &out))
        return -1;
    return int(out.trimmed().isEmpty() ? 0 : out.trimmed().split('\n').size());
}

} // namespace zupfomat::testing
