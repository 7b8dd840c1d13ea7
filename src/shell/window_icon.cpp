#include "shell/window_icon.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "core/files/pe_resource.h"
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
constexpr uint32_t kGroupIdAt = 12;  // an entry's image id
// The largest icon image taken: 256 x 256 at 32 bits with its mask, or a
// PNG image of that size, is well below it.
constexpr uint32_t kMaxIconImageBytes = 1 << 20;
// The most the images of a group may hold in sum, each counted as often as
// the group names it: a program's group of a dozen sizes, 256 x 256 at 32
// bits the largest, holds well under 1 MiB.
constexpr uint64_t kMaxGroupBytes = 16 << 20;
// The most images a group may name (each found by a search of the images'
// directory): a program's group holds one to a dozen sizes and depths.
constexpr size_t kMaxGroupImages = 256;

uint16_t Le16(std::span<const uint8_t> b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

// The images the group names, each once, in the order first named: the
// group's count checked against its bytes, each image found once and
// bounded, at most kMaxGroupImages of them, and all counted as often as
// named within kMaxGroupBytes before any is decoded.
std::vector<std::span<const uint8_t>> ImagesOfGroup(const TFindResource& find, std::span<const uint8_t> group) {
  if (group.size() < kGroupHeaderBytes) throw EReadError();
  const uint32_t count = Le16(group, 4);
  // Each entry costs its bytes in the group.
  if (Le16(group, 2) != 1 || count == 0 || count > (group.size() - kGroupHeaderBytes) / kGroupEntryBytes)
    throw EReadError();
  std::map<uint16_t, std::span<const uint8_t>> found;
  std::vector<std::span<const uint8_t>> images;
  uint64_t total = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const uint16_t id = Le16(group, kGroupHeaderBytes + size_t{i} * kGroupEntryBytes + kGroupIdAt);
    auto at = found.find(id);
    if (at == found.end()) {
      if (images.size() == kMaxGroupImages)
        throw EOrbaError("the icon group names more than " + std::to_string(kMaxGroupImages) + " images");
      const std::span<const uint8_t> image = find("#" + std::to_string(id), kIconImageType);
      if (image.empty() || image.size() > kMaxIconImageBytes) throw EReadError();
      at = found.emplace(id, image).first;
      images.push_back(image);
    }
    total += at->second.size();
    if (total > kMaxGroupBytes)
      throw EOrbaError("the icon group names more than " + std::to_string(kMaxGroupBytes >> 20) +
                       " MiB of images");
  }
  return images;
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
  const std::span<const uint8_t> group = find("", kGroupIconType);
  if (group.empty()) return best;
  for (const std::span<const uint8_t>& image : ImagesOfGroup(find, group)) {
    TRgbaPicture picture = DecodeGroupIconImage(image);
    if (picture.Width > best.Width) best = std::move(picture);
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
