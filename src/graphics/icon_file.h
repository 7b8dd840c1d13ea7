// Windows icon (".ico") and cursor (".cur") files for the alpha bitmap.
//
// Reading turns one image of the file into a surface: 32-bit images keep
// their alpha (the fourth bytes combined with the AND mask) in the alpha
// plane and become 24-bit; images of other depths get their AND mask as an
// alpha plane, or, when asked, a key colour in the transparent pixels.
// Writing stores the surface as a one-image file whose AND mask comes from an
// alpha plane or a key colour.
#pragma once

#include <cstdint>
#include <span>

#include "core/containers/rect_utils.h"
#include "core/streams/big_stream.h"
#include "graphics/dib_surface.h"
#include "graphics/picture_rgba.h"

namespace orba {

// Thrown for damaged icon data (the message "ICO:ファイルが壊れています").
extern const char* const kIconDamagedText;
// The title of the icon chooser.
extern const char* const kIconChooserTitle;

// The colour (0x00BBGGRR) the plain file load gives the transparent pixels
// of icon images without alpha; the load reports its pixel value as the key.
inline constexpr int64_t kIconKeyColor = 0xFF00FF;

// Reads one image of an icon or cursor file (or a plain BMP) from the
// stream's position into `surface` (cleared by the caller). On entry
// `transparent_color` is the colour for transparent pixels of images
// without alpha (-1: keep the AND mask as the alpha plane); on return it is
// the key pixel value or -1. Of several images the first is taken, or with
// `allow_choice` the one picked in the icon chooser of the message-box
// service (titled kIconChooserTitle, a line an image, with the picture of
// the selected image: graphics/icon_preview.h). `hotspot` receives a
// cursor's hotspot.
void ReadIcon(TDIBSurface& surface, TKsBigStream& stream, TPoint& hotspot, bool& has_alpha, bool keep_alpha,
              int64_t& transparent_color, bool allow_choice = false);

// The number of images of the icon or cursor file in `stream` (positioned
// at the file's start; left there); its directory is checked whole.
int32_t IconImageCount(TKsBigStream& stream);

// Decodes directory entry `index` of the icon file in `stream` (positioned at
// the file's start).
void DecodeIconEntry(TDIBSurface& surface, TKsBigStream& stream, int32_t index, TPoint& hotspot, bool& has_alpha,
                     bool keep_alpha, int64_t& transparent_color);

// The largest side of an icon image: a program's group stores each image's
// width and height in a byte, 0 for 256.
inline constexpr int32_t kMaxIconSide = 256;

// One image of a program's icon group as RGBA: a PNG image (the large
// images of icons since Windows Vista), at most kMaxIconSide square, or the
// BMP-style image an icon file holds, its AND mask as the alpha. Raises
// EInvalidGraphic for damaged image data.
TRgbaPicture DecodeGroupIconImage(std::span<const uint8_t> image);

// The width and height of the image ReadIcon takes first (without a
// choice) from the stream's position, read from the headers alone; the
// stream is left where it was. Raises EInvalidGraphic for headers that do
// not parse.
struct TIconSize {
  int64_t Width = 0, Height = 0;
};
TIconSize IconImageSize(TKsBigStream& stream);

// Writes the surface as a one-image icon (or cursor with `hotspot`). The AND
// mask comes from `transparent_color` (a pixel value of the surface) when it
// is 0 or more, else from `alpha` (8 bits, below 128 transparent); with
// `write32` the alpha plane is kept as the fourth bytes of a 32-bit image.
// Raises EInvalidGraphicOperation for an empty surface or one wider or
// higher than 256 pixels.
void WriteIcon(TDIBSurface& surface, TKsBigStream& stream, bool is_cursor, TPoint hotspot, bool write32,
               TDIBSurface* alpha, int64_t transparent_color);

// The ".ico" or ".cur" form of the surface's load and save by extension.
TSurfaceFileFormat IconFileFormat(bool is_cursor);

// The surface as RGBA: its alpha plane (255 opaque) as alpha, pixels equal
// to `key` (a pixel value, -1 none) transparent.
TRgbaPicture SurfaceToRgba(TDIBSurface& surface, int64_t key);

}  // namespace orba
