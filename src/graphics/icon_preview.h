// The icon chooser's picture of one image of an icon or cursor file: the
// image decoded with its alpha plane kept, drawn over white, and shown
// centred in the chooser's 100 x 100 paint box, shrunk to fit when larger.
#pragma once

#include <cstdint>

#include "core/streams/big_stream.h"
#include "graphics/paint_box.h"
#include "platform/dialogs.h"

namespace orba {

// The paint box of the chooser: 100 x 100 at (180, 16), centred, shrinking
// what is larger.
void SetUpIconPreviewBox(TDXPaintBox& box);

// The picture of directory entry `index` of the icon file that starts at
// `base` of the stream: 100 x 100 pixels, white where the image leaves the
// box empty or is transparent. An entry whose picture cannot be made, for
// whatever reason, gives the white picture and a trace line (the read of
// the chosen entry reports the damage); nothing leaves the chooser.
TChoicePicture IconPreviewPicture(TKsBigStream& stream, int64_t base, int32_t index);

}  // namespace orba
