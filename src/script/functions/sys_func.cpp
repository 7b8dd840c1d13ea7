#include "script/functions/sys_func.h"

#include <array>
#include <initializer_list>

#include "script/script_errors.h"

namespace orba {

namespace {

struct TRange {
  uint8_t First, Last;
};

std::array<TFuncFamily, kFuncCount> BuildFamilies() {
  std::array<TFuncFamily, kFuncCount> table;
  table.fill(TFuncFamily::None);
  auto set = [&table](TFuncFamily family, std::initializer_list<TRange> ranges) {
    for (TRange r : ranges) {
      for (int id = r.First; id <= r.Last; ++id) table[static_cast<size_t>(id)] = family;
    }
  };
  set(TFuncFamily::Text, {{0, 1}, {5, 18}, {64, 64}, {73, 83}, {85, 86}, {133, 133}, {138, 139}, {152, 153}});
  set(TFuncFamily::Number, {{20, 20}, {26, 26}, {37, 46}, {48, 49}, {51, 63}, {126, 129}});
  set(TFuncFamily::Array,
      {{4, 4}, {21, 23}, {28, 31}, {50, 50}, {66, 68}, {70, 70}, {84, 84}, {130, 130}, {136, 136}, {155, 157}});
  set(TFuncFamily::File, {{27, 27}, {65, 65}, {71, 72}, {125, 125}, {134, 135}, {137, 137}, {148, 151}, {158, 158}});
  set(TFuncFamily::Table, {{87, 124}});
  set(TFuncFamily::Object,
      {{2, 3}, {19, 19}, {24, 25}, {32, 36}, {47, 47}, {69, 69}, {131, 132}, {140, 147}, {154, 154}});
  return table;
}

const std::array<TFuncFamily, kFuncCount> kFamilies = BuildFamilies();

}  // namespace

TFuncFamily FuncFamily(uint8_t id) { return id < kFuncCount ? kFamilies[id] : TFuncFamily::None; }

void TSysFuncMan::CallSysFunc(TCustomParam& result, uint8_t id, TFuncArgs args) {
  switch (FuncFamily(id)) {
    case TFuncFamily::Text: CallTextFunc(result, id, args); break;
    case TFuncFamily::Number: CallNumberFunc(result, id, args); break;
    case TFuncFamily::Array: CallArrayFunc(*this, result, id, args); break;
    case TFuncFamily::File: file_->CallSysFunc(result, id, args); break;
    case TFuncFamily::Table: table_->CallSysFunc(result, id, args); break;
    case TFuncFamily::Object: object_->CallSysFunc(result, id, args); break;
    case TFuncFamily::None: break;
  }
}

void CheckTextLength(int64_t length) {
  // 文字列が長すぎます
  if (length > kMaxTextResult) throw EScriptError("\x95\xb6\x8e\x9a\x97\xf1\x82\xaa\x92\xb7\x82\xb7\x82\xac\x82\xdc\x82\xb7");
}

void SetTextResult(TCustomParam& result, const std::string& text) {
  CheckTextLength(static_cast<int64_t>(text.size()));
  result.SetAsStr(text);
}

std::string DayNameEn(int32_t week) {
  static const char* const kNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  return week >= 1 && week <= 7 ? kNames[week - 1] : "";
}

std::string DayNameJa(int32_t week) {
  // 日 月 火 水 木 金 土
  static const char* const kNames[] = {"\x93\xfa", "\x8c\x8e", "\x89\xce", "\x90\x85",
                                       "\x96\xd8", "\x8b\xe0", "\x93y"};
  return week >= 1 && week <= 7 ? kNames[week - 1] : "";
}

}  // namespace orba
