// SPDX-License-Identifier: GPL-3.0-or-later
#include "content/AudioFileWriter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>

namespace zupfomat::content {
namespace {

struct Encoder {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    SwrContext* converter = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    AVStream* audio = nullptr;
    AVStream* cover = nullptr;
    bool headerWritten = false;
    std::string error;

    ~Encoder()
    {
        if (format && headerWritten)
            av_write_trailer(format);
        if (format && !(format->oformat->flags & AVFMT_NOFILE))
            avio_closep(&format->pb);
        avformat_free_context(format);
        avcodec_free_context(&codec);
        swr_free(&converter);
        av_frame_free(&frame);
        av_packet_free(&packet);
    }

    bool fail(const std::string& why)
    {
        error = why;
        return false;
    }

    bool setUp(const std::string& path, int sampleRate, int channels, const EncodeSettings& settings)
    {
        const bool wma = settings.format == AudioFileFormat::Wma;
        if (avformat_alloc_output_context2(&format, nullptr, wma ? "asf" : "mp3", path.c_str()) < 0)
            return fail("no muxer");
        format->flags |= AVFMT_FLAG_BITEXACT;
        const AVCodec* encoder = avcodec_find_encoder(wma ? AV_CODEC_ID_WMAV2 : AV_CODEC_ID_MP3);
        if (!encoder)
            return fail("no encoder");
        codec = avcodec_alloc_context3(encoder);
        av_channel_layout_default(&codec->ch_layout, channels);
        codec->sample_rate = sampleRate;
        codec->sample_fmt = encoder->sample_fmts ? encoder->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
        codec->flags |= AV_CODEC_FLAG_BITEXACT;
        if (settings.mode == BitRateMode::Variable) {
            codec->flags |= AV_CODEC_FLAG_QSCALE;
            codec->global_quality = FF_QP2LAMBDA * 4;
        } else {
            codec->bit_rate = settings.bitRate;
        }
        codec->time_base = {1, sampleRate};
        if (format->oformat->flags & AVFMT_GLOBALHEADER)
            codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (avcodec_open2(codec, encoder, nullptr) < 0)
            return fail("encoder does not open");
        audio = avformat_new_stream(format, nullptr);
        avcodec_parameters_from_context(audio->codecpar, codec);
        audio->time_base = codec->time_base;
        if (!wma && !settings.coverJpeg.empty()) {
            cover = avformat_new_stream(format, nullptr);
            cover->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
            cover->codecpar->codec_id = AV_CODEC_ID_MJPEG;
            cover->codecpar->width = settings.coverWidth;
            cover->codecpar->height = settings.coverHeight;
            cover->disposition = AV_DISPOSITION_ATTACHED_PIC;
            av_dict_set(&cover->metadata, "comment", "Cover (front)", 0);
        }
        if (avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0)
            return fail("cannot write " + path);
        AVDictionary* options = nullptr;
        if (!wma && !settings.xingHeader)
            av_dict_set(&options, "write_xing", "0", 0);
        const int written = avformat_write_header(format, &options);
        av_dict_free(&options);
        if (written < 0)
            return fail("header not written");
        headerWritten = true;

        AVChannelLayout inLayout{};
        av_channel_layout_default(&inLayout, channels);
        swr_alloc_set_opts2(&converter, &codec->ch_layout, codec->sample_fmt, sampleRate, &inLayout,
                            AV_SAMPLE_FMT_S16, sampleRate, 0, nullptr);
        av_channel_layout_uninit(&inLayout);
        if (!converter || swr_init(converter) < 0)
            return fail("no converter");
        frame = av_frame_alloc();
        packet = av_packet_alloc();
        return true;
    }

    bool writeCover(const std::vector<uint8_t>& jpeg)
    {
        if (!cover)
            return true;
        AVPacket* picture = av_packet_alloc();
        av_new_packet(picture, int(jpeg.size()));
        std::memcpy(picture->data, jpeg.data(), jpeg.size());
        picture->stream_index = cover->index;
        picture->flags |= AV_PKT_FLAG_KEY;
        const int result = av_interleaved_write_frame(format, picture);
        av_packet_free(&picture);
        return result >= 0 || fail("cover not written");
    }

    bool drain()
    {
        while (avcodec_receive_packet(codec, packet) >= 0) {
            av_packet_rescale_ts(packet, codec->time_base, audio->time_base);
            packet->stream_index = audio->index;
            if (av_interleaved_write_frame(format, packet) < 0)
                return fail("packet not written");
        }
        return true;
    }

    bool encode(const std::vector<int16_t>& interleaved, int channels)
    {
        const int64_t total = int64_t(interleaved.size()) / channels;
        const bool takesShortFrames = codec->codec->capabilities &
                                      (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
        const int frameSize = codec->frame_size > 0 ? codec->frame_size : 1024;
        std::vector<int16_t> padded;
        for (int64_t at = 0; at < total; at += frameSize) {
            const int real = int(std::min<int64_t>(frameSize, total - at));
            const int size = takesShortFrames ? real : frameSize;
            const int16_t* source = interleaved.data() + at * channels;
            if (real < size) { // the encoder wants whole frames: pad the last with silence
                padded.assign(size_t(size) * channels, 0);
                std::copy(source, source + size_t(real) * channels, padded.begin());
                source = padded.data();
            }
            av_frame_unref(frame);
            frame->nb_samples = size;
            frame->format = codec->sample_fmt;
            frame->sample_rate = codec->sample_rate;
            av_channel_layout_copy(&frame->ch_layout, &codec->ch_layout);
            if (av_frame_get_buffer(frame, 0) < 0)
                return fail("no frame");
            const uint8_t* in[] = {reinterpret_cast<const uint8_t*>(source)};
            if (swr_convert(converter, frame->data, size, in, size) != size)
                return fail("conversion failed");
            frame->pts = at;
            if (avcodec_send_frame(codec, frame) < 0 || !drain())
                return fail(error.empty() ? "encoding failed" : error);
        }
        avcodec_send_frame(codec, nullptr);
        return drain();
    }
};

} // namespace

bool writeAudioFile(const std::string& utf8Path, const std::vector<int16_t>& interleaved, int sampleRate,
                    int channels, const EncodeSettings& settings, std::string* error)
{
    Encoder encoder;
    const bool ok = encoder.setUp(utf8Path, sampleRate, channels, settings) && encoder.writeCover(settings.coverJpeg) &&
                    encoder.encode(interleaved, channels);
    if (!ok && error)
        *error = encoder.error;
    return ok;
}

} // namespace zupfomat::content
