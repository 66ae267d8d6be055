// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/Recording.h"

#include "media/MediaLibraries.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <vector>

namespace zupfomat {
namespace {

// Recognising a format needs only the start of a file; probing a large non-audio file
// to FFmpeg's default megabyte would hold the caller of open for some 50 ms.
constexpr int kFormatProbeBytes = 32 * 1024;
// What stream-info may read to fill in the codec parameters.
constexpr int64_t kStreamProbeBytes = 256 * 1024;
// Guard against a read that never returns during open (network file systems, FIFOs).
constexpr auto kOpenDeadline = std::chrono::milliseconds(250);

// What a real recording can be; a header that claims more or less is damaged or hostile, and
// converting 1 Hz up to 44.1 kHz would make one packet hundreds of megabytes.
constexpr int kLowestSampleRate = 8000;
constexpr int kHighestSampleRate = 384000;
constexpr int kMostChannels = 8;
// The most any one conversion writes, whatever a packet claims: 8192 frames, 32 KiB.
constexpr int kSliceFrames = 8192;
// Compressed audio below 4 kbit/s does not exist: a longer duration in the header is damaged.
constexpr int64_t kLowestBytesPerSecond = 500;

bool parametersAreReal(int sampleRate, int channels)
{
    return sampleRate >= kLowestSampleRate && sampleRate <= kHighestSampleRate && channels >= 1 &&
           channels <= kMostChannels;
}

// Bytes an ID3v2 tag at the start of the file takes (header, body, and the footer a v2.4 tag
// may close with), 0 when there is none.
int64_t id3TagBytes(std::ifstream& file)
{
    unsigned char h[10] = {};
    if (!file.read(reinterpret_cast<char*>(h), sizeof h) || h[0] != 'I' || h[1] != 'D' || h[2] != '3' ||
        h[3] == 0xff || h[4] == 0xff || ((h[6] | h[7] | h[8] | h[9]) & 0x80) != 0)
        return 0;
    const int64_t size = (int64_t(h[6]) << 21) | (int64_t(h[7]) << 14) | (int64_t(h[8]) << 7) | int64_t(h[9]);
    return 10 + size + ((h[5] & 0x10) ? 10 : 0);
}

// What follows the tag, recognised from its first bytes in one probe. Probing the start of
// the file instead would see only the tag: cover art there looks like MP3 frames, and a tag
// larger than the probe hides the WMA behind it.
struct Recognised {
    const AVInputFormat* format = nullptr; // nullptr: left to FFmpeg's own probe
    int64_t tagBytes = 0;
};

Recognised recognise(const FFmpegCalls& ff, const std::string& utf8Path)
{
    std::ifstream file(std::filesystem::u8path(utf8Path), std::ios::binary);
    const int64_t tagBytes = id3TagBytes(file);
    file.clear();
    file.seekg(tagBytes);
    // Zeros after what is read: the probes look a little past its end.
    std::vector<unsigned char> start(kFormatProbeBytes + AVPROBE_PADDING_SIZE);
    AVProbeData probe{};
    probe.filename = utf8Path.c_str();
    probe.buf = start.data();
    // As FFmpeg probes: 2 KiB first (enough for WMA and most MP3), then twice as much while
    // no format is sure, and any score at the end. All of 32 KiB at once would cost 0.7 ms.
    for (int size = 2048; size <= kFormatProbeBytes; size *= 2) {
        file.read(reinterpret_cast<char*>(start.data() + probe.buf_size), size - probe.buf_size);
        probe.buf_size += int(file.gcount());
        const bool last = size == kFormatProbeBytes || !file;
        int score = last ? 0 : AVPROBE_SCORE_RETRY;
        if (probe.buf_size > 0)
            if (const AVInputFormat* format = ff.av_probe_input_format2(&probe, 1, &score))
                return {format, tagBytes};
        if (last)
            break;
    }
    return {nullptr, tagBytes};
}

// The size of a regular, non-empty file; 0 for anything else.
int64_t regularFileBytes(const std::string& utf8Path)
{
    std::error_code error;
    const auto path = std::filesystem::u8path(utf8Path);
    if (!std::filesystem::is_regular_file(path, error) || error)
        return 0;
    const auto bytes = std::filesystem::file_size(path, error);
    return error ? 0 : int64_t(bytes);
}

struct Interrupt {
    const std::atomic<bool>* stop = nullptr;
    std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
};

int interruptRequested(void* opaque)
{
    const auto* interrupt = static_cast<const Interrupt*>(opaque);
    return interrupt->stop->load(std::memory_order_relaxed) || std::chrono::steady_clock::now() > interrupt->deadline;
}

} // namespace

// Made only once FFmpeg is loaded.
struct Recording::Decoder {
    const FFmpegCalls* const ff = ffmpegLibrary();
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    SwrContext* resampler = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    int streamIndex = -1;
    Interrupt interrupt;
    // The input the resampler is set up for; a stream may change it midway.
    int inRate = 0;
    int inFormat = -1;
    AVChannelLayout inLayout{};
    std::vector<int16_t> converted;

    ~Decoder()
    {
        ff->av_channel_layout_uninit(&inLayout);
        ff->swr_free(&resampler);
        ff->av_frame_free(&frame);
        ff->av_packet_free(&packet);
        ff->avcodec_free_context(&codec);
        ff->avformat_close_input(&format);
    }

    bool openInput(const std::string& path, const std::atomic<bool>& stop)
    {
        format = ff->avformat_alloc_context();
        if (!format)
            return false;
        interrupt.stop = &stop;
        interrupt.deadline = std::chrono::steady_clock::now() + kOpenDeadline;
        format->interrupt_callback = {interruptRequested, &interrupt};
        format->format_probesize = kFormatProbeBytes;
        format->probesize = kStreamProbeBytes;
        const Recognised recognised = recognise(*ff, path);
        if (recognised.format)
            format->skip_initial_bytes = recognised.tagBytes; // unread: 4 MiB of tag cost FFmpeg 10 ms, for nothing played
        // As a file URL, a name such as pipe:0, concat:a|b or http://… is the file of that name;
        // the whitelist keeps demuxers that open further URLs (playlists) to plain files too.
        const std::string url = "file:" + path;
        AVDictionary* options = nullptr;
        ff->av_dict_set(&options, "protocol_whitelist", "file", 0);
        const int opened = ff->avformat_open_input(&format, url.c_str(), recognised.format, &options);
        ff->av_dict_free(&options);
        if (opened < 0)
            return false; // avformat_open_input frees the context on failure
        if (ff->avformat_find_stream_info(format, nullptr) < 0)
            return false;
        streamIndex = ff->av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
        if (streamIndex < 0)
            return false;
        for (unsigned i = 0; i < format->nb_streams; ++i) {
            if (int(i) != streamIndex)
                format->streams[i]->discard = AVDISCARD_ALL; // cover art and the like
        }
        const AVCodecParameters* parameters = format->streams[streamIndex]->codecpar;
        if (!parametersAreReal(parameters->sample_rate, parameters->ch_layout.nb_channels))
            return false;
        const AVCodec* decoderCodec = ff->avcodec_find_decoder(parameters->codec_id);
        if (!decoderCodec)
            return false;
        codec = ff->avcodec_alloc_context3(decoderCodec);
        if (!codec || ff->avcodec_parameters_to_context(codec, parameters) < 0)
            return false;
        codec->thread_count = 1;
        if (ff->avcodec_open2(codec, decoderCodec, nullptr) < 0)
            return false;
        packet = ff->av_packet_alloc();
        frame = ff->av_frame_alloc();
        interrupt.deadline = std::chrono::steady_clock::time_point::max();
        return packet && frame;
    }

    // The container's idea of the length, while it is one a file of this size can hold.
    int64_t estimatedFrames(int64_t fileBytes) const
    {
        const AVStream* stream = format->streams[streamIndex];
        int64_t duration = format->duration; // microseconds
        if (duration == AV_NOPTS_VALUE || duration <= 0) {
            if (stream->duration == AV_NOPTS_VALUE || stream->duration <= 0 || stream->time_base.num <= 0 ||
                stream->time_base.den <= 0)
                return 0;
            duration = ff->av_rescale_q(stream->duration, stream->time_base, AV_TIME_BASE_Q);
        }
        const int64_t plausibleSeconds = fileBytes / kLowestBytesPerSecond + 1;
        const int64_t mostSeconds = std::min(plausibleSeconds, Recording::kMaxFrames / kSampleRate);
        if (duration <= 0 || duration / AV_TIME_BASE >= mostSeconds)
            return 0;
        return ff->av_rescale(duration, kSampleRate, AV_TIME_BASE);
    }

    bool resamplerFits(const AVFrame* input) const
    {
        return resampler && input->sample_rate == inRate && input->format == inFormat &&
               ff->av_channel_layout_compare(&input->ch_layout, &inLayout) == 0;
    }

    bool setUpResampler(const AVFrame* input)
    {
        ff->swr_free(&resampler);
        if (!parametersAreReal(input->sample_rate, input->ch_layout.nb_channels))
            return false; // a stream that turns absurd midway ends there
        ff->av_channel_layout_uninit(&inLayout);
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        AVChannelLayout source{};
        if (input->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || input->ch_layout.nb_channels == 0)
            ff->av_channel_layout_default(&source, std::max(1, input->ch_layout.nb_channels));
        else if (ff->av_channel_layout_copy(&source, &input->ch_layout) < 0)
            return false;
        const int result = ff->swr_alloc_set_opts2(&resampler, &stereo, AV_SAMPLE_FMT_S16, kSampleRate, &source,
                                               AVSampleFormat(input->format), input->sample_rate, 0, nullptr);
        ff->av_channel_layout_uninit(&source);
        if (result < 0 || ff->swr_init(resampler) < 0) {
            ff->swr_free(&resampler);
            return false;
        }
        inRate = input->sample_rate;
        inFormat = input->format;
        ff->av_channel_layout_copy(&inLayout, &input->ch_layout);
        return true;
    }

    // Converts one decoded frame (or, with nullptr, what the resampler still holds) and appends
    // it, in slices whose output never exceeds kSliceFrames. False once nothing more is to be
    // kept: the frame cannot be converted, or the recording has reached kMaxFrames.
    bool convert(const AVFrame* input, PcmStore& pcm)
    {
        if (input && !resamplerFits(input) && !setUpResampler(input))
            return false;
        if (!resampler)
            return false;
        converted.resize(size_t(kSliceFrames) * kChannels);
        uint8_t* out[] = {reinterpret_cast<uint8_t*>(converted.data())};
        if (!input) {
            int made = 0;
            while ((made = ff->swr_convert(resampler, out, kSliceFrames, nullptr, 0)) > 0)
                if (!keep(pcm, made))
                    return false;
            return true;
        }
        const bool planar = ff->av_sample_fmt_is_planar(AVSampleFormat(input->format));
        const int planes = planar ? input->ch_layout.nb_channels : 1;
        const int64_t bytesPerFrame =
            int64_t(ff->av_get_bytes_per_sample(AVSampleFormat(input->format))) * (planar ? 1 : input->ch_layout.nb_channels);
        // Input frames whose output fits a slice, with room for what the resampler holds back.
        const int sliceIn = std::max(1, int(int64_t(kSliceFrames / 2) * input->sample_rate / kSampleRate));
        for (int from = 0; from < input->nb_samples;) {
            const int count = std::min(sliceIn, input->nb_samples - from);
            if (ff->swr_get_out_samples(resampler, count) > kSliceFrames)
                return false; // the resampler holds more than it ever should
            const uint8_t* in[kMostChannels] = {};
            for (int plane = 0; plane < planes; ++plane)
                in[plane] = input->extended_data[plane] + from * bytesPerFrame;
            const int made = ff->swr_convert(resampler, out, kSliceFrames, in, count);
            if (made < 0 || (made > 0 && !keep(pcm, made)))
                return false;
            from += count;
        }
        return true;
    }

    // Appends converted frames up to the cap; false once it is reached.
    bool keep(PcmStore& pcm, int frames)
    {
        const int64_t room = Recording::kMaxFrames - pcm.appendedFrames();
        pcm.append(converted.data(), std::min<int64_t>(frames, room));
        return frames < room;
    }

    // False once nothing more is to be kept (see convert).
    bool receiveFrames(PcmStore& pcm)
    {
        bool more = true;
        while (more && ff->avcodec_receive_frame(codec, frame) >= 0) {
            more = convert(frame, pcm);
            ff->av_frame_unref(frame);
        }
        return more;
    }
};

Recording::Recording() = default;

std::unique_ptr<Recording> Recording::open(const std::string& utf8Path)
{
    const FFmpegCalls* ff = ffmpegLibrary();
    if (!ff)
        return nullptr; // without its decoders no recording opens, as with an unreadable file
    // Broken files are expected and handled; FFmpeg's warnings about them would only clutter stderr.
    static const bool quiet = (ff->av_log_set_level(AV_LOG_FATAL), true);
    (void)quiet;
    const int64_t fileBytes = regularFileBytes(utf8Path);
    if (fileBytes <= 0)
        return nullptr;
    std::unique_ptr<Recording> recording(new Recording);
    recording->decoder_ = std::make_unique<Decoder>();
    if (!recording->decoder_->openInput(utf8Path, recording->stopRequested_))
        return nullptr;
    recording->estimatedFrames_ = recording->decoder_->estimatedFrames(fileBytes);
    recording->worker_ = std::thread([r = recording.get()] { r->decodeAll(); });
    return recording;
}

Recording::~Recording()
{
    stopRequested_.store(true, std::memory_order_relaxed);
    if (worker_.joinable())
        worker_.join();
}

int64_t Recording::lengthFrames() const
{
    if (complete())
        return decodedFrames();
    return std::max(estimatedFrames_, decodedFrames());
}

void Recording::decodeAll()
{
    Decoder& d = *decoder_;
    bool more = true;
    while (more && !stopRequested_.load(std::memory_order_relaxed)) {
        const int read = d.ff->av_read_frame(d.format, d.packet);
        if (read < 0)
            break; // end of file, or a truncated or broken file: keep what was decoded
        if (d.packet->stream_index == d.streamIndex && d.ff->avcodec_send_packet(d.codec, d.packet) >= 0)
            more = d.receiveFrames(pcm_);
        d.ff->av_packet_unref(d.packet);
        pcm_.publish();
    }
    if (more && !stopRequested_.load(std::memory_order_relaxed)) {
        d.ff->avcodec_send_packet(d.codec, nullptr);
        if (d.receiveFrames(pcm_))
            d.convert(nullptr, pcm_); // the resampler holds back the last few frames until flushed
        pcm_.publish();
    }
    complete_.store(true, std::memory_order_release);
}

} // namespace zupfomat
