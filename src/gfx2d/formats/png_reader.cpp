// PNG decoding through libpng, from memory.
//
// libpng reports errors by longjmp. The functions that call setjmp below
// (read_png_header, read_png_rows) hold no objects with destructors, and
// neither do the callbacks libpng jumps out of; everything they share lives
// in a plain PngSession owned by decode_png_named, which releases the
// decoder on every path.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "gfx2d/formats/image_readers.h"
#include "gfx2d/formats/png_reader_internal.h"

namespace quarvel {
namespace {

struct PngSession {
  png_structp png = nullptr;
  png_infop info = nullptr;
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t position = 0;
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int channels = 0;
  int bit_depth = 0;
  int colour_type = 0;
  size_t row_bytes = 0;
};

void read_from_memory(png_structp png, png_bytep out, size_t length) {
  PngSession* session = static_cast<PngSession*>(png_get_io_ptr(png));
  if (length > session->size - session->position) png_error(png, "unexpected end of data");
  std::memcpy(out, session->data + session->position, length);
  session->position += length;
}

// Errors end the read silently; warnings are ignored.
void on_png_error(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void on_png_warning(png_structp, png_const_charp) {}

// Reads the header and requests the conversions to 8-bit grey, RGB or RGBA.
bool read_png_header(PngSession* s) {
  if (setjmp(png_jmpbuf(s->png))) return false;
  png_set_read_fn(s->png, s, read_from_memory);
  png_set_user_limits(s->png, kMaxImageSide, kMaxImageSide);
  png_read_info(s->png, s->info);

  const int colour_type = png_get_color_type(s->png, s->info);
  const int bit_depth = png_get_bit_depth(s->png, s->info);
  if (colour_type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(s->png);
  if (colour_type == PNG_COLOR_TYPE_GRAY && bit_depth < 8) png_set_expand_gray_1_2_4_to_8(s->png);
  if (png_get_valid(s->png, s->info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(s->png);
  if (bit_depth == 16) png_set_strip_16(s->png);
  if (bit_depth < 8) png_set_packing(s->png);
  png_set_interlace_handling(s->png);
  png_read_update_info(s->png, s->info);

  s->width = png_get_image_width(s->png, s->info);
  s->height = png_get_image_height(s->png, s->info);
  s->channels = png_get_channels(s->png, s->info);
  s->bit_depth = png_get_bit_depth(s->png, s->info);
  s->colour_type = png_get_color_type(s->png, s->info);
  s->row_bytes = png_get_rowbytes(s->png, s->info);
  return true;
}

bool read_png_rows(PngSession* s, png_bytep* rows) {
  if (setjmp(png_jmpbuf(s->png))) return false;
  png_read_image(s->png, rows);
  return true;
}

// Widens every row in place from `channels` bytes per pixel to RGBA, from
// the right so that no source byte is overwritten before it is read.
void expand_to_rgba(ImageBuffer& image, int channels, int64_t colour_key) {
  const size_t width = static_cast<size_t>(image.width);
  for (int32_t r = 0; r < image.height; ++r) {
    uint8_t* row = image.pixels.data() + static_cast<size_t>(r) * width * 4;
    for (size_t c = width; c-- > 0;) {
      uint8_t* dst = row + c * 4;
      if (channels == 3) {
        const uint8_t red = row[c * 3], green = row[c * 3 + 1], blue = row[c * 3 + 2];
        dst[0] = red;
        dst[1] = green;
        dst[2] = blue;
        dst[3] = 255;
        apply_colour_key(dst, colour_key);
      } else {
        const uint8_t grey = row[c];
        dst[0] = dst[1] = dst[2] = grey;
        dst[3] = 255;
      }
    }
  }
}

class PngSessionGuard {
 public:
  explicit PngSessionGuard(PngSession& session) : session_(session) {}
  ~PngSessionGuard() { png_destroy_read_struct(&session_.png, &session_.info, nullptr); }
  PngSessionGuard(const PngSessionGuard&) = delete;
  PngSessionGuard& operator=(const PngSessionGuard&) = delete;

 private:
  PngSession& session_;
};

bool fail(ImageBuffer& out) {
  out.clear();
  return false;
}

}  // namespace

bool decode_png_named(const uint8_t* data, size_t size, int64_t colour_key, ImageBuffer& out,
                      const char* name) {
  if (data == nullptr || size == 0) return fail(out);
  PngSession session;
  session.data = data;
  session.size = size;
  PngSessionGuard guard(session);
  session.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, on_png_error, on_png_warning);
  if (session.png == nullptr) return fail(out);
  session.info = png_create_info_struct(session.png);
  if (session.info == nullptr) return fail(out);

  if (!read_png_header(&session)) return fail(out);
  if (session.channels != 1 && session.channels != 3 && session.channels != 4) return fail(out);
  if (session.bit_depth != 8) {
    std::printf("File %s has bit depth %d.\n", name, session.bit_depth);
    std::printf("Only bit depth of 8 is supported.\n");
    return fail(out);
  }
  if (session.colour_type != PNG_COLOR_TYPE_GRAY && session.colour_type != PNG_COLOR_TYPE_RGB &&
      session.colour_type != PNG_COLOR_TYPE_RGB_ALPHA) {
    std::printf("File %s has unsupported color type.\n", name);
    std::printf("Types GRAY, RGB and RGB_ALPHA are supported.\n");
    return fail(out);
  }
  if (!image_size_allowed(session.width, session.height)) return fail(out);
  if (session.row_bytes != static_cast<size_t>(session.width) * static_cast<size_t>(session.channels)) {
    return fail(out);
  }

  // The rows are decoded straight into the picture, 4 bytes per pixel apart,
  // and widened afterwards.
  const size_t stride = static_cast<size_t>(session.width) * 4;
  std::vector<png_bytep> rows;
  try {
    out.pixels.assign(stride * session.height, 0);
    rows.resize(session.height);
  } catch (const std::bad_alloc&) {
    return fail(out);
  }
  for (png_uint_32 r = 0; r < session.height; ++r) rows[r] = out.pixels.data() + r * stride;
  if (!read_png_rows(&session, rows.data())) return fail(out);

  out.width = static_cast<int32_t>(session.width);
  out.height = static_cast<int32_t>(session.height);
  if (session.channels != 4) expand_to_rgba(out, session.channels, colour_key);
  return true;
}

bool decode_png(const uint8_t* data, size_t size, int64_t colour_key, ImageBuffer& out) {
  return decode_png_named(data, size, colour_key, out, "(memory)");
}

}  // namespace quarvel
