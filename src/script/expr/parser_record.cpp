#include "script/expr/parser_record.h"

#include "core/errors.h"
#include "core/streams/stream_encoding.h"

namespace orba {

namespace {

// A stored count: negative or larger than the bytes left raises before
// anything is allocated.
int32_t ReadCount(TKsBigStream& stream, int64_t min_element_bytes) {
  const int32_t count = ReadStreamInt(stream);
  if (count < 0) throw EReadError();
  CheckStoredCount(stream, count, min_element_bytes);
  return count;
}

std::unique_ptr<TCustomParam> CopyOperand(const TCustomParam& source) {
  if (const auto* ref = dynamic_cast<const TParamVar*>(&source)) {
    auto copy = std::make_unique<TParamVar>(ref->Store);
    copy->Name = ref->Name;
    return copy;
  }
  auto copy = CreateParamByType(source.GetParamType());
  copy->Assign(source);
  return copy;
}

}  // namespace

uint8_t TOpeData::OperandCode(size_t index) const {
  if (stored_codes_.size() == Operands.size()) return stored_codes_[index];
  const TCustomParam& p = *Operands.at(index);
  return dynamic_cast<const TParamVar*>(&p) != nullptr ? static_cast<uint8_t>(OPD_VAR) : p.GetParamType();
}

void TOpeData::LoadFromStream(TKsBigStream& stream) {
  const uint8_t op = ReadByteVal(stream);
  std::string dest = ReadStreamString(stream);
  const int32_t count = ReadCount(stream, kMinOperandBytes);
  const uint8_t func = op == ocFunc ? ReadByteVal(stream) : 0;
  std::vector<std::unique_ptr<TCustomParam>> operands;
  std::vector<uint8_t> codes;
  operands.reserve(static_cast<size_t>(count));
  codes.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t code = ReadByteVal(stream);
    std::unique_ptr<TCustomParam> p;
    switch (code) {
      case OPD_INT:
        p = std::make_unique<TParamInt>();
        p->SetAsInt(ReadStreamInt(stream));
        break;
      case OPD_FLOAT:
        p = std::make_unique<TParamFloat>();
        p->SetAsFloat(ReadStreamFloat(stream));
        break;
      case OPD_FLAG:
        p = std::make_unique<TParamFlag>();
        p->SetAsFlag(ReadByteVal(stream) != 0);
        break;
      case OPD_STR:
        p = std::make_unique<TParamStr>();
        p->SetAsStr(ReadStreamString(stream));
        break;
      default: {
        auto ref = std::make_unique<TParamVar>();
        ref->Name = ReadStreamString(stream);
        p = std::move(ref);
      }
    }
    operands.push_back(std::move(p));
    codes.push_back(code);
  }
  Op = op;
  Dest = std::move(dest);
  FuncId = func;
  Operands = std::move(operands);
  stored_codes_ = std::move(codes);
}

void TOpeData::SaveToStream(TKsBigStream& stream) const {
  WriteStreamByte(stream, Op);
  WriteStreamString(stream, Dest);
  WriteStreamInt(stream, static_cast<int32_t>(Operands.size()));
  if (Op == ocFunc) WriteStreamByte(stream, FuncId);
  for (const auto& p : Operands) {
    if (const auto* ref = dynamic_cast<const TParamVar*>(p.get())) {
      WriteStreamByte(stream, OPD_VAR);
      WriteStreamString(stream, ref->Name);
      continue;
    }
    const uint8_t code = p->GetParamType();
    WriteStreamByte(stream, code);
    switch (code) {
      case OPD_INT: WriteStreamInt(stream, p->GetAsInt()); break;
      case OPD_FLOAT: WriteStreamFloat(stream, p->GetAsFloat()); break;
      case OPD_FLAG: WriteStreamByte(stream, p->GetAsFlag() ? 1 : 0); break;
      default: WriteStreamString(stream, p->GetAsStr()); break;
    }
  }
}

void TOpeData::Assign(const TOpeData& source) {
  if (&source == this) return;
  std::vector<std::unique_ptr<TCustomParam>> operands;
  for (const auto& p : source.Operands) operands.push_back(CopyOperand(*p));
  Op = source.Op;
  Dest = source.Dest;
  FuncId = source.FuncId;
  Operands = std::move(operands);
  stored_codes_ = source.stored_codes_;
}

void TOpeData::AddInt(int32_t value) {
  auto p = std::make_unique<TParamInt>();
  p->SetAsInt(value);
  stored_codes_.clear();
  Operands.push_back(std::move(p));
}

void TOpeData::AddFloat(long double value) {
  auto p = std::make_unique<TParamFloat>();
  p->SetAsFloat(value);
  stored_codes_.clear();
  Operands.push_back(std::move(p));
}

void TOpeData::AddFlag(bool value) {
  auto p = std::make_unique<TParamFlag>();
  p->SetAsFlag(value);
  stored_codes_.clear();
  Operands.push_back(std::move(p));
}

void TOpeData::AddStr(const std::string& value) {
  auto p = std::make_unique<TParamStr>();
  p->SetAsStr(value);
  stored_codes_.clear();
  Operands.push_back(std::move(p));
}

void TOpeData::AddVar(const std::string& name) {
  auto p = std::make_unique<TParamVar>();
  p->Name = name;
  stored_codes_.clear();
  Operands.push_back(std::move(p));
}

TOpeData* TOrbaParser::AddOp() {
  ops_.push_back(std::make_unique<TOpeData>());
  return ops_.back().get();
}

void TOrbaParser::LoadFromStream(TKsBigStream& stream) {
  const int32_t count = ReadCount(stream, kMinOpeRecordBytes);
  std::vector<std::unique_ptr<TOpeData>> ops;
  ops.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    auto op = std::make_unique<TOpeData>();
    op->LoadFromStream(stream);
    ops.push_back(std::move(op));
  }
  ops_ = std::move(ops);
}

void TOrbaParser::SaveToStream(TKsBigStream& stream) const {
  WriteStreamInt(stream, Count());
  for (const auto& op : ops_) op->SaveToStream(stream);
}

void TOrbaParser::Assign(const TOrbaParser& source) {
  if (&source == this) return;
  std::vector<std::unique_ptr<TOpeData>> ops;
  for (const auto& op : source.ops_) {
    auto copy = std::make_unique<TOpeData>();
    copy->Assign(*op);
    ops.push_back(std::move(copy));
  }
  ops_ = std::move(ops);
}

}  // namespace orba
