// The player's own message box: painted without a screen with the IPA font
// through the glyph cache, its Japanese text and the five buttons of the
// overwrite question are the font's own glyphs, pixel for pixel; in an SDL
// window (the "dummy" driver) it answers clicks, keys and its close button
// and leaves a quit for the player; on an Xvfb display a screenshot of the
// window is the painted box, and a key typed on the display answers it.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include <unistd.h>
#include <vector>

#include "platform/linux/freetype_fonts.h"
#include "platform/message_box_view.h"
#include "platform/sdl/sdl_dialogs.h"
#include "platform/sdl/sdl_message_box.h"
#include "platform/text_controls.h"
#include "platform/text_controls_view.h"
#include "platform/text_convert.h"
#include "platform_sdl/dummy_video.h"
#include "platform_sdl/xvfb_run.h"
#include "shell/test_games.h"
#include "support/test_support.h"
#include "text/control_glyphs.h"

namespace orba {
namespace {

const std::string kPGothic = "\x82l\x82r \x82o\x83S\x83V\x83" "b\x83N";  // ＭＳ Ｐゴシック

// The overwrite question of a folder's extraction: caption 確認, its text
// and its five buttons はい(&Y) いいえ(&N) キャンセル すべていいえ(&O) すべてはい(&A).
TDialogRequest Overwrite() {
  return TDialogRequest{
      "\x8am\x94" "F",
      "C:\\game\\a.txt\r\n\r\n\x8a\xf9\x82\xc9\x93\xaf\x96\xbc\x82\xcc\x83t\x83@\x83" "C\x83\x8b\x82\xaa\x91\xb6\x8d\xdd"
      "\x82\xb5\x82\xdc\x82\xb7\x81" "B\x8f\xe3\x8f\x91\x82\xab\x82\xb5\x82\xdc\x82\xb7\x82\xa9\x81H",
      TDialogButtons::Custom,
      {"\x82\xcd\x82\xa2(&Y)", "\x82\xa2\x82\xa2\x82\xa6(&N)", "\x83L\x83\x83\x83\x93\x83Z\x83\x8b",
       "\x82\xb7\x82\xd7\x82\xc4\x82\xa2\x82\xa2\x82\xa6(&O)", "\x82\xb7\x82\xd7\x82\xc4\x82\xcd\x82\xa2(&A)"}};
}

// The quit question: 終了しますか？
TDialogRequest Quit() {
  return TDialogRequest{"game", "\x8fI\x97\xb9\x82\xb5\x82\xdc\x82\xb7\x82\xa9\x81H", TDialogButtons::OkCancel, {}};
}

bool IsLead(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Text as the font service renders it: each character's coverage blended
// in black over Back, side by side from x = Left, the line's top at y = Top,
// into W x H pixels (kept inside its cell, as the glyph cache keeps it:
// no ink left of the pen or above the line).
struct TComposed {
  int32_t Width = 0;  // the pen's end
  std::vector<uint32_t> Pixels;
};
void ComposeInto(TComposed& out, const std::string& text, TFontFace& face, int32_t left, int32_t top, int32_t w, int32_t h) {
  out.Width = left;
  const int32_t ascent = face.Metrics().Ascent;
  for (size_t i = 0; i < text.size();) {
    uint16_t code = static_cast<uint8_t>(text[i]);
    if (IsLead(static_cast<uint8_t>(code)) && i + 1 < text.size()) code = static_cast<uint16_t>(code << 8 | static_cast<uint8_t>(text[++i]));
    ++i;
    TGlyphBitmap g;
    EXPECT_TRUE(face.RenderGlyph(code, TCachedControlGlyphs::kLevel, g)) << code;
    const int32_t dx = std::max(0, g.OriginX), dy = std::max(0, ascent - g.OriginY);
    for (int32_t y = 0; y < g.Height; ++y)
      for (int32_t x = 0; x < g.Width; ++x) {
        const int32_t px = out.Width + dx + x, py = top + dy + y;
        if (px < 0 || py < 0 || px >= w || py >= h) continue;
        const uint32_t a = g.Coverage[static_cast<size_t>(y * g.Width + x)];
        uint32_t& d = out.Pixels[static_cast<size_t>(py * w + px)];
        uint32_t mixed = 0;
        for (int shift : {0, 8, 16}) mixed |= (((d >> shift & 255) * (255 - a) + 127) / 255) << shift;
        d = mixed;
      }
    out.Width += std::max(g.Advance, dx + g.Width);
  }
  out.Width -= left;
}
TComposed Compose(const std::string& text, TFontFace& face, int32_t w, int32_t h, uint32_t back) {
  TComposed out;
  out.Pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), back);
  ComposeInto(out, text, face, 0, 0, w, h);
  return out;
}

// Installs FreeType with the IPA fonts and the glyph cache over it.
class MessageBoxGlyphs : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists("/usr/share/fonts/opentype/ipafont-gothic/ipagp.ttf"))
      GTEST_SKIP() << "the IPA P Gothic font is not installed";
    fonts_ = SetFontEngine(std::make_shared<TFreeTypeFonts>());
    glyphs_ = SetControlGlyphs(std::make_shared<TCachedControlGlyphs>());
    face_ = Fonts().CreateFace(TFontRequest{kPGothic, TTextControlFont().Height, 0});
    ASSERT_NE(face_, nullptr);
  }
  void TearDown() override {
    if (face_ == nullptr) return;
    SetControlGlyphs(glyphs_);
    SetFontEngine(fonts_);
  }

  // Compares the rectangle of Painted (Width wide) at (X, Y) with Want
  // (W x H) over Back; counts the inked pixels.
  static int Compare(const std::vector<uint32_t>& painted, int32_t width, const TComposed& want, int32_t x, int32_t y,
                     int32_t w, int32_t h, uint32_t back, const std::string& what) {
    int inked = 0, wrong = 0;
    for (int32_t j = 0; j < h; ++j)
      for (int32_t i = 0; i < w; ++i) {
        const uint32_t got = painted[static_cast<size_t>((y + j) * width + x + i)];
        const uint32_t expected = want.Pixels[static_cast<size_t>(j * w + i)];
        if (got != expected && wrong++ < 3) ADD_FAILURE() << what << " at (" << i << ", " << j << ")";
        if (expected != back) ++inked;
      }
    return inked;
  }

  std::unique_ptr<TFontFace> face_;

 private:
  std::shared_ptr<TFontEngine> fonts_;
  std::shared_ptr<TControlGlyphs> glyphs_;
};

TEST_F(MessageBoxGlyphs, TheTextAndTheButtonsAreTheFontsGlyphs) {
  for (const TDialogRequest& request : {Overwrite(), Quit()}) {
    const TMessageBoxWindow box(request);
    const std::vector<uint32_t> painted = box.Paint();
    const int32_t w = box.Width(), line_h = box.LineHeight();
    // The text's lines from the margin, on white, one under the other.
    const int32_t text_w = w - 2 * TMessageBoxWindow::kMargin;
    const int32_t text_h = box.BandTop() - TMessageBoxWindow::kTextTop;
    TComposed text;
    text.Pixels.assign(static_cast<size_t>(text_w) * static_cast<size_t>(text_h), kWindowWhite);
    for (size_t i = 0; i < box.Lines().size(); ++i)
      ComposeInto(text, box.Lines()[i], *face_, 0, box.LineTop(i) - TMessageBoxWindow::kTextTop, text_w, text_h);
    EXPECT_GT(Compare(painted, w, text, TMessageBoxWindow::kMargin, TMessageBoxWindow::kTextTop, text_w, text_h,
                      kWindowWhite, "text"),
              40 * static_cast<int>(box.Lines().size()));
    // Each button's label centred on the button's face, its key underlined.
    for (size_t i = 0; i < box.Buttons().size(); ++i) {
      const TMessageBoxButton& b = box.Buttons()[i];
      const TWindowBox r = box.ButtonBox(i);
      const int32_t label_w = Compose(b.Label, *face_, 1, 1, 0).Width;
      const int32_t x = r.Left + (r.Width - label_w) / 2, y = r.Top + (r.Height - line_h) / 2;
      EXPECT_GT(Compare(painted, w, Compose(b.Label, *face_, label_w, line_h - 1, kWindowButton), x, y, label_w,
                        line_h - 1, kWindowButton, "button " + std::to_string(i)),
                20);
      if (b.Key == 0) continue;
      const int32_t under = x + Compose(b.Label.substr(0, b.KeyOffset), *face_, 1, 1, 0).Width;
      EXPECT_EQ(painted[static_cast<size_t>((y + line_h - 1) * w + under + 1)], kWindowInk) << i;
    }
  }
  // The caption stays the request's, for the window's title.
  EXPECT_EQ(TMessageBoxWindow(Overwrite()).Title(), "\x8am\x94" "F");
}

class SdlMessageBoxTest : public test::DummyVideoTest {
 protected:
  static SDL_Event Button(uint32_t window, uint32_t type, const TWindowBox& box) {
    return ButtonEvent(window, type, box.Left + box.Width / 2, box.Top + box.Height / 2);
  }
};

TEST_F(SdlMessageBoxTest, KeysClicksAndTheCloseButtonAnswer) {
  struct Case {
    const char* name;
    int want;  // the label's index, -1 for Cancel
  };
  const Case cases[] = {{"the key A", 4}, {"Shift+Tab, Return", 4}, {"a click on the second button", 1},
                        {"a press moved off before the release, then Escape", -1}, {"the close button", -1}};
  for (const Case& c : cases) {
    TSdlMessageBox box(nullptr, Overwrite());
    if (!box.IsOpen()) GTEST_SKIP() << "no window";
    const uint32_t id = box.WindowId();
    const std::string name = c.name;
    if (name == "the key A") Push(KeyEvent(id, SDLK_a));
    if (name == "Shift+Tab, Return") {
      Push(KeyEvent(id, SDLK_TAB, KMOD_LSHIFT));
      Push(KeyEvent(id, SDLK_RETURN));
    }
    if (name == "a click on the second button") {
      Push(Button(id, SDL_MOUSEBUTTONDOWN, box.View().ButtonBox(1)));
      Push(Button(id, SDL_MOUSEBUTTONUP, box.View().ButtonBox(1)));
    }
    if (name == "a press moved off before the release, then Escape") {
      Push(Button(id, SDL_MOUSEBUTTONDOWN, box.View().ButtonBox(4)));
      Push(Button(id, SDL_MOUSEBUTTONUP, box.View().ButtonBox(3)));
      Push(KeyEvent(id, SDLK_ESCAPE));
    }
    if (name == "the close button") Push(WindowEvent(id, SDL_WINDOWEVENT_CLOSE));
    const TDialogResult r = box.Run();
    EXPECT_EQ(r.Answer, c.want < 0 ? TDialogAnswer::Cancel : TDialogAnswer::Custom) << c.name;
    EXPECT_EQ(r.CustomIndex, c.want) << c.name;
  }
}

// A quit while the box is open does not answer it (a disc request and the
// quit question after it would ask again at once); it waits for the player,
// as do the other windows' window events, while their input is dropped.
TEST_F(SdlMessageBoxTest, AQuitWaitsForThePlayerAndTheBoxForItsAnswer) {
  uint32_t id = 0;
  {
    TSdlMessageBox box(nullptr, Quit());
    if (!box.IsOpen()) GTEST_SKIP() << "no window";
    id = box.WindowId();
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    Push(quit);
    Push(KeyEvent(id + 100, SDLK_RETURN));
    Push(WindowEvent(id + 100, SDL_WINDOWEVENT_FOCUS_LOST));
    // The player's window takes no input under a box: a close asked there
    // (Alt+F4) would ask the close question again after this one.
    Push(WindowEvent(id + 100, SDL_WINDOWEVENT_CLOSE));
    Push(KeyEvent(id, SDLK_RIGHT));
    Push(KeyEvent(id, SDLK_SPACE));
    EXPECT_EQ(box.Run().Answer, TDialogAnswer::Cancel);
    // The window shows the box as painted, the focus on Cancel.
    const std::vector<uint32_t> want = box.View().Paint();
    const TWindowBox cancel = box.View().ButtonBox(1);
    EXPECT_EQ(PixelAt(box.Window(), cancel.Left + 1, cancel.Top), kWindowHighlight);
    EXPECT_EQ(want[static_cast<size_t>(cancel.Top * box.View().Width() + cancel.Left + 1)], kWindowHighlight);
  }
  const std::vector<uint32_t> left = EventsLeftAfter(id);
  EXPECT_EQ(Count(left, SDL_QUIT), 1);
  EXPECT_EQ(Count(left, SDL_WINDOWEVENT), 1);
  EXPECT_EQ(Count(left, SDL_KEYDOWN), 0);
}

// The player ending (a quit signal) answers an open box as Escape does: the
// close question Cancel, the overwrite question Cancel (never a label);
// the chooser keeps its selection. The boxes' service then shows no new
// box but answers it so at once.
TEST_F(SdlMessageBoxTest, ThePlayerEndingAnswersAsEscape) {
  int asked = 0;
  const auto ending = [&asked] { return ++asked > 2; };
  for (const TDialogRequest& request : {Quit(), Overwrite()}) {
    asked = 0;
    TSdlMessageBox box(nullptr, request);
    if (!box.IsOpen()) GTEST_SKIP() << "no window";
    Push(KeyEvent(box.WindowId(), SDLK_RIGHT));
    const TDialogResult r = box.Run(ending);
    EXPECT_EQ(r.Answer, TDialogAnswer::Cancel) << request.Text;
    EXPECT_EQ(r.CustomIndex, -1);
    EXPECT_GT(asked, 2);
  }
  TSdlMessageBoxes boxes;
  boxes.SetEnding([] { return true; });
  EXPECT_EQ(boxes.Show(Overwrite()).Answer, TDialogAnswer::Cancel);
  EXPECT_EQ(boxes.Choose(TChoiceRequest{"icons", {"a", "b"}}), 0);
}

// A caption wider than the text and the buttons widens the box, so that the
// title bar shows it whole, but never past the screen.
TEST_F(MessageBoxGlyphs, ALongCaptionWidensTheBoxWithinTheScreen) {
  TDialogRequest request = Quit();
  request.Title = std::string(60, 'W');
  const TMessageBoxWindow narrow(Quit()), wide(request), screen(request, 300);
  const int32_t caption =
      ControlTextWidth(request.Title, TMessageBoxWindow::CaptionFont()) + TMessageBoxWindow::kCaptionRoom;
  ASSERT_GT(caption, 300);
  EXPECT_LT(narrow.Width(), caption);
  EXPECT_EQ(wide.Width(), caption);
  EXPECT_EQ(screen.Width(), 300);
}

// A long Japanese caption, as a title bar draws it (the font's own advances
// at 11 pt bold, 15 pixels at 96 dpi), fits in the box beside the room of
// the window menu's icon and three buttons of 24 pixels; the caption's
// measure in the box's own text (12 pixels, regular), which openbox cut,
// is narrower than the box. A Latin caption of the same length likewise.
TEST_F(MessageBoxGlyphs, ALongJapaneseCaptionFitsBesideTheTitleBarsButtons) {
  const std::string japanese = Utf8ToSjis("待つゲームを終了しますか - Wait Game");
  for (const std::string& title : {japanese, std::string("Do you want to end the Wait Game now?")}) {
    TDialogRequest request = Quit();
    request.Title = title;
    const TMessageBoxWindow box(request);
    std::unique_ptr<TFontFace> bold = Fonts().CreateFace(TFontRequest{kPGothic, 15, kFontBold});
    ASSERT_NE(bold, nullptr);
    int32_t measured = 0;
    for (size_t i = 0; i < title.size(); ++i) {
      uint16_t code = static_cast<uint8_t>(title[i]);
      if (IsLead(title[i]) && i + 1 < title.size()) code = static_cast<uint16_t>(code << 8 | static_cast<uint8_t>(title[++i]));
      const TAbcWidths w = bold->CharWidths(code);
      measured += w.A + w.B + w.C;
    }
    EXPECT_GE(box.Width(), measured + 4 * 24) << SjisToUtf8(title);
    EXPECT_GT(box.Width(), ControlTextWidth(title, TTextControlFont()) + 96) << SjisToUtf8(title);
    // Within the screen.
    EXPECT_EQ(TMessageBoxWindow(request, 200).Width(), 200);
  }
}

// Run by the test below on an Xvfb display with openbox: the box opens as a
// window of the display; a screenshot of it is the painted box, and the
// key A typed on the display answers "overwrite all".
TEST_F(MessageBoxGlyphs, OnTheDisplay) {
  const char* shot = std::getenv("ORBA_MESSAGE_BOX_SHOT");
  if (shot == nullptr) GTEST_SKIP() << "run by MessageBoxGlyphs.ShowsOnXvfb";
  TSdlMessageBoxes boxes;
  const TMessageBoxWindow view(Overwrite());
  // Waits for the window, takes its picture as raw RGB, then types A. A
  // key sent while the window manager is still giving the box the focus is
  // lost on a loaded machine: it is sent again until the box goes.
  std::thread typist([&] {
    test::RunCommand({"sh", "-c",
                      "for i in $(seq 300); do\n"
                      "  id=$(xdotool search --onlyvisible --pid \"$1\" 2>/dev/null | head -n 1)\n"
                      "  [ -n \"$id\" ] && break; sleep 0.1\n"
                      "done\n"
                      "[ -n \"$id\" ] || exit 1\n"
                      "sleep 1; import -window \"$id\" -depth 8 rgb:\"$2\"\n"
                      "for try in $(seq 20); do\n"
                      "  timeout 5 xdotool windowactivate --sync \"$id\" key a 2>/dev/null\n"
                      "  for i in $(seq 30); do\n"
                      "    xdotool search --onlyvisible --pid \"$1\" 2>/dev/null | grep -qx \"$id\" || exit 0\n"
                      "    sleep 0.1\n"
                      "  done\n"
                      "done\n"
                      "exit 1",
                      "sh", std::to_string(getpid()), shot});
  });
  const TDialogResult r = boxes.Show(Overwrite());
  typist.join();
  EXPECT_EQ(r.Answer, TDialogAnswer::Custom);
  EXPECT_EQ(r.CustomIndex, 4);
  const std::vector<uint8_t> rgb = test::ReadFileBytes(shot);
  const std::vector<uint32_t> want = view.Paint();
  ASSERT_EQ(rgb.size(), want.size() * 3);
  size_t wrong = 0;
  for (size_t i = 0; i < want.size(); ++i)
    if ((uint32_t{rgb[i * 3]} << 16 | uint32_t{rgb[i * 3 + 1]} << 8 | rgb[i * 3 + 2]) != want[i]) ++wrong;
  EXPECT_EQ(wrong, 0u);
}

// A picture of a PPM file (P6, 8 bits), 0x00RRGGBB; empty when it is none.
struct TShot {
  int32_t Width = 0, Height = 0;
  std::vector<uint32_t> Pixels;
  uint32_t At(int32_t x, int32_t y) const { return Pixels[static_cast<size_t>(y * Width + x)]; }
};
TShot ReadPpm(const std::string& path) {
  const std::vector<uint8_t> bytes = test::ReadFileBytes(path);
  const std::string text(bytes.begin(), bytes.end());
  std::istringstream head(text);
  std::string magic;
  int32_t w = 0, h = 0, max = 0;
  head >> magic >> w >> h >> max;
  const size_t start = static_cast<size_t>(head.tellg()) + 1;
  TShot shot;
  if (magic != "P6" || max != 255 || w <= 0 || h <= 0 || bytes.size() - start != static_cast<size_t>(w) * h * 3)
    return shot;
  shot.Width = w;
  shot.Height = h;
  for (size_t i = start; i + 2 < bytes.size(); i += 3)
    shot.Pixels.push_back(uint32_t{bytes[i]} << 16 | uint32_t{bytes[i + 1]} << 8 | bytes[i + 2]);
  return shot;
}

// The game "overwrite" played by the player in its window on an Xvfb display
// with openbox, answered as a person would: the one-name question with N
// (a.dat kept), the five-button question for a.dat with Escape (Cancel,
// never "overwrite all": a.dat kept), for b.dat with A (overwrite all:
// b.dat written). The five-button box on the display shows its question's
// line and its buttons as the box paints them with the IPA font.
TEST_F(MessageBoxGlyphs, ThePlayersOverwriteQuestionsAreAnsweredInItsWindows) {
  if (test::RunCommand({"sh", "-c", "command -v Xvfb && command -v openbox && command -v xdotool && command -v import"})
          .exit_code != 0)
    GTEST_SKIP() << "Xvfb, openbox, xdotool or ImageMagick is not installed";
  const test::TempDir dir;
  const std::string game = dir / "game";
  test::BuildGame("overwrite", game, true);
  std::filesystem::create_directories(game + "/out");
  test::WriteText(game + "/out/a.dat", "old a\n");
  test::WriteText(game + "/out/b.dat", "old b\n");
  const std::string script =
      test::XvfbPrologue("800x600", "\"$1/display\"", true) + "unset SDL_VIDEODRIVER\n"
      "\"$0\" \"$1/game\" & p=$!\n"
      // The game window that stays: SDL may make it anew for its renderer
      // just after showing it.
      "main=; for i in $(seq 300); do\n"
      "  now=$(xdotool search --onlyvisible --name '^overwrite$' 2>/dev/null | tail -n 1)\n"
      "  [ -n \"$now\" ] && [ \"$now\" = \"$main\" ] && break; main=$now; sleep 0.2\n"
      "done; last=$main\n"
      "box() {\n"
      "  for i in $(seq 300); do\n"
      "    for w in $(xdotool search --onlyvisible --pid $p 2>/dev/null); do\n"
      "      [ \"$w\" != \"$main\" ] && [ \"$w\" != \"$last\" ] && { last=$w; return 0; }\n"
      "    done; sleep 0.1\n"
      "  done; return 1\n"
      "}\n"
      "n=0\n"
      // A key sent while the window manager is still giving the box the
      // focus is lost on a loaded machine: it is sent again until the box
      // goes. The player is given a minute to end after the last box.
      "gone() { ! xdotool search --onlyvisible --pid $p 2>/dev/null | grep -qx \"$last\"; }\n"
      "for key in n Escape a; do\n"
      "  n=$((n+1)); box || { echo \"no box $n\"; kill $p; break; }\n"
      "  sleep 1; import -window $last -depth 8 ppm:\"$1/box$n.ppm\"\n"
      "  for try in $(seq 10); do\n"
      "    xdotool windowactivate --sync $last key $key 2>/dev/null\n"
      "    for i in $(seq 50); do gone && break 2; sleep 0.1; done\n"
      "  done\n"
      "done\n"
      "(sleep 60; kill $p) >/dev/null 2>&1 & w=$!\n"
      "wait $p; s=$?; kill $w 2>/dev/null; exit $s";
  const test::CommandResult r = test::RunCommand({"sh", "-c", script, ORBA_PLAYER_PATH, dir.path()});
  ASSERT_EQ(r.exit_code, 0) << r.output;
  EXPECT_EQ(test::FileText(game + "/out/a.dat"), "old a\n");
  EXPECT_EQ(test::FileText(game + "/out/b.dat"), "new b\n");

  // The second box against a box of the same question and buttons painted
  // here: its third line, and its band of buttons at its bottom right.
  TDialogRequest request = Overwrite();
  request.Text = "x" + request.Text.substr(request.Text.find("\r\n"));
  const TMessageBoxWindow want(request);
  const std::vector<uint32_t> painted = want.Paint();
  const TShot shot = ReadPpm(dir / "box2.ppm");
  ASSERT_GE(shot.Width, want.Width());
  ASSERT_EQ(shot.Height, want.Height());
  const int32_t dx = shot.Width - want.Width();
  size_t wrong_line = 0, wrong_band = 0;
  for (int32_t y = want.LineTop(2); y < want.LineTop(3); ++y)
    for (int32_t x = 0; x < want.Width() - TMessageBoxWindow::kMargin; ++x)
      wrong_line += shot.At(x, y) != painted[static_cast<size_t>(y * want.Width() + x)];
  for (int32_t y = want.BandTop(); y < want.Height(); ++y)
    for (int32_t x = 0; x < want.Width(); ++x)
      wrong_band += shot.At(x + dx, y) != painted[static_cast<size_t>(y * want.Width() + x)];
  EXPECT_EQ(wrong_line, 0u);
  EXPECT_EQ(wrong_band, 0u);
}

TEST(MessageBoxOnXvfb, ShowsTheBoxAndTakesItsKeys) {
  if (test::RunCommand({"sh", "-c", "command -v Xvfb && command -v openbox && command -v xdotool && command -v import"})
          .exit_code != 0)
    GTEST_SKIP() << "Xvfb, openbox, xdotool or ImageMagick is not installed";
  const test::TempDir dir;
  const test::CommandResult r = test::RunOnXvfb(
      "800x600", "SDL_VIDEODRIVER=x11 ORBA_MESSAGE_BOX_SHOT=" + (dir / "shot.rgb"),
      "(openbox >/dev/null 2>&1 &) && sleep 1", "MessageBoxGlyphs.OnTheDisplay");
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_NE(r.output.find("[  PASSED  ] 1 test"), std::string::npos) << r.output;
}

}  // namespace
}  // namespace orba
