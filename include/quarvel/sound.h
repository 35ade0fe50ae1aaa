// Sound effects, music and video.
//
// Sound effects live in numbered slots 0..127 (a larger number means 127);
// each slot holds one wave file in up to four buffers so that the effect can
// overlap itself. play_sound returns a channel number, buffer + 256 x slot,
// that sound_playing asks about; a negative channel means nothing played.
// Without a sound device every load yields 0 and every play -1.
#pragma once

#include "quarvel/dyn_string.h"

namespace quarvel {

// ------------------------------------------------------------ effects ---

// Loads a wave file (PCM, 8 or 16 bit, mono or stereo, any sample rate)
// into a slot with 1..4 buffers (counts outside are clamped). Returns 1 when
// loaded, else 0 and the slot is empty.
double load_sound(const DynString& file_name, double slot, double buffer_count);
// Plays a slot once with pan -1 (left) .. 1 (right) and volume 0 .. 1 (the
// volume is an attenuation: 0.5 is -50 dB). Returns the channel number, or -1
// when the slot is empty or its only buffer is still playing.
double play_sound(double slot, double pan, double volume);
// 1 while the channel's buffer plays, else 0.
double sound_playing(double channel);
// Stops every playing sound effect.
void stop_all_sounds();

// -------------------------------------------------------------- music ---

// Starts a music file (MP3, OGG, WAV) looping in the background, replacing
// any music before it. A file that cannot be found is ignored.
void play_music(const DynString& file_name);
// Stops the music.
void stop_music();
// 0 silences, 1 is normal volume; nothing happens without music.
void set_music_volume(double volume);

// -------------------------------------------------------------- video ---

// Plays a video fitted and centred on the screen, blocking, until it ends
// or a new key with a character or a mouse button is pressed.
void play_video(const DynString& file_name);
// The same, starting again at its end until a key or a button.
void play_video_loop(const DynString& file_name);

}  // namespace quarvel
