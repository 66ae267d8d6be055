// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/TestMedia.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <QBuffer>
#include <QImage>

#include <cmath>
#include <cstring>
#include <fstream>
#include <thread>

namespace zupfomat::testing {

std::vector<int16_t> sweep(double seconds, int sampleRate, int channels)
{
    const int64_t frames = int64_t(seconds * sampleRate);
    std::vector<int16_t> samples(size_t(frames) * channels);
    double phase = 0.3;
    for (int64_t i = 0; i < frames; ++i) {
        const double t = double(i) / sampleRate;
        phase += 2 * M_PI * (220.0 + 180.0 * t) / sampleRate;
        for (int c = 0; c < channels; ++c)
            samples[size_t(i) * channels + c] = int16_t(12000 * std::sin(phase + c * 0.7));
    }
    return samples;
}

namespace {

// Noise does not compress: a large side gives a large tag in front of the audio.
std::vector<uint8_t> coverJpeg(int side)
{
    QImage image(side, side, QImage::Format_RGB32);
    uint32_t state = 12345;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            state = state * 1664525u + 1013904223u;
            image.setPixel(x, y, state >> 8);
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 95);
    return {bytes.begin(), bytes.end()};
}

} // namespace

bool writeWma(const std::string& path, double seconds, int sampleRate, int channels)
{
    content::EncodeSettings settings;
    settings.format = content::AudioFileFormat::Wma;
    return content::writeAudioFile(path, sweep(seconds, sampleRate, channels), sampleRate, channels, settings);
}

bool writeMp3(const std::string& path, double seconds, int sampleRate, int channels, content::BitRateMode mode,
              bool xingHeader, int coverSide)
{
    content::EncodeSettings settings;
    settings.format = content::AudioFileFormat::Mp3;
    settings.mode = mode;
    settings.xingHeader = xingHeader;
    if (coverSide > 0) {
        settings.coverJpeg = coverJpeg(coverSide);
        settings.coverWidth = settings.coverHeight = coverSide;
    }
    return content::writeAudioFile(path, sweep(seconds, sampleRate, channels), sampleRate, channels, settings);
}

std::vector<int16_t> decodeToDeviceFormat(const std::string& path)
{
    std::vector<int16_t> out;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0)
        return out;
    avformat_find_stream_info(format, nullptr);
    const int stream = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    const AVCodec* decoder = avcodec_find_decoder(format->streams[stream]->codecpar->codec_id);
    AVCodecContext* codec = avcodec_alloc_context3(decoder);
    avcodec_parameters_to_context(codec, format->streams[stream]->codecpar);
    avcodec_open2(codec, decoder, nullptr);
    SwrContext* swr = nullptr;
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto append = [&](AVFrame* input) {
        if (!swr) {
            AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
            swr_alloc_set_opts2(&swr, &stereo, AV_SAMPLE_FMT_S16, 44100, &input->ch_layout,
                                AVSampleFormat(input->format), input->sample_rate, 0, nullptr);
            swr_init(swr);
        }
        const int room = swr_get_out_samples(swr, input ? input->nb_samples : 0);
        std::vector<int16_t> block(size_t(std::max(room, 0)) * 2);
        uint8_t* dst[] = {reinterpret_cast<uint8_t*>(block.data())};
        const int made = swr_convert(swr, dst, room, input ? const_cast<const uint8_t**>(input->extended_data) : nullptr,
                                     input ? input->nb_samples : 0);
        out.insert(out.end(), block.begin(), block.begin() + std::max(made, 0) * 2);
    };
    auto receive = [&] {
        while (avcodec_receive_frame(codec, frame) >= 0) {
            append(frame);
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == stream && avcodec_send_packet(codec, packet) >= 0)
            receive();
        av_packet_unref(packet);
    }
    avcodec_send_packet(codec, nullptr);
    receive();
    if (swr)
        append(nullptr);
    swr_free(&swr);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
    return out;
}

int streamCount(const std::string& path)
{
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0)
        return 0;
    avformat_find_stream_info(format, nullptr);
    const int count = int(format->nb_streams);
    avformat_close_input(&format);
    return count;
}

int64_t decodedMs(const std::string& path) { return int64_t(decodeToDeviceFormat(path).size() / 2) * 1000 / 44100; }

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

int64_t firstSoundFrame(const std::vector<int16_t>& samples, int64_t fromFrame)
{
    for (int64_t f = std::max<int64_t>(0, fromFrame); f < int64_t(samples.size() / 2); ++f)
        if (samples[size_t(f * 2)] != 0 || samples[size_t(f * 2 + 1)] != 0)
            return f;
    return -1;
}

std::vector<int16_t> readRawSamples(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    std::vector<int16_t> samples(bytes.size() / sizeof(int16_t));
    std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(int16_t));
    return samples;
}

namespace {

std::string littleEndian(uint64_t value, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out.push_back(char((value >> (8 * i)) & 0xff));
    return out;
}

} // namespace

bool damageWma(const std::string& path, WmaDamage damage)
{
    // The WAVEFORMATEX of the wmav2 stream (format tag, channels, samples a second), and the ASF
    // file properties object, whose play duration (100 ns units) is 64 bytes in.
    static const std::string waveFormat("\x61\x01\x02\x00\x44\xac\x00\x00", 8);
    static const std::string fileProperties("\xa1\xdc\xab\x8c\x47\xa9\xcf\x11\x8e\xe4\x00\xc0\x0c\x20\x53\x65", 16);
    struct Patch {
        const std::string& marker;
        size_t offset;
        std::string bytes;
    };
    const Patch patch = [&]() -> Patch {
        switch (damage) {
        case WmaDamage::SampleRate1Hz: return {waveFormat, 4, littleEndian(1, 4)};
        case WmaDamage::SampleRate4GHz: return {waveFormat, 4, littleEndian(0xfffffff0u, 4)};
        case WmaDamage::Channels200: return {waveFormat, 2, littleEndian(200, 2)};
        case WmaDamage::PlayDurationHuge: return {fileProperties, 64, littleEndian(0x7fffffffffffffffull, 8)};
        case WmaDamage::PlayDurationNegative: return {fileProperties, 64, littleEndian(0x8000000000000001ull, 8)};
        case WmaDamage::PlayDurationADay: return {fileProperties, 64, littleEndian(864000000000ull, 8)};
        }
        return {waveFormat, 0, {}};
    }();
    std::ifstream in(path, std::ios::binary);
    std::string data{std::istreambuf_iterator<char>(in), {}};
    in.close();
    const size_t at = data.find(patch.marker);
    if (at == std::string::npos || patch.bytes.empty())
        return false;
    data.replace(at + patch.offset, patch.bytes.size(), patch.bytes);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << data;
    return true;
}

} // namespace zupfomat::testing
