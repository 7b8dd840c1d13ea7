// The SDL back end under SDL's "dummy" video driver, which needs no display:
// the key map, message boxes, the window's picture and input, and test games
// played in the window. A window test is skipped where that driver cannot
// start.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include <algorithm>
#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/game_clock.h"
#include "core/system/desktop.h"
#include "platform/headless/fake_clock.h"
#include "platform/headless/scripted_input.h"
#include "platform/linux/host_linux.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/sdl_dialogs.h"
#include "platform/headless/fake_fonts.h"
#include "platform/sdl/sdl_input.h"
#include "platform/sdl/sdl_text_controls.h"
#include "platform/sdl/sdl_video.h"
#include "platform/sdl/vk_map.h"
#include "shell/game_client.h"
#include "shell/shell_runner.h"
#include "items/base_list.h"
#include "platform_sdl/xvfb_run.h"
#include "shell/test_games.h"
#include "text/control_glyphs.h"
#include "text/font_pixels.h"
#include "support/test_support.h"

namespace orba {
namespace {

TEST(VkMap, SpotChecksOfTheKeysGamesTestFor) {
  const std::pair<SDL_Keycode, int32_t> cases[] = {
      {SDLK_a, 0x41}, {SDLK_z, 0x5A}, {SDLK_0, 0x30}, {SDLK_9, 0x39}, {SDLK_RETURN, 0x0D}, {SDLK_KP_ENTER, 0x0D},
      {SDLK_ESCAPE, 0x1B}, {SDLK_SPACE, 0x20}, {SDLK_BACKSPACE, 0x08}, {SDLK_TAB, 0x09}, {SDLK_LSHIFT, 0x10},
      {SDLK_RSHIFT, 0x10}, {SDLK_LCTRL, 0x11}, {SDLK_RCTRL, 0x11}, {SDLK_LALT, 0x12}, {SDLK_RALT, 0x12},
      {SDLK_PAGEUP, 0x21}, {SDLK_PAGEDOWN, 0x22}, {SDLK_END, 0x23}, {SDLK_HOME, 0x24}, {SDLK_LEFT, 0x25},
      {SDLK_UP, 0x26}, {SDLK_RIGHT, 0x27}, {SDLK_DOWN, 0x28}, {SDLK_INSERT, 0x2D}, {SDLK_DELETE, 0x2E},
      {SDLK_F1, 0x70}, {SDLK_F12, 0x7B}, {SDLK_F13, 0x7C}, {SDLK_F24, 0x87}, {SDLK_KP_0, 0x60}, {SDLK_KP_1, 0x61},
      {SDLK_KP_9, 0x69}, {SDLK_KP_MULTIPLY, 0x6A}, {SDLK_KP_PLUS, 0x6B}, {SDLK_KP_MINUS, 0x6D},
      {SDLK_KP_PERIOD, 0x6E}, {SDLK_KP_DIVIDE, 0x6F}, {SDLK_PAUSE, 0x13}, {SDLK_CAPSLOCK, 0x14},
      {SDLK_NUMLOCKCLEAR, 0x90}, {SDLK_SCROLLLOCK, 0x91}, {SDLK_PRINTSCREEN, 0x2C}, {SDLK_SEMICOLON, 0xBA},
      {SDLK_COMMA, 0xBC}, {SDLK_MINUS, 0xBD}, {SDLK_PERIOD, 0xBE}, {SDLK_SLASH, 0xBF}, {SDLK_BACKQUOTE, 0xC0},
      {SDLK_LEFTBRACKET, 0xDB}, {SDLK_BACKSLASH, 0xDC}, {SDLK_RIGHTBRACKET, 0xDD}, {SDLK_QUOTE, 0xDE},
      {SDLK_LGUI, 0x5B}, {SDLK_APPLICATION, 0x5D},
      // No virtual key: 0. SDL names letters by their lower case.
      {SDLK_UNKNOWN, 0}, {SDLK_BRIGHTNESSUP, 0}, {-1, 0}, {'A', 0}};
  for (auto [key, vk] : cases) EXPECT_EQ(SdlKeyToVk(key), vk) << SDL_GetKeyName(key);
  // Every key code SDL knows maps into 0..255; letters and digits one to one.
  std::set<int32_t> letters;
  for (SDL_Keycode k = 0; k < 0x80; ++k) {
    EXPECT_TRUE(SdlKeyToVk(k) >= 0 && SdlKeyToVk(k) <= 255) << k;
    if ((k >= SDLK_a && k <= SDLK_z) || (k >= SDLK_0 && k <= SDLK_9)) letters.insert(SdlKeyToVk(k));
  }
  EXPECT_EQ(letters.size(), 36u);
  for (int s = 0; s < SDL_NUM_SCANCODES; ++s) {
    const int32_t vk = SdlKeyToVk(SDL_SCANCODE_TO_KEYCODE(s));
    EXPECT_TRUE(vk >= 0 && vk <= 255) << s;
  }
}

// Without a display a box cannot be shown; the player must then take the
// cautious answer (as closing the box: Cancel, No) rather than proceed as
// if confirmed; a box of its own labels answers Cancel, never its last
// label (the overwrite question's last is "overwrite all"). An OK/Cancel
// box takes OK, so that closing the window closes it. The same question
// asked again right after is answered Cancel: a disc request that keeps
// failing is given up, and the quit question after it confirmed.
TEST(SdlMessageBoxes, WithoutADisplayTheCautiousAnswerIsTaken) {
  SDL_setenv("SDL_VIDEODRIVER", "dummy", 1);
  TSdlMessageBoxes boxes;
  EXPECT_EQ(boxes.Show({"t", "q", TDialogButtons::YesNo, {}}).Answer, TDialogAnswer::No);
  EXPECT_EQ(boxes.Show({"t", "d", TDialogButtons::RetryCancel, {}}).Answer, TDialogAnswer::Cancel);
  const TDialogResult r = boxes.Show({"t", "c", TDialogButtons::Custom, {"a", "b", "\x82\xa0"}});  // あ
  EXPECT_EQ(std::make_pair(r.Answer, r.CustomIndex), std::make_pair(TDialogAnswer::Cancel, -1));
  const TDialogRequest quit{"t", "quit?", TDialogButtons::OkCancel, {}};
  const TDialogRequest disc{"t", "disc 2?", TDialogButtons::OkCancel, {}};
  const std::vector<std::pair<std::vector<TDialogRequest>, std::vector<TDialogAnswer>>> runs = {
      {{quit}, {TDialogAnswer::Ok}},
      {{quit, quit, quit}, {TDialogAnswer::Ok, TDialogAnswer::Cancel, TDialogAnswer::Ok}},
      {{disc, disc, quit}, {TDialogAnswer::Ok, TDialogAnswer::Cancel, TDialogAnswer::Ok}},
      {{disc, quit, disc}, {TDialogAnswer::Ok, TDialogAnswer::Ok, TDialogAnswer::Ok}},
  };
  for (const auto& [asked, answers] : runs) {
    TSdlMessageBoxes fresh;
    std::vector<TDialogAnswer> got;
    for (const TDialogRequest& request : asked) got.push_back(fresh.Show(request).Answer);
    EXPECT_EQ(got, answers) << asked.size();
  }
  // A list that cannot be shown keeps the line it opens with, the first.
  EXPECT_EQ(boxes.Choose({"Select One from Multiple Icons", {"001 : 16 x 16  4 bpp", "002 : 32 x 32  8 bpp"}}), 0);
  EXPECT_EQ(boxes.Choose({"empty", {}}), 0);
}

// Run by the test below on an X display of 1280 x 800 whose panel takes the
// top 30 rows (skipped elsewhere): the work area is the screen below the
// panel, and the window opens centred in it.
TEST(SdlWorkArea, OnTheDisplay) {
  if (std::getenv("ORBA_WORK_AREA_DISPLAY") == nullptr) GTEST_SKIP() << "run by SdlWorkArea.IsTheScreenLessItsPanels";
  TSdlVideo video;
  const auto host = std::make_shared<TLinuxHost>();
  host->SetWorkAreaSource([&video] { return video.WorkArea(); });
  SetHostServices(host);
  TRect area;
  GetWorkArea(area);
  EXPECT_EQ(area, (TRect{0, 30, 1280, 800}));
  video.CreateWindow(320, 240, "t");
  int x = -1, y = -1;
  SDL_GetWindowPosition(video.Window(), &x, &y);
  EXPECT_EQ(std::make_pair(x, y), std::make_pair(480, 295));
}

TEST(SdlWorkArea, IsTheScreenLessItsPanels) {
  if (test::RunCommand({"sh", "-c", "command -v Xvfb && command -v xprop"}).exit_code != 0)
    GTEST_SKIP() << "Xvfb or xprop is not installed";
  const test::CommandResult r =
      test::RunOnXvfb("1280x800", "SDL_VIDEODRIVER=x11 ORBA_WORK_AREA_DISPLAY=1",
                      "xprop -root -f _NET_WORKAREA 32c -set _NET_WORKAREA \"0, 30, 1280, 770\"", "SdlWorkArea.OnTheDisplay");
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_NE(r.output.find("[  PASSED  ] 1 test"), std::string::npos) << r.output;
}

class SdlWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // ORBA_SDL_DRIVER names another driver (the Xvfb run of the text controls).
    const char* driver = std::getenv("ORBA_SDL_DRIVER");
    SDL_setenv("SDL_VIDEODRIVER", driver != nullptr ? driver : "dummy", 1);
    try {
      video = std::make_unique<TSdlVideo>();
    } catch (const ESdlError& e) {
      GTEST_SKIP() << e.what();
    }
    input = std::make_unique<TSdlInput>(*video);
  }
  void TearDown() override {
    if (installed_controls_) {
      input->SetTextControls(nullptr);
      SetTextControls(installed_controls_->group);
      SetControlGlyphs(installed_controls_->glyphs);
      SetFontEngine(installed_controls_->fonts);
      FontPixels().Clear();
    }
    if (boxes) SetMessageBoxService(previous_boxes);
    ResetPlayerGlobals();
  }

  void Push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1); }
  void PushClose() {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = video->WindowId();
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    Push(e);
  }
  void PushKey(Uint32 type, SDL_Keycode key, Uint16 mod = KMOD_NONE, Uint8 repeat = 0) {
    SDL_Event e{};
    e.type = type;
    e.key.windowID = video->WindowId();
    e.key.keysym.sym = key;
    e.key.keysym.mod = mod;
    e.key.repeat = repeat;
    Push(e);
  }
  // The waiting events in the input script's text form.
  std::vector<std::string> Drain() {
    std::vector<std::string> events;
    for (TInputEvent e; input->NextEvent(e);) events.push_back(FormatInputEvent(e));
    return events;
  }
  // What the window shows at each point, read back from its renderer: 0x00RRGGBB.
  std::vector<uint32_t> Shown(const std::vector<std::pair<int, int>>& points) {
    std::vector<uint32_t> out;
    for (auto [x, y] : points) {
      uint32_t pixel = 0;
      SDL_Rect at{x, y, 1, 1};
      EXPECT_EQ(SDL_RenderReadPixels(video->Renderer(), &at, SDL_PIXELFORMAT_RGB888, &pixel, 4), 0) << SDL_GetError();
      out.push_back(pixel & 0xFFFFFFu);
    }
    return out;
  }
  std::pair<int32_t, int32_t> GameAt(int32_t x, int32_t y) {
    int32_t gx = -1, gy = -1;
    video->WindowToGamePosition(x, y, gx, gy);
    return {gx, gy};
  }
  // Builds the test game and starts it in the window.
  void Start(const std::string& name) {
    boxes = std::make_shared<TSdlMessageBoxes>();
    previous_boxes = SetMessageBoxService(boxes);
    test::BuildGame(name, dir / "game", true);
    client = std::make_unique<TGameClient>(dir / "game", TScriptedEvents());
    runner = std::make_unique<TShellRunner>(clock, *video, *input, *client);
    ASSERT_TRUE(runner->StartUp());
    boxes->SetParent(video->Window());
  }

  // SDL's text controls, drawing from the glyph cache over the fake fonts,
  // until the test ends.
  std::shared_ptr<TSdlTextControls> InstallTextControls() {
    const auto controls = std::make_shared<TSdlTextControls>(*video);
    installed_controls_ = std::make_unique<TInstalled>(TInstalled{
        SetTextControls(controls), SetControlGlyphs(std::make_shared<TCachedControlGlyphs>()),
        SetFontEngine(std::make_shared<TFakeFonts>())});
    input->SetTextControls(controls.get());
    return controls;
  }

  std::unique_ptr<TSdlVideo> video;
  std::unique_ptr<TSdlInput> input;
  test::TempDir dir;
  TFakeClock clock{1000};
  std::shared_ptr<TSdlMessageBoxes> boxes;
  std::shared_ptr<TMessageBoxService> previous_boxes;
  std::unique_ptr<TGameClient> client;
  std::unique_ptr<TShellRunner> runner;

 private:
  // What the text controls replaced.
  struct TInstalled {
    std::shared_ptr<TTextControlGroup> group;
    std::shared_ptr<TControlGlyphs> glyphs;
    std::shared_ptr<TFontEngine> fonts;
  };
  std::unique_ptr<TInstalled> installed_controls_;
};

// The picture keeps only what the dirty rectangles brought, is scaled into
// a resized window with its aspect kept between black bars, and positions
// in the window map back to the game pixel under them.
TEST_F(SdlWindowTest, DirtyPartsReachTheWindowScaledBetweenBars) {
  constexpr uint32_t kRed = 0xFF0000u, kBlue = 0x0000FFu, kGreen = 0x00FF00u;
  video->CreateWindow(64, 48, "\x83\x65\x83\x58\x83\x67");
  EXPECT_NE(video->WindowId(), 0u);
  EXPECT_THROW(video->CreateWindow(64, 48, "again"), ESdlError);
  std::vector<uint32_t> frame(70 * 48);  // rows of 70 pixels, 64 shown
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) frame[static_cast<size_t>(y * 70 + x)] = x < 32 ? kRed : kBlue;
  video->Present({frame.data(), 64, 48, 70}, {{0, 0, 64, 48}, {60, 40, 200, 200}, {-3, -3, 2, 2}, {5, 5, 5, 9}});
  EXPECT_EQ(Shown({{0, 0}, {63, 47}}), (std::vector<uint32_t>{kRed, kBlue}));
  EXPECT_EQ(GameAt(10, 20), std::make_pair(10, 20));
  // A new frame, but only its top-left corner is dirty.
  std::fill(frame.begin(), frame.end(), kGreen);
  video->Present({frame.data(), 64, 48, 70}, {{0, 0, 8, 8}});
  video->Present({frame.data(), 64, 48, 70}, {});
  EXPECT_EQ(Shown({{7, 7}, {8, 8}, {40, 0}}), (std::vector<uint32_t>{kGreen, kRed, kBlue}));
  video->SetTitle("orba");
  video->ShowCursor(false);
  video->ShowCursor(true);
  video->SetMousePosition(10, 10);
  video->SetFullScreen(true);
  video->SetFullScreen(false);
  EXPECT_FALSE(video->FullScreen());

  // Twice as wide: the picture at 1:1 in the middle, bars of 32 either side.
  SDL_SetWindowSize(video->Window(), 128, 48);
  video->Redraw();
  EXPECT_EQ(Shown({{31, 20}, {32, 20}, {95, 20}, {96, 20}}), (std::vector<uint32_t>{0, kRed, kBlue, 0}));
  EXPECT_EQ(GameAt(33, 20), std::make_pair(1, 20));
  EXPECT_LT(GameAt(10, 20).first, 0);
  // Twice as large: scaled by 2 all over.
  SDL_SetWindowSize(video->Window(), 128, 96);
  video->Redraw();
  EXPECT_EQ(Shown({{2, 2}, {40, 40}, {120, 90}}), (std::vector<uint32_t>{kGreen, kRed, kBlue}));
  EXPECT_EQ(GameAt(127, 95), std::make_pair(63, 47));
}

// A video overlay is drawn over the picture at its destination, offset by
// the bars, until the overlays are cleared; the display scale is the
// picture's scale in percent.
TEST_F(SdlWindowTest, OverlaysShowOverThePictureUntilCleared) {
  constexpr uint32_t kRed = 0xFF0000u, kBlue = 0x0000FFu, kGreen = 0x00FF00u;
  video->CreateWindow(64, 48, "overlay");
  const std::vector<uint32_t> picture(64 * 48, kRed);
  video->Present({picture.data(), 64, 48, 64}, {{0, 0, 64, 48}});
  const uint32_t frame[] = {kBlue, kGreen, kGreen, kBlue};
  video->SetOverlays({{{frame, 2, 2, 2}, {1, 0, 2, 2}, {10, 10, 20, 30}}});
  EXPECT_EQ(Shown({{9, 10}, {10, 10}, {19, 29}, {20, 29}}), (std::vector<uint32_t>{kRed, kGreen, kBlue, kRed}));
  EXPECT_EQ(video->DisplayScale(), 100);
  SDL_SetWindowSize(video->Window(), 256, 96);
  EXPECT_EQ(video->DisplayScale(), 200);
  video->SetOverlays({{{frame, 2, 2, 2}, {0, 0, 1, 1}, {20, 20, 40, 40}}});
  EXPECT_EQ(Shown({{83, 20}, {84, 20}}), (std::vector<uint32_t>{kRed, kBlue}));
  video->SetOverlays({});
  EXPECT_EQ(Shown({{84, 20}}), std::vector<uint32_t>{kRed});
}

// A hidden window is not drawn: what frames and overlays bring meanwhile
// waits in the picture, and the whole of it is drawn when the window is
// shown again.
TEST_F(SdlWindowTest, AHiddenWindowIsDrawnWholeWhenShownAgain) {
  constexpr uint32_t kRed = 0xFF0000u, kBlue = 0x0000FFu, kGreen = 0x00FF00u;
  video->CreateWindow(64, 48, "hidden");
  std::vector<uint32_t> frame(64 * 48, kRed);
  video->Present({frame.data(), 64, 48, 64}, {{0, 0, 64, 48}});
  ASSERT_EQ(Shown({{0, 0}, {40, 40}}), (std::vector<uint32_t>{kRed, kRed}));
  EXPECT_FALSE(video->Unseen());
  SDL_HideWindow(video->Window());
  EXPECT_TRUE(video->Unseen());
  std::fill(frame.begin(), frame.end(), kBlue);
  video->Present({frame.data(), 64, 48, 64}, {{0, 0, 8, 8}});
  const uint32_t overlay[] = {kGreen};
  video->SetOverlays({{{overlay, 1, 1, 1}, {0, 0, 1, 1}, {20, 20, 30, 30}}});
  video->Redraw();
  EXPECT_EQ(Shown({{0, 0}, {25, 25}}), (std::vector<uint32_t>{kRed, kRed}));
  SDL_ShowWindow(video->Window());
  EXPECT_FALSE(video->Unseen());
  EXPECT_EQ(Shown({{0, 0}, {7, 7}, {8, 8}, {25, 25}, {40, 40}}),
            (std::vector<uint32_t>{kBlue, kBlue, kRed, kGreen, kRed}));
}

TEST_F(SdlWindowTest, InputArrivesAsVirtualKeysAndGamePositions) {
  video->CreateWindow(64, 48, "");
  Drain();  // whatever the window's opening sent
  SDL_Event e{};
  e.type = SDL_MOUSEBUTTONDOWN;
  e.button.windowID = video->WindowId();
  e.button.button = SDL_BUTTON_RIGHT;
  e.button.x = 7;
  e.button.y = 8;
  Push(e);
  e.button.button = SDL_BUTTON_MIDDLE;  // not a button the games know
  Push(e);
  e = SDL_Event{};
  e.type = SDL_MOUSEWHEEL;
  e.wheel.y = -2;
  Push(e);
  PushKey(SDL_KEYDOWN, SDLK_a);
  PushKey(SDL_KEYDOWN, SDLK_a, KMOD_NONE, 1);
  PushKey(SDL_KEYUP, SDLK_a);
  PushKey(SDL_KEYDOWN, SDLK_BRIGHTNESSUP);       // no virtual key: dropped
  PushKey(SDL_KEYDOWN, SDLK_RETURN, KMOD_LALT);  // Alt+Enter: window or full screen, not a key
  PushClose();
  EXPECT_EQ(Drain(), (std::vector<std::string>{"rbutton down 7 8", "wheel down 2", "key down 65", "key down 65 repeat",
                                               "key up 65", "close"}));
}

// The close question cannot be shown without a display: it is answered OK,
// so the first close closes the window, and the game ends through its exit
// page and the status save.
TEST_F(SdlWindowTest, ClosingTheWindowEndsTheGameThroughItsExitPage) {
  Start("counter");
  RunSteps(*runner, clock, 2, 15);
  EXPECT_TRUE(runner->Running());
  PushClose();
  RunSteps(*runner, clock, 1, 15);
  EXPECT_FALSE(runner->Running());
  EXPECT_EQ(TickCount, 2);
  runner->ShutDown();
  test::ExpectContains(test::DumpSave(dir / "game/save.dat"), {"var exits int = 1"});
}

// The box of the test game shows in the window, also once the window is
// resized to twice the game's width (the picture then lies between bars).
TEST_F(SdlWindowTest, TheGamesPictureShowsInTheWindow) {
  Start("paint");
  int w = 0, h = 0;
  SDL_GetWindowSize(video->Window(), &w, &h);
  EXPECT_EQ(std::make_pair(w, h), std::make_pair(160, 120));
  EXPECT_STREQ(SDL_GetWindowTitle(video->Window()), "paint");
  RunSteps(*runner, clock, 2, 15);
  EXPECT_EQ(Shown({{20, 30}, {59, 79}, {60, 79}}), (std::vector<uint32_t>{0xFF0000, 0xFF0000, 0}));
  // The size change repaints the kept picture between its bars at once,
  // before any event is read or tick run.
  SDL_SetWindowSize(video->Window(), 320, 120);
  EXPECT_EQ(Shown({{80 + 20, 30}, {80 + 19, 30}}), (std::vector<uint32_t>{0xFF0000u, 0u}));
  RunSteps(*runner, clock, 1, 15);
  EXPECT_EQ(Shown({{80 + 20, 30}, {80 + 19, 30}}), (std::vector<uint32_t>{0xFF0000u, 0u}));
  runner->ShutDown();
}

// The edit of the "edit" game in the window: a click at its right end gives
// it the focus; typed UTF-8 arrives as Shift-JIS (an emoji, which code page
// 932 lacks, is dropped) and shows at the edit's rectangle; Enter goes to
// the edit's OnNotify, not to the game; a click elsewhere takes the focus
// away.
TEST_F(SdlWindowTest, TextTypedIntoTheEditShowsAtItsRectangle) {
  const auto controls = InstallTextControls();
  Start("edit");
  RunSteps(*runner, clock, 4, 15);
  auto ink = [this] {  // dark pixels inside the edit (20, 40, 120 x 20)
    int n = 0;
    for (int y = 40; y < 60; ++y)
      for (int x = 20; x < 140; ++x) n += Shown({{x, y}})[0] < 0x808080 ? 1 : 0;
    return n;
  };
  const int before = ink();
  EXPECT_GT(before, 0);
  auto click = [this](int x, int y) {
    for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP})
      Push(SDL_Event{.button = {type, 0, video->WindowId(), 0, SDL_BUTTON_LEFT, 0, 1, 0, x, y}});
  };
  auto type = [this](const char* utf8) {
    SDL_Event e{.text = {SDL_TEXTINPUT, 0, video->WindowId(), {}}};
    SDL_strlcpy(e.text.text, utf8, sizeof e.text.text);
    Push(e);
  };
  click(138, 50);
  type("abc");
  PushKey(SDL_KEYDOWN, SDLK_RETURN);
  PushKey(SDL_KEYUP, SDLK_RETURN);
  RunSteps(*runner, clock, 3, 15);
  const TOrbaObject* edit = Bases->FindObject("name");
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->GetText(), "orbaabc");
  EXPECT_GT(ink(), before);
  EXPECT_EQ(Shown({{10, 50}, {150, 50}}), (std::vector<uint32_t>{0, 0}));
  type("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xF0\x9F\x98\x80");  // 日本語 and an emoji
  RunSteps(*runner, clock, 1, 15);
  EXPECT_EQ(edit->GetText(), "orbaabc\x93\xfa\x96\x7b\x8c\xea");
  click(5, 5);
  RunSteps(*runner, clock, 1, 15);
  EXPECT_EQ(controls->FocusedControl(), nullptr);
  runner->ShutDown();
  input->SetTextControls(nullptr);
  test::ExpectContains(test::DumpSave(dir / "game/save.dat"), {"var keys str = \"13:orbaabc,\""});
}

// The edit of the "edit" game under the mouse and the clipboard: a drag
// selects, a double click selects a word, Ctrl+C copies it and Ctrl+V
// pastes it; text the desktop's clipboard holds pastes too; the pointer is
// an I-beam over the edit and the caret blinks.
TEST_F(SdlWindowTest, TheMouseSelectsAndTheClipboardPastesInTheEdit) {
  const auto controls = InstallTextControls();
  Start("edit");
  RunSteps(*runner, clock, 4, 15);
  auto button = [this](Uint32 type, int x, int y) {
    Push(SDL_Event{.button = {type, 0, video->WindowId(), 0, SDL_BUTTON_LEFT, 0, 1, 0, x, y}});
  };
  auto move = [this](int x, int y) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.windowID = video->WindowId();
    e.motion.x = x;
    e.motion.y = y;
    Push(e);
  };
  auto type = [this](const char* utf8) {
    SDL_Event e{.text = {SDL_TEXTINPUT, 0, video->WindowId(), {}}};
    SDL_strlcpy(e.text.text, utf8, sizeof e.text.text);
    Push(e);
  };
  // A click at the right end, then " gyp" typed: "orba gyp".
  button(SDL_MOUSEBUTTONDOWN, 138, 50);
  button(SDL_MOUSEBUTTONUP, 138, 50);
  type(" gyp");
  RunSteps(*runner, clock, 1, 15);
  TTextControl* edit = controls->FocusedControl();
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->Text(), "orba gyp");
  // Over the edit the pointer is an I-beam; off it, the game's again (where
  // the driver has a pointer: not the dummy one).
  SDL_Cursor* before = SDL_GetCursor();
  move(60, 50);
  RunSteps(*runner, clock, 1, 15);
  if (before != nullptr) {
    EXPECT_NE(SDL_GetCursor(), before);
  }
  move(60, 10);
  RunSteps(*runner, clock, 1, 15);
  EXPECT_EQ(SDL_GetCursor(), before);
  // A drag from the edit's left end past its right end selects all.
  button(SDL_MOUSEBUTTONDOWN, 21, 50);
  move(80, 52);
  move(150, 52);
  button(SDL_MOUSEBUTTONUP, 150, 52);
  RunSteps(*runner, clock, 1, 15);
  EXPECT_EQ(edit->SelectedText(), "orba gyp");
  // A double click on the first word selects it; Ctrl+C, End, Ctrl+V.
  button(SDL_MOUSEBUTTONDOWN, 40, 50);
  button(SDL_MOUSEBUTTONUP, 40, 50);
  button(SDL_MOUSEBUTTONDOWN, 40, 50);
  button(SDL_MOUSEBUTTONUP, 40, 50);
  RunSteps(*runner, clock, 1, 15);
  EXPECT_EQ(edit->SelectedText(), "orba");
  PushKey(SDL_KEYDOWN, SDLK_c, KMOD_LCTRL);
  PushKey(SDL_KEYDOWN, SDLK_END);
  PushKey(SDL_KEYDOWN, SDLK_v, KMOD_LCTRL);
  RunSteps(*runner, clock, 1, 15);
  EXPECT_EQ(edit->Text(), "orba gyporba");
  char* copied = SDL_GetClipboardText();
  EXPECT_STREQ(copied, "orba");
  SDL_free(copied);
  // What another program put on the clipboard (UTF-8) pastes as Shift-JIS.
  SDL_SetClipboardText("\xE6\x97\xA5");  // 日
  PushKey(SDL_KEYDOWN, SDLK_v, KMOD_LCTRL);
  RunSteps(*runner, clock, 1, 15);
  EXPECT_EQ(edit->Text(), "orba gyporba\x93\xfa");
  // The caret blinks: shown at once after a change, hidden a blink later.
  edit->PlaceCaret(0, false);
  const uint32_t now = SDL_GetTicks();
  controls->Blink(now);
  EXPECT_TRUE(controls->CaretShown());
  controls->Blink(now + TTextControlGroup::kBlinkMs);
  EXPECT_FALSE(controls->CaretShown());
  runner->ShutDown();
  input->SetTextControls(nullptr);
}

// Runs the Count window tests of Filter in a real X window, on a private
// Xvfb display.
void RunInAnXWindow(const std::string& filter, int count) {
  if (test::RunCommand({"sh", "-c", "command -v Xvfb"}).exit_code != 0) GTEST_SKIP() << "Xvfb is not installed";
  const test::CommandResult r = test::RunOnXvfb("800x600", "ORBA_SDL_DRIVER=x11", "", filter);
  EXPECT_EQ(r.exit_code, 0) << r.output;
  EXPECT_NE(r.output.find("[  PASSED  ] " + std::to_string(count) + " tests"), std::string::npos) << r.output;
}

// Both in a real X window (with the display's clipboard).
TEST(SdlTextControls, TypingUnderXvfb) {
  RunInAnXWindow(
      "SdlWindowTest.TextTypedIntoTheEditShowsAtItsRectangle:SdlWindowTest.TheMouseSelectsAndTheClipboardPastesInTheEdit", 2);
}

// The picture between bars in a resized window, full screen and back, the
// video overlays and a hidden window in a real X window, drawn there by
// SDL's software renderer (Xvfb's OpenGL runs on the CPU).
TEST(SdlWindowPicture, UnderXvfb) {
  RunInAnXWindow(
      "SdlWindowTest.DirtyPartsReachTheWindowScaledBetweenBars:SdlWindowTest.OverlaysShowOverThePictureUntilCleared:"
      "SdlWindowTest.TheGamesPictureShowsInTheWindow:SdlWindowTest.AHiddenWindowIsDrawnWholeWhenShownAgain",
      4);
}

}  // namespace
}  // namespace orba

namespace orba {
namespace {

// Where no sound device opens (as on the test machine) the dummy driver
// still pulls the mix in real time.
TEST(SdlAudio, PullsTheSourceWithOrWithoutADevice) {
  struct TCounter : TAudioSource {
    std::atomic<size_t> frames{0};
    void Render(int16_t* out, size_t n) override { frames += n; }
  } counter;
  TSdlAudio audio;
  audio.Start(&counter);
  for (int i = 0; i < 100 && counter.frames.load() == 0; ++i) SDL_Delay(10);
  audio.Start(nullptr);
  EXPECT_GT(counter.frames.load(), 0u) << audio.DeviceName();
}

}  // namespace
}  // namespace orba
