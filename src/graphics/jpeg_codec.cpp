#include "graphics/jpeg_codec.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include <jpeglib.h>

#include "graphics/dib.h"

namespace orba {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return.
// Ours formats the message and jumps back to the setjmp of the phase that
// called into libjpeg. The phase functions below hold no C++ objects with
// destructors, so the jump skips nothing that needs cleaning up.
struct TErrorManager {
  jpeg_error_mgr Pub;  // first member: libjpeg sees only this part
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
};

[[noreturn]] void OnError(j_common_ptr cinfo) {
  TErrorManager* err = reinterpret_cast<TErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->Message);
  std::longjmp(err->Jump, 1);
}

// Warnings (a truncated stream padded out, extra bytes) are not errors: the
// picture is shown as far as it could be read.
void OnMessage(j_common_ptr, int) {}

void InitErrors(TErrorManager& err) {
  jpeg_std_error(&err.Pub);
  err.Pub.error_exit = OnError;
  err.Pub.emit_message = OnMessage;
  err.Message[0] = 0;
}

// Decoded bytes allowed per byte of JPEG data. The header alone names the
// picture's size, so without this a few hundred bytes could claim 2^27
// pixels and have them allocated and filled. Data that can really describe
// a picture costs at least one bit per 8 x 8 block of a component: a
// Huffman code (DC difference, end of block) is never shorter, in a
// sequential scan or in the DC scan a progressive picture begins with. The
// richest case is a picture whose one scan covers a single component of
// four without subsampling: 64 pixels of 4 decoded bytes per bit, 2048
// decoded bytes per byte. Twice that leaves room for any layout. (Arithmetic
// coding can go below a bit per block; such pictures are held to the same
// bound.) A stream that ends early is still decoded and filled out as long
// as what it holds fits the bound.
constexpr uint64_t kMaxBytesPerDataByte = 4096;

struct TDecodeState {
  jpeg_decompress_struct Info;
  TErrorManager Errors;
};

bool DecodeHeader(TDecodeState& st, const uint8_t* data, size_t size, EJpegColourOrder order) {
  if (setjmp(st.Errors.Jump)) return false;
  jpeg_create_decompress(&st.Info);
  jpeg_mem_src(&st.Info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&st.Info, TRUE);
  switch (st.Info.jpeg_color_space) {
    case JCS_GRAYSCALE: st.Info.out_color_space = JCS_GRAYSCALE; break;
    case JCS_CMYK:
    case JCS_YCCK: st.Info.out_color_space = JCS_CMYK; break;
    default:
      st.Info.out_color_space = order == EJpegColourOrder::kBgrx  ? JCS_EXT_BGRX
                                : order == EJpegColourOrder::kBgr ? JCS_EXT_BGR
                                                                  : JCS_RGB;
      break;
  }
  jpeg_calc_output_dimensions(&st.Info);
  return true;
}

// The bytes libjpeg holds for the whole picture: the coefficients of every
// component (two bytes each, 64 a block, blocks padded to whole MCUs) when
// the picture comes in more than one scan (progressive, or components in
// scans of their own); nothing else of its buffers grows with the picture.
int64_t WholePictureWorkBytes(const jpeg_decompress_struct& info) {
  if (!info.progressive_mode && info.comps_in_scan >= info.num_components) return 0;
  int64_t bytes = 0;
  for (int ci = 0; ci < info.num_components; ++ci) {
    const jpeg_component_info& c = info.comp_info[ci];
    const int64_t h = std::max(c.h_samp_factor, 1), v = std::max(c.v_samp_factor, 1);
    const int64_t columns = (int64_t{c.width_in_blocks} + h - 1) / h * h;
    const int64_t rows = (int64_t{c.height_in_blocks} + v - 1) / v * v;
    bytes += columns * rows * DCTSIZE2 * static_cast<int64_t>(sizeof(JCOEF));
  }
  return bytes;
}

// CMYK as Adobe programs write it (inverted when the Adobe marker is there)
// to three bytes a pixel (Step bytes apart), red first or blue first.
void CmykRowToColour(const uint8_t* from, uint8_t* to, size_t count, bool inverted, bool bgr, size_t step) {
  for (size_t i = 0; i < count; ++i, to += step) {
    uint32_t c = from[4 * i], m = from[4 * i + 1], y = from[4 * i + 2], k = from[4 * i + 3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    to[bgr ? 2 : 0] = static_cast<uint8_t>(c * k / 255);
    to[1] = static_cast<uint8_t>(m * k / 255);
    to[bgr ? 0 : 2] = static_cast<uint8_t>(y * k / 255);
  }
}

// Decodes every row into the sink; CMYK rows pass through `cmyk` (four bytes
// a pixel of the row) and are converted.
bool DecodeRows(TDecodeState& st, TJpegRowSink& sink, uint8_t* cmyk, EJpegColourOrder order) {
  if (setjmp(st.Errors.Jump)) return false;
  jpeg_start_decompress(&st.Info);
  while (st.Info.output_scanline < st.Info.output_height) {
    const int32_t y = static_cast<int32_t>(st.Info.output_scanline);
    JSAMPROW row = cmyk != nullptr ? cmyk : sink.Row(y);
    if (jpeg_read_scanlines(&st.Info, &row, 1) != 1) return false;
    if (cmyk != nullptr)
      CmykRowToColour(cmyk, sink.Row(y), st.Info.output_width, st.Info.saw_Adobe_marker,
                      order != EJpegColourOrder::kRgb, order == EJpegColourOrder::kBgrx ? 4 : 3);
  }
  jpeg_finish_decompress(&st.Info);
  return true;
}

struct TEncodeState {
  jpeg_compress_struct Info;
  TErrorManager Errors;
  unsigned char* Buffer;
  unsigned long Size;
};

bool EncodeRows(TEncodeState& st, const TJpegImage& image, int32_t quality) {
  if (setjmp(st.Errors.Jump)) return false;
  jpeg_create_compress(&st.Info);
  jpeg_mem_dest(&st.Info, &st.Buffer, &st.Size);
  st.Info.image_width = static_cast<JDIMENSION>(image.Width);
  st.Info.image_height = static_cast<JDIMENSION>(image.Height);
  st.Info.input_components = image.Components;
  st.Info.in_color_space = image.Components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&st.Info);
  jpeg_set_quality(&st.Info, quality, TRUE);
  jpeg_start_compress(&st.Info, TRUE);
  const size_t row_bytes = static_cast<size_t>(image.Width) * static_cast<size_t>(image.Components);
  while (st.Info.next_scanline < st.Info.image_height) {
    // libjpeg takes rows as non-const pointers but only reads them.
    JSAMPROW row = const_cast<uint8_t*>(image.Pixels.data()) +
                   static_cast<size_t>(st.Info.next_scanline) * row_bytes;
    jpeg_write_scanlines(&st.Info, &row, 1);
  }
  jpeg_finish_compress(&st.Info);
  return true;
}

std::string JpegMessage(const char* text) { return std::string("JPEG: ") + text; }

}  // namespace

void DecodeJpegRows(const uint8_t* data, size_t size, EJpegColourOrder order, TJpegRowSink& sink) {
  if (data == nullptr || size == 0) throw EJpegError(JpegMessage("empty data"));
  // Zeroed, so that destroying is safe however far creation got.
  TDecodeState st{};
  InitErrors(st.Errors);
  st.Info.err = &st.Errors.Pub;
  bool ok = DecodeHeader(st, data, size, order);
  // Samples a pixel as the picture stores them (the fourth byte of BGRX is
  // not one).
  const int components = !ok ? 0 : st.Info.out_color_space == JCS_EXT_BGRX ? 3 : st.Info.output_components;
  const uint64_t pixels = ok ? uint64_t{st.Info.output_width} * st.Info.output_height : 0;
  const char* refusal = nullptr;
  if (ok && (pixels == 0 || pixels > static_cast<uint64_t>(kMaxImagePixels) ||
             (components != 1 && components != 3 && components != 4)))
    refusal = "unsupported image size or layout";
  // Checked before anything of the picture's size is allocated, here or by
  // libjpeg (a progressive picture's coefficients).
  else if (ok && pixels * static_cast<uint64_t>(components) > kMaxBytesPerDataByte * uint64_t{size})
    refusal = "image size out of proportion to its data";
  std::vector<uint8_t> cmyk;
  if (ok && refusal == nullptr) {
    try {
      const int32_t width = static_cast<int32_t>(st.Info.output_width);
      const int32_t height = static_cast<int32_t>(st.Info.output_height);
      const bool grey = st.Info.out_color_space == JCS_GRAYSCALE;
      sink.Plan(width, height, grey ? 1 : 3, WholePictureWorkBytes(st.Info));
      if (st.Info.out_color_space == JCS_CMYK) cmyk.resize(size_t{4} * st.Info.output_width);
      sink.Start(width, height, grey ? 1 : order == EJpegColourOrder::kBgrx ? 4 : 3);
    } catch (...) {  // cleaned up, then rethrown
      jpeg_destroy_decompress(&st.Info);
      throw;
    }
    ok = DecodeRows(st, sink, cmyk.empty() ? nullptr : cmyk.data(), order);
  }
  std::string message = st.Errors.Message;
  jpeg_destroy_decompress(&st.Info);
  if (refusal != nullptr) throw EJpegError(JpegMessage(refusal));
  if (!ok) throw EJpegError(JpegMessage(message.empty() ? "unreadable data" : message.c_str()));
}

TJpegImage DecodeJpeg(const uint8_t* data, size_t size) {
  struct TBufferSink final : TJpegRowSink {
    TJpegImage Image;
    void Start(int32_t width, int32_t height, int32_t components) override {
      Image = TJpegImage{width, height, components, {}};
      Image.Pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * static_cast<size_t>(components));
    }
    uint8_t* Row(int32_t y) override {
      return Image.Pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(Image.Width) * Image.Components;
    }
  } sink;
  DecodeJpegRows(data, size, false, sink);
  return std::move(sink.Image);
}

std::vector<uint8_t> EncodeJpeg(const TJpegImage& image, int32_t quality) {
  if (image.Width <= 0 || image.Height <= 0 || image.Width > JPEG_MAX_DIMENSION ||
      image.Height > JPEG_MAX_DIMENSION || (image.Components != 1 && image.Components != 3) ||
      image.Pixels.size() != static_cast<size_t>(image.Width) * static_cast<size_t>(image.Height) *
                                 static_cast<size_t>(image.Components))
    throw EJpegError(JpegMessage("invalid image to encode"));
  TEncodeState st{};
  InitErrors(st.Errors);
  st.Info.err = &st.Errors.Pub;
  bool ok = EncodeRows(st, image, std::clamp(quality, 1, 100));
  std::string message = st.Errors.Message;
  jpeg_destroy_compress(&st.Info);
  std::vector<uint8_t> out;
  try {
    if (ok && st.Buffer != nullptr) out.assign(st.Buffer, st.Buffer + st.Size);
  } catch (...) {  // cleaned up, then rethrown
    std::free(st.Buffer);
    throw;
  }
  std::free(st.Buffer);
  if (!ok) throw EJpegError(JpegMessage(message.c_str()));
  return out;
}

}  // namespace orba
