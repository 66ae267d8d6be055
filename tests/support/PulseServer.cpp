#include "tests/support/PulseServer.h"

#include "tests/support/TestMedia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <signal.h>

#include <cstdlib>
#include <thread>

namespace zupfomat::testing {
namespace {

using namespace std::chrono_literals;

constexpr const char* kCaptureFile = "capture.raw";

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

PulseServer::PulseServer() { QDir().mkpath(runtimeFolder()); }

PulseServer::~PulseServer() { kill(); }

bool PulseServer::available()
{
    for (const char* program : {"pulseaudio", "parec", "pactl"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
            return false;
    return true;
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

void PulseServer::useForThisProcess() const
{
    qputenv("PULSE_SERVER", QByteArray::fromStdString(address()));
    qunsetenv("SDL_AUDIODRIVER");
}

void PulseServer::useNoServerForThisProcess(const TempFolder& folder)
{
    qputenv("PULSE_SERVER", QByteArray::fromStdString("unix:" + folder.path("no-server")));
    qunsetenv("SDL_AUDIODRIVER");
}

bool PulseServer::start()
{
    if (running())
        return true;
    server_ = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder());
    environment.insert(QStringLiteral("HOME"), runtimeFolder()); // its cookie and state stay in the folder
    server_->setProcessEnvironment(environment);
    server_->setStandardOutputFile(folder_.qpath(QStringLiteral("server.log")), QIODevice::Append);
    server_->setStandardErrorFile(folder_.qpath(QStringLiteral("server.log")), QIODevice::Append);
    const QString socket = QString::fromStdString(folder_.path("runtime/native"));
    const QString fixtureSocket = folder_.qpath(QStringLiteral("runtime/fixture"));
    QFile::remove(socket); // a killed server leaves its sockets behind
    QFile::remove(fixtureSocket);
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
    for (auto* process : {&recorder_, &server_}) {
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

int PulseServer::playbackStreams() const
{
    QByteArray out;
    if (!runQuietly(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("sink-inputs"), QStringLiteral("short")},
                    clientEnvironment(), &out))
        return -1;
    return int(out.trimmed().isEmpty() ? 0 : out.trimmed().split('\n').size());
}

} // namespace zupfomat::testing
