// The platform's sound output: the mixer device, fixed mixer channels that
// play shared sample chunks with a gain per side, streamed music, and one
// stream that video playback feeds. Everything here is callable from the
// main thread; the music calls also from the music watcher thread (the
// caller serialises them with the music lock).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quarvel::platform {

// ---------------------------------------------------------- the device ---

// Opens the output device: `rate` Hz, signed 16-bit, `channels` channels,
// with `mixer_channels` fixed mixer channels, and the decoders of music
// files (MP3, OGG, WAV). False when there is no sound output; `error` names
// the cause.
bool audio_open(int rate, int channels, int mixer_channels, std::string& error);
// Stops everything and closes the device. Safe when it is not open.
void audio_close();
bool audio_ready();
// Pauses every playing sound and the music (true), or lets exactly those
// go on where they were (false); what the game had paused itself stays
// paused.
void audio_pause_all(bool pause);
// The format the device actually runs at (signed 16-bit samples).
bool audio_device_format(int& rate, int& channels);

// ------------------------------------------------------ sample chunks ---

// PCM samples as a wave file holds them: 8-bit unsigned or 16-bit signed
// little-endian, interleaved, a whole number of frames.
struct PcmSamples {
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  int channels = 0;  // 1 or 2
  int bits = 0;      // 8 or 16
  int rate = 0;      // frames per second
};

struct SoundChunk;  // samples in the device's format, shared by channels

// Converts samples into the device's format. Null when the device is not
// open, the format cannot be converted, or the converted sound would take
// more than max_bytes.
SoundChunk* sound_chunk_create(const PcmSamples& samples, size_t max_bytes);
// Stops every channel that plays the chunk and frees it.
void sound_chunk_free(SoundChunk* chunk);

// Plays the chunk once from its start on a fixed mixer channel with the
// given linear gain per side (the device's other channels get their mean).
// False when it cannot play.
bool channel_play(int channel, SoundChunk* chunk, float left_gain, float right_gain);
bool channel_playing(int channel);
void channel_stop(int channel);

// -------------------------------------------------------------- music ---

struct Music;

// Opens a music file for streaming (MP3, OGG, WAV, ...); null on failure.
// `why`, when given, receives the mixer's reason of a failure.
Music* music_open(const char* path, std::string* why = nullptr);
// Halts the music if it is this one and frees it.
void music_free(Music* music);
// Plays the music once from its start; false on failure.
bool music_play(Music* music);
void music_halt();
bool music_playing();
// Position and length in milliseconds; negative when the decoder cannot
// tell.
double music_position_ms(Music* music);
double music_length_ms(Music* music);
// 0..128.
void music_set_volume(int volume);
int music_volume();

// -------------------------------------------------------- video sound ---

// Called on the sound thread for `frames` frames of the device's format
// (signed 16-bit, interleaved); it must fill all of them.
using StreamFill = void (*)(void* context, int16_t* samples, int frames);
// Mixes the stream into the output until audio_stream_end. False when the
// device is not open.
bool audio_stream_begin(StreamFill fill, void* context);
// Returns once the sound thread has stopped calling `fill`.
void audio_stream_end();

}  // namespace quarvel::platform
