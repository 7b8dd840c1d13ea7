// The property dispatch against a recording object: every id reaches the
// accessor that the property table names, with the right index, and a
// command applies its expressions in the fixed application order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "items/base_list.h"
#include "items/prop_dispatch.h"
#include "script/com_component.h"
#include "script/expr_compiler.h"
#include "script/param_collection.h"
#include "script/params.h"
#include "script/script_errors.h"
#include "script/sys_func.h"

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

#define ORBA_PROPDEF(id, kind, acc, def)                                                  \
  ORBA_KTYPE(kind) Get##acc() const override {                                            \
    Calls.push_back("Get" #acc);                                                          \
    return TOrbaObject::Get##acc();                                                       \
  }                                                                                       \
  void Set##acc(ORBA_KTYPE(kind) value) override {                                        \
    Calls.push_back("Set" #acc);                                                          \
    Values.push_back(Text(value));                                                        \
  }
#define ORBA_PROPDEF_RO(id, kind, acc, def)        \
  ORBA_KTYPE(kind) Get##acc() const override {     \
    Calls.push_back("Get" #acc);                   \
    return TOrbaObject::Get##acc();                \
  }
#define ORBA_PROPACC_IDX(kind, acc, def)                                            \
  ORBA_KTYPE(kind) Get##acc(int32_t index) const override {                         \
    Calls.push_back("Get" #acc "(" + std::to_string(index) + ")");                  \
    return def;                                                                     \
  }                                                                                 \
  void Set##acc(int32_t index, ORBA_KTYPE(kind) value) override {                   \
    Calls.push_back("Set" #acc "(" + std::to_string(index) + ")");                  \
    Values.push_back(Text(value));                                                  \
  }
#include "items/prop_defs.def"
  TPoint GetCaretPos() const override {
    Calls.push_back("GetCaretPos");
    return TPoint{7, 9};
  }
  void SetName(const std::string& name) override {
    Calls.push_back("SetName");
    Values.push_back(Text(name));
  }
  void SetParent(TOrbaControl* parent) override { Calls.push_back("SetParent"); }
  TOrbaControl* GetParent() const override {
    Calls.push_back("GetParent");
    return nullptr;
  }
  void Invalidate() override { Calls.push_back("Invalidate"); }
};

struct TExpected {
  int Id;
  const char* Read;
  const char* Write;
  int Index;
};

// The accessors of the property table, by id; "" where the dispatch answers
// by itself (a field, a constant or nothing).
const TExpected kTable[] = {
    {0, "GetName", "SetName", -1},
    {1, "GetParent", "SetParent", -1},
    {2, "GetSource", "SetSource", -1},
    {3, "GetLeft", "SetLeft", -1},
    {4, "GetTop", "SetTop", -1},
    {5, "GetWidth", "SetWidth", -1},
    {6, "GetHeight", "SetHeight", -1},
    {7, "GetZoomX", "SetZoomX", -1},
    {8, "GetColor", "SetColor", -1},
    {9, "GetBorderWidth", "SetBorderWidth", -1},
    {10, "GetBorderColor", "SetBorderColor", -1},
    {11, "GetAlpha", "SetAlpha", -1},
    {12, "", "SetPriority", -1},
    {13, "GetOffsetX", "SetOffsetX", -1},
    {14, "GetOffsetY", "SetOffsetY", -1},
    {15, "GetFontName", "SetFontName", -1},
    {16, "GetFontHeight", "SetFontHeight", -1},
    {17, "GetFontStyle", "SetFontStyle", -1},
    {18, "GetLineSpace", "SetLineSpace", -1},
    {19, "GetFontColor", "SetFontColor", -1},
    {20, "GetFontLinkColor", "SetFontLinkColor", -1},
    {21, "GetFontBorderColor", "SetFontBorderColor", -1},
    {22, "GetFontHoverColor", "SetFontHoverColor", -1},
    {23, "GetFontHoverStyle", "SetFontHoverStyle", -1},
    {24, "GetHoverColor", "SetHoverColor", -1},
    {25, "GetAntiAlias", "SetAntiAlias", -1},
    {26, "GetDelay", "SetDelay", -1},
    {27, "GetPaused", "SetPaused", -1},
    {28, "GetVolume", "SetVolume", -1},
    {29, "GetRepeat", "SetRepeat", -1},
    {30, "GetBalance", "SetBalance", -1},
    {31, "GetAngle", "SetAngle", -1},
    {32, "GetOnPlaying", "SetOnPlaying", -1},
    {33, "GetOnNotify", "SetOnNotify", -1},
    {34, "GetOnMouseMove", "SetOnMouseMove", -1},
    {35, "GetOnMouseOut", "SetOnMouseOut", -1},
    {36, "GetOnLBtnDown", "SetOnLBtnDown", -1},
    {37, "GetOnLBtnUp", "SetOnLBtnUp", -1},
    {38, "GetOnRBtnDown", "SetOnRBtnDown", -1},
    {39, "GetOnRBtnUp", "SetOnRBtnUp", -1},
    {40, "GetOnWheelDown", "SetOnWheelDown", -1},
    {41, "GetOnWheelUp", "SetOnWheelUp", -1},
    {42, "GetBrightness", "SetBrightness", -1},
    {43, "GetOnPlayEnd", "SetOnPlayEnd", -1},
    {44, "GetIndex", "SetIndex", -1},
    {45, "GetCount", "SetCount", -1},
    {46, "GetOnLink", "SetOnLink", -1},
    {47, "GetVisible", "SetVisible", -1},
    {48, "GetColCount", "SetColCount", -1},
    {49, "GetRowCount", "SetRowCount", -1},
    {50, "GetText", "SetText", -1},
    {51, "GetMarginX", "SetMarginX", -1},
    {52, "GetMarginY", "SetMarginY", -1},
    {53, "GetHAlign", "SetHAlign", -1},
    {54, "GetBorderSource", "SetBorderSource", 0},
    {55, "GetBorderSource", "SetBorderSource", 1},
    {56, "GetBorderSource", "SetBorderSource", 2},
    {57, "GetBorderSource", "SetBorderSource", 3},
    {58, "GetBorderSource", "SetBorderSource", 4},
    {59, "GetBorderSource", "SetBorderSource", 5},
    {60, "GetBorderSource", "SetBorderSource", 6},
    {61, "GetBorderSource", "SetBorderSource", 7},
    {62, "GetBorderSource", "SetBorderSource", 8},
    {63, "GetBorderHAlign", "SetBorderHAlign", 1},
    {64, "GetBorderHAlign", "SetBorderHAlign", 4},
    {65, "GetBorderHAlign", "SetBorderHAlign", 7},
    {66, "GetBorderVAlign", "SetBorderVAlign", 3},
    {67, "GetBorderVAlign", "SetBorderVAlign", 4},
    {68, "GetBorderVAlign", "SetBorderVAlign", 5},
    {69, "GetScrollSource", "SetScrollSource", -1},
    {70, "GetCheckSource", "SetCheckSource", -1},
    {71, "GetAutoScrap", "SetAutoScrap", -1},
    {72, "GetOnSelect", "SetOnSelect", -1},
    {73, "GetRClickScrap", "SetRClickScrap", -1},
    {74, "GetOnOpening", "SetOnOpening", -1},
    {75, "GetOnOpened", "SetOnOpened", -1},
    {76, "GetOnClosing", "SetOnClosing", -1},
    {77, "GetOnClosed", "SetOnClosed", -1},
    {78, "GetCaretPos", "", -1},
    {79, "GetCaretPos", "", -1},
    {80, "GetIgnoreMouse", "SetIgnoreMouse", -1},
    {81, "GetTextPaused", "SetTextPaused", -1},
    {82, "GetTextDelay", "SetTextDelay", -1},
    {83, "GetHoverSource", "SetHoverSource", -1},
    {84, "GetPressedSource", "SetPressedSource", -1},
    {85, "GetGroupIndex", "SetGroupIndex", -1},
    {86, "GetAllowAllUp", "SetAllowAllUp", -1},
    {87, "GetSelected", "SetSelected", -1},
    {88, "GetCaptureMask", "SetCaptureMask", -1},
    {89, "GetPower", "SetPower", -1},
    {90, "GetOrigWidth", "SetOrigWidth", -1},
    {91, "GetOrigHeight", "SetOrigHeight", -1},
    {92, "", "", -1},
    {93, "", "", -1},
    {94, "GetPartMotion", "SetPartMotion", -1},
    {95, "GetParam", "SetParam", 0},
    {96, "GetParam", "SetParam", 1},
    {97, "GetTopIndex", "SetTopIndex", -1},
    {98, "GetReadOnly", "SetReadOnly", -1},
    {99, "GetCursor", "SetCursor", -1},
    {100, "GetPosZoomed", "SetPosZoomed", -1},
    {101, "GetOnPlaystart", "SetOnPlaystart", -1},
    {102, "GetParam", "SetParam", 2},
    {103, "GetOnMouseIn", "SetOnMouseIn", -1},
    {104, "GetOnMapIn", "SetOnMapIn", -1},
    {105, "GetOnMapOut", "SetOnMapOut", -1},
    {106, "GetMapSource", "SetMapSource", -1},
    {107, "GetAmp", "SetAmp", -1},
    {108, "GetWaveLen", "SetWaveLen", -1},
    {109, "GetScrollX", "SetScrollX", -1},
    {110, "GetScrollY", "SetScrollY", -1},
    {111, "GetFlipH", "SetFlipH", -1},
    {112, "GetFlipV", "SetFlipV", -1},
    {113, "GetOnIdle", "SetOnIdle", -1},
    {114, "GetDistanceX", "SetDistanceX", -1},
    {115, "GetDistanceY", "SetDistanceY", -1},
    {116, "GetClipLeft", "SetClipLeft", -1},
    {117, "GetClipTop", "SetClipTop", -1},
    {118, "GetClipWidth", "SetClipWidth", -1},
    {119, "GetClipHeight", "SetClipHeight", -1},
    {120, "GetDuration", "SetDuration", -1},
    {121, "GetThumbSource", "SetThumbSource", -1},
    {122, "GetButtonSource", "SetButtonSource", -1},
    {123, "GetMin", "SetMin", -1},
    {124, "GetMax", "SetMax", -1},
    {125, "GetValue", "SetValue", -1},
    {126, "GetOrientation", "SetOrientation", -1},
    {127, "GetSmallChange", "SetSmallChange", -1},
    {128, "GetLargeChange", "SetLargeChange", -1},
    {129, "GetMapText", "SetMapText", -1},
    {130, "GetGlyphWidth", "SetGlyphWidth", -1},
    {131, "GetGlyphHeight", "SetGlyphHeight", -1},
    {132, "GetZoomY", "SetZoomY", -1},
    {133, "GetClickedSource", "SetClickedSource", -1},
    {134, "GetAniPaused", "SetAniPaused", -1},
    {135, "GetOnHold", "SetOnHold", -1},
    {136, "GetOnRelease", "SetOnRelease", -1},
    {137, "GetReverse", "SetReverse", -1},
    {138, "GetPlaying", "", -1},
    {139, "GetRewindOnLoad", "SetRewindOnLoad", -1},
    {140, "GetCompoType", "", -1},
    {141, "GetFontShadowColor", "SetFontShadowColor", -1},
    {142, "GetFontBorder", "SetFontBorder", -1},
    {143, "GetFontShadow", "SetFontShadow", -1},
    {144, "GetOnKeyDown", "SetOnKeyDown", -1},
    {145, "GetOnKeyUp", "SetOnKeyUp", -1},
    {146, "GetOnKeyRepeat", "SetOnKeyRepeat", -1},
    {147, "GetHandleKey", "SetHandleKey", -1},
    {148, "GetOnFocusIn", "SetOnFocusIn", -1},
    {149, "GetOnFocusOut", "SetOnFocusOut", -1},
    {150, "GetOverlay", "SetOverlay", -1},
    {151, "", "", -1},
    {152, "GetCaptureLink", "SetCaptureLink", -1},
    {153, "GetFontHoverBorder", "SetFontHoverBorder", -1},
    {154, "GetFontHoverBorderColor", "SetFontHoverBorderColor", -1},
    {155, "GetFontHoverShadow", "SetFontHoverShadow", -1},
    {156, "GetFontHoverShadowColor", "SetFontHoverShadowColor", -1},
    {157, "GetBarSize", "SetBarSize", -1},
    {158, "GetMuteOnLoad", "SetMuteOnLoad", -1},
    {159, "GetPlusX", "SetPlusX", -1},
    {160, "GetPlusY", "SetPlusY", -1},
    {161, "GetCaretHeight", "", -1},
    {162, "GetRepeatPos", "SetRepeatPos", -1},
    {163, "GetBlurSpan", "SetBlurSpan", -1},
    {164, "GetBlurDelay", "SetBlurDelay", -1},
};

std::string Called(const std::string& name, int index) {
  return index >= 0 ? name + "(" + std::to_string(index) + ")" : name;
}

class PropDispatchTest : public ::testing::Test {
 protected:
  TOrbaBaseList manager;
  TParamCollection store;
  TSysFuncMan funcs{store};
  TRecorder* rec = NewOrbaObject<TRecorder>(&manager);

  TParamCollectionItem* Var(uint8_t type) {
    TParamCollectionItem* v = store.AddVar(type);
    v->SetName("v" + std::to_string(store.Count()));
    return v;
  }
};

TEST_F(PropDispatchTest, EveryIdReachesTheNamedAccessor) {
  ASSERT_EQ(std::size(kTable), static_cast<size_t>(kPropCount));
  TParamInt one;
  one.SetAsInt(1);
  for (const TExpected& row : kTable) {
    SCOPED_TRACE(row.Id);
    rec->Calls.clear();
    DoGetProp(*Var(PT_STR), *rec, static_cast<uint8_t>(row.Id));
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
    if (row.Id == PR_APPEARX || row.Id == PR_APPEARY) {
      EXPECT_THROW(DoSetProp(*rec, static_cast<uint8_t>(row.Id), one), EScriptError);
      continue;
    }
    // A parent is named; the empty name is the current screen root.
    TParamStr root_name;
    DoSetProp(*rec, static_cast<uint8_t>(row.Id), row.Id == PR_PARENT ? static_cast<const TCustomParam&>(root_name) : one);
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
  rec->Priority = 0;
  TParamInt seven;
  seven.SetAsInt(7);
  DoSetProp(*rec, PR_PRIORITY, seven);
  EXPECT_EQ(rec->Priority, 7);
  TParamStr tag;
  tag.SetAsStr("t1");
  DoSetProp(*rec, PR_TAG, tag);
  EXPECT_EQ(rec->Tag, "t1");
  TParamCollectionItem* s = Var(PT_STR);
  DoGetProp(*s, *rec, PR_TAG);
  EXPECT_EQ(s->GetAsStr(), "t1");
  DoGetProp(*s, *rec, PR_CARETY);
  EXPECT_EQ(s->GetAsStr(), "9");
  // A font style is carried as its bit set.
  TParamInt ten;
  ten.SetAsInt(10);
  rec->Values.clear();
  DoSetProp(*rec, PR_FONTSTYLE, ten);
  EXPECT_EQ(rec->Values.back(), "10");
  // Base answers of a plain object.
  TParamCollectionItem* i = Var(PT_INT);
  for (auto [id, value] : std::vector<std::pair<uint8_t, int32_t>>{
           {PR_COLOR, 16777215}, {PR_ALPHA, 255}, {PR_ZOOMX, 256}, {PR_BORDERCOLOR, -1},
           {PR_INDEX, -1}, {PR_PARTMOTION, 1}, {PR_APPEARX, 0}, {PR_HANDLEKEY, 0}}) {
    DoGetProp(*i, *rec, id);
    EXPECT_EQ(i->GetAsInt(), value) << int(id);
  }
  try {
    DoGetProp(*i, *rec, 165);
    FAIL();
  } catch (const EScriptError& e) {
    EXPECT_STREQ(e.what(), "GetProp\x83G\x83\x89\x81[");
  }
  try {
    DoSetProp(*rec, 165, seven);
    FAIL();
  } catch (const EScriptError& e) {
    EXPECT_STREQ(e.what(), "SetProp\x83G\x83\x89\x81[");
  }
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
    const TExpected& row = kTable[id];
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
  EXPECT_EQ(value_of("SetLeft"), "42");
  EXPECT_EQ(value_of("SetZoomX"), "256");
  EXPECT_EQ(value_of("SetColor"), "-1");
  EXPECT_EQ(value_of("SetAlpha"), "255");
  EXPECT_EQ(value_of("SetFontHeight"), "16");
  EXPECT_EQ(value_of("SetVolume"), "1000");
  EXPECT_EQ(value_of("SetWaveLen"), "100");
  EXPECT_EQ(value_of("SetGlyphHeight"), "1");
  EXPECT_EQ(value_of("SetVisible"), "true");
  EXPECT_EQ(value_of("SetOverlay"), "true");
  EXPECT_EQ(value_of("SetTop"), "0");
  EXPECT_EQ(value_of("SetBorderSource(8)"), "''");
}

}  // namespace
}  // namespace orba
