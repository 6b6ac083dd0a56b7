#include "generator/picture/VideoFile.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/display.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>

namespace {

// The libraries' own messages stay off the console: each video gets one line.
void quiet() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

// H.264 at this quality keeps a phone video clean at the web size in
// about a tenth of its bytes; "veryfast" codes 1080p faster than it plays.
constexpr const char* kCrf = "23";
constexpr const char* kPreset = "veryfast";
constexpr int kAudioBitRate = 128000;

std::string avMessage(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

struct InputCloser {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecCloser {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ScaleFree {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct ResampleFree {
  void operator()(SwrContext* s) const { swr_free(&s); }
};
struct FifoFree {
  void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};
using Input = std::unique_ptr<AVFormatContext, InputCloser>;
using Codec = std::unique_ptr<AVCodecContext, CodecCloser>;
using Frame = std::unique_ptr<AVFrame, FrameFree>;
using Packet = std::unique_ptr<AVPacket, PacketFree>;

bool openInput(const std::string& path, Input& input, std::string& error) {
  quiet();
  AVFormatContext* c = nullptr;
  int rc = avformat_open_input(&c, path.c_str(), nullptr, nullptr);
  if (rc < 0) {
    error = avMessage(rc);
    return false;
  }
  input.reset(c);
  rc = avformat_find_stream_info(c, nullptr);
  if (rc < 0) {
    error = avMessage(rc);
    return false;
  }
  return true;
}

// A decoder for stream `index` of `input`.
bool openDecoder(AVFormatContext* input, int index, Codec& codec, std::string& error) {
  const AVCodecParameters* par = input->streams[index]->codecpar;
  const AVCodec* decoder = avcodec_find_decoder(par->codec_id);
  if (!decoder) {
    error = std::string("no decoder for ") + avcodec_get_name(par->codec_id);
    return false;
  }
  codec.reset(avcodec_alloc_context3(decoder));
  if (!codec || avcodec_parameters_to_context(codec.get(), par) < 0) {
    error = "out of memory";
    return false;
  }
  codec->pkt_timebase = input->streams[index]->time_base;
  const int rc = avcodec_open2(codec.get(), decoder, nullptr);
  if (rc < 0) {
    error = std::string("cannot decode ") + avcodec_get_name(par->codec_id) + ": " + avMessage(rc);
    return false;
  }
  return true;
}

// Degrees clockwise that turn the stream's pictures upright.
int turnOf(const AVStream* stream) {
  const std::uint8_t* matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr);
  if (!matrix) return 0;
  const double counter = av_display_rotation_get(reinterpret_cast<const std::int32_t*>(matrix));
  if (std::isnan(counter)) return 0;
  int turn = static_cast<int>(std::lround(-counter / 90.0)) * 90 % 360;
  return turn < 0 ? turn + 360 : turn;
}

// The width a frame is shown at: its pixels made square.
int shownWidth(const AVCodecParameters* par, AVRational sar) {
  if (sar.num <= 0 || sar.den <= 0) sar = par->sample_aspect_ratio;
  if (sar.num <= 0 || sar.den <= 0 || sar.num == sar.den) return par->width;
  return std::max(2, static_cast<int>(std::lround(double(par->width) * sar.num / sar.den)));
}

bool plays(const AVFormatContext* input, const std::string& path) {
  std::string ext = path.substr(path.rfind('.') + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::string format = input->iformat->name;
  const bool mp4 = (ext == "mp4" || ext == "m4v") && format.find("mp4") != std::string::npos;
  const bool webm = ext == "webm" && format.find("webm") != std::string::npos;
  if (!mp4 && !webm) return false;
  bool video = false;
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    const AVCodecParameters* par = input->streams[i]->codecpar;
    if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
      if (input->streams[i]->disposition & AV_DISPOSITION_ATTACHED_PIC) continue;
      const bool fourTwoZero =
          par->format == AV_PIX_FMT_YUV420P || par->format == AV_PIX_FMT_YUVJ420P;
      const bool codec = mp4 ? par->codec_id == AV_CODEC_ID_H264
                             : par->codec_id == AV_CODEC_ID_VP8 || par->codec_id == AV_CODEC_ID_VP9;
      if (!codec || !fourTwoZero) return false;
      video = true;
    } else if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
      const bool codec =
          mp4 ? par->codec_id == AV_CODEC_ID_AAC || par->codec_id == AV_CODEC_ID_MP3
              : par->codec_id == AV_CODEC_ID_VORBIS || par->codec_id == AV_CODEC_ID_OPUS;
      if (!codec) return false;
    }
  }
  return video;
}

// Whether the container's or a stream's metadata names a place: a phone's
// "location" (ISO 6709, also as QuickTime's key) or any GPS entry.
bool namesPlace(const AVDictionary* metadata) {
  const AVDictionaryEntry* e = nullptr;
  while ((e = av_dict_get(metadata, "", e, AV_DICT_IGNORE_SUFFIX))) {
    std::string key = e->key;
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (key.find("location") != std::string::npos || key.find("gps") != std::string::npos ||
        key.find("iso6709") != std::string::npos)
      return true;
  }
  return false;
}

}  // namespace

bool readVideoPoster(const std::string& path, VideoFrame& out, bool& browserPlays,
                     std::string& error) {
  Input input;
  if (!openInput(path, input, error)) return false;
  const int index = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (index < 0) {
    error = "no video in it";
    return false;
  }
  Codec codec;
  if (!openDecoder(input.get(), index, codec, error)) return false;
  AVStream* stream = input->streams[index];
  browserPlays = plays(input.get(), path);
  out.located = namesPlace(input->metadata);
  for (unsigned i = 0; i < input->nb_streams; ++i)
    out.located = out.located || namesPlace(input->streams[i]->metadata);

  // About a second in; half-way into a shorter video.
  double seconds = 1.0;
  if (input->duration > 0) seconds = std::min(seconds, input->duration / double(AV_TIME_BASE) / 2);
  std::int64_t target = av_rescale_q(static_cast<std::int64_t>(seconds * AV_TIME_BASE),
                                     AVRational{1, AV_TIME_BASE}, stream->time_base);
  if (stream->start_time != AV_NOPTS_VALUE) target += stream->start_time;
  if (av_seek_frame(input.get(), index, target, AVSEEK_FLAG_BACKWARD) < 0)
    av_seek_frame(input.get(), index, 0, AVSEEK_FLAG_BACKWARD);
  avcodec_flush_buffers(codec.get());

  Packet packet(av_packet_alloc());
  Frame frame(av_frame_alloc()), best(av_frame_alloc());
  bool have = false, done = false, ended = false;
  int lastError = 0;
  while (!done) {
    int rc = 0;
    if (!ended) {
      rc = av_read_frame(input.get(), packet.get());
      if (rc < 0) {
        ended = true;
        avcodec_send_packet(codec.get(), nullptr);
      } else if (packet->stream_index == index) {
        rc = avcodec_send_packet(codec.get(), packet.get());
        if (rc < 0) lastError = rc;
      }
      av_packet_unref(packet.get());
    }
    for (;;) {
      rc = avcodec_receive_frame(codec.get(), frame.get());
      if (rc == AVERROR(EAGAIN)) break;
      if (rc < 0) {
        if (rc != AVERROR_EOF) lastError = rc;
        done = true;
        break;
      }
      av_frame_unref(best.get());
      av_frame_move_ref(best.get(), frame.get());
      have = true;
      if (best->best_effort_timestamp != AV_NOPTS_VALUE && best->best_effort_timestamp >= target) {
        done = true;
        break;
      }
    }
    if (ended && !done && rc == AVERROR(EAGAIN)) done = true;
  }
  if (!have) {
    error = lastError < 0 ? "cannot decode its pictures: " + avMessage(lastError)
                          : std::string("no picture in the video");
    return false;
  }
  out.width = shownWidth(stream->codecpar, best->sample_aspect_ratio);
  out.height = best->height;
  out.turn = turnOf(stream);
  std::unique_ptr<SwsContext, ScaleFree> scale(sws_getContext(
      best->width, best->height, static_cast<AVPixelFormat>(best->format), out.width, out.height,
      AV_PIX_FMT_RGB24, SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr,
      nullptr));
  if (!scale) {
    error = "cannot convert its pictures";
    return false;
  }
  out.rgb.assign(std::size_t(out.width) * out.height * 3, '\0');
  std::uint8_t* rows[4] = {reinterpret_cast<std::uint8_t*>(&out.rgb[0])};
  int strides[4] = {out.width * 3};
  sws_scale(scale.get(), best->data, best->linesize, 0, best->height, rows, strides);
  return true;
}

std::string webVideoSettings(int longEdge) {
  return "webvideo" + std::to_string(longEdge) + ",h264-" + kPreset + "-crf" + kCrf + ",aac" +
         std::to_string(kAudioBitRate / 1000) + "k";
}

namespace {

// An MP4 written into memory: the muxer seeks back to finish its boxes.
struct MemoryFile {
  std::string data;
  std::size_t pos = 0;

  static int write(void* opaque, std::uint8_t* buf, int size) {
    auto* self = static_cast<MemoryFile*>(opaque);
    if (self->pos + size > self->data.size()) self->data.resize(self->pos + size);
    std::memcpy(&self->data[self->pos], buf, size);
    self->pos += size;
    return size;
  }
  static std::int64_t seek(void* opaque, std::int64_t offset, int whence) {
    auto* self = static_cast<MemoryFile*>(opaque);
    if (whence & AVSEEK_SIZE) return static_cast<std::int64_t>(self->data.size());
    std::int64_t base = (whence & 3) == SEEK_CUR   ? static_cast<std::int64_t>(self->pos)
                        : (whence & 3) == SEEK_END ? static_cast<std::int64_t>(self->data.size())
                                                   : 0;
    if (base + offset < 0) return -1;
    self->pos = static_cast<std::size_t>(base + offset);
    return static_cast<std::int64_t>(self->pos);
  }
};

class Transcode {
 public:
  bool run(const std::string& path, int longEdge, std::string& out, std::string& error);
  ~Transcode() {
    if (output_) {
      if (output_->pb) {
        av_freep(&output_->pb->buffer);
        avio_context_free(&output_->pb);
      }
      avformat_free_context(output_);
    }
  }

 private:
  bool openVideo(int longEdge, std::string& error);
  bool openAudio(std::string& error);
  bool encode(AVCodecContext* encoder, AVStream* stream, AVFrame* frame, std::string& error);
  bool videoFrame(AVFrame* frame, std::string& error);
  bool audioFrame(AVFrame* frame, std::string& error);
  bool drainAudio(bool all, std::string& error);
  bool decoded(Codec& decoder, bool video, std::string& error);

  Input input_;
  AVFormatContext* output_ = nullptr;
  MemoryFile file_;
  int videoIn_ = -1, audioIn_ = -1;
  Codec videoDecoder_, audioDecoder_, videoEncoder_, audioEncoder_;
  AVStream *videoOut_ = nullptr, *audioOut_ = nullptr;
  std::unique_ptr<SwsContext, ScaleFree> scale_;
  std::unique_ptr<SwrContext, ResampleFree> resample_;
  std::unique_ptr<AVAudioFifo, FifoFree> fifo_;
  Frame scaled_{av_frame_alloc()}, decodedFrame_{av_frame_alloc()};
  Packet packet_{av_packet_alloc()};
  std::int64_t videoStart_ = 0, lastVideoPts_ = AV_NOPTS_VALUE, audioPts_ = 0;
};

bool Transcode::openVideo(int longEdge, std::string& error) {
  AVStream* in = input_->streams[videoIn_];
  const AVCodecParameters* par = in->codecpar;
  int width = shownWidth(par, in->sample_aspect_ratio), height = par->height;
  if (width <= 0 || height <= 0) {
    error = "the video has no size";
    return false;
  }
  if (longEdge > 0 && std::max(width, height) > longEdge) {
    const double s = double(longEdge) / std::max(width, height);
    width = static_cast<int>(std::lround(width * s));
    height = static_cast<int>(std::lround(height * s));
  }
  // 4:2:0 wants even sides.
  width = std::max(2, width & ~1);
  height = std::max(2, height & ~1);
  const AVCodec* h264 = avcodec_find_encoder_by_name("libx264");
  if (!h264) h264 = avcodec_find_encoder(AV_CODEC_ID_H264);
  if (!h264) {
    error = "no H.264 encoder in this system's libavcodec";
    return false;
  }
  videoEncoder_.reset(avcodec_alloc_context3(h264));
  AVCodecContext* enc = videoEncoder_.get();
  enc->width = width;
  enc->height = height;
  enc->pix_fmt = AV_PIX_FMT_YUV420P;
  enc->sample_aspect_ratio = AVRational{1, 1};
  enc->time_base = in->time_base;
  enc->framerate = av_guess_frame_rate(input_.get(), in, nullptr);
  if (output_->oformat->flags & AVFMT_GLOBALHEADER) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  av_opt_set(enc->priv_data, "preset", kPreset, 0);
  av_opt_set(enc->priv_data, "crf", kCrf, 0);
  int rc = avcodec_open2(enc, h264, nullptr);
  if (rc < 0) {
    error = "cannot start the H.264 encoder: " + avMessage(rc);
    return false;
  }
  videoOut_ = avformat_new_stream(output_, nullptr);
  avcodec_parameters_from_context(videoOut_->codecpar, enc);
  videoOut_->time_base = enc->time_base;
  // Turned as the original is: the player turns it.
  if (const std::uint8_t* matrix =
          av_stream_get_side_data(in, AV_PKT_DATA_DISPLAYMATRIX, nullptr)) {
    if (std::uint8_t* copy =
            av_stream_new_side_data(videoOut_, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(std::int32_t)))
      std::memcpy(copy, matrix, 9 * sizeof(std::int32_t));
  }
  scaled_->format = enc->pix_fmt;
  scaled_->width = width;
  scaled_->height = height;
  if (av_frame_get_buffer(scaled_.get(), 0) < 0) {
    error = "out of memory";
    return false;
  }
  videoStart_ = in->start_time == AV_NOPTS_VALUE ? 0 : in->start_time;
  return true;
}

bool Transcode::openAudio(std::string& error) {
  const AVCodec* aac = avcodec_find_encoder(AV_CODEC_ID_AAC);
  if (!aac) {
    error = "no AAC encoder in this system's libavcodec";
    return false;
  }
  audioEncoder_.reset(avcodec_alloc_context3(aac));
  AVCodecContext* enc = audioEncoder_.get();
  AVCodecContext* dec = audioDecoder_.get();
  const int rate = dec->sample_rate;
  enc->sample_rate =
      rate == 44100 || rate == 48000 || rate == 32000 || rate == 22050 ? rate : 48000;
  if (dec->ch_layout.nb_channels == 1)
    av_channel_layout_default(&enc->ch_layout, 1);
  else
    av_channel_layout_default(&enc->ch_layout, 2);
  enc->sample_fmt = AV_SAMPLE_FMT_FLTP;
  enc->bit_rate = kAudioBitRate;
  enc->time_base = AVRational{1, enc->sample_rate};
  if (output_->oformat->flags & AVFMT_GLOBALHEADER) enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  int rc = avcodec_open2(enc, aac, nullptr);
  if (rc < 0) {
    error = "cannot start the AAC encoder: " + avMessage(rc);
    return false;
  }
  audioOut_ = avformat_new_stream(output_, nullptr);
  avcodec_parameters_from_context(audioOut_->codecpar, enc);
  audioOut_->time_base = enc->time_base;
  SwrContext* swr = nullptr;
  rc = swr_alloc_set_opts2(&swr, &enc->ch_layout, enc->sample_fmt, enc->sample_rate,
                           &dec->ch_layout, dec->sample_fmt, dec->sample_rate, 0, nullptr);
  resample_.reset(swr);
  if (rc < 0 || swr_init(swr) < 0) {
    error = "cannot convert its sound";
    return false;
  }
  fifo_.reset(av_audio_fifo_alloc(enc->sample_fmt, enc->ch_layout.nb_channels, 4096));
  return fifo_ != nullptr;
}

bool Transcode::encode(AVCodecContext* encoder, AVStream* stream, AVFrame* frame,
                       std::string& error) {
  int rc = avcodec_send_frame(encoder, frame);
  if (rc < 0 && rc != AVERROR_EOF) {
    error = "cannot encode: " + avMessage(rc);
    return false;
  }
  for (;;) {
    rc = avcodec_receive_packet(encoder, packet_.get());
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
    if (rc < 0) {
      error = "cannot encode: " + avMessage(rc);
      return false;
    }
    av_packet_rescale_ts(packet_.get(), encoder->time_base, stream->time_base);
    packet_->stream_index = stream->index;
    rc = av_interleaved_write_frame(output_, packet_.get());
    if (rc < 0) {
      error = "cannot write the copy: " + avMessage(rc);
      return false;
    }
  }
}

bool Transcode::videoFrame(AVFrame* frame, std::string& error) {
  if (!scale_) {
    scale_.reset(sws_getContext(
        frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), scaled_->width,
        scaled_->height, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!scale_) {
      error = "cannot convert its pictures";
      return false;
    }
  }
  if (av_frame_make_writable(scaled_.get()) < 0) {
    error = "out of memory";
    return false;
  }
  sws_scale(scale_.get(), frame->data, frame->linesize, 0, frame->height, scaled_->data,
            scaled_->linesize);
  std::int64_t pts = frame->best_effort_timestamp;
  pts = pts == AV_NOPTS_VALUE ? (lastVideoPts_ == AV_NOPTS_VALUE ? 0 : lastVideoPts_ + 1)
                              : std::max<std::int64_t>(0, pts - videoStart_);
  if (lastVideoPts_ != AV_NOPTS_VALUE && pts <= lastVideoPts_) pts = lastVideoPts_ + 1;
  lastVideoPts_ = pts;
  scaled_->pts = pts;
  return encode(videoEncoder_.get(), videoOut_, scaled_.get(), error);
}

bool Transcode::drainAudio(bool all, std::string& error) {
  AVCodecContext* enc = audioEncoder_.get();
  const int size = enc->frame_size > 0 ? enc->frame_size : 1024;
  while (av_audio_fifo_size(fifo_.get()) >= size || (all && av_audio_fifo_size(fifo_.get()) > 0)) {
    const int n = std::min(size, av_audio_fifo_size(fifo_.get()));
    Frame chunk(av_frame_alloc());
    chunk->nb_samples = n;
    chunk->format = enc->sample_fmt;
    chunk->sample_rate = enc->sample_rate;
    av_channel_layout_copy(&chunk->ch_layout, &enc->ch_layout);
    if (av_frame_get_buffer(chunk.get(), 0) < 0) {
      error = "out of memory";
      return false;
    }
    av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(chunk->data), n);
    chunk->pts = audioPts_;
    audioPts_ += n;
    if (!encode(enc, audioOut_, chunk.get(), error)) return false;
  }
  return true;
}

bool Transcode::audioFrame(AVFrame* frame, std::string& error) {
  AVCodecContext* enc = audioEncoder_.get();
  const int room = swr_get_out_samples(resample_.get(), frame ? frame->nb_samples : 0);
  if (room <= 0) return drainAudio(frame == nullptr, error);
  std::uint8_t** buffers = nullptr;
  if (av_samples_alloc_array_and_samples(&buffers, nullptr, enc->ch_layout.nb_channels, room,
                                         enc->sample_fmt, 0) < 0) {
    error = "out of memory";
    return false;
  }
  const int n =
      swr_convert(resample_.get(), buffers, room,
                  frame ? const_cast<const std::uint8_t**>(frame->extended_data) : nullptr,
                  frame ? frame->nb_samples : 0);
  if (n > 0) av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(buffers), n);
  av_freep(&buffers[0]);
  av_freep(&buffers);
  if (n < 0) {
    error = "cannot convert its sound";
    return false;
  }
  return drainAudio(frame == nullptr, error);
}

bool Transcode::decoded(Codec& decoder, bool video, std::string& error) {
  for (;;) {
    const int rc = avcodec_receive_frame(decoder.get(), decodedFrame_.get());
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
    if (rc < 0) {
      error = "cannot decode: " + avMessage(rc);
      return false;
    }
    const bool ok =
        video ? videoFrame(decodedFrame_.get(), error) : audioFrame(decodedFrame_.get(), error);
    av_frame_unref(decodedFrame_.get());
    if (!ok) return false;
  }
}

bool Transcode::run(const std::string& path, int longEdge, std::string& out, std::string& error) {
  if (!openInput(path, input_, error)) return false;
  videoIn_ = av_find_best_stream(input_.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (videoIn_ < 0) {
    error = "no video in it";
    return false;
  }
  audioIn_ = av_find_best_stream(input_.get(), AVMEDIA_TYPE_AUDIO, -1, videoIn_, nullptr, 0);
  if (!openDecoder(input_.get(), videoIn_, videoDecoder_, error)) return false;
  // A sound the system cannot decode leaves the copy silent.
  std::string soundError;
  if (audioIn_ >= 0 && !openDecoder(input_.get(), audioIn_, audioDecoder_, soundError))
    audioIn_ = -1;

  if (avformat_alloc_output_context2(&output_, nullptr, "mp4", nullptr) < 0 || !output_) {
    error = "no MP4 writer in this system's libavformat";
    return false;
  }
  const int bufferSize = 1 << 16;
  auto* buffer = static_cast<unsigned char*>(av_malloc(bufferSize));
  output_->pb = avio_alloc_context(buffer, bufferSize, 1, &file_, nullptr, &MemoryFile::write,
                                   &MemoryFile::seek);
  if (!output_->pb) {
    av_free(buffer);
    error = "out of memory";
    return false;
  }
  if (!openVideo(longEdge, error)) return false;
  if (audioIn_ >= 0 && !openAudio(error)) return false;
  int rc = avformat_write_header(output_, nullptr);
  if (rc < 0) {
    error = "cannot write the copy: " + avMessage(rc);
    return false;
  }
  while ((rc = av_read_frame(input_.get(), packet_.get())) >= 0) {
    const int stream = packet_->stream_index;
    Codec* decoder = stream == videoIn_   ? &videoDecoder_
                     : stream == audioIn_ ? &audioDecoder_
                                          : nullptr;
    if (decoder) {
      rc = avcodec_send_packet(decoder->get(), packet_.get());
      av_packet_unref(packet_.get());
      // A damaged packet costs a picture, not the copy.
      if (rc < 0 && rc != AVERROR_INVALIDDATA && rc != AVERROR(EAGAIN)) {
        error = "cannot decode: " + avMessage(rc);
        return false;
      }
      if (!decoded(*decoder, stream == videoIn_, error)) return false;
    } else {
      av_packet_unref(packet_.get());
    }
  }
  if (rc != AVERROR_EOF) {
    error = "cannot read: " + avMessage(rc);
    return false;
  }
  avcodec_send_packet(videoDecoder_.get(), nullptr);
  if (!decoded(videoDecoder_, true, error)) return false;
  if (lastVideoPts_ == AV_NOPTS_VALUE) {
    error = "no picture in the video";
    return false;
  }
  if (audioIn_ >= 0) {
    avcodec_send_packet(audioDecoder_.get(), nullptr);
    if (!decoded(audioDecoder_, false, error) || !audioFrame(nullptr, error) ||
        !encode(audioEncoder_.get(), audioOut_, nullptr, error))
      return false;
  }
  if (!encode(videoEncoder_.get(), videoOut_, nullptr, error)) return false;
  rc = av_write_trailer(output_);
  if (rc < 0) {
    error = "cannot write the copy: " + avMessage(rc);
    return false;
  }
  avio_flush(output_->pb);
  out = std::move(file_.data);
  return true;
}

}  // namespace

bool makeWebVideo(const std::string& path, int longEdge, std::string& out, std::string& error) {
  Transcode transcode;
  return transcode.run(path, longEdge, out, error);
}
