#include "graphics/surface_files.h"

#include <cctype>
#include <cstring>
#include <vector>

#include "graphics/brix.h"
#include "graphics/canvas.h"
#include "graphics/color_convert.h"
#include "graphics/png_codec.h"

namespace orba {

namespace {

bool HasBmpExtension(const std::string& name) {
  if (name.size() < 4) return false;
  std::string ext = name.substr(name.size() - 4);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".bmp";
}

// The surface takes the picture's size at its own depth, and the pixels
// converted into that depth through its device context, whatever kind of
// surface holds them.
void TakePicture(TCustomDIBX& surface, TDIB& picture) {
  surface.SetSize(picture.Width(), picture.Height(), surface.BitCount());
  HDC dc = surface.GetDC();
  if (dc == nullptr) return;
  TDIBSurface source;
  source.CopyPixels(picture);
  TCanvas(dc).Draw(0, 0, source);
  surface.ReleaseDC();
}

bool BytesAt(TKsBigStream& stream, int64_t position, const char* magic) {
  const int64_t n = static_cast<int64_t>(std::strlen(magic));
  std::vector<char> got(static_cast<size_t>(n));
  stream.SetPosition(position);
  return stream.Read(got.data(), n) == n && std::memcmp(got.data(), magic, static_cast<size_t>(n)) == 0;
}

}  // namespace

void LoadDIBXFromFile(TCustomDIBX& surface, const std::string& file_name) {
  if (!HasBmpExtension(file_name)) return;
  TKsMemoryStream stream;
  try {
    stream.LoadFromFile(file_name);
  } catch (const EFOpenError&) {
    return;
  }
  TDIB bitmap;
  bitmap.LoadFromStream(stream);
  if (!bitmap.Empty()) TakePicture(surface, bitmap);
}

void LoadDIBXFromStream(TCustomDIBX& surface, TKsBigStream* stream, int32_t ident_code) {
  if (stream == nullptr) return;
  if (BytesAt(*stream, 0, "BM")) {
    stream->SetPosition(0);
    TDIB bitmap;
    bitmap.LoadFromStream(*stream);
    if (!bitmap.Empty()) TakePicture(surface, bitmap);
  } else if (BytesAt(*stream, 1, "PNG")) {
    stream->SetPosition(0);
    TZelPNG png;
    png.LoadFromStream(*stream);
    if (!png.Image.Empty()) TakePicture(surface, png.Image);
  } else if (BytesAt(*stream, 0, "Brix")) {
    stream->SetPosition(0);
    TBrixFrameList image(ident_code);
    image.LoadFromStream(*stream, true, false, false);
    TakePicture(surface, image.GetFrame(0)->Surface);
  }
}

void SaveDIBXToFile(TCustomDIBX& surface, const std::string& file_name) {
  if (!HasBmpExtension(file_name)) return;
  TDIBSurface bitmap;
  bitmap.SetSize(surface.Width(), surface.Height(), 24);
  if (HDC dc = surface.GetDC()) {
    if (!bitmap.Empty()) ConvertCopy(bitmap.WriteView(), nullptr, 0, 0, DCView(dc), dc->Palette.data(), bitmap.GetBounds());
    surface.ReleaseDC();
  }
  bitmap.TDIB::SaveToFile(file_name);
}

}  // namespace orba
