#include "tests/support/TestVideo.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/opt.h>
}

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

std::string message(int rc) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(rc, text, sizeof text);
  return text;
}

struct Writer {
  AVFormatContext* out = nullptr;
  AVCodecContext* video = nullptr;
  AVCodecContext* audio = nullptr;
  AVStream *vs = nullptr, *as = nullptr;
  AVPacket* packet = av_packet_alloc();
  ~Writer() {
    avcodec_free_context(&video);
    avcodec_free_context(&audio);
    if (out) {
      if (out->pb) avio_closep(&out->pb);
      avformat_free_context(out);
    }
    av_packet_free(&packet);
  }
  bool send(AVCodecContext* c, AVStream* s, AVFrame* f, std::string& error) {
    int rc = avcodec_send_frame(c, f);
    while (rc >= 0) {
      rc = avcodec_receive_packet(c, packet);
      if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
      if (rc < 0) break;
      av_packet_rescale_ts(packet, c->time_base, s->time_base);
      packet->stream_index = s->index;
      rc = av_interleaved_write_frame(out, packet);
    }
    error = "cannot encode: " + message(rc);
    return false;
  }
};

}  // namespace

bool makeTestVideo(const std::string& path, const TestVideo& v, std::string& error) {
  av_log_set_level(AV_LOG_ERROR);
  Writer w;
  if (avformat_alloc_output_context2(&w.out, nullptr, nullptr, path.c_str()) < 0) {
    error = "no container for " + path;
    return false;
  }
  const bool webm = std::strstr(w.out->oformat->name, "webm") != nullptr;
  const AVCodec* vc = avcodec_find_encoder_by_name(v.encoder.c_str());
  if (!vc) {
    error = "no encoder " + v.encoder + " in this libavcodec";
    return false;
  }
  w.video = avcodec_alloc_context3(vc);
  w.video->width = v.width;
  w.video->height = v.height;
  w.video->pix_fmt = AV_PIX_FMT_YUV420P;
  w.video->time_base = AVRational{1, v.fps};
  w.video->framerate = AVRational{v.fps, 1};
  w.video->gop_size = 2 * v.fps;
  if (w.out->oformat->flags & AVFMT_GLOBALHEADER) w.video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (v.encoder == "libx264" || v.encoder == "libx265") {
    av_opt_set(w.video->priv_data, "preset", "ultrafast", 0);
    av_opt_set(w.video->priv_data, "crf", v.noisy ? "20" : "28", 0);
  }
  if (v.encoder == "libx265") {
    av_opt_set(w.video->priv_data, "x265-params", "log-level=error", 0);
    // Apple's players want hvc1.
    w.video->codec_tag = MKTAG('h', 'v', 'c', '1');
  }
  if (v.encoder == "libvpx-vp9") {
    av_opt_set(w.video->priv_data, "deadline", "realtime", 0);
    av_opt_set_int(w.video->priv_data, "cpu-used", 8, 0);
    w.video->bit_rate = 400000;
  }
  int rc = avcodec_open2(w.video, vc, nullptr);
  if (rc < 0) {
    error = "cannot open " + v.encoder + ": " + message(rc);
    return false;
  }
  w.vs = avformat_new_stream(w.out, nullptr);
  avcodec_parameters_from_context(w.vs->codecpar, w.video);
  w.vs->time_base = w.video->time_base;
  if (v.turn != 0) {
    auto* matrix = reinterpret_cast<std::int32_t*>(
        av_stream_new_side_data(w.vs, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(std::int32_t)));
    // As a phone writes it: read back (as players read it) as a turn of
    // `turn` degrees clockwise; through this libavformat's MP4 writer and
    // reader the angle given comes back with its sign reversed.
    av_display_rotation_set(matrix, v.turn);
  }
  if (v.sound) {
    const AVCodec* ac = avcodec_find_encoder(webm ? AV_CODEC_ID_OPUS : AV_CODEC_ID_AAC);
    if (!ac) {
      error = "no audio encoder";
      return false;
    }
    w.audio = avcodec_alloc_context3(ac);
    w.audio->sample_rate = 48000;
    av_channel_layout_default(&w.audio->ch_layout, 2);
    w.audio->sample_fmt = ac->sample_fmts ? ac->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    w.audio->bit_rate = 96000;
    w.audio->time_base = AVRational{1, 48000};
    if (w.out->oformat->flags & AVFMT_GLOBALHEADER) w.audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    rc = avcodec_open2(w.audio, ac, nullptr);
    if (rc < 0) {
      error = "cannot open the audio encoder: " + message(rc);
      return false;
    }
    w.as = avformat_new_stream(w.out, nullptr);
    avcodec_parameters_from_context(w.as->codecpar, w.audio);
    w.as->time_base = w.audio->time_base;
  }
  if (!v.location.empty()) av_dict_set(&w.out->metadata, "location", v.location.c_str(), 0);
  rc = avio_open(&w.out->pb, path.c_str(), AVIO_FLAG_WRITE);
  if (rc >= 0) rc = avformat_write_header(w.out, nullptr);
  if (rc < 0) {
    error = "cannot write " + path + ": " + message(rc);
    return false;
  }

  AVFrame* frame = av_frame_alloc();
  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = v.width;
  frame->height = v.height;
  av_frame_get_buffer(frame, 0);
  AVFrame* sound = av_frame_alloc();
  const int frames = static_cast<int>(std::lround(v.seconds * v.fps));
  std::int64_t samples = 0;
  std::uint32_t seed = 12345;
  bool ok = true;
  for (int i = 0; i < frames && ok; ++i) {
    av_frame_make_writable(frame);
    // Eight bars sliding right a little every frame.
    for (int y = 0; y < v.height; ++y) {
      std::uint8_t* row = frame->data[0] + y * frame->linesize[0];
      for (int x = 0; x < v.width; ++x) {
        int value = 16 + ((x + 2 * i) * 8 / v.width % 8) * 28 + y * 16 / v.height;
        if (v.noisy) {
          seed = seed * 1664525u + 1013904223u;
          value += static_cast<int>(seed >> 29) - 4;
        }
        row[x] = static_cast<std::uint8_t>(std::min(235, std::max(16, value)));
      }
    }
    for (int y = 0; y < v.height / 2; ++y) {
      for (int x = 0; x < v.width / 2; ++x) {
        frame->data[1][y * frame->linesize[1] + x] =
            static_cast<std::uint8_t>(64 + ((2 * x + 2 * i) * 4 / v.width % 4) * 40);
        frame->data[2][y * frame->linesize[2] + x] =
            static_cast<std::uint8_t>(192 - (2 * y * 4 / v.height) * 32);
      }
    }
    frame->pts = i;
    ok = w.send(w.video, w.vs, frame, error);
    // The tone up to this frame's end.
    const std::int64_t until = (i + 1) * std::int64_t(48000) / v.fps;
    while (ok && w.audio && samples + w.audio->frame_size <= until) {
      av_frame_unref(sound);
      sound->nb_samples = w.audio->frame_size;
      sound->format = w.audio->sample_fmt;
      sound->sample_rate = 48000;
      av_channel_layout_copy(&sound->ch_layout, &w.audio->ch_layout);
      av_frame_get_buffer(sound, 0);
      for (int s = 0; s < sound->nb_samples; ++s) {
        const double t = double(samples + s) / 48000;
        const float value = static_cast<float>(0.2 * std::sin(2 * M_PI * 440 * t));
        for (int c = 0; c < 2; ++c) {
          if (w.audio->sample_fmt == AV_SAMPLE_FMT_FLTP)
            reinterpret_cast<float*>(sound->data[c])[s] = value;
          else if (w.audio->sample_fmt == AV_SAMPLE_FMT_FLT)
            reinterpret_cast<float*>(sound->data[0])[2 * s + c] = value;
          else if (w.audio->sample_fmt == AV_SAMPLE_FMT_S16)
            reinterpret_cast<std::int16_t*>(sound->data[0])[2 * s + c] =
                static_cast<std::int16_t>(value * 32767);
        }
      }
      sound->pts = samples;
      samples += sound->nb_samples;
      ok = w.send(w.audio, w.as, sound, error);
    }
  }
  av_frame_free(&frame);
  av_frame_free(&sound);
  if (ok) ok = w.send(w.video, w.vs, nullptr, error);
  if (ok && w.audio) ok = w.send(w.audio, w.as, nullptr, error);
  if (ok && (rc = av_write_trailer(w.out)) < 0) {
    error = "cannot finish " + path + ": " + message(rc);
    ok = false;
  }
  return ok;
}
