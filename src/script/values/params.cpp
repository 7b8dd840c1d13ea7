#include "script/values/params.h"

#include <algorithm>
#include <type_traits>

#include "core/streams/stream_encoding.h"
#include "core/strings/sjis_case.h"
#include "core/system/trace.h"
#include "script/script_errors.h"
#include "script/values/param_collection.h"
#include "script/values/param_text.h"
#include "script/values/value_room.h"

namespace orba {

std::string ArrayIndexMessage() {
  return "\x94z\x97\xf1\x82\xcc\x93Y\x8e\x9a\x82\xaa\x95s\x90\xb3\x82\xc5\x82\xb7";  // 配列の添字が不正です
}

std::string ArraySizeMessage(const std::vector<int32_t>& sizes) {
  std::string list;
  for (size_t i = 0; i < sizes.size(); ++i) {
    if (i > 0) list += ',';
    list += IntToText(sizes[i]);
  }
  // 配列の要素数[%s]が不正です
  return "\x94z\x97\xf1\x82\xcc\x97v\x91" "f\x90\x94[" + list + "]\x82\xaa\x95s\x90\xb3\x82\xc5\x82\xb7";
}

std::string NoVariableMessage(const std::string& name) {
  return "\x22" + name + "\x22 \x95\xcf\x90\x94\x82\xaa\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1";  // "%s" 変数がありません
}

namespace {

thread_local int forward_depth = 0;
constexpr int kMaxForwardDepth = 64;

// Conversions of one stored element to and from each of the four types.
template <typename T>
struct Conv;

template <>
struct Conv<int32_t> {
  static int32_t ToInt(int32_t v) { return v; }
  static long double ToFloat(int32_t v) { return v; }
  static bool ToFlag(int32_t v) { return v != 0; }
  static std::string ToStr(int32_t v) { return IntToText(v); }
  static int32_t From(int32_t v) { return v; }
  static int32_t From(long double v) { return FloatToInt(v); }
  static int32_t From(bool v) { return v ? 1 : 0; }
  static int32_t From(const std::string& v) { return TextToIntOrZero(v); }
  static void Write(TKsBigStream& s, int32_t v) { WriteStreamInt(s, v); }
  static int32_t Read(TKsBigStream& s) { return ReadStreamInt(s); }
  static constexpr int64_t kMinBytes = 4;
};

template <>
struct Conv<long double> {
  static int32_t ToInt(long double v) { return FloatToInt(v); }
  static long double ToFloat(long double v) { return v; }
  static bool ToFlag(long double v) { return v != 0.0L; }
  static std::string ToStr(long double v) { return FloatToText(v); }
  static long double From(int32_t v) { return v; }
  static long double From(long double v) { return v; }
  static long double From(bool v) { return v ? 1.0L : 0.0L; }
  static long double From(const std::string& v) { return TextToFloatOrZero(v); }
  static void Write(TKsBigStream& s, long double v) { WriteStreamFloat(s, v); }
  static long double Read(TKsBigStream& s) { return ReadStreamFloat(s); }
  static constexpr int64_t kMinBytes = 10;
};

template <>
struct Conv<TFlagByte> {
  static int32_t ToInt(TFlagByte v) { return v != 0 ? 1 : 0; }
  static long double ToFloat(TFlagByte v) { return v != 0 ? 1.0L : 0.0L; }
  static bool ToFlag(TFlagByte v) { return v != 0; }
  static std::string ToStr(TFlagByte v) { return FlagToText(v != 0); }
  static TFlagByte From(int32_t v) { return v != 0 ? 1 : 0; }
  static TFlagByte From(long double v) { return v != 0.0L ? 1 : 0; }
  static TFlagByte From(bool v) { return v ? 1 : 0; }
  static TFlagByte From(const std::string& v) { return TextToFlag(v) ? 1 : 0; }
  static void Write(TKsBigStream& s, TFlagByte v) { WriteStreamByte(s, v); }
  static TFlagByte Read(TKsBigStream& s) { return ReadByteVal(s); }
  static constexpr int64_t kMinBytes = 1;
};

template <>
struct Conv<std::string> {
  static int32_t ToInt(const std::string& v) { return TextToIntOrZero(v); }
  static long double ToFloat(const std::string& v) { return TextToFloatOrZero(v); }
  static bool ToFlag(const std::string& v) { return TextToFlag(v); }
  static std::string ToStr(const std::string& v) { return v; }
  static std::string From(int32_t v) { return IntToText(v); }
  static std::string From(long double v) { return FloatToText(v); }
  static std::string From(bool v) { return FlagToText(v); }
  static std::string From(const std::string& v) { return v; }
  static void Write(TKsBigStream& s, const std::string& v) { WriteStreamString(s, v); }
  static std::string Read(TKsBigStream& s) { return ReadStreamString(s); }
  static constexpr int64_t kMinBytes = 4;
};

// Position of Needle in Hay at a character boundary, or npos.
size_t SjisFind(const std::string& hay, const std::string& needle) {
  if (needle.empty() || needle.size() > hay.size()) return std::string::npos;
  for (size_t i = 0; i + needle.size() <= hay.size();) {
    if (hay.compare(i, needle.size(), needle) == 0) return i;
    i += IsSjisLeadByte(static_cast<uint8_t>(hay[i])) ? 2 : 1;
  }
  return std::string::npos;
}

}  // namespace

TForwardGuard::TForwardGuard() {
  if (forward_depth >= kMaxForwardDepth) throw EScriptError(kMsgInternalError);
  ++forward_depth;
}
TForwardGuard::~TForwardGuard() { --forward_depth; }

// ---- TCustomParam ----

int32_t TCustomParam::GetDimCount() const { return Dims.empty() ? 1 : static_cast<int32_t>(Dims.size()); }

int32_t TCustomParam::GetDimSize(int32_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= Dims.size()) return 1;
  return Dims[static_cast<size_t>(index)];
}

void TCustomParam::SetDims(const std::vector<int32_t>& sizes) {
  int64_t product = 1;
  for (int32_t size : sizes) {
    if (size < 1) throw EScriptError(ArraySizeMessage(sizes));
    product *= size;
    if (product > kMaxArrayElements) throw EScriptError(ArraySizeMessage(sizes));
  }
  Dims = sizes;
  SetCount(static_cast<int32_t>(product));
}

void TCustomParam::CopyMem(const TCustomParam& source) {
  Dims.clear();
  for (int32_t k = 0; k < source.GetDimCount(); ++k) Dims.push_back(source.GetDimSize(k));
}

std::vector<int32_t> TCustomParam::ReadDims(TKsBigStream& stream) {
  const int32_t count = ReadStreamInt(stream);
  if (count < 0) throw EReadError();
  CheckStoredCount(stream, count, 4);
  std::vector<int32_t> dims(static_cast<size_t>(count));
  for (auto& d : dims) d = ReadStreamInt(stream);
  return dims;
}

void TCustomParam::WriteDims(TKsBigStream& stream) const {
  WriteStreamInt(stream, static_cast<int32_t>(Dims.size()));
  for (int32_t d : Dims) WriteStreamInt(stream, d);
}

void TCustomParam::SaveToStream(TKsBigStream& stream) const { WriteDims(stream); }
void TCustomParam::LoadFromStream(TKsBigStream& stream) { Dims = ReadDims(stream); }

int32_t TCustomParam::IndexOfStr(const std::string& text, bool case_sensitive, bool partial) const {
  const int32_t count = GetCount();
  const std::string key = case_sensitive ? text : SjisLowerCase(text);
  for (int32_t i = 0; i < count; ++i) {
    const std::string item = GetStrItem(i);
    if (!partial) {
      if (case_sensitive ? item == text : SjisSameText(item, text)) return i;
    } else if (SjisFind(case_sensitive ? item : SjisLowerCase(item), key) != std::string::npos) {
      return i;
    }
  }
  return -1;
}

void TCustomParam::AssignConverted(const TCustomParam& source) {
  std::vector<int32_t> sizes;
  for (int32_t k = 0; k < source.GetDimCount(); ++k) sizes.push_back(source.GetDimSize(k));
  if (GetParamType() == PT_STR) ClaimValueRoom(HeldTextBytes(source));
  SetDims(sizes);
  const int32_t count = std::min(source.GetCount(), GetCount());
  for (int32_t i = 0; i < count; ++i) {
    switch (GetParamType()) {
      case PT_INT: SetIntItem(i, source.GetIntItem(i)); break;
      case PT_FLOAT: SetFloatItem(i, source.GetFloatItem(i)); break;
      case PT_BOOL: SetFlagItem(i, source.GetFlagItem(i)); break;
      case PT_STR: SetStrItem(i, source.GetStrItem(i)); break;
      default: break;
    }
  }
}

// ---- TParamData ----

template <typename T, uint8_t kCode>
const T& TParamData<T, kCode>::At(int32_t index) const {
  if (index < 0 || static_cast<size_t>(index) >= Elements.size()) throw EScriptError(ArrayIndexMessage());
  return Elements[static_cast<size_t>(index)];
}

template <typename T, uint8_t kCode>
T& TParamData<T, kCode>::At(int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= Elements.size()) throw EScriptError(ArrayIndexMessage());
  return Elements[static_cast<size_t>(index)];
}

// Element 0 for a scalar write; a value emptied by SetCount(0) gets it back.
template <typename T, uint8_t kCode>
T& TParamData<T, kCode>::Scalar() {
  MakeScalar();
  if (Elements.empty()) Elements.resize(1);
  return Elements[0];
}

const std::string& TextOf(const TCustomParam& value, std::string& made) {
  if (const std::string* text = value.StoredText()) return *text;
  made = value.GetAsStr();
  return made;
}

int64_t HeldTextBytes(const TCustomParam& value) {
  int64_t bytes = 0;
  const int32_t count = value.GetCount();
  for (int32_t i = 0; i < count; ++i) {
    if (const std::string* text = value.StoredTextItem(i)) bytes += static_cast<int64_t>(text->size());
  }
  return bytes;
}

namespace {
int64_t g_array_bytes = 0;  // window thread only, as the script
int64_t g_array_budget = kMaxArrayBytes;
}  // namespace

int64_t ArrayBytesInUse() { return g_array_bytes; }
int64_t ArrayBudget() { return g_array_budget; }
void SetArrayBudget(int64_t bytes) { g_array_budget = bytes; }

namespace {
// What a copy of Elements makes: the elements, and the texts they hold.
template <typename T>
int64_t ElementBytes(const std::vector<T>& elements) {
  int64_t bytes = static_cast<int64_t>(elements.size() * sizeof(T));
  if constexpr (std::is_same_v<T, std::string>) {
    for (const std::string& text : elements) bytes += static_cast<int64_t>(text.size());
  }
  return bytes;
}
}  // namespace

template <typename T, uint8_t kCode>
TParamData<T, kCode>::~TParamData() {
  g_array_bytes -= counted_;
}

template <typename T, uint8_t kCode>
void TParamData<T, kCode>::CheckBudget(size_t count) const {
  if (count <= 1) return;
  const int64_t bytes = static_cast<int64_t>(count) * static_cast<int64_t>(sizeof(T));
  if (g_array_bytes - counted_ + bytes > g_array_budget) {
    TraceOnce("arrays: " + std::to_string(count) + " elements refused, the arrays would take more than " +
              std::to_string(g_array_budget) + " bytes");
    throw EScriptError(ArraySizeMessage({static_cast<int32_t>(count)}));
  }
}

template <typename T, uint8_t kCode>
void TParamData<T, kCode>::Recount() {
  const int64_t now = Elements.size() > 1 ? static_cast<int64_t>(Elements.size() * sizeof(T)) : 0;
  g_array_bytes += now - counted_;
  counted_ = now;
}

template <typename T, uint8_t kCode>
void TParamData<T, kCode>::SetCount(int32_t count) {
  if (count < 0 || count > kMaxArrayElements) throw EScriptError(ArraySizeMessage({count}));
  CheckBudget(static_cast<size_t>(count));
  if (static_cast<size_t>(count) > Elements.size())
    ClaimValueRoom(static_cast<int64_t>((static_cast<size_t>(count) - Elements.size()) * sizeof(T)));
  Elements.resize(static_cast<size_t>(count));
  Recount();
}

template <typename T, uint8_t kCode>
bool TParamData<T, kCode>::GetAsFlag() const { return Elements.empty() ? false : Conv<T>::ToFlag(Elements[0]); }
template <typename T, uint8_t kCode>
long double TParamData<T, kCode>::GetAsFloat() const { return Elements.empty() ? 0.0L : Conv<T>::ToFloat(Elements[0]); }
template <typename T, uint8_t kCode>
int32_t TParamData<T, kCode>::GetAsInt() const { return Elements.empty() ? 0 : Conv<T>::ToInt(Elements[0]); }
template <typename T, uint8_t kCode>
std::string TParamData<T, kCode>::GetAsStr() const { return Elements.empty() ? std::string() : Conv<T>::ToStr(Elements[0]); }

template <typename T, uint8_t kCode>
void TParamData<T, kCode>::SetAsFlag(bool value) { T v = Conv<T>::From(value); Scalar() = std::move(v); }
template <typename T, uint8_t kCode>
void TParamData<T, kCode>::SetAsFloat(long double value) { T v = Conv<T>::From(value); Scalar() = std::move(v); }
template <typename T, uint8_t kCode>
void TParamData<T, kCode>::SetAsInt(int32_t value) { T v = Conv<T>::From(value); Scalar() = std::move(v); }
template <typename T, uint8_t kCode>
void TParamData<T, kCode>::SetAsStr(const std::string& value) { T v = Conv<T>::From(value); Scalar() = std::move(v); }

template <typename T, uint8_t kCode>
int32_t TParamData<T, kCode>::GetIntItem(int32_t i) const { return Conv<T>::ToInt(At(i)); }
template <typename T, uint8_t kCode>
void TParamData<T, kCode>::SetIntItem(int32_t i, int32_t value) { At(i) = Conv<T>::From(value); }
template <typename T, uint8_t kCode>
long double TParamData<T, kCode>::GetFloatItem(int32_t i) const { return Conv<T>::ToFloat(At(i)); }
template <typename T, uint8_t kCode>
void TParamData<T, kCode>::SetFloatItem(int32_t i, long double value) { At(i) = Conv<T>::From(value); }
template <typename T, uint8_t kCode>
bool TParamData<T, kCode>::GetFlagItem(int32_t i) const { return Conv<T>::ToFlag(At(i)); }
template <typename T, uint8_t kCode>
void TParamData<T, kCode>::SetFlagItem(int32_t i, bool value) { At(i) = Conv<T>::From(value); }
template <typename T, uint8_t kCode>
std::string TParamData<T, kCode>::GetStrItem(int32_t i) const { return Conv<T>::ToStr(At(i)); }
template <typename T, uint8_t kCode>
void TParamData<T, kCode>::SetStrItem(int32_t i, const std::string& value) { At(i) = Conv<T>::From(value); }
template <typename T, uint8_t kCode>
const std::string* TParamData<T, kCode>::StoredTextItem(int32_t i) const {
  if constexpr (kCode == PT_STR) {
    if (i >= 0 && static_cast<size_t>(i) < Elements.size()) return &Elements[static_cast<size_t>(i)];
  }
  return nullptr;
}

template <typename T, uint8_t kCode>
void TParamData<T, kCode>::Assign(const TCustomParam& source) {
  const auto* same = dynamic_cast<const TParamData*>(&source.Target());
  if (same == nullptr) throw EScriptError(kMsgInternalError);
  if (same == this) return;
  CheckBudget(same->Elements.size());
  ClaimValueRoom(ElementBytes(same->Elements));
  Dims = same->Dims;
  Elements = same->Elements;
  Recount();
}

template <typename T, uint8_t kCode>
void TParamData<T, kCode>::FillInt(int32_t value) {
  if constexpr (kCode == PT_INT) std::fill(Elements.begin(), Elements.end(), value);
}
template <typename T, uint8_t kCode>
void TParamData<T, kCode>::FillFloat(long double value) {
  if constexpr (kCode == PT_FLOAT) std::fill(Elements.begin(), Elements.end(), value);
}
template <typename T, uint8_t kCode>
void TParamData<T, kCode>::FillFlag(bool value) {
  if constexpr (kCode == PT_BOOL) std::fill(Elements.begin(), Elements.end(), static_cast<TFlagByte>(value ? 1 : 0));
}
template <typename T, uint8_t kCode>
void TParamData<T, kCode>::FillStr(const std::string& value) {
  if constexpr (kCode == PT_STR) {
    ClaimValueRoom(static_cast<int64_t>(Elements.size() * value.size()));
    std::fill(Elements.begin(), Elements.end(), value);
  }
}

template <typename T, uint8_t kCode>
void TParamData<T, kCode>::CopyMem(const TCustomParam& source) {
  const auto* same = dynamic_cast<const TParamData*>(&source.Target());
  // CopyMem:変数の型があいません
  if (same == nullptr) throw EScriptError("CopyMem:\x95\xcf\x90\x94\x82\xcc\x8c^\x82\xaa\x82\xa0\x82\xa2\x82\xdc\x82\xb9\x82\xf1");
  if (same == this) return;
  CheckBudget(same->Elements.size());
  ClaimValueRoom(ElementBytes(same->Elements));
  std::vector<T> elements = same->Elements;
  TCustomParam::CopyMem(*same);
  Elements = std::move(elements);
  Recount();
}

template <typename T, uint8_t kCode>
void TParamData<T, kCode>::SaveToStream(TKsBigStream& stream) const {
  WriteDims(stream);
  WriteStreamInt(stream, static_cast<int32_t>(Elements.size()));
  for (const T& e : Elements) Conv<T>::Write(stream, e);
}

template <typename T, uint8_t kCode>
void TParamData<T, kCode>::LoadFromStream(TKsBigStream& stream) {
  std::vector<int32_t> dims = ReadDims(stream);
  const int32_t count = ReadStreamInt(stream);
  if (count < 0 || count > kMaxArrayElements) throw EReadError();
  CheckStoredCount(stream, count, Conv<T>::kMinBytes);
  // A stored array is bounded by its file's size limit; it is counted but
  // never refused, so that a slot saved within the budget always loads.
  std::vector<T> elements(static_cast<size_t>(count));
  for (T& e : elements) e = Conv<T>::Read(stream);
  Dims = std::move(dims);
  Elements = std::move(elements);
  Recount();
}

template <typename T, uint8_t kCode>
void TParamData<T, kCode>::MakeScalar() {
  if (Dims.empty()) return;
  Dims.clear();
  // Only ever shrinks: an array keeps its first element.
  if (Elements.size() > 1) Elements.erase(Elements.begin() + 1, Elements.end());
  Recount();
}

template class TParamData<int32_t, PT_INT>;
template class TParamData<long double, PT_FLOAT>;
template class TParamData<TFlagByte, PT_BOOL>;
template class TParamData<std::string, PT_STR>;

// ---- TParamVar ----

TParamVar::~TParamVar() { Bind(nullptr); }

void TParamVar::Bind(TParamCollectionItem* item) {
  if (item == bound_) return;
  if (bound_ != nullptr) bound_->RemoveReference(this);
  bound_ = item;
  if (bound_ != nullptr) bound_->AddReference(this);
}

TCustomParam* TParamVar::Bound() const { return bound_ != nullptr ? bound_->Value.get() : nullptr; }

void TParamVar::Resolve() {
  TParamCollectionItem* item = Store != nullptr ? Store->Find(Name) : nullptr;
  if (item == nullptr) throw EScriptError(NoVariableMessage(Name));
  Bind(item);
  if (const auto* ref = dynamic_cast<const TParamVar*>(item->Value.get())) Index = ref->Index;
}

void TParamVar::SetReference(const std::string& target, const std::vector<int32_t>& subscripts) {
  Bind(Store != nullptr ? Store->Find(target) : nullptr);
  std::string access = target + "[";
  for (size_t i = 0; i < subscripts.size(); ++i) {
    if (i > 0) access += ',';
    access += IntToText(subscripts[i]);
  }
  access += "]\r\n";
  TCustomParam* value = Bound();
  // 添え字が不正です
  const std::string bad_subscripts = access + "\x93Y\x82\xa6\x8e\x9a\x82\xaa\x95s\x90\xb3\x82\xc5\x82\xb7";
  // 要素数を超えています
  const std::string too_far = access + "\x97v\x91" "f\x90\x94\x82\xf0\x92\xb4\x82\xa6\x82\xc4\x82\xa2\x82\xdc\x82\xb7";
  const int32_t dim_count = value != nullptr ? value->GetDimCount() : 0;
  if (value == nullptr || dim_count != static_cast<int32_t>(subscripts.size())) throw EScriptError(bad_subscripts);
  // Formed in 64 bits with a bound, so that no product or sum can overflow.
  int64_t flat = 0, stride = 1;
  constexpr int64_t kLimit = int64_t{1} << 40;
  for (int32_t k = dim_count - 1; k >= 0; --k) {
    flat += static_cast<int64_t>(subscripts[static_cast<size_t>(k)]) * stride;
    stride *= std::max<int64_t>(value->GetDimSize(k), 0);
    if (flat > kLimit || flat < -kLimit || stride > kLimit) throw EScriptError(too_far);
  }
  if (flat >= value->GetCount() && !value->Target().ReadsBeyondCount()) throw EScriptError(too_far);
  // A negative flat index passes here and fails at the element access; keep
  // it representable.
  Index = static_cast<int32_t>(std::max<int64_t>(flat, INT32_MIN));
}

#define ORBA_FORWARD(expr, fallback) \
  do {                               \
    TCustomParam* b = Bound();       \
    if (b == nullptr) return fallback; \
    TForwardGuard guard;             \
    return expr;                     \
  } while (0)

int32_t TParamVar::GetCount() const { ORBA_FORWARD(b->GetCount(), 0); }
void TParamVar::SetCount(int32_t count) { ORBA_FORWARD(b->SetCount(count), ); }
uint8_t TParamVar::GetParamType() const { ORBA_FORWARD(b->GetParamType(), PT_NONE); }
bool TParamVar::GetAsFlag() const { ORBA_FORWARD(b->GetFlagItem(Index), false); }
long double TParamVar::GetAsFloat() const { ORBA_FORWARD(b->GetFloatItem(Index), 0.0L); }
int32_t TParamVar::GetAsInt() const { ORBA_FORWARD(b->GetIntItem(Index), 0); }
std::string TParamVar::GetAsStr() const { ORBA_FORWARD(b->GetStrItem(Index), std::string()); }
void TParamVar::SetAsFlag(bool value) { ORBA_FORWARD(b->SetFlagItem(Index, value), ); }
void TParamVar::SetAsFloat(long double value) { ORBA_FORWARD(b->SetFloatItem(Index, value), ); }
void TParamVar::SetAsInt(int32_t value) { ORBA_FORWARD(b->SetIntItem(Index, value), ); }
void TParamVar::SetAsStr(const std::string& value) { ORBA_FORWARD(b->SetStrItem(Index, value), ); }
int32_t TParamVar::GetIntItem(int32_t i) const { ORBA_FORWARD(b->GetIntItem(i), 0); }
void TParamVar::SetIntItem(int32_t i, int32_t value) { ORBA_FORWARD(b->SetIntItem(i, value), ); }
long double TParamVar::GetFloatItem(int32_t i) const { ORBA_FORWARD(b->GetFloatItem(i), 0.0L); }
void TParamVar::SetFloatItem(int32_t i, long double value) { ORBA_FORWARD(b->SetFloatItem(i, value), ); }
bool TParamVar::GetFlagItem(int32_t i) const { ORBA_FORWARD(b->GetFlagItem(i), false); }
void TParamVar::SetFlagItem(int32_t i, bool value) { ORBA_FORWARD(b->SetFlagItem(i, value), ); }
std::string TParamVar::GetStrItem(int32_t i) const { ORBA_FORWARD(b->GetStrItem(i), std::string()); }
void TParamVar::SetStrItem(int32_t i, const std::string& value) { ORBA_FORWARD(b->SetStrItem(i, value), ); }
const std::string* TParamVar::StoredTextItem(int32_t i) const { ORBA_FORWARD(b->StoredTextItem(i), nullptr); }
const std::string* TParamVar::StoredText() const { ORBA_FORWARD(b->StoredTextItem(Index), nullptr); }
int32_t TParamVar::GetDimCount() const { ORBA_FORWARD(b->GetDimCount(), 0); }
int32_t TParamVar::GetDimSize(int32_t i) const { ORBA_FORWARD(b->GetDimSize(i), 0); }
void TParamVar::SetDims(const std::vector<int32_t>& sizes) { ORBA_FORWARD(b->SetDims(sizes), ); }
void TParamVar::FillInt(int32_t value) { ORBA_FORWARD(b->FillInt(value), ); }
void TParamVar::FillFloat(long double value) { ORBA_FORWARD(b->FillFloat(value), ); }
void TParamVar::FillFlag(bool value) { ORBA_FORWARD(b->FillFlag(value), ); }
void TParamVar::FillStr(const std::string& value) { ORBA_FORWARD(b->FillStr(value), ); }
void TParamVar::CopyMem(const TCustomParam& source) { ORBA_FORWARD(b->CopyMem(source), ); }
void TParamVar::MakeScalar() { ORBA_FORWARD(b->MakeScalar(), ); }
int32_t TParamVar::IndexOfStr(const std::string& text, bool cs, bool partial) const {
  ORBA_FORWARD(b->IndexOfStr(text, cs, partial), -1);
}
const TCustomParam& TParamVar::Target() const { ORBA_FORWARD(b->Target(), *this); }

#undef ORBA_FORWARD

void TParamVar::SaveToStream(TKsBigStream& stream) const {
  WriteDims(stream);
  WriteStreamString(stream, Name);
  WriteStreamString(stream, bound_ != nullptr ? bound_->Name() : std::string());
  WriteStreamByte(stream, Reserved);
  WriteStreamInt(stream, Index);
}

void TParamVar::LoadFromStream(TKsBigStream& stream) {
  std::vector<int32_t> dims = ReadDims(stream);
  std::string name = ReadStreamString(stream);
  std::string bound_name = ReadStreamString(stream);
  const uint8_t reserved = ReadByteVal(stream);
  const int32_t index = ReadStreamInt(stream);
  Dims = std::move(dims);
  Name = std::move(name);
  Reserved = reserved;
  Index = index;
  loaded_bound_name_ = std::move(bound_name);
  Bind(!loaded_bound_name_.empty() && Store != nullptr ? Store->Find(loaded_bound_name_) : nullptr);
}

// ---- creation ----

std::unique_ptr<TCustomParam> CreateParamByType(uint8_t code, TParamCollection* store) {
  switch (code & 0x7F) {
    case PT_NONE: return std::make_unique<TParamVar>(store);
    case PT_INT: return std::make_unique<TParamInt>();
    case PT_FLOAT: return std::make_unique<TParamFloat>();
    case PT_BOOL: return std::make_unique<TParamFlag>();
    case PT_STR: return std::make_unique<TParamStr>();
    default: return nullptr;
  }
}

}  // namespace orba
