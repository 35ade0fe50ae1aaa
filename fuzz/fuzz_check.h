// Checks shared by the fuzz targets: a failed check aborts with its place.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include "gfx2d/formats/image_buffer.h"

#define FUZZ_CHECK(cond)                                                             \
  do {                                                                               \
    if (!(cond)) {                                                                   \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                  \
    }                                                                                \
  } while (0)

// What every picture decoder promises: a failure leaves the picture empty;
// a success has width x height x 4 bytes within the size caps. Returns ok.
inline bool check_decoded_picture(bool ok, const quarvel::ImageBuffer& image) {
  if (!ok) {
    FUZZ_CHECK(image.width == 0 && image.height == 0 && image.pixels.empty());
    return false;
  }
  FUZZ_CHECK(quarvel::image_size_allowed(image.width, image.height));
  FUZZ_CHECK(static_cast<size_t>(image.width) * image.height * 4 == image.pixels.size());
  return true;
}
