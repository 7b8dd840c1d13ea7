// orbatool img decode IN OUT.png|OUT.pam: writes any picture we read as
// 8-bit RGBA, so that our decodes can be compared with other decoders.
#include <cstdio>
#include <string>
#include <vector>

#include "core/big_stream.h"
#include "graphics/icon_file.h"
#include "graphics/picture_rgba.h"
#include "orbatool.h"

namespace {

bool EndsWith(const std::string& s, const std::string& tail) {
  if (s.size() < tail.size()) return false;
  for (size_t i = 0; i < tail.size(); ++i) {
    char a = s[s.size() - tail.size() + i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (a != tail[i]) return false;
  }
  return true;
}

int ImgCommand(const std::vector<std::string>& args) {
  if (args.size() != 3 || args[0] != "decode")
    return orbatool::Fail("usage: orbatool img decode IN OUT.png|OUT.pam");
  orba::TRgbaPicture picture;
  if (EndsWith(args[1], ".tga") || EndsWith(args[1], ".ico") || EndsWith(args[1], ".cur")) {
    // Read by extension as the player does, with the alpha plane kept.
    orba::TDIBSurface surface;
    const auto loaded = surface.LoadFromFileEx(args[1], true, false);
    picture = orba::SurfaceToRgba(surface, loaded.TransparentColor);
  } else {
    orba::TKsMemoryStream in;
    in.LoadFromFile(args[1]);
    picture = orba::DecodePictureRgba(in);
  }
  if (picture.Width == 0) return orbatool::Fail("the picture is empty");
  orba::TKsMemoryStream out;
  if (EndsWith(args[2], ".pam")) {
    const std::string head = "P7\nWIDTH " + std::to_string(picture.Width) + "\nHEIGHT " +
                             std::to_string(picture.Height) + "\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
    out.WriteBuffer(head.data(), static_cast<int64_t>(head.size()));
    out.WriteBuffer(picture.Pixels.data(), static_cast<int64_t>(picture.Pixels.size()));
  } else if (EndsWith(args[2], ".png")) {
    orba::SaveRgbaAsPng(picture, out);
  } else {
    return orbatool::Fail("the output must end in .png or .pam");
  }
  out.SaveToFile(args[2]);
  return 0;
}

const orbatool::OrbaToolCommand kImg("img", "decode a BMP, PNG, TGA, ICO or CUR picture to RGBA (PNG or PAM)", ImgCommand);

}  // namespace
