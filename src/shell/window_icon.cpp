#include "shell/window_icon.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "core/files/pe_resource.h"
#include "core/streams/stream_encoding.h"
#include "core/system/trace.h"
#include "graphics/icon_file.h"
#include "platform/text_convert.h"
#include "shell/game_client.h"

namespace orba {
namespace {

// Resource types of a program's icons: the group (a directory of images)
// and the images it names by id.
const char kGroupIconType[] = "#14";
const char kIconImageType[] = "#3";

constexpr uint32_t kGroupHeaderBytes = 6;
constexpr uint32_t kGroupEntryBytes = 14;
constexpr uint32_t kIconEntryBytes = 16;
// The largest icon image taken: 256 x 256 at 32 bits with its mask, or a
// PNG image of that size, is well below it.
constexpr uint32_t kMaxIconImageBytes = 1 << 20;

uint16_t Le16(std::span<const uint8_t> b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

// The program's group icon and its images put together as an icon file:
// its directory with each image's offset in the file, then the images.
void IconFileOfProgram(const TFindResource& find, TKsMemoryStream& file) {
  const std::span<const uint8_t> group = find("", kGroupIconType);
  if (group.size() < kGroupHeaderBytes) throw EReadError();
  const uint32_t count = Le16(group, 4);
  // Each entry costs its bytes in the group.
  if (Le16(group, 2) != 1 || count == 0 || count > (group.size() - kGroupHeaderBytes) / kGroupEntryBytes)
    throw EReadError();
  std::vector<std::span<const uint8_t>> images;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t entry = kGroupHeaderBytes + size_t{i} * kGroupEntryBytes;
    const std::span<const uint8_t> image = find("#" + std::to_string(Le16(group, entry + 12)), kIconImageType);
    if (image.empty() || image.size() > kMaxIconImageBytes) throw EReadError();
    images.push_back(image);
  }
  file.WriteBuffer(group.data(), kGroupHeaderBytes);
  uint32_t offset = kGroupHeaderBytes + count * kIconEntryBytes;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t entry = kGroupHeaderBytes + size_t{i} * kGroupEntryBytes;
    // Width, height, colours, reserved, planes and bits as the group has them.
    file.WriteBuffer(group.data() + entry, 8);
    WriteStreamInt(file, static_cast<int32_t>(images[i].size()));
    WriteStreamInt(file, static_cast<int32_t>(offset));
    offset += static_cast<uint32_t>(images[i].size());
  }
  for (const std::span<const uint8_t>& image : images) file.WriteBuffer(image.data(), static_cast<int64_t>(image.size()));
  file.SetPosition(0);
}

// Coverage (0..1) of pixel (X, Y) by the player's icon: a disc, less a
// triangle pointing right; sampled 4 x 4 for smooth edges. Inside reports
// whether the samples fell in the triangle.
struct TCoverage {
  double Disc = 0, Triangle = 0;
};

TCoverage Cover(int32_t x, int32_t y) {
  constexpr int kSamples = 4;
  constexpr double kCentre = kPlayerIconSize / 2.0, kRadius = kPlayerIconSize / 2.0 - 2;
  TCoverage c;
  for (int sy = 0; sy < kSamples; ++sy)
    for (int sx = 0; sx < kSamples; ++sx) {
      const double px = x + (sx + 0.5) / kSamples, py = y + (sy + 0.5) / kSamples;
      const double dx = px - kCentre, dy = py - kCentre;
      if (dx * dx + dy * dy > kRadius * kRadius) continue;
      c.Disc += 1;
      // The triangle: from x = centre - 7 to centre + 10, half height 10 at
      // its left edge.
      const double left = kCentre - 7, right = kCentre + 10;
      if (px >= left && px <= right && std::abs(dy) <= 10 * (right - px) / (right - left)) c.Triangle += 1;
    }
  c.Disc /= kSamples * kSamples;
  c.Triangle /= kSamples * kSamples;
  return c;
}

}  // namespace

TRgbaPicture PlayerIcon() {
  TRgbaPicture icon;
  icon.Width = icon.Height = kPlayerIconSize;
  icon.Pixels.assign(size_t{kPlayerIconSize} * kPlayerIconSize * 4, 0);
  constexpr uint8_t kDisc[3] = {0x2A, 0x62, 0xC8};
  uint8_t* p = icon.Pixels.data();
  for (int32_t y = 0; y < kPlayerIconSize; ++y)
    for (int32_t x = 0; x < kPlayerIconSize; ++x, p += 4) {
      const TCoverage c = Cover(x, y);
      if (c.Disc <= 0) continue;
      // White over the disc where the triangle lies, in proportion.
      const double white = c.Triangle / c.Disc;
      for (int i = 0; i < 3; ++i) p[i] = static_cast<uint8_t>(std::lround(kDisc[i] + (255 - kDisc[i]) * white));
      p[3] = static_cast<uint8_t>(std::lround(255 * c.Disc));
    }
  return icon;
}

TRgbaPicture IconOfResources(const TFindResource& find) {
  TRgbaPicture best;
  if (find("", kGroupIconType).empty()) return best;
  TKsMemoryStream icons;
  IconFileOfProgram(find, icons);
  const int32_t count = IconImageCount(icons);
  for (int32_t i = 0; i < count; ++i) {
    TDIBSurface surface;
    TPoint hotspot;
    bool has_alpha = false;
    int64_t key = -1;
    icons.SetPosition(0);
    DecodeIconEntry(surface, icons, i, hotspot, has_alpha, false, key);
    if (surface.Width() > best.Width) best = SurfaceToRgba(surface, key);
  }
  return best;
}

TRgbaPicture ProgramIcon(const std::string& program) {
  const std::shared_ptr<TPeResourceProvider> file = TPeResourceProvider::Open(program);
  if (file == nullptr) return TRgbaPicture();
  try {
    return IconOfResources([&file](const std::string& name, const std::string& type) { return file->FindResource(name, type); });
  } catch (const EOrbaError&) {
    TraceCaught(SjisToUtf8(program) + ": the program's icon");
    return TRgbaPicture();
  }
}

TWindowIcon WindowIconFor(const TGameLocation& where) {
  if (!where.ProgramPath.empty()) {
    TRgbaPicture icon = ProgramIcon(where.ProgramPath);
    if (icon.Width > 0) return TWindowIcon{TWindowIconSource::Program, std::move(icon)};
  }
  return TWindowIcon{TWindowIconSource::Player, PlayerIcon()};
}

}  // namespace orba
