// The sound effect commands over the slot table.
#include <cstdio>
#include <cstdint>
#include <vector>

#include "audio/formats/wave_reader.h"
#include "audio/sound_device.h"
#include "audio/sound_levels.h"
#include "core/engine_state.h"
#include "files/media_pack.h"
#include "platform/audio.h"
#include "quarvel/sound.h"
#include "values/truncate.h"

namespace quarvel {
namespace {

// No sound effect comes near these: a wave file is read whole, and its
// samples in the mixer's format (and the conversion's work buffer) must fit.
constexpr size_t kMaxWaveFileBytes = size_t{256} << 20;
constexpr size_t kMaxConvertedBytes = size_t{256} << 20;

// The slot a command names: its whole-number part, above 127 slot 127;
// -1 for a negative number (no slot).
int slot_number(double n) {
  const int32_t slot = truncate_to_int32(n);
  if (slot < 0) return -1;
  return slot >= kReachableSoundSlots ? kReachableSoundSlots - 1 : slot;
}

SoundSlot* slot_record(int slot) {
  SoundSlot* table = engine().sound_slots;
  return table && slot >= 0 && slot < kSoundSlotCount ? &table[slot] : nullptr;
}

// Reads, checks and converts the file into the slot's shared samples; on
// failure `why` tells the reason.
bool load_samples(SoundSlot& s, int slot, const char*& why) {
  std::vector<uint8_t> bytes;
  WaveSound wave;
  if (!read_sound_file(s.file_name.c_str(), bytes, kMaxWaveFileBytes, &why) ||
      !parse_wave(bytes.data(), bytes.size(), wave, &why)) {
    return false;
  }
  if (wave.sample_rate > INT32_MAX) {
    why = "unsupported format (sample rate)";
    return false;
  }
  platform::PcmSamples pcm;
  pcm.bytes = wave.samples;
  pcm.size = wave.sample_bytes;
  pcm.channels = wave.channels;
  pcm.bits = wave.bits_per_sample;
  pcm.rate = static_cast<int>(wave.sample_rate);
  s.chunk = platform::sound_chunk_create(pcm, kMaxConvertedBytes);
  if (!s.chunk) {
    // The samples cannot be played: the slot stays unusable until loaded again.
    s.device = nullptr;
    why = "too large (or the samples cannot be converted for the sound device)";
    return false;
  }
  s.first_channel = slot * kBuffersPerSlot;
  return true;
}

}  // namespace

double load_sound(const DynString& file_name, double slot_arg, double buffer_count) {
  EngineState& e = engine();
  // 1: through the media pack; an unresolved name is used as it is.
  DynString name = file_name;
  if (!resolve_asset_name(name)) name = file_name;
  // 2
  const int slot = slot_number(slot_arg);
  SoundSlot* s = slot_record(slot);
  if (!s) return 0;
  s->release();
  // 3
  s->current_buffer = 0;
  s->device = e.sound;
  int32_t count = truncate_to_int32(buffer_count);
  if (count < 1) count = 1;
  if (count > kBuffersPerSlot) count = kBuffersPerSlot;
  // 4
  if (e.sound && e.sound->is_open()) {
    s->file_name = name;
    const char* why = nullptr;
    if (load_samples(*s, slot, why)) {
      s->buffer_count = count;
      return 1;
    }
    report_failed_load("load_sound", file_name.c_str(), why);
  }
  // 5
  s->release();
  s->file_name = DynString();
  return 0;
}

double play_sound(double slot_arg, double pan, double volume) {
  if (tracing()) {
    char line[96];
    std::snprintf(line, sizeof line, "play_sound %g %g %g", slot_arg, pan, volume);
    trace_event(line);
  }
  const int slot = slot_number(slot_arg);
  SoundSlot* s = slot_record(slot);
  if (!s) return -1;
  const int pan_level = pan_value(pan);
  const int attenuation = volume_attenuation(volume);
  if (s->buffer_count == 0 || !s->device || !s->chunk) return -1;
  int buffer = s->current_buffer;
  if (s->buffer_playing(buffer)) {
    // A busy single buffer does not start again until it has finished.
    if (s->buffer_count == 1) return -1;
    buffer = (buffer + 1) % s->buffer_count;
    s->current_buffer = buffer;
    if (s->buffer_playing(buffer)) platform::channel_stop(s->first_channel + buffer);
  }
  const SideGains gains = side_gains(attenuation, pan_level);
  if (!platform::channel_play(s->first_channel + buffer, s->chunk, gains.left, gains.right)) return -1;
  return buffer + 256.0 * slot;
}

double sound_playing(double channel) {
  const int64_t c = truncate_to_int64(channel);
  if (c < 0) return 0;
  const int64_t slot = c / 256;
  const int buffer = static_cast<int>(c % 256);
  SoundSlot* s = slot < kSoundSlotCount ? slot_record(static_cast<int>(slot)) : nullptr;
  return s && s->buffer_playing(buffer) ? 1 : 0;
}

void stop_all_sounds() {
  SoundSlot* table = engine().sound_slots;
  if (!table) return;
  for (int i = 0; i < kReachableSoundSlots; ++i) table[i].stop_buffers();
}

}  // namespace quarvel
