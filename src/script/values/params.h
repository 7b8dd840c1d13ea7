// Typed script values. Every value the interpreter handles, named variable or
// constant or temporary, is a TCustomParam: integer, float, flag or text, a
// scalar or an array whose elements are stored flat (last subscript fastest).
// All conversions between the four types happen here, through the typed
// getters and setters.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/streams/big_stream.h"
#include "core/vocab/vocab.h"

namespace orba {

class TParamCollection;
class TParamCollectionItem;

// The most elements an array may hold; larger dimension products are refused.
constexpr int64_t kMaxArrayElements = 16777216;
// What the elements of all arrays may take in sum (each element's own size;
// a text's characters are the heap watch's to bound): one array of the
// most texts, or four of the most integers. Real games' arrays hold
// hundreds of elements.
constexpr int64_t kMaxArrayBytes = int64_t{512} << 20;
// The bytes the elements of all arrays take now.
int64_t ArrayBytesInUse();
// The budget in force: kMaxArrayBytes, lowered by tests so that they
// reach it with little memory.
int64_t ArrayBudget();
void SetArrayBudget(int64_t bytes);

class TCustomParam {
 public:
  TCustomParam() = default;
  TCustomParam(const TCustomParam&) = delete;
  TCustomParam& operator=(const TCustomParam&) = delete;
  virtual ~TCustomParam() = default;

  // Dimension sizes; empty for a scalar.
  std::vector<int32_t> Dims;

  virtual int32_t GetCount() const { return 1; }
  virtual void SetCount(int32_t count) {}
  virtual uint8_t GetParamType() const { return PT_INT; }
  virtual bool GetAsFlag() const { return false; }
  virtual long double GetAsFloat() const { return 0.0L; }
  virtual int32_t GetAsInt() const { return 0; }
  virtual std::string GetAsStr() const { return std::string(); }
  virtual void SetAsFlag(bool value) {}
  virtual void SetAsFloat(long double value) {}
  virtual void SetAsInt(int32_t value) {}
  virtual void SetAsStr(const std::string& value) {}
  virtual int32_t GetIntItem(int32_t index) const { return 0; }
  virtual void SetIntItem(int32_t index, int32_t value) {}
  virtual long double GetFloatItem(int32_t index) const { return 0.0L; }
  virtual void SetFloatItem(int32_t index, long double value) {}
  virtual bool GetFlagItem(int32_t index) const { return false; }
  virtual void SetFlagItem(int32_t index, bool value) {}
  virtual std::string GetStrItem(int32_t index) const { return std::string(); }
  virtual void SetStrItem(int32_t index, const std::string& value) {}
  // The text GetStrItem (GetAsStr) would copy, held by this value, or nullptr
  // for a value holding no text there (a number, a system variable): a
  // caller sizes or copies it without making a copy of its own first.
  virtual const std::string* StoredTextItem(int32_t index) const { return nullptr; }
  virtual const std::string* StoredText() const { return StoredTextItem(0); }
  virtual int32_t GetDimCount() const;
  virtual int32_t GetDimSize(int32_t index) const;
  virtual void Assign(const TCustomParam& source) { Dims = source.Dims; }
  // Checks every size (at least 1, product at most kMaxArrayElements) before
  // anything changes; existing elements keep their flat positions.
  virtual void SetDims(const std::vector<int32_t>& sizes);
  virtual void FillInt(int32_t value) {}
  virtual void FillFloat(long double value) {}
  virtual void FillFlag(bool value) {}
  virtual void FillStr(const std::string& value) {}
  virtual void CopyMem(const TCustomParam& source);
  virtual void SaveToStream(TKsBigStream& stream) const;
  virtual void LoadFromStream(TKsBigStream& stream);
  virtual void MakeScalar() {}
  virtual int32_t IndexOfStr(const std::string& text, bool case_sensitive, bool partial) const;

  // The value that holds the data: a reference gives its bound variable's
  // value (or itself when unbound), every other value itself.
  virtual const TCustomParam& Target() const { return *this; }

  // Whether a subscript at or past the count still names an element (one
  // that reads as empty) instead of raising "too many elements".
  virtual bool ReadsBeyondCount() const { return false; }

  // Makes this value an array of Source's shape and converts every element
  // to this value's type.
  void AssignConverted(const TCustomParam& source);

 protected:
  // The dimension list of a stored value (count and sizes), checked against
  // the bytes left.
  static std::vector<int32_t> ReadDims(TKsBigStream& stream);
  void WriteDims(TKsBigStream& stream) const;
};

// The four classes holding data share one implementation over their element
// type; see params.cpp for the conversions of each.
template <typename T, uint8_t kCode>
class TParamData : public TCustomParam {
 public:
  TParamData() : Elements(1) {}
  ~TParamData() override;

  // A change of the count goes through SetCount, Assign, CopyMem or
  // LoadFromStream, which count it in ArrayBytesInUse.
  std::vector<T> Elements;

  int32_t GetCount() const override { return static_cast<int32_t>(Elements.size()); }
  void SetCount(int32_t count) override;
  uint8_t GetParamType() const override { return kCode; }
  bool GetAsFlag() const override;
  long double GetAsFloat() const override;
  int32_t GetAsInt() const override;
  std::string GetAsStr() const override;
  void SetAsFlag(bool value) override;
  void SetAsFloat(long double value) override;
  void SetAsInt(int32_t value) override;
  void SetAsStr(const std::string& value) override;
  int32_t GetIntItem(int32_t index) const override;
  void SetIntItem(int32_t index, int32_t value) override;
  long double GetFloatItem(int32_t index) const override;
  void SetFloatItem(int32_t index, long double value) override;
  bool GetFlagItem(int32_t index) const override;
  void SetFlagItem(int32_t index, bool value) override;
  std::string GetStrItem(int32_t index) const override;
  void SetStrItem(int32_t index, const std::string& value) override;
  const std::string* StoredTextItem(int32_t index) const override;
  void Assign(const TCustomParam& source) override;
  void FillInt(int32_t value) override;
  void FillFloat(long double value) override;
  void FillFlag(bool value) override;
  void FillStr(const std::string& value) override;
  void CopyMem(const TCustomParam& source) override;
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream) override;
  void MakeScalar() override;

 private:
  const T& At(int32_t index) const;
  T& At(int32_t index);
  T& Scalar();
  // Raises the size message when Count elements would take the arrays in
  // sum past kMaxArrayBytes.
  void CheckBudget(size_t count) const;
  // Counts the elements now held (a scalar's one element is not counted).
  void Recount();
  int64_t counted_ = 0;
};

// A flag element is one byte; any value but 0 reads as true.
using TFlagByte = uint8_t;

class TParamInt final : public TParamData<int32_t, PT_INT> {};
class TParamFloat final : public TParamData<long double, PT_FLOAT> {};
class TParamFlag final : public TParamData<TFlagByte, PT_BOOL> {};
class TParamStr final : public TParamData<std::string, PT_STR> {};

extern template class TParamData<int32_t, PT_INT>;
extern template class TParamData<long double, PT_FLOAT>;
extern template class TParamData<TFlagByte, PT_BOOL>;
extern template class TParamData<std::string, PT_STR>;

// A reference to another variable of the store: an expression operand naming
// a variable, or an array-element temporary pointing at one element. Every
// operation goes to the bound variable; unbound it reads as 0, 0.0, false or
// the empty text and ignores writes.
class TParamVar final : public TCustomParam {
 public:
  explicit TParamVar(TParamCollection* store = nullptr) : Store(store) {}
  ~TParamVar() override;

  std::string Name;        // the variable meant
  uint8_t Reserved = 0;    // kept and stored, never used
  int32_t Index = 0;       // element used by the scalar operations
  TParamCollection* Store; // where names are looked up; not owned

  TParamCollectionItem* GetBound() const { return bound_; }
  // Binding registers with the item, so that freeing the item unbinds this.
  void Bind(TParamCollectionItem* item);
  void Unbind() { Bind(nullptr); }
  // Binds to Find(Name); raises "\"%s\" 変数がありません" when there is none.
  void Resolve();
  // Binds to the variable named Target and points at the element of the
  // subscripts (flat, last subscript fastest).
  void SetReference(const std::string& target, const std::vector<int32_t>& subscripts);
  // The bound variable's name as read by the last LoadFromStream.
  const std::string& LoadedBoundName() const { return loaded_bound_name_; }

  int32_t GetCount() const override;
  void SetCount(int32_t count) override;
  uint8_t GetParamType() const override;
  bool GetAsFlag() const override;
  long double GetAsFloat() const override;
  int32_t GetAsInt() const override;
  std::string GetAsStr() const override;
  void SetAsFlag(bool value) override;
  void SetAsFloat(long double value) override;
  void SetAsInt(int32_t value) override;
  void SetAsStr(const std::string& value) override;
  int32_t GetIntItem(int32_t index) const override;
  void SetIntItem(int32_t index, int32_t value) override;
  long double GetFloatItem(int32_t index) const override;
  void SetFloatItem(int32_t index, long double value) override;
  bool GetFlagItem(int32_t index) const override;
  void SetFlagItem(int32_t index, bool value) override;
  std::string GetStrItem(int32_t index) const override;
  void SetStrItem(int32_t index, const std::string& value) override;
  const std::string* StoredTextItem(int32_t index) const override;
  const std::string* StoredText() const override;
  int32_t GetDimCount() const override;
  int32_t GetDimSize(int32_t index) const override;
  void SetDims(const std::vector<int32_t>& sizes) override;
  void FillInt(int32_t value) override;
  void FillFloat(long double value) override;
  void FillFlag(bool value) override;
  void FillStr(const std::string& value) override;
  void CopyMem(const TCustomParam& source) override;
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream) override;
  void MakeScalar() override;
  int32_t IndexOfStr(const std::string& text, bool case_sensitive, bool partial) const override;
  const TCustomParam& Target() const override;

 private:
  friend class TParamCollectionItem;  // clears bound_ when the item is freed
  TCustomParam* Bound() const;
  TParamCollectionItem* bound_ = nullptr;
  std::string loaded_bound_name_;
};

// The text GetAsStr gives: Value's own text when it holds one, else the
// copy made into Made.
const std::string& TextOf(const TCustomParam& value, std::string& made);
// The bytes of the texts Value's elements hold (what a copy of them into
// texts makes beyond the elements themselves).
int64_t HeldTextBytes(const TCustomParam& value);

// A new value for a type code (only the low 7 bits count): 0 a reference,
// 1 to 4 the data classes, any other code nullptr.
std::unique_ptr<TCustomParam> CreateParamByType(uint8_t code, TParamCollection* store = nullptr);

// Messages.
std::string ArrayIndexMessage();                                     // 配列の添字が不正です
std::string ArraySizeMessage(const std::vector<int32_t>& sizes);     // 配列の要素数[%s]が不正です
std::string NoVariableMessage(const std::string& name);              // "%s" 変数がありません

// Guards every forwarding from one value to another (references, aliases),
// so that a chain that leads back to itself raises instead of recursing.
class TForwardGuard {
 public:
  TForwardGuard();
  ~TForwardGuard();
  TForwardGuard(const TForwardGuard&) = delete;
  TForwardGuard& operator=(const TForwardGuard&) = delete;
};

}  // namespace orba
