// Screenshots of the player: the picture its window shows (the headless
// window keeps one), written as a 24-bit PNG with the player's PNG codec.
#pragma once

#include <cstdint>
#include <string>

#include "core/streams/big_stream.h"
#include "platform/video.h"

namespace orba {

// Writes 0x00RRGGBB pixels (rows top to bottom, Stride pixels apart) to the
// stream as an RGB PNG. Raises EInvalidGraphicOperation for a picture
// without pixels.
void SavePixelsAsPng(const uint32_t* pixels, int32_t width, int32_t height, int32_t stride, TKsBigStream& stream);

// Writes the picture a window shows to the PNG file Path, a path of the
// host system (UTF-8, as given on the command line), replacing the file
// whole (ReplaceFileWhole of core/files/atomic_file.h). Raises
// EInvalidGraphicOperation when there is no picture (no window was created)
// and EWriteError when the file cannot be written.
void WriteScreenshot(const TFrameView& picture, const std::string& path);

}  // namespace orba
