// The variable store: every script variable of the running game, named and
// looked up case-insensitively (a local of the current call frame first),
// saved with the game and status entries, with a stack of snapshots for the
// PushVar and PopVar functions. Items 0 to 50 are the "@" system variables.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/streams/big_stream.h"
#include "script/values/params.h"
#include "script/values/system_var_host.h"

namespace orba {

class TParamCollection;

// One named variable; it owns its value.
class TParamCollectionItem {
 public:
  explicit TParamCollectionItem(TParamCollection* owner) : owner_(owner) {}
  ~TParamCollectionItem();
  TParamCollectionItem(const TParamCollectionItem&) = delete;
  TParamCollectionItem& operator=(const TParamCollectionItem&) = delete;

  std::unique_ptr<TCustomParam> Value;
  uint8_t Reserved = 0;    // kept and stored, never used
  uint8_t Persistent = 0;  // a status variable: survives Clear and game loads
  int32_t FrameId = -1;    // call depth of the frame that declared it
  uint8_t Local = 0;       // local to the frame FrameId

  const std::string& Name() const { return name_; }
  // Raises "\"%s\"：変数名が不正です" for an empty name, a name with a blank
  // or one beginning with a digit.
  void SetName(const std::string& name);
  int32_t Index() const { return cached_index_; }
  TParamCollection* Owner() const { return owner_; }

  // The value object's operations.
  uint8_t GetParamType() const { return Value->GetParamType(); }
  int32_t GetAsInt() const { return Value->GetAsInt(); }
  void SetAsInt(int32_t v) { Value->SetAsInt(v); }
  long double GetAsFloat() const { return Value->GetAsFloat(); }
  void SetAsFloat(long double v) { Value->SetAsFloat(v); }
  bool GetAsFlag() const { return Value->GetAsFlag(); }
  void SetAsFlag(bool v) { Value->SetAsFlag(v); }
  std::string GetAsStr() const { return Value->GetAsStr(); }
  void SetAsStr(const std::string& v) { Value->SetAsStr(v); }
  int32_t GetIntItem(int32_t i) const { return Value->GetIntItem(i); }
  void SetIntItem(int32_t i, int32_t v) { Value->SetIntItem(i, v); }
  long double GetFloatItem(int32_t i) const { return Value->GetFloatItem(i); }
  void SetFloatItem(int32_t i, long double v) { Value->SetFloatItem(i, v); }
  bool GetFlagItem(int32_t i) const { return Value->GetFlagItem(i); }
  void SetFlagItem(int32_t i, bool v) { Value->SetFlagItem(i, v); }
  std::string GetStrItem(int32_t i) const { return Value->GetStrItem(i); }
  void SetStrItem(int32_t i, const std::string& v) { Value->SetStrItem(i, v); }
  int32_t GetCount() const { return Value->GetCount(); }
  void SetCount(int32_t n) { Value->SetCount(n); }
  int32_t GetDimCount() const { return Value->GetDimCount(); }
  int32_t GetDimSize(int32_t i) const { return Value->GetDimSize(i); }
  void SetDims(const std::vector<int32_t>& sizes) { Value->SetDims(sizes); }
  void FillInt(int32_t v) { Value->FillInt(v); }
  void FillFloat(long double v) { Value->FillFloat(v); }
  void FillFlag(bool v) { Value->FillFlag(v); }
  void FillStr(const std::string& v) { Value->FillStr(v); }
  void CopyMem(const TCustomParam& source) { Value->CopyMem(source); }
  int32_t IndexOfStr(const std::string& s, bool cs, bool partial) const { return Value->IndexOfStr(s, cs, partial); }
  void AssignConverted(const TCustomParam& source) { Value->AssignConverted(source); }

  // Replaces the value by a new one of the type code (the contents are lost).
  void SetParamType(uint8_t code);
  // Makes this item the system variable of an index, named from the table.
  void SetSystemIndex(uint8_t index);
  bool IsSystem() const;
  // For an element temporary (value a reference): binds to Target and points
  // at the element of the subscripts.
  void SetReference(const std::string& target, const std::vector<int32_t>& subscripts);

  // The variable record: name, value form, Persistent, Reserved, FrameId,
  // Local. LoadFromStream answers whether the record had a name.
  void SaveToStream(TKsBigStream& stream) const;
  bool LoadFromStream(TKsBigStream& stream);

  // References bound to this item; they are unbound when it is freed.
  void AddReference(TParamVar* ref) { refs_.push_back(ref); }
  void RemoveReference(TParamVar* ref);

 private:
  friend class TParamCollection;
  TParamCollection* owner_;
  std::string name_;
  int32_t cached_index_ = -1;
  std::vector<TParamVar*> refs_;
};

class TParamCollection {
 public:
  // Creates the 51 system variables.
  TParamCollection();
  ~TParamCollection();
  TParamCollection(const TParamCollection&) = delete;
  TParamCollection& operator=(const TParamCollection&) = delete;

  int32_t CurrentFrame = 0;  // depth of the call stack, kept by the call manager
  // Storage of "@SelStr", "@SelIndex", "@TextDelay" and "@Cursor", and the
  // name of the variable "@Temp" stands for.
  std::string SelStr;
  int32_t SelIndex = 0;
  int32_t TextDelay = kDefaultTextDelay;
  std::string CursorName;
  std::string TempTargetName;

  // The host answers the system variables; without one, defaults answer.
  void SetHost(TSystemVarHost* host) { host_ = host != nullptr ? host : &default_host_; }
  TSystemVarHost& Host() const { return *host_; }

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  TParamCollectionItem* GetItem(int32_t index) const;
  // Appends an unnamed variable holding a new value of the type code; the
  // caller names it or frees it. An unknown code raises.
  TParamCollectionItem* AddVar(uint8_t code);
  // Frees one variable; system variables are never freed.
  void FreeVar(TParamCollectionItem* item);

  int32_t IndexOf(const std::string& name) const;
  TParamCollectionItem* Find(const std::string& name) const;
  // Only a local of the current frame (Local true) or only a non-local.
  TParamCollectionItem* FindScoped(const std::string& name, bool local) const;
  // A detached copy of a data variable; nullptr when there is none; raises
  // "%s:不正な変数です" for a reference or system variable.
  std::unique_ptr<TCustomParam> CopyValue(const std::string& name) const;
  void DeleteFrameVars(int32_t frame_id);
  // Keeps the system and persistent variables only; resets "@TextDelay" to
  // 50 and "@Cursor" to the empty text.
  void Clear();

  // Raises EScriptError when the snapshots would hold more than
  // kMaxPushedBytes in sum; the stack is then unchanged.
  void PushVar(const std::vector<std::string>& names);
  void PopVar();
  int32_t PushedFrameCount() const { return static_cast<int32_t>(frames_.size()); }
  // What the snapshots hold, counted as FrameCost counts each.
  int64_t PushedBytes() const { return pushed_bytes_; }

  void SaveGameVars(TKsBigStream& stream) const;
  // Reads what SaveGameVars wrote for a game slot of the given version. The
  // whole part is read before anything changes: a failed load changes nothing.
  void LoadGameVars(TKsBigStream& stream, int32_t version);
  void SaveStatusVars(TKsBigStream& stream) const;
  void LoadStatusVars(TKsBigStream& stream);

 private:
  friend class TParamCollectionItem;
  struct TStagedVars;
  struct TFrameEntry;

  void LinkName(TParamCollectionItem* item);
  void UnlinkName(TParamCollectionItem* item);
  void FreeWhere(bool (*doomed)(const TParamCollectionItem&, int32_t), int32_t arg);
  void SaveVarList(TKsBigStream& stream, bool persistent) const;
  TStagedVars ReadVarList(TKsBigStream& stream);
  void AdoptVars(TStagedVars& staged);
  std::vector<TFrameEntry> ReadFrame(TKsBigStream& stream);

  TSystemVarHost default_host_;
  TSystemVarHost* host_ = &default_host_;
  std::vector<std::unique_ptr<TParamCollectionItem>> items_;
  // Lower-cased name -> items of that name, in the order they were named.
  std::unordered_map<std::string, std::vector<TParamCollectionItem*>> names_;
  std::vector<std::vector<uint8_t>> frames_;  // PushVar snapshots, last on top
  int64_t pushed_bytes_ = 0;                    // FrameCost of frames_ in sum
};

// What PushVar snapshots may hold in sum: a real game keeps a few small
// values there; this still holds sixteen of the largest texts.
inline constexpr int64_t kMaxPushedBytes = int64_t{256} << 20;
// The memory one snapshot of Size bytes takes: its bytes and its block.
inline int64_t FrameCost(size_t size) { return static_cast<int64_t>(size) + 64; }

// "\"%s\"：変数名が不正です"
std::string BadVarNameMessage(const std::string& name);

}  // namespace orba
