#include "core/streams/compression.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/streams/scratch_block.h"

namespace orba {

namespace {

// zlib counts in 32 bits; feed and drain it in pieces of this size.
constexpr size_t kPiece = 1 << 20;
// The pieces an entry unpacked first bytes first is written in: a reader
// waiting for the next bytes gets them as soon as this many are unpacked,
// not a whole kPiece later (a few milliseconds of unpacking).
constexpr size_t kFirstBytesPiece = 64 << 10;

// The first room a whole-buffer inflate of unknown size gets: eight times
// the packed size (game files pack to a tenth to a half at the fastest
// level), at least this; each retry takes four times more.
constexpr size_t kFirstRoom = 64 << 10;
constexpr size_t kFirstRoomPerPackedByte = 8;
constexpr size_t kRoomGrowth = 4;
// An entry unpacked to a stream goes through one buffer when its packed and
// unpacked data each fit in this; larger ones stream through zlib, so that
// nothing near the size cap is held in memory.
constexpr size_t kWholeEntryLimit = 32 << 20;

struct TDecompressorDeleter {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

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
// at max_size + 1: no more room than that is ever asked for). The output
// is drained in pieces of at most `piece` bytes.
template <typename Feed, typename Room, typename Took>
void Inflate(int64_t max_size, Feed feed, Room room, Took took, size_t piece = kPiece) {
  max_size = std::clamp<int64_t>(max_size, 0, INT64_MAX - 1);
  z_stream z{};
  if (inflateInit(&z) != Z_OK) throw EZDecompressionError("zlib: inflateInit");
  int64_t out_size = 0;
  bool more_input = true;
  int code = Z_OK;
  while (code != Z_STREAM_END) {
    if (z.avail_in == 0 && more_input) more_input = feed(z);
    const size_t n = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(piece), max_size + 1 - out_size));
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
      inflateEnd(&z);
      throw EZUnpackedTooLarge("zlib: the unpacked data is larger than allowed");
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

// The room to try after `room` gave kNeedsMoreRoom; 0 when `room` was
// already the most allowed.
size_t NextRoom(size_t room, size_t most) {
  if (room >= most) return 0;
  return room > most / kRoomGrowth ? most : room * kRoomGrowth;
}

size_t FirstRoom(size_t packed, size_t most) {
  const size_t guess = packed > SIZE_MAX / kFirstRoomPerPackedByte ? SIZE_MAX : packed * kFirstRoomPerPackedByte;
  return std::min(most, std::max(kFirstRoom, guess));
}

// The whole-buffer inflates of entries use the thread's kept block.
thread_local TKeptBlock t_entry_scratch;

// Inflates In whole into a room of the kept block that grows by retries up
// to `most` bytes (at most kKeptScratchBlock). Returns the unpacked size, or
// -1 when the streaming inflate must decide: damaged data, or more than
// `most`.
int64_t InflateGrowing(const uint8_t* in, size_t in_size, size_t most, TScratchBlock& scratch) {
  most = std::min(most, kKeptScratchBlock);
  for (size_t room = FirstRoom(in_size, most); room != 0; room = NextRoom(room, most)) {
    const TWholeInflate result = InflateWhole(in, in_size, scratch.Get(room), room);
    if (result.Result == EWholeInflate::kDone) return static_cast<int64_t>(result.Size);
    if (result.Result == EWholeInflate::kFailed) break;
  }
  return -1;
}

}  // namespace

TWholeInflate InflateWhole(const uint8_t* in, size_t in_size, uint8_t* out, size_t room) {
  std::unique_ptr<libdeflate_decompressor, TDecompressorDeleter> d(libdeflate_alloc_decompressor());
  if (!d) return {};
  size_t used = 0, size = 0;
  switch (libdeflate_zlib_decompress_ex(d.get(), in, in_size, out, room, &used, &size)) {
    case LIBDEFLATE_SUCCESS: return {EWholeInflate::kDone, size};
    case LIBDEFLATE_INSUFFICIENT_SPACE: return {EWholeInflate::kNeedsMoreRoom, 0};
    default: return {};
  }
}

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
  const size_t allowed = static_cast<size_t>(std::clamp<int64_t>(max_size, 0, static_cast<int64_t>(SIZE_MAX / 2)));
  TScratchBlock scratch(t_entry_scratch);
  const int64_t size = InflateGrowing(in.data(), in.size(), allowed, scratch);
  if (size >= 0) {
    const uint8_t* unpacked = scratch.Data();
    std::vector<uint8_t>(unpacked, unpacked + size).swap(s.MutableBytes());
    s.SetPosition(0);
    return;
  }
  // Damaged, or larger than the kept block: zlib's streaming inflate
  // unpacks it, or names the fault. The block goes first, and the output is
  // first only counted: damaged data, or more than max_size, is refused
  // without holding any of it, and sound data is then unpacked once more
  // into a block of exactly its size, never moved to a larger one.
  scratch.Release();
  std::vector<uint8_t> piece(kPiece);
  size_t in_done = 0, offered = 0;
  int64_t total = 0;
  const auto feed = [&](z_stream& z) {
    const size_t fed = FeedPiece(z, in, in_done);
    in_done += fed;
    return in_done < in.size();
  };
  Inflate(
      max_size, feed,
      [&](z_stream& z, size_t room) {
        offered = room;
        z.next_out = piece.data();
      },
      [&](size_t unused) { total += static_cast<int64_t>(offered - unused); });
  piece = std::vector<uint8_t>();
  // One byte of room beyond, which the inflate asks for to see the end.
  std::vector<uint8_t> out(static_cast<size_t>(total) + 1);
  size_t used = 0;
  in_done = 0;
  Inflate(
      total, feed,
      [&](z_stream& z, size_t room) {
        offered = room;
        z.next_out = out.data() + used;
      },
      [&](size_t unused) { used += offered - unused; });
  out.resize(used);
  s.MutableBytes().swap(out);
  s.SetPosition(0);
}

int64_t DecompressToStream(TKsBigStream& source, int64_t count, TKsBigStream& dest, int64_t max_size,
                           TInflateOrder order) {
  int64_t left = std::max<int64_t>(count, 0), written = 0;
  std::vector<uint8_t> in, out;
  TScratchBlock scratch(t_entry_scratch);
  // A packed entry of ordinary size is read whole and inflated in one call
  // into a room of at most kWholeEntryLimit; what does not fit there, or is
  // damaged, streams through zlib from the bytes already read.
  size_t in_done = 0;
  const bool read_whole = order == TInflateOrder::kWholeWhenSmall && left <= static_cast<int64_t>(kWholeEntryLimit);
  if (read_whole) {
    in.resize(static_cast<size_t>(left));
    const int64_t read = left > 0 ? source.Read(in.data(), left) : 0;
    in.resize(static_cast<size_t>(std::max<int64_t>(read, 0)));
    left = 0;
    const size_t most = static_cast<size_t>(
        std::clamp<int64_t>(max_size, 0, static_cast<int64_t>(kWholeEntryLimit)));
    const int64_t size = InflateGrowing(in.data(), in.size(), most, scratch);
    if (size >= 0) {
      dest.WriteBuffer(scratch.Data(), size);
      return size;
    }
  } else {
    in.resize(kPiece);
  }
  const size_t piece = order == TInflateOrder::kFirstBytesFirst ? kFirstBytesPiece : kPiece;
  out.resize(piece);
  size_t offered = 0;
  Inflate(
      max_size,
      [&](z_stream& z) {
        if (read_whole) {
          const size_t feed = FeedPiece(z, in, in_done);
          in_done += feed;
          return in_done < in.size();
        }
        const int64_t got = source.Read(in.data(), std::min<int64_t>(left, kPiece));
        left = got > 0 ? left - got : 0;
        z.next_in = in.data();
        z.avail_in = static_cast<uInt>(std::max<int64_t>(got, 0));
        return left > 0;
      },
      [&](z_stream& z, size_t room) {
        // Near max_size the room offered is less than the buffer.
        offered = room;
        z.next_out = out.data();
      },
      [&](size_t unused) {
        const int64_t n = static_cast<int64_t>(offered - unused);
        dest.WriteBuffer(out.data(), n);
        written += n;
      },
      piece);
  return written;
}

}  // namespace orba
