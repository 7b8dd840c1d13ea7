// The property dispatch against a recording object: every id reaches the
// accessor that the property table names, with the right index, and a
// command applies its expressions in the fixed application order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/sjis_test_helpers.h"
#include "items/base_list.h"
#include "items/prop_dispatch.h"
#include "script/expr/expr_compiler.h"
#include "script/functions/sys_func.h"
#include "script/interp/com_component.h"
#include "script/script_errors.h"
#include "script/values/param_collection.h"
#include "script/values/params.h"

namespace orba {
namespace {

// Records each accessor call as "Name" or "Name(index)", and the value a
// setter received as text.
class TRecorder final : public TOrbaObject {
 public:
  using TOrbaObject::TOrbaObject;
  mutable std::vector<std::string> Calls;
  std::vector<std::string> Values;

  static std::string Text(int32_t v) { return std::to_string(v); }
  static std::string Text(uint8_t v) { return std::to_string(v); }
  static std::string Text(bool v) { return v ? "true" : "false"; }
  static std::string Text(long double v) { return std::to_string(static_cast<double>(v)); }
  static std::string Text(const std::string& v) { return "'" + v + "'"; }
  static std::string Text(const TFontStyle& v) { return std::to_string(FontStyleToInt(v)); }

  void Note(const std::string& call) const { Calls.push_back(call); }
  template <class T>
  void Note(const std::string& call, const T& value) {
    Calls.push_back(call);
    Values.push_back(Text(value));
  }
#define ORBA_PROPDEF(id, kind, acc, def)                                                               \
  ORBA_KTYPE(kind) Get##acc() const override { return Note("Get" #acc), TOrbaObject::Get##acc(); } \
  void Set##acc(ORBA_KTYPE(kind) value) override { Note("Set" #acc, value); }
#define ORBA_PROPDEF_RO(id, kind, acc, def) \
  ORBA_KTYPE(kind) Get##acc() const override { return Note("Get" #acc), TOrbaObject::Get##acc(); }
#define ORBA_PROPACC_IDX(kind, acc, def)                                                              \
  ORBA_KTYPE(kind) Get##acc(int32_t index) const override {                                           \
    return Note("Get" #acc "(" + std::to_string(index) + ")"), def;                                   \
  }                                                                                                   \
  void Set##acc(int32_t index, ORBA_KTYPE(kind) value) override {                                     \
    Note("Set" #acc "(" + std::to_string(index) + ")", value);                                        \
  }
#include "items/prop_defs.def"
  TPoint GetCaretPos() const override { return Note("GetCaretPos"), TPoint{7, 9}; }
  void SetName(const std::string& name) override { Note("SetName", name); }
  void SetParent(TOrbaControl* parent) override { Note("SetParent"); }
  TOrbaControl* GetParent() const override { return Note("GetParent"), nullptr; }
  void Invalidate() override { Note("Invalidate"); }
};

struct TExpected {
  std::string Read, Write;
  int Index = -1;
};

// The accessors of the property table, by id: "Left" is GetLeft / SetLeft,
// "Param:1" the indexed pair with index 1, "Playing!" a getter only,
// ">Priority" a setter only, "=" where the dispatch answers by itself (a
// field, a constant or nothing).
const char* const kAccessors[] = {
    "Name", "Parent", "Source", "Left", "Top", "Width", "Height", "ZoomX", "Color", "BorderWidth",
    "BorderColor", "Alpha", ">Priority", "OffsetX", "OffsetY", "FontName", "FontHeight", "FontStyle",
    "LineSpace", "FontColor", "FontLinkColor", "FontBorderColor", "FontHoverColor", "FontHoverStyle",
    "HoverColor", "AntiAlias", "Delay", "Paused", "Volume", "Repeat", "Balance", "Angle", "OnPlaying",
    "OnNotify", "OnMouseMove", "OnMouseOut", "OnLBtnDown", "OnLBtnUp", "OnRBtnDown", "OnRBtnUp", "OnWheelDown",
    "OnWheelUp", "Brightness", "OnPlayEnd", "Index", "Count", "OnLink", "Visible", "ColCount", "RowCount",
    "Text", "MarginX", "MarginY", "HAlign", "BorderSource:0", "BorderSource:1", "BorderSource:2",
    "BorderSource:3", "BorderSource:4", "BorderSource:5", "BorderSource:6", "BorderSource:7", "BorderSource:8",
    "BorderHAlign:1", "BorderHAlign:4", "BorderHAlign:7", "BorderVAlign:3", "BorderVAlign:4", "BorderVAlign:5",
    "ScrollSource", "CheckSource", "AutoScrap", "OnSelect", "RClickScrap", "OnOpening", "OnOpened", "OnClosing",
    "OnClosed", "CaretPos!", "CaretPos!", "IgnoreMouse", "TextPaused", "TextDelay", "HoverSource",
    "PressedSource", "GroupIndex", "AllowAllUp", "Selected", "CaptureMask", "Power", "OrigWidth", "OrigHeight",
    "=", "=", "PartMotion", "Param:0", "Param:1", "TopIndex", "ReadOnly", "Cursor", "PosZoomed", "OnPlaystart",
    "Param:2", "OnMouseIn", "OnMapIn", "OnMapOut", "MapSource", "Amp", "WaveLen", "ScrollX", "ScrollY", "FlipH",
    "FlipV", "OnIdle", "DistanceX", "DistanceY", "ClipLeft", "ClipTop", "ClipWidth", "ClipHeight", "Duration",
    "ThumbSource", "ButtonSource", "Min", "Max", "Value", "Orientation", "SmallChange", "LargeChange",
    "MapText", "GlyphWidth", "GlyphHeight", "ZoomY", "ClickedSource", "AniPaused", "OnHold", "OnRelease",
    "Reverse", "Playing!", "RewindOnLoad", "CompoType!", "FontShadowColor", "FontBorder", "FontShadow",
    "OnKeyDown", "OnKeyUp", "OnKeyRepeat", "HandleKey", "OnFocusIn", "OnFocusOut", "Overlay", "=",
    "CaptureLink", "FontHoverBorder", "FontHoverBorderColor", "FontHoverShadow", "FontHoverShadowColor",
    "BarSize", "MuteOnLoad", "PlusX", "PlusY", "CaretHeight!", "RepeatPos", "BlurSpan", "BlurDelay",
};

TExpected Row(int id) {
  std::string name = kAccessors[id];
  TExpected row;
  if (const size_t colon = name.find(':'); colon != std::string::npos) {
    row.Index = std::stoi(name.substr(colon + 1));
    name.resize(colon);
  }
  if (name == "=") return row;
  if (name[0] == '>') return {"", "Set" + name.substr(1), row.Index};
  if (name.back() == '!') return {"Get" + name.substr(0, name.size() - 1), "", row.Index};
  return {"Get" + name, "Set" + name, row.Index};
}

std::string Called(const std::string& name, int index) {
  return index >= 0 ? name + "(" + std::to_string(index) + ")" : name;
}

class PropDispatchTest : public ::testing::Test {
 protected:
  TOrbaBaseList manager;
  TParamCollection store;
  TSysFuncMan funcs{store};
  TRecorder* rec = NewOrbaObject<TRecorder>(&manager);

  TCustomParam* Var(uint8_t type) {
    TParamCollectionItem* v = store.AddVar(type);
    v->SetName("v" + std::to_string(store.Count()));
    return v->Value.get();
  }
};

TEST_F(PropDispatchTest, EveryIdReachesTheNamedAccessor) {
  ASSERT_EQ(std::size(kAccessors), static_cast<size_t>(kPropCount));
  TParamInt one;
  one.SetAsInt(1);
  for (int id = 0; id < kPropCount; ++id) {
    SCOPED_TRACE(id);
    const TExpected row = Row(id);
    rec->Calls.clear();
    DoGetProp(*Var(PT_STR), *rec, static_cast<uint8_t>(id));
    const std::string read = row.Read;
    if (read.empty() || read == "GetName") {
      EXPECT_TRUE(rec->Calls.empty());
    } else {
      // The base answer of OrigWidth/OrigHeight asks Width/Height in turn.
      ASSERT_FALSE(rec->Calls.empty());
      const int index = read == "GetCaretPos" ? -1 : row.Index;
      EXPECT_EQ(rec->Calls[0], Called(read, index));
    }
    rec->Calls.clear();
    if (id == PR_APPEARX || id == PR_APPEARY) {
      EXPECT_THROW(DoSetProp(*rec, static_cast<uint8_t>(id), one), EScriptError);
      continue;
    }
    // A parent is named; the empty name is the current screen root.
    TParamStr root_name;
    DoSetProp(*rec, static_cast<uint8_t>(id), id == PR_PARENT ? static_cast<const TCustomParam&>(root_name) : one);
    const std::string write = row.Write;
    if (write.empty() || write == "SetPriority") {
      // Priority re-sorts the parent's children: only the parent is asked.
      for (const std::string& call : rec->Calls) EXPECT_EQ(call, "GetParent");
    } else {
      ASSERT_EQ(rec->Calls.size(), 1u);
      EXPECT_EQ(rec->Calls[0], Called(write, row.Index));
    }
  }
}

TEST_F(PropDispatchTest, FieldsConversionsAndBadIds) {
  TParamInt seven, ten;
  seven.SetAsInt(7);
  ten.SetAsInt(10);
  TParamStr tag;
  tag.SetAsStr("t1");
  rec->SetPriority(0);
  DoSetProp(*rec, PR_PRIORITY, seven);
  DoSetProp(*rec, PR_TAG, tag);
  // A font style is carried as its bit set.
  rec->Values.clear();
  DoSetProp(*rec, PR_FONTSTYLE, ten);
  TCustomParam* s = Var(PT_STR);
  std::string read;
  for (uint8_t id : {PR_TAG, PR_CARETY}) {
    DoGetProp(*s, *rec, id);
    read += s->GetAsStr() + " ";
  }
  EXPECT_EQ(std::to_string(rec->GetPriority()) + " " + rec->GetTag() + " " + rec->Values.back() + " " + read,
            "7 t1 10 t1 9 ");
  // Base answers of a plain object.
  TCustomParam* i = Var(PT_INT);
  for (auto [id, value] : std::vector<std::pair<uint8_t, int32_t>>{
           {PR_COLOR, 16777215}, {PR_ALPHA, 255}, {PR_ZOOMX, 256}, {PR_BORDERCOLOR, -1},
           {PR_INDEX, -1}, {PR_PARTMOTION, 1}, {PR_APPEARX, 0}, {PR_HANDLEKEY, 0}}) {
    DoGetProp(*i, *rec, id);
    EXPECT_EQ(i->GetAsInt(), value) << int(id);
  }
  // GetPropエラー, SetPropエラー
  EXPECT_EQ(test::ErrorText<EScriptError>([&] { DoGetProp(*i, *rec, 165); }), "GetProp\x83G\x83\x89\x81[");
  EXPECT_EQ(test::ErrorText<EScriptError>([&] { DoSetProp(*rec, 165, seven); }), "SetProp\x83G\x83\x89\x81[");
}

TEST_F(PropDispatchTest, CommandAppliesInOrderWithDefaults) {
  TComBoxNew command(nullptr);
  for (int id = 0; id < kPropCount; ++id) command.Expressions[id] = std::make_unique<TOrbaParser>();
  // One expression that leaves a value: Left is 42.
  ASSERT_TRUE(CompileText("42", *command.Expressions[PR_LEFT]));
  rec->Calls.clear();
  rec->Values.clear();
  ApplyProperties(*rec, command, funcs);

  std::vector<std::string> expected_calls, expected_values;
  for (int step = 0; step < kPropCount; ++step) {
    const int id = PropApplyOrder[static_cast<size_t>(step)];
    switch (id) {
      case PR_CARETX: case PR_CARETY: case PR_CARETHEIGHT: case PR_PLAYING: case PR_COMPOTYPE:
      case PR_APPEARX: case PR_APPEARY: case PR_PLUSX: case PR_PLUSY:
      case PR_NAME:       // an empty name keeps the automatic one
      case PR_PRIORITY:   // a field
      case PR_TAG:
        continue;
      default: break;
    }
    const TExpected row = Row(id);
    expected_calls.push_back(Called(row.Write, row.Index));
  }
  expected_calls.push_back("Invalidate");
  EXPECT_EQ(rec->Calls, expected_calls);

  // Defaults of expressions that leave no value, and the one value.
  auto value_of = [&](const std::string& call) {
    for (size_t i = 0, v = 0; i < rec->Calls.size(); ++i) {
      if (rec->Calls[i] == "Invalidate" || rec->Calls[i] == "SetParent") continue;
      if (rec->Calls[i] == call) return rec->Values[v];
      ++v;
    }
    return std::string("<none>");
  };
  for (auto [call, value] : std::vector<std::pair<const char*, const char*>>{
           {"SetLeft", "42"}, {"SetZoomX", "256"}, {"SetColor", "-1"}, {"SetAlpha", "255"},
           {"SetFontHeight", "16"}, {"SetVolume", "1000"}, {"SetWaveLen", "100"}, {"SetGlyphHeight", "1"},
           {"SetVisible", "true"}, {"SetOverlay", "true"}, {"SetTop", "0"}, {"SetBorderSource(8)", "''"}})
    EXPECT_EQ(value_of(call), value) << call;
}

}  // namespace
}  // namespace orba
