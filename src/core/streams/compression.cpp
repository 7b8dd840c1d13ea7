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

// Runs zlib's inflate until the packed stream ends. `feed(z)` points z at
// the next packed bytes and tells whether more follow them; `room(z, n)`
// points z.next_out at n bytes of output; `took(unused)` is told how many of
// those n were left unused. Raises EZDecompressionError when the data is
// damaged, ends early, or would unpack to more than max_size bytes (noticed
// at max_size + 1: no more room than that is ever asked for).
template <typename Feed, typename Room, typename Took>
void Inflate(int64_t max_size, Feed feed, Room room, Took took) {
  max_size = std::clamp<int64_t>(max_size, 0, INT64_MAX - 1);
  z_stream z{};
  if (inflateInit(&z) != Z_OK) throw EZDecompressionError("zlib: inflateInit");
  int64_t out_size = 0;
  bool more_input = true;
  int code = Z_OK;
  while (code != Z_STREAM_END) {
    if (z.avail_in == 0 && more_input) more_input = feed(z);
    const size_t n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(kPiece), max_size + 1 - out_size));
    room(z, n);
    z.avail_out = static_cast<uInt>(n);
    code = inflate(&z, Z_NO_FLUSH);
    out_size += static_cast<int64_t>(n - z.avail_out);
    try {
      took(z.avail_out);
    } catch (...) {  // cleaned up, then rethrown
      inflateEnd(&z);
      throw;
    }
    std::string failure;
    if (code == Z_NEED_DICT || code == Z_DATA_ERROR || code == Z_MEM_ERROR || code == Z_STREAM_ERROR) {
      failure = ZlibMessage(z, code);
    } else if (out_size > max_size) {
      failure = "zlib: the unpacked data is larger than allowed";
    } else if (code == Z_BUF_ERROR || (code != Z_STREAM_END && !more_input && z.avail_in == 0 && z.avail_out > 0)) {
      failure = "zlib: the packed data ends early";
    }
    if (!failure.empty()) {
      inflateEnd(&z);
      throw EZDecompressionError(failure);
    }
  }
  inflateEnd(&z);
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
  const std::vector<uint8_t>& in = s.Bytes();
  size_t in_done = 0;
  // The output grows in place, its room never beyond what is allowed, so
  // that moving it to a larger block never needs more than that at once.
  std::vector<uint8_t> out;
  const int64_t most = std::clamp<int64_t>(max_size, 0, INT64_MAX - 1) + 1;
  Inflate(
      max_size,
      [&](z_stream& z) {
        const size_t feed = FeedPiece(z, in, in_done);
        in_done += feed;
        return in_done < in.size();
      },
      [&](z_stream& z, size_t room) {
        const size_t used = out.size();
        if (used + room > out.capacity()) {
          // Doubling, but straight to the most allowed once the next
          // doubling would pass it.
          int64_t grown = static_cast<int64_t>(std::max(2 * out.capacity(), used + room));
          if (grown > most / 2) grown = most;
          out.reserve(static_cast<size_t>(grown));
        }
        out.resize(used + room);
        z.next_out = out.data() + used;
      },
      [&](size_t unused) { out.resize(out.size() - unused); });
  s.MutableBytes().swap(out);
  s.SetPosition(0);
}

int64_t DecompressToStream(TKsBigStream& source, int64_t count, TKsBigStream& dest, int64_t max_size) {
  std::vector<uint8_t> in(kPiece), out(kPiece);
  int64_t left = std::max<int64_t>(count, 0), written = 0;
  Inflate(
      max_size,
      [&](z_stream& z) {
        const int64_t got = source.Read(in.data(), std::min<int64_t>(left, kPiece));
        left = got > 0 ? left - got : 0;
        z.next_in = in.data();
        z.avail_in = static_cast<uInt>(std::max<int64_t>(got, 0));
        return left > 0;
      },
      [&](z_stream& z, size_t) { z.next_out = out.data(); },
      [&](size_t unused) {
        const int64_t n = static_cast<int64_t>(out.size() - unused);
        dest.WriteBuffer(out.data(), n);
        written += n;
      });
  return written;
}

}  // namespace orba
