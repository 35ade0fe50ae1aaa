#include "audio/sound_levels.h"

#include <cmath>

namespace quarvel {

int volume_attenuation(double volume) {
  double v = volume * 100.0;
  if (!(v > 0)) v = 0;  // also not a number
  if (v > 100) v = 100;
  return static_cast<int>(std::lround(v * 100.0)) - 10000;
}

int pan_value(double pan) {
  double p = pan;
  if (!(p == p)) p = 0;
  if (p < -1) p = -1;
  if (p > 1) p = 1;
  return static_cast<int>(std::lround(p * 10000.0));
}

double attenuation_gain(int hundredths_db) {
  if (hundredths_db <= kSilentAttenuation) return 0.0;
  if (hundredths_db >= 0) return 1.0;
  return std::pow(10.0, hundredths_db / 2000.0);
}

SideGains side_gains(int volume_attenuation, int pan) {
  // A pan to the right attenuates the left side and the other way round;
  // the attenuations of volume and pan add up.
  const int left = volume_attenuation - (pan > 0 ? pan : 0);
  const int right = volume_attenuation + (pan < 0 ? pan : 0);
  SideGains g;
  g.left = static_cast<float>(attenuation_gain(left));
  g.right = static_cast<float>(attenuation_gain(right));
  return g;
}

}  // namespace quarvel
