// orbatool img decode [--code N] IN OUT.png|OUT.pam: writes any picture we
// read as 8-bit RGBA, so that our decodes can be compared with other
// decoders. Anything that is not BMP or PNG is read as a Brix image (all
// of it; its first frame is written), with identification code N.
#include <cstdio>
#include <string>
#include <vector>

#include "core/streams/big_stream.h"
#include "graphics/brix.h"
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

orba::TRgbaPicture DecodeAny(orba::TKsMemoryStream& in, int32_t code) {
  const std::vector<uint8_t>& b = in.Bytes();
  const bool bmp = b.size() >= 2 && b[0] == 'B' && b[1] == 'M';
  const bool png = b.size() >= 4 && b[0] == 0x89 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G';
  if (bmp || png) return orba::DecodePictureRgba(in);
  orba::TBrixFrameList image(code);
  image.LoadFromStream(in, false, false, false);
  if (image.Count() == 0) return {};
  return orba::BrixFrameToRgba(*image.GetFrame(0));
}

int ImgCommand(const std::vector<std::string>& given) {
  std::vector<std::string> args = given;
  int32_t code = 0;
  if (args.size() == 5 && args[1] == "--code") {
    code = static_cast<int32_t>(std::stoll(args[2], nullptr, 0));
    args.erase(args.begin() + 1, args.begin() + 3);
  }
  if (args.size() != 3 || args[0] != "decode")
    return orbatool::Fail("usage: orbatool img decode [--code N] IN OUT.png|OUT.pam");
  orba::TRgbaPicture picture;
  if (EndsWith(args[1], ".tga") || EndsWith(args[1], ".ico") || EndsWith(args[1], ".cur")) {
    // Read by extension as the player does, with the alpha plane kept.
    orba::TDIBSurface surface;
    const auto loaded = surface.LoadFromFileEx(args[1], true, false);
    picture = orba::SurfaceToRgba(surface, loaded.TransparentColor);
  } else {
    orba::TKsMemoryStream in;
    in.LoadFromFile(args[1]);
    picture = DecodeAny(in, code);
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

const orbatool::OrbaToolCommand kImg("img", "decode a BMP, PNG, Brix, TGA, ICO or CUR picture to RGBA (PNG or PAM)", ImgCommand);

}  // namespace
