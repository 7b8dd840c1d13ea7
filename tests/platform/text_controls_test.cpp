// The editing of the text controls (keys, characters, selection, double-byte
// characters) and the conversion of typed UTF-8.
#include "platform/text_controls.h"

#include <gtest/gtest.h>

namespace orba {
namespace {

using C = TTextControl;

// A text to type (Shift-JIS) or a key with or without Shift.
struct TStep {
  std::string Type;
  int32_t Key = 0;
  bool Shift = false;
};

TEST(TextControlTest, KeysEditTheText) {
  const struct {
    bool multi_line;
    std::vector<TStep> steps;
    std::string text;
    size_t caret;
  } cases[] = {
      {false, {{"abc"}, {"", C::kVkLeft}, {"", C::kVkBack}}, "ac", 1},
      {false, {{"abc"}, {"", C::kVkHome}, {"", C::kVkDelete}}, "bc", 0},
      {false, {{"abc"}, {"", C::kVkHome}, {"", C::kVkRight, true}, {"", C::kVkRight, true}, {"X"}}, "Xc", 1},
      {false, {{"a\x93\xfa"}, {"", C::kVkBack}}, "a", 1},  // a double-byte character as a whole
      {false, {{"\x93\xfa" "b"}, {"", C::kVkHome}, {"", C::kVkRight}}, "\x93\xfa" "b", 2},
      // Control characters other than the memo's line break insert nothing.
      {false, {{"a\x01\x7f"}, {"", C::kVkReturn}}, "a", 1},
      {true, {{"ab"}, {"", C::kVkReturn}, {"cd"}, {"", C::kVkUp}, {"", C::kVkEnd}, {"!"}}, "ab!\r\ncd", 3},
      {true, {{"ab"}, {"", C::kVkReturn}, {"", C::kVkBack}}, "ab", 2},
  };
  for (const auto& c : cases) {
    TStateTextControls group;
    auto control = group.Create(c.multi_line);
    for (const TStep& s : c.steps) {
      if (!s.Type.empty()) control->TypeText(s.Type);
      if (s.Key != 0) control->KeyDown(s.Key, s.Shift);
    }
    EXPECT_EQ(control->Text(), c.text);
    EXPECT_EQ(control->Caret(), c.caret);
  }
}

TEST(TextControlTest, ReadOnlyTakesNoTypingAndOnlyAShownEnabledControlHasTheFocus) {
  TStateTextControls group;
  auto control = group.Create(false);
  control->SetReadOnly(true);
  control->TypeText("y");
  control->SetFocus();
  EXPECT_TRUE(control->Text().empty() && group.FocusedControl() == nullptr);
  control->SetVisible(true);
  control->SetFocus();
  EXPECT_EQ(group.FocusedControl(), control.get());
  control->SetEnabled(false);
  EXPECT_EQ(group.FocusedControl(), nullptr);
}

TEST(TextControlTest, TypedUtf8BecomesShiftJisAndUnmappableCharactersGo) {
  EXPECT_EQ(TypedUtf8ToSjis("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"), "\x93\xfa\x96\x7b\x8c\xea");  // 日本語
  EXPECT_EQ(TypedUtf8ToSjis("a\xF0\x9F\x98\x80?\xEF\xBD\xB1"), "a?\xb1");  // emoji dropped, half-width ｱ
}

}  // namespace
}  // namespace orba
