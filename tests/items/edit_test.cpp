// The edit and memo items over the state-only text controls: keys and their
// OnNotify, the control shown only where nothing covers it, the focus, and
// the saved form.
#include "items/edit.h"

#include "items/box.h"
#include "items/choice_items_support.h"

namespace orba {
namespace {

class EditTest : public test::ChoiceItemsTest {
 protected:
  template <class T>
  T* Field(int32_t left = 10, int32_t top = 10) {
    auto* e = Make<T>();
    e->SetName(std::is_same_v<T, TOrbaEdit> ? "edit" : "memo");
    e->SetBounds(left, top, 30, 12);
    e->SetOnNotify("typed");
    return e;
  }
  std::vector<std::string> NotifyArgs(const TOrbaObject* e) {
    const int32_t at = m.Events.FindQueuedEvent(e->Handle(), PR_ONNOTIFY);
    if (at < 0) return {};
    return m.Events.GetItem(at)->Args.Items();
  }
};

TEST_F(EditTest, KeysQueueOnNotifyAndTheEditSwallowsEnterEscapeAndTab) {
  const struct {
    bool memo;
    int32_t key;
    std::string text;
  } cases[] = {{false, TTextControl::kVkReturn, "ab"},  {false, TTextControl::kVkEscape, "ab"},
               {false, TTextControl::kVkTab, "ab"},     {true, TTextControl::kVkReturn, "ab\r\n"},
               {false, TTextControl::kVkBack, "a"},     {true, TTextControl::kVkBack, "a"}};
  for (const auto& c : cases) {
    TOrbaEditBase* e = c.memo ? static_cast<TOrbaEditBase*>(Field<TOrbaMemo>()) : Field<TOrbaEdit>();
    e->Native->TypeText("ab");
    m.Events.Clear();
    e->Native->KeyDown(c.key);
    EXPECT_EQ(e->GetText(), c.text) << c.key;
    // The key reaches the handler before the control acts on it.
    EXPECT_EQ(NotifyArgs(e), (std::vector<std::string>{std::to_string(c.key), "ab"})) << c.key;
    m.FreeObject(e);
  }
  // The memo does not take Tab at all; without a label nothing is queued.
  auto* memo = Field<TOrbaMemo>();
  m.Events.Clear();
  memo->Native->KeyDown(TTextControl::kVkTab);
  memo->SetOnNotify("");
  memo->Native->KeyDown('A');
  EXPECT_EQ(m.Events.Count(), 0);
}

TEST_F(EditTest, ControlShowsOnlyWhereNothingCoversItsCentre) {
  auto* e = Field<TOrbaEdit>();
  EXPECT_TRUE(e->Native->Visible());
  EXPECT_EQ((std::vector<int32_t>{e->Native->Left(), e->Native->Top(), e->Native->Width(), e->Native->Height()}),
            (std::vector<int32_t>{10, 10, 30, 12}));
  auto* box = Make<TOrbaBox>();
  box->SetName("cover");
  box->SetPriority(5);
  box->SetBounds(20, 10, 20, 12);  // over the centre (25, 16)
  Tick();
  EXPECT_FALSE(e->Native->Visible());
  box->SetLeft(40);
  Tick();
  EXPECT_TRUE(e->Native->Visible());
  e->SetOffsetX(-4);
  e->SetVisible(false);
  EXPECT_EQ(std::make_pair(e->Native->Left(), e->Native->Visible()), std::make_pair(14, false));
}

TEST_F(EditTest, EditOnTheInactiveRootIsHidden) {
  auto* e = Field<TOrbaEdit>();
  e->SetParent(m.GetBase(m.Active ^ 1));
  Tick();
  EXPECT_FALSE(e->Native->Visible());
  e->SetParent(m.ActiveBase());
  EXPECT_TRUE(e->Native->Visible());
}

TEST_F(EditTest, ControlTakingTheFocusMakesTheItemTheFocusObject) {
  auto* e = Field<TOrbaEdit>();
  e->SetOnFocusIn("in");
  m.SetKeyState('A', true);
  m.Events.Clear();
  e->Native->SetFocus();
  EXPECT_EQ(m.GetFocusObject(), e);
  EXPECT_GE(m.Events.FindQueuedEvent(e->Handle(), PR_ONFOCUSIN), 0);
  EXPECT_FALSE(m.GetKeyPush('A'));
  // Freeing the item gives the focus back.
  m.FreeObject(e);
  EXPECT_TRUE(m.GetFocusObject() == nullptr && TextControls().FocusedControl() == nullptr);
}

// The tail of the saved form: read-only, the memo's alignment, OnNotify.
TEST_F(EditTest, SavedFormRoundTripsAndOnlyTheMemoKeepsItsAlignment) {
  for (bool memo : {false, true}) {
    TOrbaEditBase* e = memo ? static_cast<TOrbaEditBase*>(Field<TOrbaMemo>()) : Field<TOrbaEdit>();
    e->SetText("\x93\xfa\x96\x7b");  // 日本
    e->SetFontName("Mono");
    e->SetFontHeight(-14);
    e->SetFontStyle(IntToFontStyle(5));
    e->SetFontColor(0x123456);
    e->SetColor(0x654321);
    e->SetReadOnly(true);
    e->SetHAlign(2);
    e->SetOnNotify("on");
    e->SetPaused(true);
    TKsMemoryStream s;
    e->SaveToStream(s);
    const std::vector<uint8_t> tail = memo ? test::FromHex("01 02 02000000 6F6E") : test::FromHex("01 02000000 6F6E");
    ASSERT_GE(s.Bytes().size(), tail.size());
    EXPECT_EQ(std::vector<uint8_t>(s.Bytes().end() - static_cast<std::ptrdiff_t>(tail.size()), s.Bytes().end()), tail);

    TOrbaEditBase* back = memo ? static_cast<TOrbaEditBase*>(NewOrbaObject<TOrbaMemo>(&m)) : NewOrbaObject<TOrbaEdit>(&m);
    back->SetParent(m.ActiveBase());
    s.SetPosition(0);
    back->LoadFromStream(s, kSceneVersion);
    EXPECT_EQ(s.GetPosition(), s.GetSize());
    EXPECT_EQ(std::make_tuple(back->GetText(), back->GetFontHeight(), FontStyleToInt(back->GetFontStyle()),
                              back->GetColor(), back->GetPaused(), back->GetHAlign(), back->Native->Visible()),
              std::make_tuple(e->GetText(), 14, 5, 0x654321, true, static_cast<uint8_t>(memo ? 2 : 0), true));
    m.FreeObject(back);
    m.FreeObject(e);
  }
}

}  // namespace
}  // namespace orba
