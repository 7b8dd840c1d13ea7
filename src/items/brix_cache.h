// The picture cache. Every picture an item shows (Brix, PNG, BMP or JPEG,
// all read by the Brix reader) is decoded once per file name and variant
// into ready-to-draw surfaces and shared by the objects that hold it; an
// entry goes away when its last owner lets go.
//
// An entry's key is the file name, plus "?m" for the mask variant (colour
// keys turned into alpha, every frame with a mask) and then "?t" for the
// trimmed variant (every frame cut to its visible pixels, the cut's corner
// kept as the frame's offset).
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/containers/hash_collection.h"
#include "core/containers/rect_utils.h"
#include "core/streams/big_stream.h"
#include "graphics/custom_dibx.h"
#include "graphics/dibx.h"
#include "items/brix_owners.h"
#include "script/save/save_sections.h"

namespace orba {

class TVrFileManager;
class TBrixCollection;

// One decoded frame.
class TBrixItemFrame {
 public:
  // DIB starts at 1 x 1 with the given depth.
  explicit TBrixItemFrame(int32_t bit_count);

  std::unique_ptr<TCustomDIBX> DIB;
  std::unique_ptr<TDIBX> Mask;  // 8-bit alpha; null until needed
  int32_t ColorKey = -1;        // 0x00BBGGRR as stored; -1 none
  int32_t Delay = 0;
  int32_t OffsetX = 0, OffsetY = 0;

  void EnsureMask();
  // SrcRect of DIB at (X, Y) on Dest: through the mask when there is one,
  // else keyed by DIB's colour key; Alpha 255 opaque, below blended, 256 and
  // above additive with strength Alpha - 256.
  void Draw(TCustomDIBX& dest, int32_t x, int32_t y, const TRect& src_rect, bool flip_h, bool flip_v,
            int32_t alpha);
  // Fills DestRect with copies of SrcRect, the pattern starting at
  // (OffsetX, OffsetY) within the tile.
  void DrawTiled(TCustomDIBX& dest, const TRect& dest_rect, const TRect& src_rect, int32_t offset_x,
                 int32_t offset_y, bool flip_h, bool flip_v, int32_t alpha);
};

class TBrixItem : public THashCollectionItem {
 public:
  TBrixItem() = default;
  ~TBrixItem() override;
  const char* ClassName() const override { return "TBrixItem"; }

  TBrixOwners Owners;  // no duplicates; joined and left in constant time
  int32_t TotalDelay = 0;
  std::vector<std::unique_ptr<TBrixItemFrame>> Frames;
  int32_t Width = 0, Height = 0;

  // Stores the key and decodes the picture it names.
  void SetName(const std::string& key) override;
  void AddOwner(const void* owner);
  // Forgets the owner; without owners the entry leaves its collection and
  // is destroyed (the reference must not be used afterwards).
  void RemoveOwner(const void* owner);
  int32_t GetFrameCount() const { return static_cast<int32_t>(Frames.size()); }
  TBrixItemFrame* GetFrame(int32_t index) const {
    return index >= 0 && index < GetFrameCount() ? Frames[static_cast<size_t>(index)].get() : nullptr;
  }
  // Decodes the file again into the existing frames; with Recreate every
  // frame gets a new surface first. A missing file changes nothing.
  void Reload(bool recreate);
  void FreeSurfaces();

 private:
  TBrixCollection* Cache() const;
  void Decode(const std::string& key);
};

class TBrixCollection : public THashCollection {
 public:
  TBrixCollection() = default;
  ~TBrixCollection() override;

  bool Dither = false;
  std::vector<TBrixItem*> ReleaseList;

  // What the cache needs of the running game. Files: the file layer (the
  // global one when null). FileAvailable: whether the project has a file
  // (the file layer's answer when unset). IdentCode: the project's
  // identification code for scrambled Brix files. BitCount: the screen depth
  // that sizes the surfaces.
  TVrFileManager* Files = nullptr;
  std::function<bool(const std::string&)> FileAvailable;
  int32_t IdentCode = 0;
  int32_t BitCount = 32;

  // The entry of FileName in the variant asked for, decoded on first use,
  // with Owner among its owners. A file that cannot be read raises, is
  // said as a refused picture (TellPictureRefused, once per file) and
  // leaves no entry behind, so the next Acquire tries again.
  TBrixItem& Acquire(const void* owner, const std::string& file_name, bool trim, bool mask);
  TBrixItem& GetBrix(int32_t index) const { return Item<TBrixItem>(index); }
  TBrixItem* FindKey(const std::string& key) const;
  void SetDither(bool dither);
  void FreeSurfaces();
  void RestoreSurfaces(bool recreate);
  // Frees the released entries of every variant of FileName.
  void ReleaseFile(const std::string& file_name);

  // One byte: Dither. Version 100 carries nothing.
  void SaveToStream(TKsBigStream& stream) const;
  void LoadFromStream(TKsBigStream& stream, int32_t version);

  // The file layer the cache reads through.
  TVrFileManager& FileLayer() const;
  bool HasFile(const std::string& name) const;

 protected:
  std::unique_ptr<THashCollectionItem> NewItem() const override;

 private:
  friend class TBrixItem;
  void Unlist(TBrixItem* item);
};

// The global cache's piece of the status save: its dithering flag, written
// and read by the cache itself (the empty form's byte while there is none).
class TBrixCacheSetting : public TImageCacheSetting {
 public:
  void SaveToStream(TKsBigStream& stream) override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;
};

// Key of a file name in a variant.
std::string BrixKey(const std::string& file_name, bool trim, bool mask);

// The global cache (nullptr outside InitBrixCollection .. FinalBrixCollection).
TBrixCollection* BrixCollection();
void InitBrixCollection();
void FinalBrixCollection();

// A new drawing surface of the kind items use, 1 x 1 at the given depth.
std::unique_ptr<TCustomDIBX> NewItemSurface(int32_t bit_count);

// Why a picture named by an item that reads Brix pictures only is not read.
inline constexpr char kNotABrixName[] = "not a Brix picture (.brx), the only pictures an image item reads";

// Says once, on standard error and in the trace, that the picture File_name
// (Shift-JIS) is not shown and why (Shift-JIS): "NAME: picture refused:
// WHY". In a window the item just stays empty, so the person is told here.
void TellPictureRefused(const std::string& file_name, const std::string& why);
// The same for the error that refused it: a limit's refusal (TRefusalMark)
// names itself, and a file past its size limit was said as it was refused.
void TellPictureRefused(const std::string& file_name, const std::exception& error);

}  // namespace orba
