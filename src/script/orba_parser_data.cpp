#include "script/orba_parser_data.h"

#include "core/errors.h"
#include "core/stream_encoding.h"

namespace orba {

namespace {

// Smallest stored operand: its code and an int32 (a constant or a name length).
constexpr int64_t kMinOperandBytes = 5;
// Smallest stored record: Op, empty Dest, operand count.
constexpr int64_t kMinRecordBytes = 9;

std::unique_ptr<TCustomParam> ReadOperand(TKsBigStream& stream) {
  const uint8_t code = ReadByteVal(stream);
  switch (code) {
    case PT_INT: {
      auto v = std::make_unique<TParamInt>();
      v->Elements[0] = ReadStreamInt(stream);
      return v;
    }
    case PT_FLOAT: {
      auto v = std::make_unique<TParamFloat>();
      v->Elements[0] = ReadStreamFloat(stream);
      return v;
    }
    case PT_BOOL: {
      auto v = std::make_unique<TParamFlag>();
      v->Elements[0] = ReadByteVal(stream);
      return v;
    }
    case PT_STR: {
      auto v = std::make_unique<TParamStr>();
      v->Elements[0] = ReadStreamString(stream);
      return v;
    }
    default: {
      // Code 0, and any unknown code, names a variable.
      auto v = std::make_unique<TParamVar>();
      v->Name = ReadStreamString(stream);
      return v;
    }
  }
}

void WriteOperand(TKsBigStream& stream, const TCustomParam& operand) {
  if (const auto* ref = dynamic_cast<const TParamVar*>(&operand)) {
    WriteStreamByte(stream, PT_NONE);
    WriteStreamString(stream, ref->Name);
    return;
  }
  const uint8_t code = operand.GetParamType();
  WriteStreamByte(stream, code);
  switch (code) {
    case PT_INT: WriteStreamInt(stream, operand.GetAsInt()); break;
    case PT_FLOAT: WriteStreamFloat(stream, operand.GetAsFloat()); break;
    case PT_BOOL: WriteStreamByte(stream, dynamic_cast<const TParamFlag&>(operand).Elements[0]); break;
    default: WriteStreamString(stream, operand.GetAsStr()); break;
  }
}

}  // namespace

std::unique_ptr<TCustomParam> CopyOperand(const TCustomParam& operand) {
  if (const auto* ref = dynamic_cast<const TParamVar*>(&operand)) {
    auto copy = std::make_unique<TParamVar>(ref->Store);
    copy->Name = ref->Name;
    return copy;
  }
  auto copy = CreateParamByType(operand.GetParamType());
  copy->Assign(operand);
  return copy;
}

void TOpeData::SaveToStream(TKsBigStream& stream) const {
  WriteStreamByte(stream, Op);
  WriteStreamString(stream, Dest);
  WriteStreamInt(stream, static_cast<int32_t>(Operands.size()));
  if (Op == ocFunc) WriteStreamByte(stream, FuncId);
  for (const auto& operand : Operands) WriteOperand(stream, *operand);
}

void TOpeData::LoadFromStream(TKsBigStream& stream) {
  const uint8_t op = ReadByteVal(stream);
  std::string dest = ReadStreamString(stream);
  const int32_t count = ReadStreamInt(stream);
  if (count < 0) throw EReadError();
  const uint8_t func_id = op == ocFunc ? ReadByteVal(stream) : 0;
  CheckStoredCount(stream, count, kMinOperandBytes);
  std::vector<std::unique_ptr<TCustomParam>> operands;
  operands.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) operands.push_back(ReadOperand(stream));
  Op = op;
  Dest = std::move(dest);
  FuncId = func_id;
  Operands = std::move(operands);
}

void TOpeData::Assign(const TOpeData& source) {
  std::vector<std::unique_ptr<TCustomParam>> operands;
  for (const auto& operand : source.Operands) operands.push_back(CopyOperand(*operand));
  Op = source.Op;
  Dest = source.Dest;
  FuncId = source.FuncId;
  Operands = std::move(operands);
}

TOpeData* TOrbaParser::GetOp(int32_t index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return Ops[static_cast<size_t>(index)].get();
}

TOpeData* TOrbaParser::AddOp() {
  Ops.push_back(std::make_unique<TOpeData>());
  return Ops.back().get();
}

void TOrbaParser::LoadFromStream(TKsBigStream& stream) {
  const int32_t count = ReadStreamInt(stream);
  if (count < 0) throw EReadError();
  CheckStoredCount(stream, count, kMinRecordBytes);
  std::vector<std::unique_ptr<TOpeData>> ops;
  ops.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) {
    auto op = std::make_unique<TOpeData>();
    op->LoadFromStream(stream);
    ops.push_back(std::move(op));
  }
  Ops = std::move(ops);
}

void TOrbaParser::SaveToStream(TKsBigStream& stream) const {
  WriteStreamInt(stream, Count());
  for (const auto& op : Ops) op->SaveToStream(stream);
}

void TOrbaParser::Assign(const TOrbaParser& source) {
  std::vector<std::unique_ptr<TOpeData>> ops;
  for (const auto& op : source.Ops) {
    ops.push_back(std::make_unique<TOpeData>());
    ops.back()->Assign(*op);
  }
  Ops = std::move(ops);
}

}  // namespace orba
