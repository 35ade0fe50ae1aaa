#include "gfx2d/formats/image_buffer.h"

namespace quarvel {

void ImageBuffer::clear() {
  width = 0;
  height = 0;
  std::vector<uint8_t>().swap(pixels);
}

bool image_size_allowed(int64_t width, int64_t height) {
  return width >= 1 && height >= 1 && width <= kMaxImageSide && height <= kMaxImageSide &&
         width * height <= kMaxImagePixels;
}

}  // namespace quarvel
