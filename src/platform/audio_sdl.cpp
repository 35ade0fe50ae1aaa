// Sound output over SDL2_mixer: the device, fixed mixer channels with a
// gain per side, streamed music and the stream of video playback.
#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "platform/audio.h"

struct quarvel::platform::SoundChunk {
  Mix_Chunk* mix = nullptr;
};

struct quarvel::platform::Music {
  Mix_Music* mix = nullptr;
};

namespace quarvel::platform {
namespace {

// Samples per channel in one mixing pass: about 46 ms at 22050 Hz.
constexpr int kMixerBufferFrames = 1024;

// The gains of one mixer channel. Written by the main thread before the
// channel starts, read by the sound thread while it plays.
struct ChannelLevels {
  std::atomic<float> left{1.0f};
  std::atomic<float> right{1.0f};
};

// The sound thread reads these until the device is closed. A process that
// ends without closing it (exit from anywhere) must not destroy them under
// the running thread, so they are never destroyed at exit.
bool g_open = false;
int g_rate = 0;
int g_channels = 0;
int g_channel_count = 0;
ChannelLevels* g_levels = nullptr;  // g_channel_count records while open

// The stream mixed in after everything else (video sound).
struct Stream {
  StreamFill fill = nullptr;
  void* context = nullptr;
  std::vector<int16_t> scratch;
};
Stream& g_stream = *new Stream;

int16_t clamp16(float v) {
  if (v > 32767.0f) return 32767;
  if (v < -32768.0f) return -32768;
  return static_cast<int16_t>(std::lrintf(v));
}

// Mixer effect: scales a channel's samples by its gain per side.
void SDLCALL apply_levels(int, void* stream, int length, void* data) {
  const ChannelLevels* levels = static_cast<const ChannelLevels*>(data);
  const float left = levels->left.load(std::memory_order_relaxed);
  const float right = levels->right.load(std::memory_order_relaxed);
  const float mean = (left + right) * 0.5f;
  int16_t* s = static_cast<int16_t*>(stream);
  const int samples = length / 2;
  const int per_frame = g_channels > 0 ? g_channels : 1;
  for (int i = 0; i + per_frame <= samples; i += per_frame) {
    if (per_frame == 1) {
      s[i] = clamp16(s[i] * mean);
      continue;
    }
    s[i] = clamp16(s[i] * left);
    s[i + 1] = clamp16(s[i + 1] * right);
    for (int c = 2; c < per_frame; ++c) s[i + c] = clamp16(s[i + c] * mean);
  }
}

// Post-mix: adds the stream to the mixed output.
void SDLCALL mix_stream(void* data, Uint8* output, int length) {
  Stream* stream = static_cast<Stream*>(data);
  if (!stream->fill || g_channels <= 0) return;
  int16_t* out = reinterpret_cast<int16_t*>(output);
  int frames = length / (2 * g_channels);
  const int room = static_cast<int>(stream->scratch.size()) / g_channels;
  while (frames > 0) {
    const int n = frames < room ? frames : room;
    stream->fill(stream->context, stream->scratch.data(), n);
    for (int i = 0; i < n * g_channels; ++i) out[i] = clamp16(static_cast<float>(out[i]) + stream->scratch[i]);
    out += n * g_channels;
    frames -= n;
  }
}

// SDL's audio subsystem is initialised (by audio_open).
bool g_subsystem_up = false;

SDL_AudioFormat wave_format(int bits) { return bits == 8 ? AUDIO_U8 : AUDIO_S16LSB; }

}  // namespace

bool audio_open(int rate, int channels, int mixer_channels, std::string& error) {
  if (g_open) return true;
  // The audio subsystem stays initialised after a failed open: quitting it
  // joins SDL's ALSA hot-plug thread, which sleeps in 100 ms steps, and
  // would add up to a tenth of a second to every start on a machine
  // without a sound card. It is quit with the rest of SDL at the end.
  if (!g_subsystem_up) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
      error = std::string("no sound output: ") + SDL_GetError();
      return false;
    }
    g_subsystem_up = true;
  }
  // The music decoders; a missing one only means that its files do not play.
  Mix_Init(MIX_INIT_MP3 | MIX_INIT_OGG);
  if (Mix_OpenAudio(rate, AUDIO_S16SYS, channels, kMixerBufferFrames) != 0) {
    error = std::string("cannot open the sound device: ") + Mix_GetError();
    Mix_Quit();
    return false;
  }
  Uint16 format = 0;
  if (Mix_QuerySpec(&g_rate, &format, &g_channels) == 0 || format != AUDIO_S16SYS || g_channels <= 0) {
    error = "the sound device does not run signed 16-bit samples";
    Mix_CloseAudio();
    Mix_Quit();
    return false;
  }
  g_channel_count = Mix_AllocateChannels(mixer_channels);
  g_levels = new ChannelLevels[static_cast<size_t>(g_channel_count > 0 ? g_channel_count : 1)];
  g_stream.scratch.assign(static_cast<size_t>(kMixerBufferFrames) * static_cast<size_t>(g_channels), 0);
  g_open = true;
  return true;
}

void audio_close() {
  if (!g_open) return;
  Mix_SetPostMix(nullptr, nullptr);
  g_stream.fill = nullptr;
  Mix_HaltChannel(-1);
  Mix_HaltMusic();
  Mix_CloseAudio();
  Mix_Quit();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  g_subsystem_up = false;
  delete[] g_levels;
  g_levels = nullptr;
  g_channel_count = 0;
  g_open = false;
}

bool audio_ready() { return g_open; }

bool audio_device_format(int& rate, int& channels) {
  if (!g_open) return false;
  rate = g_rate;
  channels = g_channels;
  return true;
}

SoundChunk* sound_chunk_create(const PcmSamples& samples, size_t max_bytes) {
  if (!g_open || !samples.bytes || samples.size == 0 || samples.size > INT_MAX) return nullptr;
  if (samples.channels < 1 || samples.channels > 2 || (samples.bits != 8 && samples.bits != 16) ||
      samples.rate <= 0) {
    return nullptr;
  }
  SDL_AudioCVT cvt;
  if (SDL_BuildAudioCVT(&cvt, wave_format(samples.bits), static_cast<Uint8>(samples.channels), samples.rate,
                        AUDIO_S16SYS, static_cast<Uint8>(g_channels), g_rate) < 0) {
    return nullptr;
  }
  // The conversion works in place in a buffer len_mult times the input.
  const size_t mult = cvt.len_mult > 0 ? static_cast<size_t>(cvt.len_mult) : 1;
  if (samples.size > max_bytes / mult || samples.size * mult > INT_MAX) return nullptr;
  if (cvt.len_ratio > 0 && static_cast<double>(samples.size) * cvt.len_ratio > static_cast<double>(max_bytes)) {
    return nullptr;
  }
  Uint8* buffer = static_cast<Uint8*>(SDL_malloc(samples.size * mult));
  if (!buffer) return nullptr;
  std::memcpy(buffer, samples.bytes, samples.size);
  size_t converted = samples.size;
  if (cvt.needed) {
    cvt.buf = buffer;
    cvt.len = static_cast<int>(samples.size);
    if (SDL_ConvertAudio(&cvt) != 0 || cvt.len_cvt <= 0) {
      SDL_free(buffer);
      return nullptr;
    }
    converted = static_cast<size_t>(cvt.len_cvt);
  }
  Mix_Chunk* mix = static_cast<Mix_Chunk*>(SDL_malloc(sizeof(Mix_Chunk)));
  SoundChunk* chunk = mix ? new (std::nothrow) SoundChunk : nullptr;
  if (!chunk) {
    SDL_free(mix);
    SDL_free(buffer);
    return nullptr;
  }
  // Owned by the mixer from here on: Mix_FreeChunk frees both.
  mix->allocated = 1;
  mix->abuf = buffer;
  mix->alen = static_cast<Uint32>(converted);
  mix->volume = MIX_MAX_VOLUME;
  chunk->mix = mix;
  return chunk;
}

void sound_chunk_free(SoundChunk* chunk) {
  if (!chunk) return;
  // Halts every channel that still plays it.
  if (g_open) Mix_FreeChunk(chunk->mix);
  delete chunk;
}

bool channel_play(int channel, SoundChunk* chunk, float left_gain, float right_gain) {
  if (!g_open || !chunk || channel < 0 || channel >= g_channel_count) return false;
  // An effect left by a play that did not start would apply twice.
  Mix_UnregisterAllEffects(channel);
  ChannelLevels& levels = g_levels[static_cast<size_t>(channel)];
  levels.left.store(left_gain, std::memory_order_relaxed);
  levels.right.store(right_gain, std::memory_order_relaxed);
  // The mixer drops a channel's effects when it stops playing.
  if ((left_gain != 1.0f || right_gain != 1.0f) && Mix_RegisterEffect(channel, apply_levels, nullptr, &levels) == 0) {
    return false;
  }
  return Mix_PlayChannel(channel, chunk->mix, 0) == channel;
}

bool channel_playing(int channel) {
  if (!g_open || channel < 0 || channel >= g_channel_count) return false;
  return Mix_Playing(channel) != 0;
}

void channel_stop(int channel) {
  if (!g_open || channel < 0 || channel >= g_channel_count) return;
  Mix_HaltChannel(channel);
}

Music* music_open(const char* path, std::string* why) {
  if (!g_open || !path || !*path) return nullptr;
  Mix_Music* mix = Mix_LoadMUS(path);
  if (!mix) {
    if (why) *why = std::string("not a music file the mixer can play (") + Mix_GetError() + ")";
    return nullptr;
  }
  Music* music = new (std::nothrow) Music;
  if (!music) {
    Mix_FreeMusic(mix);
    return nullptr;
  }
  music->mix = mix;
  return music;
}

void music_free(Music* music) {
  if (!music) return;
  // Freeing the playing music halts it first.
  if (g_open) Mix_FreeMusic(music->mix);
  delete music;
}

bool music_play(Music* music) {
  if (!g_open || !music) return false;
  return Mix_PlayMusic(music->mix, 0) == 0;
}

void music_halt() {
  if (g_open) Mix_HaltMusic();
}

bool music_playing() { return g_open && Mix_PlayingMusic() != 0; }

namespace {
bool g_all_paused = false;
std::vector<char> g_channel_was_paused;
bool g_music_was_paused = false;
}  // namespace

void audio_pause_all(bool pause) {
  if (!g_open) {
    g_all_paused = false;
    return;
  }
  if (pause == g_all_paused) return;
  g_all_paused = pause;
  const int channels = Mix_AllocateChannels(-1);
  if (pause) {
    g_channel_was_paused.assign(static_cast<size_t>(std::max(0, channels)), 0);
    for (int i = 0; i < channels; ++i) {
      g_channel_was_paused[i] = Mix_Paused(i) != 0;
      if (!g_channel_was_paused[i]) Mix_Pause(i);
    }
    g_music_was_paused = Mix_PausedMusic() != 0;
    if (!g_music_was_paused) Mix_PauseMusic();
  } else {
    for (int i = 0; i < channels && i < static_cast<int>(g_channel_was_paused.size()); ++i) {
      if (!g_channel_was_paused[i]) Mix_Resume(i);
    }
    if (!g_music_was_paused) Mix_ResumeMusic();
  }
}

double music_position_ms(Music* music) {
  if (!g_open || !music) return -1;
  const double seconds = Mix_GetMusicPosition(music->mix);
  return seconds < 0 ? -1 : seconds * 1000.0;
}

double music_length_ms(Music* music) {
  if (!g_open || !music) return -1;
  const double seconds = Mix_MusicDuration(music->mix);
  return seconds < 0 ? -1 : seconds * 1000.0;
}

void music_set_volume(int volume) {
  if (g_open) Mix_VolumeMusic(volume < 0 ? 0 : volume > MIX_MAX_VOLUME ? MIX_MAX_VOLUME : volume);
}

int music_volume() { return g_open ? Mix_VolumeMusic(-1) : 0; }

bool audio_stream_begin(StreamFill fill, void* context) {
  if (!g_open || !fill) return false;
  Mix_SetPostMix(nullptr, nullptr);
  g_stream.fill = fill;
  g_stream.context = context;
  // Takes the mixer's lock: the sound thread sees the fields set above.
  Mix_SetPostMix(mix_stream, &g_stream);
  return true;
}

void audio_stream_end() {
  if (!g_open) return;
  // Returns with the mixer's lock released: no pass of mix_stream is left.
  Mix_SetPostMix(nullptr, nullptr);
  g_stream.fill = nullptr;
  g_stream.context = nullptr;
}

}  // namespace quarvel::platform
