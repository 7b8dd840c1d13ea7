// orbatool img decode [--code N] [--frame N] [--choose] IN OUT.png|OUT.pam: writes any
// picture we read as 8-bit RGBA, so that our decodes can be compared with
// other decoders. Anything that is not BMP, PNG or GIF is read as a Brix
// image (all of it; its first frame is written), with identification code
// N. A GIF gives its first frame composed on the logical screen, or with
// --frame N the screen after frame N was painted with its disposal; what
// no frame covers and what shows through a transparent index is written
// with alpha 0. An icon or cursor file of several images gives its first,
// or with --choose the one picked in the icon chooser (listed on standard
// error, the number read from standard input).
// orbatool img gif [options] OUT.gif IN.png...: writes a GIF, one frame a
// picture (alpha below 128 is transparent); a picture of 1, 4 or 8 bits
// keeps its colour table, others go through the colour reduction. An icon
// (".ico") gives a frame of each of its images, or of the one --frame
// picks, with the icon's own mask as the transparent colour. --compact
// compacts the picture as it is written.
// orbatool img info IN.gif: the logical screen, the frames and the
// warnings of reading.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/streams/big_stream.h"
#include "graphics/brix.h"
#include "graphics/gif/gif_image.h"
#include "graphics/gif/gif_render.h"
#include "graphics/icon_file.h"
#include "graphics/picture_rgba.h"
#include "orbatool.h"
#include "platform/dialogs.h"
#include "platform/headless/silent_dialogs.h"
#include "platform/text_convert.h"
#ifdef ORBA_HAVE_SDL
#include "platform/linux/freetype_fonts.h"
#include "platform/sdl/sdl_choice_window.h"
#include "platform/sdl/sdl_dialogs.h"
#include "text/control_glyphs.h"
#endif

namespace {

constexpr char kUsage[] =
    "usage: orbatool img decode [--code N] [--frame N] [--choose] IN OUT.png|OUT.pam\n"
    "       orbatool img gif [OPTIONS] OUT.gif IN...\n"
    "       orbatool img info IN.gif\n"
    "  decode writes a BMP, PNG, GIF, Brix, TGA, ICO or CUR picture as 8-bit RGBA.\n"
    "    Anything else is read as Brix with identification code N (--code);\n"
    "    a GIF gives the screen after frame N was painted (--frame, default 0).\n"
    "    An icon file of several images lists them and asks which (--choose):\n"
    "    in the chooser's window where there is a display, else on the terminal.\n"
    "  gif writes a GIF, one frame a picture IN (alpha below 128: transparent).\n"
    "    A picture of 1, 4 or 8 bits keeps its colour table; others are reduced.\n"
    "    An icon (.ico) gives a frame of each of its images, its mask transparent.\n"
    "    --frame N        of each icon, only image N (0: the first)\n"
    "    --loop N         looping extension with count N (0: for ever)\n"
    "    --delay D        each frame's delay in hundredths of a second\n"
    "    --disposal N     each frame's disposal (0 to 3)\n"
    "    --rle            run-length codes instead of LZW\n"
    "    --interlace      interlaced frames\n"
    "    --method M       palette method of the colour reduction (default 6)\n"
    "    --dither K       dither kind of the colour reduction (default 0: none)\n"
    "    --bits B         bits a colour of the reduction (default 8)\n"
    "    --compact        compact the picture as it is written (every option)\n"
    "    --compact-options BITS  compact with these: crop 1, merge 2, clean up 4,\n"
    "                     sort 8, reduce 16\n"
    "  info prints the logical screen, each frame and the warnings of reading.\n";

// A number option's value, in decimal or 0x hex.
int32_t NumberValue(const std::string& option, const std::string& text) {
  try {
    size_t used = 0;
    const long long value = std::stoll(text, &used, 0);
    if (used == text.size() && value >= INT32_MIN && value <= INT32_MAX) return static_cast<int32_t>(value);
  } catch (const std::logic_error&) {
    // Not a number: a usage error below.
  }
  orbatool::BadUsage(option + " needs a number, not \"" + text + "\"");
}

bool EndsWith(const std::string& s, const std::string& tail) {
  if (s.size() < tail.size()) return false;
  for (size_t i = 0; i < tail.size(); ++i) {
    char a = s[s.size() - tail.size() + i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (a != tail[i]) return false;
  }
  return true;
}

// A GIF's logical screen after frame `frame` was painted (0: the first).
orba::TRgbaPicture DecodeGif(orba::TKsMemoryStream& in, int32_t frame) {
  orba::TGIFImage image;
  image.OnDataWarning = [](int, const std::string& message) { std::cerr << "orbatool: warning: " << message << "\n"; };
  image.LoadFromStream(in);
  if (image.Empty() || image.Width() == 0 || image.Height() == 0) return {};
  return orba::ComposeFrameRgba(image, frame);
}

bool IsGif(const std::vector<uint8_t>& b) {
  for (size_t at : {size_t{0}, size_t{4}})
    if (b.size() >= at + 3 && (b[at] & 0xDF) == 'G' && (b[at + 1] & 0xDF) == 'I' && (b[at + 2] & 0xDF) == 'F')
      return true;
  return false;
}

orba::TRgbaPicture DecodeAny(orba::TKsMemoryStream& in, int32_t code, int32_t frame) {
  const std::vector<uint8_t>& b = in.Bytes();
  const bool bmp = b.size() >= 2 && b[0] == 'B' && b[1] == 'M';
  const bool png = b.size() >= 4 && b[0] == 0x89 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G';
  if (bmp || png) return orba::DecodePictureRgba(in);
  if (IsGif(b)) return DecodeGif(in, frame);
  orba::TBrixFrameList image(code);
  image.LoadFromStream(in, false, false, false);
  if (image.Count() == 0) return {};
  return orba::BrixFrameToRgba(*image.GetFrame(0));
}

int GifInfo(const std::string& path) {
  orba::TKsMemoryStream in;
  in.LoadFromFile(path);
  orba::TGIFImage image;
  image.OnDataWarning = [](int, const std::string& message) { std::printf("warning %s\n", message.c_str()); };
  image.LoadFromStream(in);
  std::printf("screen %d %d version %d frames %d loop %d background %d colors %d\n", image.Width(), image.Height(),
              image.FileVersion(), image.Count(), image.LoopCount(), image.BackgroundIndex,
              image.GlobalColorMap.Count());
  for (int32_t i = 0; i < image.Count(); ++i) {
    const orba::TGIFSubImage& f = image.Frame(i);
    std::printf("frame %d %d %d %d %d delay %d disposal %d transparent %d interlaced %d colors %d extensions %zu\n", i,
                f.Left(), f.Top(), f.Width(), f.Height(), f.Delay(), f.Disposal(), f.TransparentIndex(),
                f.Interlaced() ? 1 : 0, f.ColorMap.Count(), f.Extensions.size());
  }
  return 0;
}

// The images of an icon file (".ico"): each of them, or only image `only`
// (0 or more); none for any other file.
std::vector<std::unique_ptr<orba::TDIBSurface>> IconImages(orba::TKsMemoryStream& in, const std::string& path,
                                                           int32_t only) {
  std::vector<std::unique_ptr<orba::TDIBSurface>> images;
  if (!EndsWith(path, ".ico")) return images;
  const int32_t count = orba::IconImageCount(in);
  if (only >= count) orbatool::BadUsage(path + " has " + std::to_string(count) + " images, no image " + std::to_string(only));
  for (int32_t i = 0; i < count; ++i) {
    if (only >= 0 && i != only) continue;
    auto surface = std::make_unique<orba::TDIBSurface>();
    orba::TPoint hotspot{};
    bool has_alpha = false;
    int64_t transparent = -1;
    in.SetPosition(0);
    orba::DecodeIconEntry(*surface, in, i, hotspot, has_alpha, true, transparent);
    images.push_back(std::move(surface));
  }
  return images;
}

// Interlacing, delay and disposal as the options give them.
void FinishFrame(orba::TGIFSubImage& frame, bool interlace, int32_t delay, int32_t disposal) {
  frame.SetInterlaced(interlace);
  if (delay >= 0) frame.EnsureGraphicControl().Delay = static_cast<uint16_t>(delay);
  if (disposal >= 0) frame.EnsureGraphicControl().SetDisposal(static_cast<uint8_t>(disposal));
}

// orbatool img gif [--loop N] [--delay D] [--disposal N] [--rle] [--interlace]
//   [--method M] [--dither K] [--bits B] [--frame N] [--compact]
//   [--compact-options OPTIONS] OUT.gif IN...
int WriteGif(const std::vector<std::string>& args) {
  orba::TGIFImage image;
  int32_t loop = -1, delay = -1, disposal = -1, compact = 0, icon_frame = -1;
  bool interlace = false;
  std::vector<std::string> inputs;
  std::string out;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> int32_t {
      if (i + 1 >= args.size()) orbatool::BadUsage(a + " needs a value");
      return NumberValue(a, args[++i]);
    };
    if (a == "--loop") loop = value();
    else if (a == "--delay") delay = value();
    else if (a == "--disposal") disposal = value();
    else if (a == "--rle") image.Compression = 1;
    else if (a == "--interlace") interlace = true;
    else if (a == "--method") image.PaletteMethod = static_cast<uint8_t>(value());
    else if (a == "--dither") image.DitherKind = static_cast<uint8_t>(value());
    else if (a == "--bits") image.QuantizeBits = value();
    else if (a == "--compact") image.CompactBeforeWrite = true;
    else if (a == "--compact-options") compact = value();
    else if (a == "--frame") icon_frame = value();
    else if (a.size() > 1 && a[0] == '-') orbatool::BadUsage("unknown option " + a);
    else if (out.empty()) out = a;
    else inputs.push_back(a);
  }
  if (out.empty() || inputs.empty()) orbatool::BadUsage();
  std::vector<orba::TRgbaPicture> pictures;
  std::vector<std::unique_ptr<orba::TDIB>> bitmaps;
  // An icon's images, in their place among the pictures.
  std::vector<std::unique_ptr<orba::TDIBSurface>> icons;
  for (const std::string& path : inputs) {
    orba::TKsMemoryStream in;
    in.LoadFromFile(path);
    for (auto& icon : IconImages(in, path, icon_frame)) {
      pictures.emplace_back();
      bitmaps.emplace_back();
      icons.push_back(std::move(icon));
    }
    if (!EndsWith(path, ".ico")) {
      icons.emplace_back();
      bitmaps.push_back(std::make_unique<orba::TDIB>());
      pictures.push_back(orba::DecodePictureRgba(in, bitmaps.back().get()));
    }
  }
  for (size_t k = 0; k < pictures.size(); ++k) {
    const int32_t width = icons[k] ? icons[k]->Width() : pictures[k].Width;
    const int32_t height = icons[k] ? icons[k]->Height() : pictures[k].Height;
    image.ScreenWidth = static_cast<uint16_t>(std::max<int32_t>(image.ScreenWidth, width));
    image.ScreenHeight = static_cast<uint16_t>(std::max<int32_t>(image.ScreenHeight, height));
  }
  for (size_t k = 0; k < pictures.size(); ++k) {
    if (icons[k]) {
      auto frame = std::make_unique<orba::TGIFSubImage>(image);
      frame->AssignIcon(*icons[k]);
      FinishFrame(*frame, interlace, delay, disposal);
      image.Add(std::move(frame));
      continue;
    }
    const orba::TRgbaPicture& p = pictures[k];
    const size_t n = static_cast<size_t>(p.Width) * p.Height;
    std::vector<uint8_t> rgb(n * 3), mask(n);
    bool masked = false;
    for (size_t i = 0; i < n; ++i) {
      std::copy_n(&p.Pixels[i * 4], 3, &rgb[i * 3]);
      mask[i] = p.Pixels[i * 4 + 3] < 128;
      masked |= mask[i] != 0;
    }
    auto frame = std::make_unique<orba::TGIFSubImage>(image);
    // A picture of 1, 4 or 8 bits keeps its colour table; others are reduced.
    orba::TDIB& bitmap = *bitmaps[k];
    if (!bitmap.Empty() && bitmap.BitCount() <= 8)
      frame->AssignBitmap(bitmap, masked ? mask.data() : nullptr);
    else
      frame->AssignRgb(rgb.data(), p.Width, p.Height, masked ? mask.data() : nullptr);
    FinishFrame(*frame, interlace, delay, disposal);
    image.Add(std::move(frame));
  }
  if (loop >= 0) {
    auto ext = std::make_unique<orba::TGIFAppExtNSLoop>(image.Frame(0));
    ext->Loops = static_cast<uint16_t>(loop);
    image.Frame(0).Extensions.insert(image.Frame(0).Extensions.begin(), std::move(ext));
  }
  if (compact != 0) image.Compact(compact, image.PaletteMethod, image.DitherKind, image.QuantizeBits);
  orba::TKsMemoryStream written;
  image.WriteData(written);
  written.SaveToFile(out);
  return 0;
}

// The icon chooser of --choose on the terminal: the lines on standard
// error, the image's number read from standard input; an empty or unknown
// answer keeps the first image, as the chooser opens with it selected.
class TConsoleChooser : public orba::TSilentMessageBoxes {
 public:
  int Choose(const orba::TChoiceRequest& request) override {
    std::fprintf(stderr, "%s\n", orba::SjisToUtf8(request.Title).c_str());
    for (const std::string& line : request.Lines) std::fprintf(stderr, "  %s\n", orba::SjisToUtf8(line).c_str());
    std::fprintf(stderr, "number (1 to %zu, Enter for 1): ", request.Lines.size());
    std::string answer;
    std::getline(std::cin, answer);
    char* end = nullptr;
    const long number = std::strtol(answer.c_str(), &end, 10);
    if (end == answer.c_str() || number < 1 || number > static_cast<long>(request.Lines.size())) return 0;
    return static_cast<int>(number - 1);
  }
};

#ifdef ORBA_HAVE_SDL
// The icon chooser of --choose where a display can show it: the chooser's
// window, as the player shows it (its lines written with the IPA fonts,
// the picture of the selected image beside them, OK); the terminal's list
// when no window can be made.
class TWindowChooser : public TConsoleChooser {
 public:
  TWindowChooser() {
    orba::SetFontEngine(std::make_shared<orba::TFreeTypeFonts>());
    orba::SetControlGlyphs(std::make_shared<orba::TCachedControlGlyphs>());
  }
  int Choose(const orba::TChoiceRequest& request) override {
    orba::TSdlChoiceWindow window(nullptr, request);
    return window.IsOpen() ? window.Run() : TConsoleChooser::Choose(request);
  }
};
#endif

std::shared_ptr<orba::TMessageBoxService> IconChooser() {
#ifdef ORBA_HAVE_SDL
  if (orba::SdlDisplayReachable()) return std::make_shared<TWindowChooser>();
#endif
  return std::make_shared<TConsoleChooser>();
}

int ImgCommand(const std::vector<std::string>& given) {
  std::vector<std::string> args = given;
  if (!args.empty() && args[0] == "gif") return WriteGif(args);
  if (args.size() == 2 && args[0] == "info") return GifInfo(args[1]);
  int32_t code = 0, frame = 0;
  bool choose = false;
  for (bool again = true; again && args.size() >= 4;) {
    again = false;
    if (args[1] == "--choose") {
      choose = true;
      args.erase(args.begin() + 1);
      again = true;
    } else if (args.size() >= 5 && (args[1] == "--code" || args[1] == "--frame")) {
      (args[1] == "--code" ? code : frame) = NumberValue(args[1], args[2]);
      args.erase(args.begin() + 1, args.begin() + 3);
      again = true;
    }
  }
  if (args.size() != 3 || args[0] != "decode") orbatool::BadUsage();
  orba::TRgbaPicture picture;
  if (EndsWith(args[1], ".tga") || EndsWith(args[1], ".ico") || EndsWith(args[1], ".cur")) {
    // Read by extension as the player does, with the alpha plane kept.
    orba::TDIBSurface surface;
    if (choose) orba::SetMessageBoxService(IconChooser());
    const auto loaded = surface.LoadFromFileEx(args[1], true, choose);
    picture = orba::SurfaceToRgba(surface, loaded.TransparentColor);
  } else {
    orba::TKsMemoryStream in;
    in.LoadFromFile(args[1]);
    picture = DecodeAny(in, code, frame);
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

const orbatool::OrbaToolCommand kImg("img", "decode a picture to RGBA (PNG or PAM); write and inspect GIF", kUsage,
                                    ImgCommand);

}  // namespace
