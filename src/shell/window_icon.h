// The game window's icon: the icon a Windows game's program file carries
// (its first group icon, the one Windows shows for the program), or, for a
// game that brings none (a folder, a package, a program without an icon),
// the player's own, drawn here.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "graphics/picture_rgba.h"

namespace orba {

struct TGameLocation;

// Where the window's icon came from.
enum class TWindowIconSource : uint8_t { Program, Player };

struct TWindowIcon {
  TWindowIconSource Source = TWindowIconSource::Player;
  TRgbaPicture Picture;  // 8-bit RGBA, top row first
};

// The player's own icon: kPlayerIconSize square, a blue disc with a white
// "play" triangle on a transparent ground.
inline constexpr int32_t kPlayerIconSize = 48;
TRgbaPicture PlayerIcon();

// A program's resource (Name, Type; see FindPeResource), empty when none.
using TFindResource = std::function<std::span<const uint8_t>(const std::string& name, const std::string& type)>;

// The largest image of the first group icon among a program's resources:
// the group's count checked against its bytes, each image it names found
// once and bounded, the images in sum (each as often as named) bounded,
// and each image, BMP-style or PNG, decoded once. An empty picture when
// there is no group icon; EOrbaError for a damaged one or one past a bound.
TRgbaPicture IconOfResources(const TFindResource& find);

// The same for the program file Program (a Windows-form path); an empty
// picture when the file is no program or has no readable icon (the fault
// traced).
TRgbaPicture ProgramIcon(const std::string& program);

// The icon for the game: its program's, else the player's own.
TWindowIcon WindowIconFor(const TGameLocation& where);

}  // namespace orba
