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
#include <string>
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
  char error[96] = "";  // libpng's message of the error that ended the read
};

void read_from_memory(png_structp png, png_bytep out, size_t length) {
  PngSession* session = static_cast<PngSession*>(png_get_io_ptr(png));
  if (length > session->size - session->position) png_error(png, "unexpected end of data");
  std::memcpy(out, session->data + session->position, length);
  session->position += length;
}

// Errors end the read, keeping libpng's message for the caller; warnings
// are ignored.
void on_png_error(png_structp png, png_const_charp message) {
  PngSession* session = static_cast<PngSession*>(png_get_error_ptr(png));
  if (session != nullptr && message != nullptr) std::snprintf(session->error, sizeof session->error, "%s", message);
  png_longjmp(png, 1);
}
void on_png_warning(png_structp, png_const_charp) {}

// Reads the header and requests the conversions to 8-bit grey, RGB or RGBA.
bool read_png_header(PngSession* s) {
  if (setjmp(png_jmpbuf(s->png))) return false;
  png_set_read_fn(s->png, s, read_from_memory);
  png_set_user_limits(s->png, kMaxImageSide, kMaxImageSide);
  // No chunk can hold more than the file does: a length field that claims
  // more is refused before anything is allocated for it.
  png_set_chunk_malloc_max(s->png, s->size);
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

bool fail(ImageBuffer& out, std::string* why, const std::string& reason) {
  out.clear();
  if (why) *why = reason;
  return false;
}

const char* data_start(const uint8_t* data, size_t size) {
  return size >= 4 ? reinterpret_cast<const char*>(data) : "";
}

// Walks the chunks after the signature up to IEND; the reason when a
// chunk's length field runs past the end of the file, else null.
const char* chunk_lengths_problem(const uint8_t* data, size_t size) {
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (size < 8 || std::memcmp(data, kSignature, 8) != 0) return nullptr;  // libpng names it
  size_t at = 8;
  while (size - at >= 8) {
    const uint32_t length = (uint32_t{data[at]} << 24) | (uint32_t{data[at + 1]} << 16) |
                            (uint32_t{data[at + 2]} << 8) | data[at + 3];
    if (length > size - at - 8 || size - at - 8 - length < 4) {
      return "damaged PNG (a chunk's length runs past the end of the file)";
    }
    if (std::memcmp(data + at + 4, "IEND", 4) == 0) break;
    at += 12 + length;
  }
  return nullptr;
}

// Deflate turns at most 1032 bytes into one byte of input; a picture whose
// rows need more than that many times the file's bytes cannot be in it.
constexpr uint64_t kMaxDeflateRatio = 1032;

}  // namespace

bool decode_png_named(const uint8_t* data, size_t size, int64_t colour_key, ImageBuffer& out, const char* name,
                      std::string* why) {
  if (data == nullptr || size == 0) return fail(out, why, "not a PNG");
  PngSession session;
  session.data = data;
  session.size = size;
  PngSessionGuard guard(session);
  session.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &session, on_png_error, on_png_warning);
  if (session.png == nullptr) return fail(out, why, "too large");
  session.info = png_create_info_struct(session.png);
  if (session.info == nullptr) return fail(out, why, "too large");

  // Every chunk's length is checked against the bytes that follow it before
  // libpng sees the file: its text handlers allocate what a length field
  // says before they find out that the bytes are not there.
  if (const char* problem = chunk_lengths_problem(data, size)) return fail(out, why, problem);
  if (!read_png_header(&session)) {
    if (std::strncmp(data_start(data, size), "\x89PNG", 4) != 0) return fail(out, why, "not a PNG");
    return fail(out, why, std::string("damaged PNG (") + (session.error[0] ? session.error : "header") + ")");
  }
  if (session.channels != 1 && session.channels != 3 && session.channels != 4) {
    return fail(out, why, "unsupported PNG (grey with alpha)");
  }
  if (session.bit_depth != 8) {
    std::printf("File %s has bit depth %d.\n", name, session.bit_depth);
    std::printf("Only bit depth of 8 is supported.\n");
    return fail(out, why, "unsupported PNG (bit depth)");
  }
  if (session.colour_type != PNG_COLOR_TYPE_GRAY && session.colour_type != PNG_COLOR_TYPE_RGB &&
      session.colour_type != PNG_COLOR_TYPE_RGB_ALPHA) {
    std::printf("File %s has unsupported color type.\n", name);
    std::printf("Types GRAY, RGB and RGB_ALPHA are supported.\n");
    return fail(out, why, "unsupported PNG (colour type)");
  }
  if (!image_size_allowed(session.width, session.height)) return fail(out, why, "too large");
  if (session.row_bytes != static_cast<size_t>(session.width) * static_cast<size_t>(session.channels)) {
    return fail(out, why, "unsupported PNG (row layout)");
  }
  // The header's size is trusted only as far as the file could hold it.
  if ((static_cast<uint64_t>(session.row_bytes) + 1) * session.height > kMaxDeflateRatio * size) {
    return fail(out, why, "damaged PNG (more pixels than the file can hold)");
  }

  // The rows are decoded straight into the picture, 4 bytes per pixel apart,
  // and widened afterwards.
  const size_t stride = static_cast<size_t>(session.width) * 4;
  std::vector<png_bytep> rows;
  try {
    out.pixels.assign(stride * session.height, 0);
    rows.resize(session.height);
  } catch (const std::bad_alloc&) {
    return fail(out, why, "too large");
  }
  for (png_uint_32 r = 0; r < session.height; ++r) rows[r] = out.pixels.data() + r * stride;
  if (!read_png_rows(&session, rows.data())) {
    return fail(out, why, std::string("damaged PNG (") + (session.error[0] ? session.error : "pixel data") + ")");
  }

  out.width = static_cast<int32_t>(session.width);
  out.height = static_cast<int32_t>(session.height);
  if (session.channels != 4) expand_to_rgba(out, session.channels, colour_key);
  return true;
}

bool decode_png(const uint8_t* data, size_t size, int64_t colour_key, ImageBuffer& out) {
  return decode_png_named(data, size, colour_key, out, "(memory)");
}

}  // namespace quarvel
