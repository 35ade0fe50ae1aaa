// Volume and pan of the sound slots.
//
// Commands give a volume 0..1 and a pan -1..1. They become attenuations in
// hundredths of a decibel as the slots were designed around: the volume
// v x 100 x 100 - 10000 (1 -> 0, full loudness; 0 -> -10000, silence; 0.5 ->
// -5000, that is -50 dB), the pan -10000 (full left) .. 10000 (full right),
// which attenuates the opposite side by its amount. The mixer gets linear
// gains per side: 10^(attenuation / 2000), with -10000 or less silent.
#pragma once

namespace quarvel {

constexpr int kSilentAttenuation = -10000;

// Volume argument -> attenuation -10000..0 (not a number: silence).
int volume_attenuation(double volume);
// Pan argument -> -10000..10000 (not a number: centre).
int pan_value(double pan);
// Attenuation in hundredths of a decibel -> linear gain 0..1.
double attenuation_gain(int hundredths_db);

struct SideGains {
  float left = 1.0f;
  float right = 1.0f;
};
// The gain of each side for a volume attenuation and a pan value.
SideGains side_gains(int volume_attenuation, int pan);

}  // namespace quarvel
