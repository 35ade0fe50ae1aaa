#include "audio/video_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace quarvel {
namespace {

// A badly interleaved file cannot make the packets read ahead for one
// stream pile up without end: beyond this the oldest are dropped.
constexpr size_t kMaxQueuedPackets = 2048;
// Assumed distance of pictures that carry no time.
constexpr double kUntimedFrameMs = 40;

void free_queue(std::deque<AVPacket*>& queue) {
  for (AVPacket*& p : queue) av_packet_free(&p);
  queue.clear();
}

}  // namespace

VideoDecoder::~VideoDecoder() { close(); }

void VideoDecoder::close() {
  clear_queues();
  avcodec_free_context(&video_);
  avcodec_free_context(&audio_);
  avformat_close_input(&format_);
  sws_freeContext(sws_);
  sws_ = nullptr;
  swr_free(&swr_);
  av_packet_free(&packet_);
  av_frame_free(&pending_);
  av_frame_free(&scratch_);
  av_frame_free(&sound_frame_);
  video_index_ = audio_index_ = -1;
  have_pending_ = false;
  sound_.clear();
  sound_used_ = 0;
}

void VideoDecoder::clear_queues() {
  free_queue(video_packets_);
  free_queue(audio_packets_);
}

bool VideoDecoder::open_decoder(int index, AVCodecContext*& context) {
  const AVStream* stream = format_->streams[index];
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (!codec) return false;
  context = avcodec_alloc_context3(codec);
  if (!context) return false;
  if (avcodec_parameters_to_context(context, stream->codecpar) < 0) {
    avcodec_free_context(&context);
    return false;
  }
  context->pkt_timebase = stream->time_base;
  if (avcodec_open2(context, codec, nullptr) < 0) {
    avcodec_free_context(&context);
    return false;
  }
  return true;
}

bool VideoDecoder::open(const std::string& path, int sound_rate, int sound_channels, int max_side) {
  close();
  path_ = path;
  sound_rate_ = sound_rate;
  sound_channels_ = sound_channels;
  max_side_ = max_side > 0 ? max_side : 1024;
  av_log_set_level(AV_LOG_ERROR);
  if (avformat_open_input(&format_, path.c_str(), nullptr, nullptr) < 0) return false;
  if (avformat_find_stream_info(format_, nullptr) < 0) {
    close();
    return false;
  }

  video_index_ = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (video_index_ >= 0 && (!open_decoder(video_index_, video_) || video_->width <= 0 || video_->height <= 0)) {
    avcodec_free_context(&video_);
  }
  if (!video_) video_index_ = -1;

  if (sound_rate > 0 && sound_channels > 0) {
    audio_index_ = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, video_index_, nullptr, 0);
    if (audio_index_ >= 0 && open_decoder(audio_index_, audio_)) {
      AVChannelLayout in_layout;
      if (audio_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || audio_->ch_layout.nb_channels <= 0) {
        av_channel_layout_default(&in_layout, audio_->ch_layout.nb_channels > 0 ? audio_->ch_layout.nb_channels : 1);
      } else if (av_channel_layout_copy(&in_layout, &audio_->ch_layout) < 0) {
        av_channel_layout_default(&in_layout, 1);
      }
      AVChannelLayout out_layout;
      av_channel_layout_default(&out_layout, sound_channels);
      if (swr_alloc_set_opts2(&swr_, &out_layout, AV_SAMPLE_FMT_S16, sound_rate, &in_layout, audio_->sample_fmt,
                              audio_->sample_rate, 0, nullptr) < 0 ||
          swr_init(swr_) < 0) {
        swr_free(&swr_);
        avcodec_free_context(&audio_);
      }
      av_channel_layout_uninit(&in_layout);
      av_channel_layout_uninit(&out_layout);
    } else {
      avcodec_free_context(&audio_);
    }
  }
  if (!audio_) audio_index_ = -1;

  packet_ = av_packet_alloc();
  pending_ = av_frame_alloc();
  scratch_ = av_frame_alloc();
  sound_frame_ = av_frame_alloc();
  if ((!video_ && !audio_) || !packet_ || !pending_ || !scratch_ || !sound_frame_) {
    close();
    return false;
  }

  if (video_) {
    const double w = video_->width, h = video_->height;
    const double fit = std::min(1.0, std::min(max_side_ / w, max_side_ / h));
    out_width_ = std::max(1, static_cast<int>(std::lround(w * fit)));
    out_height_ = std::max(1, static_cast<int>(std::lround(h * fit)));
    const AVRational sar = av_guess_sample_aspect_ratio(format_, format_->streams[video_index_], nullptr);
    display_width_ = out_width_;
    if (sar.num > 0 && sar.den > 0) display_width_ = out_width_ * av_q2d(sar);
  }
  length_ms_ = format_->duration != AV_NOPTS_VALUE && format_->duration > 0 ? format_->duration / 1000.0 : -1;
  end_of_file_ = video_flushed_ = audio_flushed_ = false;
  video_done_ = !video_;
  audio_done_ = !audio_;
  last_ms_ = -1;
  return true;
}

bool VideoDecoder::demux_one() {
  if (end_of_file_) return false;
  if (av_read_frame(format_, packet_) < 0) {
    // The end, or a read error: either way nothing more comes.
    end_of_file_ = true;
    return false;
  }
  std::deque<AVPacket*>* queue = nullptr;
  if (packet_->stream_index == video_index_ && video_) queue = &video_packets_;
  if (packet_->stream_index == audio_index_ && audio_) queue = &audio_packets_;
  if (queue) {
    AVPacket* copy = av_packet_alloc();
    if (copy) {
      av_packet_move_ref(copy, packet_);
      if (queue->size() >= kMaxQueuedPackets) {
        av_packet_free(&queue->front());
        queue->pop_front();
      }
      queue->push_back(copy);
    }
  }
  av_packet_unref(packet_);
  return true;
}

bool VideoDecoder::next_video_frame() {
  for (;;) {
    const int r = avcodec_receive_frame(video_, pending_);
    if (r == 0) return true;
    if (r != AVERROR(EAGAIN)) break;  // the end, or a decoder that gave up
    if (!video_packets_.empty()) {
      AVPacket* p = video_packets_.front();
      video_packets_.pop_front();
      avcodec_send_packet(video_, p);  // a damaged packet is skipped
      av_packet_free(&p);
      continue;
    }
    if (demux_one()) continue;
    if (video_flushed_) break;
    avcodec_send_packet(video_, nullptr);
    video_flushed_ = true;
  }
  video_done_ = true;
  return false;
}

bool VideoDecoder::next_audio_frame() {
  for (;;) {
    const int r = avcodec_receive_frame(audio_, sound_frame_);
    if (r == 0) return true;
    if (r != AVERROR(EAGAIN)) break;
    if (!audio_packets_.empty()) {
      AVPacket* p = audio_packets_.front();
      audio_packets_.pop_front();
      avcodec_send_packet(audio_, p);
      av_packet_free(&p);
      continue;
    }
    if (demux_one()) continue;
    if (audio_flushed_) break;
    avcodec_send_packet(audio_, nullptr);
    audio_flushed_ = true;
  }
  audio_done_ = true;
  return false;
}

double VideoDecoder::frame_ms(const AVFrame* frame) const {
  const int64_t ts = frame->best_effort_timestamp;
  if (ts == AV_NOPTS_VALUE) return last_ms_ < 0 ? 0 : last_ms_ + kUntimedFrameMs;
  const AVStream* stream = format_->streams[video_index_];
  const int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
  return static_cast<double>(ts - start) * av_q2d(stream->time_base) * 1000.0;
}

bool VideoDecoder::advance_to(double t_ms) {
  if (!video_) return false;
  bool fresh = false;
  for (;;) {
    if (!have_pending_) {
      if (video_done_ || !next_video_frame()) break;
      have_pending_ = true;
      pending_ms_ = frame_ms(pending_);
      last_ms_ = pending_ms_;
    }
    if (pending_ms_ > t_ms) break;
    av_frame_unref(scratch_);
    av_frame_move_ref(scratch_, pending_);
    have_pending_ = false;
    fresh = true;
  }
  if (fresh) convert_picture(scratch_);
  return fresh;
}

void VideoDecoder::convert_picture(AVFrame* frame) {
  if (frame->width <= 0 || frame->height <= 0) return;
  sws_ = sws_getCachedContext(sws_, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                              out_width_, out_height_, AV_PIX_FMT_RGBA, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!sws_) return;
  // The converters work in blocks of pixels: rows with a stride rounded
  // up (and room after the last one), then copied out tightly.
  const size_t row = static_cast<size_t>(out_width_) * 4;
  const size_t stride = (row + 63) & ~size_t{63};
  converted_.resize(stride * (static_cast<size_t>(out_height_) + 1));
  uint8_t* planes[4] = {converted_.data(), nullptr, nullptr, nullptr};
  int strides[4] = {static_cast<int>(stride), 0, 0, 0};
  sws_scale(sws_, frame->data, frame->linesize, 0, frame->height, planes, strides);
  rgba_.resize(row * static_cast<size_t>(out_height_));
  for (int y = 0; y < out_height_; ++y) {
    std::memcpy(&rgba_[row * static_cast<size_t>(y)], &converted_[stride * static_cast<size_t>(y)], row);
  }
}

void VideoDecoder::resample(AVFrame* frame) {
  sound_.clear();
  sound_used_ = 0;
  if (!swr_ || frame->nb_samples <= 0) return;
  const int room = swr_get_out_samples(swr_, frame->nb_samples);
  if (room <= 0) return;
  sound_.resize(static_cast<size_t>(room) * static_cast<size_t>(sound_channels_));
  uint8_t* out = reinterpret_cast<uint8_t*>(sound_.data());
  const int got = swr_convert(swr_, &out, room, const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
  sound_.resize(got > 0 ? static_cast<size_t>(got) * static_cast<size_t>(sound_channels_) : 0);
}

void VideoDecoder::feed_sound(SampleRing& ring, size_t target) {
  if (!audio_) return;
  for (;;) {
    if (sound_used_ < sound_.size()) {
      sound_used_ += ring.push(sound_.data() + sound_used_, sound_.size() - sound_used_);
      if (sound_used_ < sound_.size()) return;  // the ring is full
    }
    if (ring.size() >= target || audio_done_ || !next_audio_frame()) return;
    resample(sound_frame_);
    av_frame_unref(sound_frame_);
  }
}

bool VideoDecoder::drained() const {
  const bool pictures_done = !video_ || (video_done_ && !have_pending_);
  const bool sound_done = !audio_ || (audio_done_ && sound_used_ >= sound_.size());
  return pictures_done && sound_done;
}

bool VideoDecoder::rewind() {
  if (!format_) return false;
  clear_queues();
  have_pending_ = false;
  last_ms_ = -1;
  sound_.clear();
  sound_used_ = 0;
  const int64_t start = format_->start_time != AV_NOPTS_VALUE ? format_->start_time : 0;
  if (av_seek_frame(format_, -1, start, AVSEEK_FLAG_BACKWARD) >= 0) {
    if (video_) avcodec_flush_buffers(video_);
    if (audio_) avcodec_flush_buffers(audio_);
    end_of_file_ = video_flushed_ = audio_flushed_ = false;
    video_done_ = !video_;
    audio_done_ = !audio_;
    return true;
  }
  // A file that cannot seek is opened again.
  const std::string path = path_;
  return open(path, sound_rate_, sound_channels_, max_side_);
}

}  // namespace quarvel
