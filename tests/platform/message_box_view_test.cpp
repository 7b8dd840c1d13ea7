// The player's own message box without a screen: the labels and keys of its
// buttons, how keys, clicks and its close button answer it (Escape never
// picks "overwrite all"), where its text wraps, and what a box that cannot
// be closed by a key does.
#include "platform/message_box_view.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orba {
namespace {

constexpr int32_t kReturn = 13, kEscape = 27, kTab = 9, kSpace = 0x20, kLeft = 0x25, kUp = 0x26, kRight = 0x27,
                  kDown = 0x28;

// The overwrite question of a folder's extraction, with its five buttons:
// はい(&Y) いいえ(&N) キャンセル すべていいえ(&O) すべてはい(&A).
TDialogRequest Overwrite() {
  return TDialogRequest{"\x8am\x94" "F",
                        "C:\\a.txt",
                        TDialogButtons::Custom,
                        {"\x82\xcd\x82\xa2(&Y)", "\x82\xa2\x82\xa2\x82\xa6(&N)", "\x83L\x83\x83\x83\x93\x83Z\x83\x8b",
                         "\x82\xb7\x82\xd7\x82\xc4\x82\xa2\x82\xa2\x82\xa6(&O)",
                         "\x82\xb7\x82\xd7\x82\xc4\x82\xcd\x82\xa2(&A)"}};
}

TDialogRequest Standard(TDialogButtons buttons) { return TDialogRequest{"t", "text", buttons, {}}; }

TEST(MessageBoxButtons, LabelsLoseTheirMarksAndKeepTheirKeys) {
  struct Case {
    const char* name;
    TDialogRequest request;
    std::vector<std::string> labels;
    std::string keys;  // a button's key, '-' for none
    TButtonLanguage language = TButtonLanguage::Japanese;
  };
  const Case cases[] = {
      {"the overwrite question", Overwrite(),
       {"\x82\xcd\x82\xa2(Y)", "\x82\xa2\x82\xa2\x82\xa6(N)", "\x83L\x83\x83\x83\x93\x83Z\x83\x8b",
        "\x82\xb7\x82\xd7\x82\xc4\x82\xa2\x82\xa2\x82\xa6(O)", "\x82\xb7\x82\xd7\x82\xc4\x82\xcd\x82\xa2(A)"},
       "YN-OA"},
      {"OK", Standard(TDialogButtons::Ok), {"OK"}, "-"},
      {"OK and Cancel", Standard(TDialogButtons::OkCancel), {"OK", "\x83L\x83\x83\x83\x93\x83Z\x83\x8b"}, "--"},
      {"Yes and No", Standard(TDialogButtons::YesNo), {"\x82\xcd\x82\xa2(Y)", "\x82\xa2\x82\xa2\x82\xa6(N)"}, "YN"},
      {"Retry and Cancel", Standard(TDialogButtons::RetryCancel),
       {"\x8d\xc4\x8e\x8e\x8ds(R)", "\x83L\x83\x83\x83\x93\x83Z\x83\x8b"}, "R-"},
      {"&& is an ampersand, a lower-case key is upper-cased, the first key counts, a last & goes",
       TDialogRequest{"t", "", TDialogButtons::Custom, {"a&&b", "&save", "&x&y", "end&", "&2"}},
       {"a&b", "save", "xy", "end", "2"}, "-SX-2"},
      {"a mark before no letter or digit gives no key",
       TDialogRequest{"t", "", TDialogButtons::Custom, {"&-", "&\xb1", "&\x82\xa0"}},
       {"-", "\xb1", "\x82\xa0"}, "---"},
      {"a Custom box without labels has OK", TDialogRequest{"t", "", TDialogButtons::Custom, {}}, {"OK"}, "-"},
      {"Yes and No in English", Standard(TDialogButtons::YesNo), {"Yes", "No"}, "YN", TButtonLanguage::English},
      {"OK and Cancel in English", Standard(TDialogButtons::OkCancel), {"OK", "Cancel"}, "--",
       TButtonLanguage::English},
      {"Retry and Cancel in English", Standard(TDialogButtons::RetryCancel), {"Retry", "Cancel"}, "R-",
       TButtonLanguage::English},
      {"a box of its own labels keeps them in English too", Overwrite(),
       {"\x82\xcd\x82\xa2(Y)", "\x82\xa2\x82\xa2\x82\xa6(N)", "\x83L\x83\x83\x83\x93\x83Z\x83\x8b",
        "\x82\xb7\x82\xd7\x82\xc4\x82\xa2\x82\xa2\x82\xa6(O)", "\x82\xb7\x82\xd7\x82\xc4\x82\xcd\x82\xa2(A)"},
       "YN-OA", TButtonLanguage::English},
  };
  for (const Case& c : cases) {
    const std::vector<TMessageBoxButton> buttons = MessageBoxButtons(c.request, c.language);
    std::vector<std::string> labels;
    std::string keys;
    for (const TMessageBoxButton& b : buttons) {
      labels.push_back(b.Label);
      keys += b.Key == 0 ? '-' : b.Key;
      // The key is the letter shown at its offset, in upper case.
      if (b.Key != 0) {
        const char shown = b.Label[b.KeyOffset];
        EXPECT_EQ(shown >= 'a' && shown <= 'z' ? shown - 'a' + 'A' : shown, b.Key) << c.name;
      }
    }
    EXPECT_EQ(labels, c.labels) << c.name;
    EXPECT_EQ(keys, c.keys) << c.name;
  }
}

struct TKey {
  int32_t Vk;
  bool Shift = false;
};

TEST(MessageBoxWindow, KeysMoveTheFocusAndAnswer) {
  struct Case {
    const char* name;
    TDialogRequest request;
    std::vector<TKey> keys;
    std::optional<TDialogResult> answer;
  };
  const TDialogResult cancel{TDialogAnswer::Cancel, -1};
  auto custom = [](int i) { return TDialogResult{TDialogAnswer::Custom, i}; };
  const Case cases[] = {
      {"Return presses the first button", Standard(TDialogButtons::OkCancel), {{kReturn}}, TDialogResult{}},
      {"Escape cancels", Standard(TDialogButtons::OkCancel), {{kEscape}}, cancel},
      {"Escape on a Yes/No box says No", Standard(TDialogButtons::YesNo), {{kEscape}},
       TDialogResult{TDialogAnswer::No, -1}},
      {"Escape on an OK box says OK", Standard(TDialogButtons::Ok), {{kEscape}}, TDialogResult{}},
      {"Escape on the overwrite question cancels, overwriting nothing", Overwrite(), {{kEscape}}, cancel},
      {"Escape on a box of one label picks it", TDialogRequest{"t", "", TDialogButtons::Custom, {"go"}},
       {{kEscape}}, custom(0)},
      {"Right then Return", Overwrite(), {{kRight}, {kReturn}}, custom(1)},
      {"Down, Down then Space", Overwrite(), {{kDown}, {kDown}, {kSpace}}, custom(2)},
      {"Tab twice then Return", Overwrite(), {{kTab}, {kTab}, {kReturn}}, custom(2)},
      {"Shift+Tab goes round to the last", Overwrite(), {{kTab, true}, {kReturn}}, custom(4)},
      {"Left goes round to the last", Overwrite(), {{kLeft}, {kReturn}}, custom(4)},
      {"Up then Right comes back", Overwrite(), {{kUp}, {kRight}, {kReturn}}, custom(0)},
      {"the key A", Overwrite(), {{'A'}}, custom(4)},
      {"the key O", Overwrite(), {{'O'}}, custom(3)},
      {"a key no button has", Overwrite(), {{'Z'}, {'C'}}, std::nullopt},
      {"the key R on Retry and Cancel", Standard(TDialogButtons::RetryCancel), {{'R'}},
       TDialogResult{TDialogAnswer::Retry, -1}},
      {"only the first answer counts", Standard(TDialogButtons::YesNo), {{'N'}, {'Y'}},
       TDialogResult{TDialogAnswer::No, -1}},
  };
  for (const Case& c : cases) {
    TMessageBoxWindow box(c.request);
    for (const TKey& k : c.keys) box.Key(k.Vk, k.Shift);
    ASSERT_EQ(box.Answered(), c.answer.has_value()) << c.name;
    if (c.answer) {
      EXPECT_EQ(std::make_pair(box.Answer().Answer, box.Answer().CustomIndex),
                std::make_pair(c.answer->Answer, c.answer->CustomIndex))
          << c.name;
    }
  }
}

TEST(MessageBoxWindow, AClickIsAPressAndAReleaseOnOneButton) {
  TMessageBoxWindow box(Overwrite());
  auto middle = [&](size_t i) {
    const TWindowBox b = box.ButtonBox(i);
    return std::make_pair(b.Left + b.Width / 2, b.Top + b.Height / 2);
  };
  // Pressed on one button and released on another, or beside them: nothing,
  // though the pressed one takes the focus.
  box.Press(middle(3).first, middle(3).second);
  box.Release(middle(2).first, middle(2).second);
  box.Press(5, 5);
  box.Release(5, 5);
  EXPECT_FALSE(box.Answered());
  EXPECT_EQ(box.Focused(), 3);
  box.Press(middle(1).first, middle(1).second);
  box.Release(middle(1).first, middle(1).second);
  ASSERT_TRUE(box.Answered());
  EXPECT_EQ(box.Answer().CustomIndex, 1);
  // The close button of a Yes/No box says No.
  TMessageBoxWindow yes_no(Standard(TDialogButtons::YesNo));
  yes_no.Close();
  EXPECT_EQ(yes_no.Answer().Answer, TDialogAnswer::No);
}

// The buttons sit in a row at the bottom right, inside the window, apart;
// the text breaks at its line breaks and wraps before kMaxTextWidth.
TEST(MessageBoxWindow, TheTextWrapsAndTheButtonsFitTheWindow) {
  struct Case {
    const char* name;
    std::string text;
    size_t lines;
  };
  const std::string wide(200, 'w');
  const Case cases[] = {
      {"one line", "abc", 1},
      {"CR LF, LF and CR each break", "a\r\nb\nc\rd", 4},
      {"an empty line between", "a\r\n\r\nb", 3},
      {"a long line wraps", wide, 0},
      {"many lines are cut", std::string(100, '\n'), TMessageBoxWindow::kMaxLines},
  };
  for (const Case& c : cases) {
    TDialogRequest request = Overwrite();
    request.Text = c.text;
    const TMessageBoxWindow box(request);
    if (c.lines != 0) {
      EXPECT_EQ(box.Lines().size(), c.lines) << c.name;
    }
    std::string joined;
    for (const std::string& line : box.Lines()) {
      EXPECT_LE(ControlTextWidth(line, box.Font()), TMessageBoxWindow::kMaxTextWidth) << c.name;
      joined += line;
    }
    if (c.text == wide) {
      EXPECT_GT(box.Lines().size(), 1u);
      EXPECT_EQ(joined, wide);
    }
    EXPECT_GE(box.Width(), TMessageBoxWindow::kMinWidth) << c.name;
    int32_t right = 0;
    for (size_t i = 0; i < box.Buttons().size(); ++i) {
      const TWindowBox b = box.ButtonBox(i);
      EXPECT_GE(b.Left, right + (i == 0 ? TMessageBoxWindow::kMargin : TMessageBoxWindow::kButtonGap)) << c.name;
      EXPECT_GE(b.Top, box.BandTop()) << c.name;
      EXPECT_LE(b.Top + b.Height, box.Height()) << c.name;
      right = b.Left + b.Width;
    }
    EXPECT_EQ(right, box.Width() - TMessageBoxWindow::kMargin) << c.name;
    EXPECT_EQ(box.Paint().size(), static_cast<size_t>(box.Width()) * static_cast<size_t>(box.Height())) << c.name;
  }
}

}  // namespace
}  // namespace orba
