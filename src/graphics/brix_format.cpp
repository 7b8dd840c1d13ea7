// The Brix byte format: reading and writing frames, layers and planes.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include <zlib.h>

#include "core/files/brix_versions.h"
#include "core/ks_random.h"
#include "core/streams/byte_order.h"
#include "core/streams/compression.h"
#include "core/streams/stream_encoding.h"
#include "core/system/trace.h"
#include "graphics/brix.h"
#include "graphics/color_convert.h"
#include "graphics/jpeg_codec.h"

namespace orba {

namespace {

// "識別コードを設定してください"
constexpr const char* kIdentCodeMissingText =
    "\x8e\xaf\x95\xca\x83R\x81[\x83h\x82\xf0\x90\xdd\x92\xe8\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2";

// The smallest layer record (version 101 and later: reserved, flags, key,
// opacity, alpha flag, empty name, two empty blocks).
constexpr int64_t kMinLayerRecord = 8 + 1 + 4 + 4 + 4 + 4;
constexpr int64_t kMinRectRecord = 16;

// Bits a pixel takes in a stored row: 15-bit pixels are 16-bit words.
int32_t StoredBits(int32_t bit_count) { return bit_count == 15 ? 16 : bit_count; }

int64_t RowBytes(int64_t pixels, int32_t bits) { return (pixels * bits + 7) / 8; }

std::vector<int32_t> Permutation(int32_t ident_code, int64_t n) {
  std::vector<int32_t> p(static_cast<size_t>(n));
  TKsRandom random(static_cast<uint32_t>(ident_code));
  random.SetCount(static_cast<int32_t>(n));
  for (auto& v : p) v = random.Next();
  return p;
}

// A block of stored bytes: straight from a memory stream's buffer when the
// stream lies in memory, else copied into `copy`.
struct TBlock {
  const uint8_t* Data = nullptr;
  int64_t Size = 0;
};

TBlock TakeBlock(TKsBigStream& stream, int32_t size, std::vector<uint8_t>& copy) {
  if (size < 0) throw EBrixError("Brix: negative block size " + std::to_string(size));
  CheckStoredCount(stream, size, 1);
  if (size == 0) return TBlock{};
  if (auto* memory = dynamic_cast<TKsMemoryStream*>(&stream)) {
    const int64_t at = memory->GetPosition();
    memory->SetPosition(at + size);
    return TBlock{memory->Memory() + at, size};
  }
  copy.resize(static_cast<size_t>(size));
  stream.ReadBuffer(copy.data(), size);
  return TBlock{copy.data(), size};
}

class TPlaneReader {
 public:
  TPlaneReader(TBlock block) : block_(block) {}
  const uint8_t* Take(int64_t n) {
    if (n < 0 || n > block_.Size - at_) throw EReadError();
    const uint8_t* p = block_.Data + at_;
    at_ += n;
    return p;
  }

 private:
  TBlock block_;
  int64_t at_ = 0;
};

bool IsTiled(const TBrixHeader& h) {
  return h.Version() >= kBrixHeaderRecordVersion && h.TileWidth() >= 1 && h.TileHeight() >= 1 && h.Compression() != 2;
}
bool IsScrambled(const TBrixHeader& h) {
  return h.Version() >= kBrixHeaderRecordVersion && h.Scrambled() == 1 && h.Compression() != 2;
}

// The most bytes a plane of this size can take in its stored form.
int64_t PlaneLimit(const TBrixHeader& h, int64_t width, int64_t height, int32_t bits) {
  if (!IsTiled(h)) return DibRowSize(width, bits == 15 ? 16 : bits) * height;
  const int64_t tw = h.TileWidth(), th = h.TileHeight();
  const int64_t columns = (width + tw - 1) / tw, rows = (height + th - 1) / th;
  const int32_t stored = StoredBits(bits);
  const int64_t per_row = (columns - 1) * RowBytes(tw, stored) + RowBytes(width - (columns - 1) * tw, stored);
  return 8 * columns * rows + per_row * height;
}

// Copies a w x h area between two planes of one depth by whole bytes.
void CopyPlaneArea(const TPixelView& from, int64_t sx, int64_t sy, const TPixelView& to, int64_t dx, int64_t dy,
                   int64_t w, int64_t h, int32_t bits) {
  const int64_t n = RowBytes(w, bits);
  const int64_t so = sx * bits / 8, dof = dx * bits / 8;
  const int64_t from_row = std::abs(from.Pitch), to_row = std::abs(to.Pitch);
  if (sy + h > from.Height || dy + h > to.Height || so + n > from_row || dof + n > to_row)
    throw EBrixError("Brix: tile copy outside the plane");
  for (int64_t r = 0; r < h; ++r)
    std::memmove(to.Row(static_cast<int32_t>(dy + r)) + dof, from.Row(static_cast<int32_t>(sy + r)) + so,
                 static_cast<size_t>(n));
}

}  // namespace

// ---- header ----------------------------------------------------------------------

int32_t TBrixHeader::Int(int offset) const {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | Bytes[static_cast<size_t>(offset + i)];
  return static_cast<int32_t>(v);
}

void TBrixHeader::SetInt(int offset, int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) Bytes[static_cast<size_t>(offset + i)] = static_cast<uint8_t>(v >> (8 * i));
}

// ---- planes ------------------------------------------------------------------------

namespace {

struct TPlaneContext {
  const TBrixHeader& Header;
  TBrixFrameList& List;
  TBrixLayer& Layer;
  bool Alpha;
};

void DecodeRows(TPlaneReader& in, const TPixelView& plane, const TPlaneContext& c) {
  const size_t row = static_cast<size_t>(std::abs(plane.Pitch));
  std::vector<int32_t> order;
  if (IsScrambled(c.Header)) order = Permutation(c.List.IdentCode, plane.Height);
  for (int32_t i = 0; i < plane.Height; ++i) {
    const uint8_t* src = in.Take(static_cast<int64_t>(row));
    std::memcpy(plane.Row(order.empty() ? i : order[static_cast<size_t>(i)]), src, row);
  }
}

// The plane this tile reference points at: the same plane of an earlier
// layer, of this plane's size and depth.
TPixelView ReferencedPlane(int32_t frame_index, int32_t layer_index, const TPixelView& plane,
                           const TPlaneContext& c) {
  TBrixLayer* layer = c.List.GetFrame(frame_index)->GetLayer(layer_index);
  TDIBSurface* source = c.Alpha ? layer->Surface->Alpha() : layer->Surface.get();
  if (source == nullptr || source->Empty())
    throw EBrixError("Brix: tile refers to a layer without that plane");
  if (layer == &c.Layer) return plane;
  TPixelView view = source->ReadView();
  if (view.Width != plane.Width || view.Height != plane.Height || view.BitCount != plane.BitCount)
    throw EBrixError("Brix: tile refers to a layer of another size or depth");
  return view;
}

void DecodeTiles(TPlaneReader& in, int64_t data_size, const TPixelView& plane, const TPlaneContext& c) {
  const int64_t tw = c.Header.TileWidth(), th = c.Header.TileHeight();
  const int64_t width = plane.Width, height = plane.Height;
  const int64_t columns = (width + tw - 1) / tw, rows = (height + th - 1) / th;
  const int64_t count = columns * rows;
  if (count > data_size / 8) throw EReadError();
  const int32_t bits = StoredBits(plane.BitCount);
  std::vector<int32_t> table(static_cast<size_t>(2 * count));
  std::vector<int32_t> order;
  if (IsScrambled(c.Header)) order = Permutation(c.List.IdentCode, count);
  for (int64_t i = 0; i < count; ++i) {
    const uint8_t* e = in.Take(8);
    const size_t k = static_cast<size_t>(order.empty() ? i : order[static_cast<size_t>(i)]);
    for (int half = 0; half < 2; ++half) {
      uint32_t v = 0;
      for (int b = 3; b >= 0; --b) v = v << 8 | e[4 * half + b];
      table[2 * k + static_cast<size_t>(half)] = static_cast<int32_t>(v);
    }
  }
  const int64_t column_step = RowBytes(tw, bits);
  const int64_t row_size = std::abs(plane.Pitch);
  for (int64_t k = 0; k < count; ++k) {
    const int64_t column = k % columns, row = k / columns;
    const int64_t x0 = column * tw, y0 = row * th;
    const int64_t w = std::min(tw, width - x0), h = std::min(th, height - y0);
    const int32_t a = table[static_cast<size_t>(2 * k)], b = table[static_cast<size_t>(2 * k + 1)];
    if (a == -1) {
      // Inline rows sit at byte column x (tile width in bytes), as stored.
      const int64_t n = RowBytes(w, bits), offset = column * column_step;
      if (offset + n > row_size) throw EBrixError("Brix: inline tile outside the plane");
      for (int64_t r = 0; r < h; ++r)
        std::memcpy(plane.Row(static_cast<int32_t>(y0 + r)) + offset, in.Take(n), static_cast<size_t>(n));
    } else if (a == -2) {
      if (b < 0 || b >= count) RaiseBrixIndexError(b);
      CopyPlaneArea(plane, (b % columns) * tw, (b / columns) * th, plane, x0, y0, w, h, bits);
    } else if (a >= 0) {
      TPixelView source = ReferencedPlane(a, b, plane, c);
      if (source.Bits != plane.Bits) CopyPlaneArea(source, x0, y0, plane, x0, y0, w, h, bits);
    }
    // Other negative entries name no form; the tile is left as it is.
  }
}

// Decodes one plane (colour or alpha) from its stored bytes.
void DecodePlane(TBlock block, TDIBSurface& target, const TPlaneContext& c) {
  TPixelView plane = target.WriteView();
  if (plane.Bits == nullptr) return;
  TPlaneReader in(block);
  if (IsTiled(c.Header)) DecodeTiles(in, block.Size, plane, c);
  else DecodeRows(in, plane, c);
}

// Inflates a packed block into `work`, never beyond what the plane can take.
TBlock Inflate(TBlock block, int64_t limit, TKsMemoryStream& work) {
  work.Clear();
  if (block.Size > 0) work.WriteBuffer(block.Data, block.Size);
  DecompressStream(work, std::min(limit, kMaxDecompressedSize));
  return TBlock{work.Memory(), work.GetSize()};
}

// A JPEG colour plane in the frame's depth (and palette below 16 bits).
void DecodeJpegPlane(TBlock block, TDIBSurface& target, TDIBSurface& frame_surface) {
  TDIBSurface decoded;
  decoded.LoadJpeg(block.Data, static_cast<size_t>(block.Size));
  const int32_t bits = frame_surface.GetBitCount();
  if (decoded.GetBitCount() == bits && bits == 24) {
    target.Assign(&decoded);
    return;
  }
  target.ColorTable = frame_surface.ImageTable();
  target.SetSize(decoded.Width(), decoded.Height(), bits);
  target.CommitTable();
  if (target.Empty()) return;
  ConvertCopy(target.WriteView(), reinterpret_cast<const uint8_t*>(target.ImageTable().data()), 0, 0,
              decoded.ReadView(), reinterpret_cast<const uint8_t*>(decoded.ImageTable().data()),
              decoded.GetBounds());
}

void WriteBlock(TKsBigStream& stream, TKsMemoryStream& block) {
  WriteStreamInt(stream, static_cast<int32_t>(block.GetSize()));
  if (block.GetSize() > 0) stream.WriteBuffer(block.Memory(), block.GetSize());
}

// Whole rows, stored row i being image row P(i).
void EncodeRows(TDIBSurface& surface, int32_t ident_code, TKsMemoryStream& out) {
  TPixelView v = surface.ReadView();
  const std::vector<int32_t> order = Permutation(ident_code, v.Height);
  const int64_t row = std::abs(v.Pitch);
  for (int32_t i = 0; i < v.Height; ++i) out.WriteBuffer(v.Row(order[static_cast<size_t>(i)]), row);
}

}  // namespace

// ---- layers ------------------------------------------------------------------------

void TBrixLayer::LoadFromStream(TKsBigStream& stream, const TBrixHeader& header) {
  TDIBSurface& frame_surface = Frame->Surface;
  TBrixFrameList& list = *Frame->Owner;
  const int32_t version = header.Version();
  list.Charge(frame_surface.Width(), frame_surface.Height(), frame_surface.GetBitCount(), false);
  Surface->ColorTable = frame_surface.ImageTable();
  Surface->SetSize(frame_surface.Width(), frame_surface.Height(), frame_surface.GetBitCount());
  Surface->CommitTable();

  uint8_t reserved[8];
  stream.ReadBuffer(reserved, 8);
  Visible = ReadByteVal(stream);
  TransparentColor = ReadStreamInt(stream);
  Opacity = ReadStreamInt(stream);
  if (version >= kBrixAlphaFlagVersion) AlphaEnabled = ReadByteVal(stream);
  Name = ReadStreamString(stream);

  std::vector<uint8_t> copy;
  TKsMemoryStream work;
  TBlock block = TakeBlock(stream, ReadStreamInt(stream), copy);
  const uint8_t compression = header.Compression();
  if (version >= kBrixHeaderRecordVersion && compression == 2) {
    DecodeJpegPlane(block, *Surface, frame_surface);
    list.Charge(Surface->Width(), Surface->Height(), Surface->GetBitCount(), false);
  } else {
    if (compression == 0) {
      const int64_t limit = PlaneLimit(header, Surface->Width(), Surface->Height(), Surface->GetBitCount());
      list.ChargePlaneWork(limit);
      block = Inflate(block, limit, work);
    }
    DecodePlane(block, *Surface, TPlaneContext{header, list, *this, false});
  }
  if (version < kBrixAlphaPlaneVersion) return;
  const int32_t alpha_size = ReadStreamInt(stream);
  if (alpha_size <= 0) return;
  if (AlphaEnabled) TransparentColor = -1;
  list.Charge(Surface->Width(), Surface->Height(), 8, false);
  Surface->EnsureAlpha();
  block = TakeBlock(stream, alpha_size, copy);
  if (compression == 0 || compression == 2) {
    const int64_t limit = PlaneLimit(header, Surface->Width(), Surface->Height(), 8);
    list.ChargePlaneWork(limit);
    block = Inflate(block, limit, work);
  }
  DecodePlane(block, *Surface->Alpha(), TPlaneContext{header, list, *this, true});
}

void TBrixLayer::SaveToStream(TKsBigStream& stream, const TBrixHeader& header, int32_t ident_code) {
  const uint8_t reserved[8] = {};
  stream.WriteBuffer(reserved, 8);
  WriteStreamByte(stream, Visible);
  WriteStreamInt(stream, TransparentColor);
  WriteStreamInt(stream, Opacity);
  WriteStreamByte(stream, AlphaEnabled);
  WriteStreamString(stream, Name);
  const uint8_t compression = header.Compression();
  if (header.Scrambled() == 1 && ident_code == 0) throw EOrbaError(kIdentCodeMissingText);
  TKsMemoryStream block;
  if (compression == 2) {
    std::vector<uint8_t> jpeg = EncodeJpeg(Surface->ToJpegImage(), header.JpegQuality());
    block.WriteBuffer(jpeg.data(), static_cast<int64_t>(jpeg.size()));
  } else {
    EncodeRows(*Surface, ident_code, block);
    if (compression == 0) CompressStream(block);
  }
  WriteBlock(stream, block);
  block.Clear();
  if (Surface->Alpha() != nullptr && !Surface->Alpha()->Empty()) {
    EncodeRows(*Surface->Alpha(), compression == 2 ? 0 : ident_code, block);
    if (compression == 0 || compression == 2) CompressStream(block);
  }
  WriteBlock(stream, block);
}

// ---- frames ------------------------------------------------------------------------

void TBrixFrame::LoadFromStream(TKsBigStream& stream, const TBrixHeader& header, bool keep_layers) {
  Name = ReadStreamString(stream);
  TransparentPixel = ReadStreamInt(stream);
  Delay = ReadStreamInt(stream);
  ReadByteVal(stream);
  ReadStreamInt(stream);
  const int32_t layer_count = ReadStreamInt(stream);
  const int32_t width = ReadStreamInt(stream), height = ReadStreamInt(stream);
  const int32_t bits = ReadStreamInt(stream);
  if (bits != 1 && bits != 4 && bits != 8 && bits != 15 && bits != 16 && bits != 24 && bits != 32)
    throw EBrixError(InvalidBitCountText(bits));
  if (width < 1 || height < 1 || int64_t{width} * height > kMaxImagePixels)
    throw EBrixError("Brix: frame size " + std::to_string(width) + " x " + std::to_string(height));
  if (layer_count < 0) throw EBrixError("Brix: layer count " + std::to_string(layer_count));
  CheckStoredCount(stream, layer_count, kMinLayerRecord);

  Owner->Charge(width, height, bits, true);
  Surface.SetSize(width, height, bits);
  if (bits <= 8) {
    const int32_t entries = 1 << bits;
    CheckStoredCount(stream, entries, 4);
    stream.ReadBuffer(Surface.ColorTable.data(), 4 * int64_t{entries});
    Surface.CommitTable();
  }
  TransparentColor = TransparentPixel >= 0 ? SurfacePixelColor(Surface, static_cast<uint32_t>(TransparentPixel)) : -1;
  Surface.FillRect(Surface.GetBounds(),
                   Surface.RGBToPixel(static_cast<uint32_t>(Owner->BackgroundColor) & 0xFF,
                                      (static_cast<uint32_t>(Owner->BackgroundColor) >> 8) & 0xFF,
                                      (static_cast<uint32_t>(Owner->BackgroundColor) >> 16) & 0xFF));
  bool first = true;
  for (int32_t i = 0; i < layer_count; ++i) {
    TBrixLayer* layer = AddLayer();
    layer->LoadFromStream(stream, header);
    Compose(*layer, i, first);
  }
  if (header.Version() >= kBrixFrameRectsVersion) {
    for (std::vector<TRect>* list : {&RectsA, &RectsB}) {
      const int32_t n = ReadStreamInt(stream);
      if (n < 0) continue;
      CheckStoredCount(stream, n, kMinRectRecord);
      list->clear();
      for (int32_t k = 0; k < n; ++k) list->push_back(ReadStreamRect(stream));
    }
  }
  // Tiles of later frames may copy from these layers: the list frees them
  // once every frame is read (they are counted in the picture's budget).
  (void)keep_layers;
}

void TBrixFrame::SaveToStream(TKsBigStream& stream, const TBrixHeader& header) {
  WriteStreamString(stream, Name);
  WriteStreamInt(stream, TransparentPixel);
  WriteStreamInt(stream, Delay);
  WriteStreamByte(stream, 0);
  WriteStreamInt(stream, 0);
  auto write_size = [&](TDIBSurface& s) {
    WriteStreamInt(stream, s.Width());
    WriteStreamInt(stream, s.Height());
    const int32_t bits = s.GetBitCount();
    WriteStreamInt(stream, bits);
    if (bits <= 8) stream.WriteBuffer(s.ImageTable().data(), 4 * (int64_t{1} << bits));
  };
  if (!layers_.empty()) {
    WriteStreamInt(stream, LayerCount());
    write_size(*layers_.front()->Surface);
    for (auto& layer : layers_) layer->SaveToStream(stream, header, Owner->IdentCode);
  } else {
    // The composite alone, as one layer.
    WriteStreamInt(stream, 1);
    write_size(Surface);
    TBrixLayer layer(this);
    layer.Surface->Assign(&Surface);
    if (Surface.Alpha() != nullptr) layer.Surface->AssignAlpha(*Surface.Alpha());
    layer.AlphaEnabled = Surface.Alpha() != nullptr ? 1 : 0;
    layer.Name = "Layer";
    layer.SaveToStream(stream, header, Owner->IdentCode);
  }
  WriteStreamInt(stream, 0);
  WriteStreamInt(stream, 0);
}

// ---- tile sources -------------------------------------------------------------------

namespace {

using TTileSourceUses = std::map<std::pair<int32_t, int32_t>, int32_t>;

// Notes, for the table of Tiles entries at the start of a plane's data, the
// layers its tiles copy from as used by Frame. A packed block is unpacked
// piece by piece, only as far as its table; a damaged or short one notes
// what it holds (the reader proper tells the fault).
void NoteTileSources(TBlock block, bool packed, int64_t tiles, int32_t frame, TTileSourceUses& uses) {
  constexpr int64_t kEntry = 8;
  const auto note = [&](const uint8_t* e) {
    const auto a = static_cast<int32_t>(ReadLE32(e)), b = static_cast<int32_t>(ReadLE32(e + 4));
    if (a < 0) return;
    int32_t& last = uses.try_emplace({a, b}, frame).first->second;
    last = std::max(last, frame);
  };
  int64_t left = tiles;
  if (!packed) {
    for (int64_t at = 0; left > 0 && at + kEntry <= block.Size; at += kEntry, --left) note(block.Data + at);
    return;
  }
  z_stream z{};
  if (block.Size <= 0 || inflateInit(&z) != Z_OK) return;
  z.next_in = const_cast<Bytef*>(block.Data);
  z.avail_in = static_cast<uInt>(block.Size);
  uint8_t piece[kEntry * 2048];
  while (left > 0) {
    const auto want = static_cast<uInt>(std::min<int64_t>(sizeof piece, left * kEntry));
    z.next_out = piece;
    z.avail_out = want;
    int code = Z_OK;
    while (z.avail_out > 0 && code == Z_OK) code = inflate(&z, Z_NO_FLUSH);
    const uInt got = want - z.avail_out;
    for (uInt at = 0; at + kEntry <= got; at += kEntry, --left) note(piece + at);
    if (z.avail_out > 0) break;  // the stream ended, or is damaged or cut short
  }
  inflateEnd(&z);
}

void SkipStored(TKsBigStream& stream, int64_t bytes) {
  CheckStoredCount(stream, bytes, 1);
  stream.Seek(bytes, SeekOrigin::Current);
}

// Walks one frame record as TBrixFrame::LoadFromStream reads it, noting the
// layers its tiles copy from; raises where the record does not parse.
void ScanFrame(TKsBigStream& stream, const TBrixHeader& header, int32_t index, TTileSourceUses& uses) {
  const int32_t version = header.Version();
  ReadStreamString(stream);
  SkipStored(stream, 4 + 4 + 1 + 4);  // key, delay, a byte, a number
  const int32_t layer_count = ReadStreamInt(stream);
  const int32_t width = ReadStreamInt(stream), height = ReadStreamInt(stream), bits = ReadStreamInt(stream);
  if (layer_count < 0 || width < 1 || height < 1 || int64_t{width} * height > kMaxImagePixels || bits < 1 ||
      bits > 32)
    throw EBrixError("Brix: frame record");
  CheckStoredCount(stream, layer_count, kMinLayerRecord);
  if (bits <= 8) SkipStored(stream, int64_t{4} << bits);
  int64_t tiles = 0;
  if (IsTiled(header)) {
    const int64_t tw = header.TileWidth(), th = header.TileHeight();
    tiles = ((width + tw - 1) / tw) * ((height + th - 1) / th);
  }
  const bool packed = header.Compression() == 0;
  std::vector<uint8_t> copy;
  for (int32_t i = 0; i < layer_count; ++i) {
    SkipStored(stream, 8 + 1 + 4 + 4 + (version >= kBrixAlphaFlagVersion ? 1 : 0));
    ReadStreamString(stream);
    const TBlock colour = TakeBlock(stream, ReadStreamInt(stream), copy);
    if (tiles > 0) NoteTileSources(colour, packed, tiles, index, uses);
    if (version < kBrixAlphaPlaneVersion) continue;
    const int32_t alpha_size = ReadStreamInt(stream);
    if (alpha_size <= 0) continue;
    const TBlock alpha = TakeBlock(stream, alpha_size, copy);
    if (tiles > 0) NoteTileSources(alpha, packed, tiles, index, uses);
  }
  if (version < kBrixFrameRectsVersion) return;
  for (int list = 0; list < 2; ++list) {
    const int32_t n = ReadStreamInt(stream);
    if (n >= 0) SkipStored(stream, int64_t{n} * kMinRectRecord);
  }
}

// The last frame whose tiles copy from each (frame, layer) of the Count
// frame records at the stream's position (left there); false when the
// records do not parse.
bool ScanTileSources(TKsBigStream& stream, const TBrixHeader& header, int32_t count, TTileSourceUses& uses) {
  const int64_t start = stream.GetPosition();
  bool whole = true;
  try {
    for (int32_t i = 0; i < count; ++i) ScanFrame(stream, header, i, uses);
  } catch (const EOrbaError& e) {
    // The reader proper meets the same fault and raises it; until then
    // every layer is kept.
    TraceCaught(std::string("Brix tile scan: ") + e.what());
    whole = false;
  }
  stream.SetPosition(start);
  return whole;
}

}  // namespace

// ---- images ------------------------------------------------------------------------

void TBrixFrameList::ReadImage(TKsBigStream& stream, bool first_frame_only, bool convert, bool keep_layers) {
  const int64_t start = stream.GetPosition();
  char magic[8] = {};
  const int64_t got = stream.Read(magic, 8);
  stream.SetPosition(start);
  const auto* m = reinterpret_cast<const uint8_t*>(magic);
  if (got >= 8 && std::memcmp(magic, "\x89PNG\r\n\x1a\n", 8) == 0) return LoadPNG(stream);
  if (got >= 2 && std::memcmp(magic, "BM", 2) == 0) return LoadBMP(stream);
  if (got >= 3 && m[0] == 0xFF && m[1] == 0xD8 && m[2] == 0xFF) return LoadJPEG(stream);
  if (got >= 4 && std::memcmp(magic, "GIF8", 4) == 0) {
    // "Brix:このファイル形式には対応していません"
    throw EBrixError("Brix:\x82\xb1\x82\xcc\x83t\x83@\x83" "C\x83\x8b\x8c`\x8e\xae\x82\xc9\x82\xcd\x91\xce\x89\x9e"
                     "\x82\xb5\x82\xc4\x82\xa2\x82\xdc\x82\xb9\x82\xf1");
  }

  const int64_t read = stream.Read(magic, 7);
  TBrixHeader header;
  if (read == 7 && std::memcmp(magic, "Brix", 4) == 0) {
    const std::string digits(magic + 4, 3);
    int32_t v = 0;
    size_t i = digits[0] == '+' || digits[0] == '-' ? 1 : 0;
    for (; i < digits.size(); ++i) {
      if (digits[i] < '0' || digits[i] > '9') {
        // "'%s' は整数ではありません"
        throw EBrixError("'" + digits + "' \x82\xcd\x90\xae\x90\x94\x82\xc5\x82\xcd\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1");
      }
      v = v * 10 + (digits[i] - '0');
    }
    Version = digits[0] == '-' ? -v : v;
  } else {
    stream.SetPosition(start);
    Version = 0;
  }
  int32_t frame_count;
  if (Version >= kBrixHeaderRecordVersion) {
    const int32_t size = ReadStreamInt(stream);
    if (size < 0) throw EBrixError("Brix: header size " + std::to_string(size));
    const int32_t record = std::min(size, TBrixHeader::kSize);
    stream.ReadBuffer(header.Bytes.data(), record);
    // Bytes beyond the record belong to no field we know; they are skipped.
    CheckStoredCount(stream, size - record, 1);
    stream.Seek(size - record, SeekOrigin::Current);
    frame_count = header.FrameCount();
    BackgroundColor = header.BackgroundColor();
  } else {
    header.SetInt(0, Version);
    frame_count = ReadStreamInt(stream);
    ReadByteVal(stream);
    BackgroundColor = Version >= kBrixBackgroundVersion ? ReadStreamInt(stream) : 0;
  }
  OpaqueBase = Version >= kBrixOpaqueBaseVersion ? header.OpaqueBase() : 0;
  if (first_frame_only && frame_count > 1) frame_count = 1;
  if (frame_count < 0) frame_count = 0;
  // A frame record takes at least its name count, keys, sizes and depth.
  CheckStoredCount(stream, frame_count, 33);
  // Frames handed over one by one free the layers no later tile copies from.
  const bool hand_over = OnFrameRead && !keep_layers;
  TTileSourceUses uses;
  const bool scanned = hand_over && ScanTileSources(stream, header, frame_count, uses);
  for (int32_t i = 0; i < frame_count; ++i) {
    TBrixFrame* frame = AddFrame();
    frame->LoadFromStream(stream, header, keep_layers);
    if (convert) ConvertFrame(*frame, keep_layers);
    if (hand_over) HandOver(i, scanned ? &uses : nullptr);
  }
  if (!keep_layers)
    for (auto& frame : frames_) frame->ClearLayers();
}

void TBrixFrameList::SaveToStream(TKsBigStream& stream, int32_t compression, int32_t jpeg_quality) {
  stream.WriteBuffer("Brix106", 7);
  WriteStreamInt(stream, TBrixHeader::kSize);
  TBrixHeader header;
  header.SetInt(0, 106);
  if (!frames_.empty()) {
    TBrixFrame& first = *frames_.front();
    header.SetInt(4, first.GetWidth());
    header.SetInt(8, first.GetHeight());
    header.SetInt(12, first.GetBitCount());
  }
  header.SetInt(16, Count());
  header.Bytes[20] = 1;
  header.SetInt(24, BackgroundColor);
  header.Bytes[36] = OpaqueBase;
  header.Bytes[21] = IdentCode != 0 ? 1 : 0;
  header.Bytes[22] = static_cast<uint8_t>(IdentCode != 0 ? 1 : compression);
  header.Bytes[37] = static_cast<uint8_t>(jpeg_quality);
  stream.WriteBuffer(header.Bytes.data(), TBrixHeader::kSize);
  for (auto& frame : frames_) frame->SaveToStream(stream, header);
}

}  // namespace orba
