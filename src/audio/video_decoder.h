// Decoding of video files with the FFmpeg libraries: pictures as RGBA rows
// (top row first) when they are due, and sound resampled to the mixer's
// format into a sample ring.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "audio/sample_ring.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;
struct SwsContext;
struct SwrContext;

namespace quarvel {

class VideoDecoder {
 public:
  VideoDecoder() = default;
  ~VideoDecoder();
  VideoDecoder(const VideoDecoder&) = delete;
  VideoDecoder& operator=(const VideoDecoder&) = delete;

  // Opens the file. Sound is decoded only when sound_rate > 0 (signed
  // 16-bit, sound_channels interleaved). Pictures wider or higher than
  // max_side are scaled down. False when the file holds neither a picture
  // nor a sound stream that can be decoded.
  bool open(const std::string& path, int sound_rate, int sound_channels, int max_side);
  void close();

  bool has_video() const { return video_ != nullptr; }
  bool has_sound() const { return audio_ != nullptr; }
  // Size of the pictures handed out, and the width the picture is shown at
  // for that height (pixel aspect ratio applied).
  int picture_width() const { return out_width_; }
  int picture_height() const { return out_height_; }
  double display_width() const { return display_width_; }
  // Length in milliseconds; negative when the file does not say.
  double length_ms() const { return length_ms_; }

  // Makes the newest picture due at t_ms (from the start) current; true
  // when a new picture is in rgba().
  bool advance_to(double t_ms);
  const std::vector<uint8_t>& rgba() const { return rgba_; }

  // Decodes sound into the ring until it holds `target` samples or the
  // sound is at its end.
  void feed_sound(SampleRing& ring, size_t target);

  // Every stream decoded to its end and no picture waiting.
  bool drained() const;

  // Back to the start (seeking, or opening the file again).
  bool rewind();

 private:
  bool open_streams();
  bool open_decoder(int index, AVCodecContext*& context);
  bool demux_one();
  bool next_video_frame();
  bool next_audio_frame();
  void convert_picture(AVFrame* frame);
  void resample(AVFrame* frame);
  double frame_ms(const AVFrame* frame) const;
  void clear_queues();

  std::string path_;
  int sound_rate_ = 0;
  int sound_channels_ = 0;
  int max_side_ = 0;

  AVFormatContext* format_ = nullptr;
  AVCodecContext* video_ = nullptr;
  AVCodecContext* audio_ = nullptr;
  int video_index_ = -1;
  int audio_index_ = -1;
  SwsContext* sws_ = nullptr;
  SwrContext* swr_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* pending_ = nullptr;  // the next picture, decoded, not yet due
  AVFrame* scratch_ = nullptr;  // the picture made current last
  AVFrame* sound_frame_ = nullptr;
  bool have_pending_ = false;
  double pending_ms_ = 0;
  double last_ms_ = -1;
  std::deque<AVPacket*> video_packets_;
  std::deque<AVPacket*> audio_packets_;
  bool end_of_file_ = false;
  bool video_flushed_ = false, audio_flushed_ = false;
  bool video_done_ = false, audio_done_ = false;

  int out_width_ = 0, out_height_ = 0;
  double display_width_ = 0;
  double length_ms_ = -1;
  std::vector<uint8_t> rgba_;
  std::vector<uint8_t> converted_;  // rows at the converter's stride
  std::vector<int16_t> sound_;   // resampled, not yet in the ring
  size_t sound_used_ = 0;
};

}  // namespace quarvel
