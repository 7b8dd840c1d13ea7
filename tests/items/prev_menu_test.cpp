// The preview menu with button sets built here (the reader is replaced):
// hover and choice, groups, the item functions, keys, preloading, saved flags.
#include "core/sjis_test_helpers.h"
#include "core/streams/stream_encoding.h"
#include "items/choice_items_support.h"
#include "items/film_manager.h"
#include "items/prev_menu.h"
#include "script/functions/sys_func.h"
#include "script/values/param_collection.h"

namespace orba {
namespace {

// "go" a push button with a hover film, "x" "y" "z" group 1 sharing one
// picture under three spellings, and "w" alone in group -2; 10 x 10 buttons
// 12 pixels apart.
TContSelList Buttons(const std::string& name) {
  TContSelList list;
  list.Width = 60;
  list.Height = 10;
  for (const char* caption : {"go", "x", "y", "z", "w"}) {
    TContSelButton b;
    b.X = 12 * static_cast<int32_t>(list.Buttons.size());
    b.Caption = caption;
    b.Group = list.Buttons.empty() ? 0 : caption[0] == 'w' ? -2 : 1;
    b.Files[0] = list.Buttons.empty() ? "go.brx" : caption[0] == 'y' ? "Radio.brx" : "radio.brx";
    b.Files[12] = list.Buttons.empty() ? "" : "RADIO.BRX";
    b.Files[1] = b.Group == 0 ? "hover.omt" : "";
    list.Buttons.push_back(b);
  }
  return list;
}

class TTrackFilm final : public TFilmManager {
 public:
  void LoadFromFile(const std::string& name) override {}
  int32_t GetLength() const override { return 1; }
  std::vector<std::string> TrackFiles() const override { return {"hover.omt", "glow.brx"}; }

 protected:
  void ApplyTracks(int32_t) override {}
};

class PrevMenuTest : public test::ChoiceItemsTest {
 protected:
  void SetUp() override {
    ChoiceItemsTest::SetUp();
    m.Services.Funcs = &funcs;
    for (const char* file : {"go.brx", "radio.brx", "glow.brx"}) WriteCells(file, {0x00FF00}, 10, 10);
    test::WriteFileBytes(dir_ / "menu.opm", test::Bytes("not read"));
    SetFilmFactory([]() -> std::unique_ptr<TFilmManager> { return std::make_unique<TTrackFilm>(); });
    SetPrevMenuReader(&Buttons);
    RegisterPrevMenuItem();
    menu = static_cast<TOrbaPrevMenu*>(CreateCompoByType(&m, CT_PREVMENU));
    menu->SetName("pm");
    menu->SetParent(m.ActiveBase());
    menu->SetOnSelect("main.osb:sel");
    menu->SetOnMapIn("main.osb:in");
    menu->SetSource("menu.opm");
  }
  void TearDown() override {
    m.Services.Funcs = nullptr;
    SetPrevMenuReader(nullptr);
    SetFilmFactory(nullptr);
    ChoiceItemsTest::TearDown();
  }
  void Key(int32_t key) {
    m.KeyRepeat.fill(0);
    m.KeyClick.fill(0);
    (key == 13 ? m.KeyClick : m.KeyRepeat)[static_cast<size_t>(key)] = 1;
    menu->DoKeyRepeat();
  }
  TParamCollection store;
  TSysFuncMan funcs{store};
  TOrbaPrevMenu* menu = nullptr;
};

TEST_F(PrevMenuTest, LoadsButtonsAndPreloadsEachPictureOnce) {
  EXPECT_EQ(std::vector<int32_t>({menu->GetWidth(), menu->GetHeight(), menu->GetCount()}), std::vector<int32_t>({60, 10, 5}));
  EXPECT_EQ(menu->GetText(), "go\r\nx\r\ny\r\nz\r\nw");
  // Names compare upper-cased; the film's track files are followed, the film
  // once; each picture is one cache entry, decoded once.
  EXPECT_EQ(menu->Files, std::vector<std::string>({"GO.BRX", "GLOW.BRX", "RADIO.BRX"}));
  EXPECT_EQ(BrixCollection()->Count(), 3);
  // The pointer over "z", then a click: a group button is chosen.
  m.MouseMove(40, 5), Tick();
  for (const bool down : {true, false}) m.MouseButton(true, down), Tick();
  EXPECT_EQ(std::make_tuple(menu->HoverButton, store.SelStr, store.SelIndex, menu->GetItemSelected(3)),
            std::make_tuple(3, std::string("z"), 3, true));
  EXPECT_EQ(std::vector<int32_t>({menu->IndexOfButton("y"), menu->IndexOfButton("Y"), menu->IndexOfButton("")}),
            std::vector<int32_t>({2, -1, -1}));
  menu->SetSource("other.opm");  // the project has no such file: an empty menu
  EXPECT_EQ(std::vector<int32_t>({menu->GetWidth(), menu->GetCount(), menu->GetItemGroupIndex(1)}),
            std::vector<int32_t>({0, 0, 0}));
}

TEST_F(PrevMenuTest, HoverKeysChoiceAndGroups) {
  // No member of group 1 is selected: the first visible one reads as selected.
  EXPECT_EQ(std::vector<bool>({menu->GetItemSelected(1), menu->GetItemSelected(2), menu->GetItemSelected(0)}),
            std::vector<bool>({true, false, false}));
  menu->SetItemVisible(1, false);
  EXPECT_TRUE(menu->GetItemSelected(2));
  Key(37);  // from none, left goes to the last visible button
  EXPECT_EQ(menu->HoverButton, 4);
  Key(39), Key(39);
  EXPECT_EQ(menu->HoverButton, 2);  // after the last, the first; the hidden one is skipped
  Key(13);
  EXPECT_EQ(std::vector<bool>({menu->GetItemSelected(2), menu->GetItemSelected(3)}), std::vector<bool>({true, false}));
  EXPECT_EQ(menu->Item(2)->Picture, 12);
  EXPECT_EQ(m.Events.Count(), 4);  // three OnMapIn, one OnSelect
  // A choice's picture plays once: until it ends the hover stays.
  menu->SetHover(3);
  EXPECT_EQ(menu->HoverButton, 2);
  menu->AnimationEnded(*menu->Item(2));
  menu->SetHover(3);
  EXPECT_EQ(menu->HoverButton, 3);
  // A disabled button is not chosen by the keys.
  menu->SetItemEnabled(3, false);
  Key(13);
  EXPECT_FALSE(menu->Selected[3]);
  menu->Item(4)->Scrap();  // a button item deleted by a script is let go
  m.Idle();
  menu->SetHover(4);
  EXPECT_TRUE(menu->HoverButton == 4 && menu->Item(4) == nullptr);
  for (int32_t i = 0; i < 5; ++i) menu->SetItemVisible(i, false);
  for (const int32_t key : {37, 39, 13}) Key(key);  // an empty ring: the keys do nothing
  EXPECT_EQ(menu->HoverButton, 4);
}

TEST_F(PrevMenuTest, SavedFlagsComeBackAndACountPastTheBytesIsACorruptSave) {
  menu->SetItemEnabled(1, false);
  menu->SetItemSelected(3, true);
  TKsMemoryStream stream;
  menu->SaveToStream(stream);
  const std::string bytes(reinterpret_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.GetSize()));
  TOrbaPrevMenu* loaded = NewOrbaObject<TOrbaPrevMenu>(&m);
  stream.SetPosition(0);
  loaded->LoadFromStream(stream, kSceneVersion);
  EXPECT_EQ(loaded->Enabled, std::vector<uint8_t>({1, 0, 1, 1, 1}));
  EXPECT_EQ(loaded->Selected, std::vector<uint8_t>({0, 0, 0, 1, 0}));
  TKsMemoryStream bad;  // the Selected array claims 6 flags, 5 bytes are left
  bad.Write(bytes.data(), static_cast<int64_t>(bytes.size() - 9));
  WriteStreamInt(bad, 6);
  bad.Write(bytes.data() + bytes.size() - 5, 5);
  bad.SetPosition(0);
  EXPECT_NE(test::ErrorText<EReadError>([&] { NewOrbaObject<TOrbaPrevMenu>(&m)->LoadFromStream(bad, kSceneVersion); }),
            "<no error>");
}

}  // namespace
}  // namespace orba
