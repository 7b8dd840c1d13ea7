// The "@" system variables: values that store nothing themselves but read and
// write the state of the interpreter, the screen, the clock, the backlog, the
// media layer and the window through the store's TSystemVarHost.
#pragma once

#include <cstdint>
#include <string>

#include "script/values/params.h"

namespace orba {

class TParamSystem final : public TCustomParam {
 public:
  TParamSystem(uint8_t index, TParamCollection* store) : Index(index), Store(store) {}

  const uint8_t Index;
  TParamCollection* const Store;

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
  int32_t GetDimCount() const override;
  int32_t GetDimSize(int32_t index) const override;
  void Assign(const TCustomParam& source) override;
  void SetDims(const std::vector<int32_t>& sizes) override;
  void FillInt(int32_t value) override;
  void FillFloat(long double value) override;
  void FillFlag(bool value) override;
  void FillStr(const std::string& value) override;
  void CopyMem(const TCustomParam& source) override;
  void MakeScalar() override;
  const TCustomParam& Target() const override;
  // "@ParamStr" past the argument count reads as "".
  bool ReadsBeyondCount() const override { return Index == SV_PARAMSTR; }

  // One value of any of the four kinds, as read or written.
  struct TSysValue {
    uint8_t Type = PT_INT;
    int32_t I = 0;
    long double F = 0.0L;
    bool B = false;
    std::string S;
  };

 private:
  // The value that "@Result" and "@Temp" stand for; nullptr when none.
  TCustomParam* Alias() const;
  bool IsAlias() const { return Index == SV_RESULT || Index == SV_TEMP; }
  uint8_t OwnType() const;
  TSysValue ReadNative(int32_t item, bool is_item) const;
  void Write(const TSysValue& given, bool is_item);
};

}  // namespace orba
