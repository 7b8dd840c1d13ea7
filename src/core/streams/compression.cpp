#include "core/streams/compression.h"

#include <zlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/errors.h"

namespace orba {

namespace {

// zlib counts in 32 bits; feed and drain it in pieces of this size.
constexpr size_t kPiece = 1 << 20;

std::string ZlibMessage(const z_stream& z, int code) {
  return std::string("zlib: ") + (z.msg ? z.msg : zError(code));
}

// Points zlib at the next piece of the input; returns its length.
size_t FeedPiece(z_stream& z, const std::vector<uint8_t>& in, size_t done) {
  const size_t feed = std::min(kPiece, in.size() - done);
  z.next_in = const_cast<Bytef*>(in.data() + done);
  z.avail_in = static_cast<uInt>(feed);
  return feed;
}

// Gives zlib `room` more bytes at the end of the output.
void GrowOutput(z_stream& z, std::vector<uint8_t>& out, size_t room) {
  const size_t used = out.size();
  out.resize(used + room);
  z.next_out = out.data() + used;
  z.avail_out = static_cast<uInt>(room);
}

}  // namespace

void CompressStream(TKsMemoryStream& s) {
  const std::vector<uint8_t>& in = s.Bytes();
  z_stream z{};
  if (deflateInit(&z, Z_BEST_SPEED) != Z_OK) throw EZCompressionError("zlib: deflateInit");
  std::vector<uint8_t> out;
  size_t in_done = 0;
  int code = Z_OK;
  while (code != Z_STREAM_END) {
    const size_t feed = FeedPiece(z, in, in_done);
    const int flush = in_done + feed == in.size() ? Z_FINISH : Z_NO_FLUSH;
    do {
      GrowOutput(z, out, kPiece);
      code = deflate(&z, flush);
      out.resize(out.size() - z.avail_out);
      if (code == Z_STREAM_ERROR) {
        const std::string failure = ZlibMessage(z, code);
        deflateEnd(&z);
        throw EZCompressionError(failure);
      }
    } while (z.avail_out == 0 || (flush == Z_FINISH && code != Z_STREAM_END));
    in_done += feed - z.avail_in;
  }
  deflateEnd(&z);
  s.MutableBytes().swap(out);
  s.SetPosition(s.GetSize());
}

void DecompressStream(TKsMemoryStream& s, int64_t max_size) {
  max_size = std::clamp<int64_t>(max_size, 0, INT64_MAX - 1);
  const std::vector<uint8_t>& in = s.Bytes();
  z_stream z{};
  if (inflateInit(&z) != Z_OK) throw EZDecompressionError("zlib: inflateInit");
  std::vector<uint8_t> out;
  size_t in_done = 0;
  int code = Z_OK;
  while (code != Z_STREAM_END) {
    const size_t feed = FeedPiece(z, in, in_done);
    // One byte more than allowed is room enough to notice the overflow.
    const size_t room = static_cast<size_t>(
        std::min<int64_t>(static_cast<int64_t>(kPiece), max_size + 1 - static_cast<int64_t>(out.size())));
    GrowOutput(z, out, room);
    code = inflate(&z, Z_NO_FLUSH);
    out.resize(out.size() - z.avail_out);
    in_done += feed - z.avail_in;
    std::string failure;
    if (code == Z_NEED_DICT || code == Z_DATA_ERROR || code == Z_MEM_ERROR || code == Z_STREAM_ERROR) {
      failure = ZlibMessage(z, code);
    } else if (static_cast<int64_t>(out.size()) > max_size) {
      failure = "zlib: the unpacked data is larger than allowed";
    } else if (code == Z_BUF_ERROR || (code != Z_STREAM_END && in_done == in.size() && z.avail_out > 0)) {
      failure = "zlib: the packed data ends early";
    }
    if (!failure.empty()) {
      inflateEnd(&z);
      throw EZDecompressionError(failure);
    }
  }
  inflateEnd(&z);
  s.MutableBytes().swap(out);
  s.SetPosition(0);
}

}  // namespace orba
