#include "script/interp/command.h"

#include <cstring>

#include "core/errors.h"
#include "core/streams/stream_encoding.h"
#include "script/interp/com_component.h"
#include "script/interp/com_flow.h"
#include "script/interp/com_object.h"
#include "script/interp/page.h"

namespace orba {

// ---- TCommand ----

int32_t TCommand::PageVersion() const { return Page != nullptr ? Page->Version : kNewPageVersion; }

void TCommand::LoadFromStream(TKsBigStream& stream) {
  Depth = ReadStreamInt(stream);
  Skip = ReadByteVal(stream);
  Continue = ReadByteVal(stream);
  Line = ReadStreamInt(stream);
  TRecordReader reader(stream, PageVersion());
  Fields(reader);
}

void TCommand::SaveToStream(TKsBigStream& stream) const {
  WriteStreamInt(stream, Depth);
  WriteStreamByte(stream, Skip);
  WriteStreamByte(stream, Continue);
  WriteStreamInt(stream, Line);
  TRecordWriter writer(stream, PageVersion());
  // The writer only reads the fields it visits.
  const_cast<TCommand*>(this)->Fields(writer);
}

// ---- reading ----

namespace {

uint32_t ReadListCount(TKsBigStream& stream) {
  const int32_t raw = ReadStreamInt(stream);
  // An unsigned count above 2^31 can never fit either; both read as an error.
  if (raw < 0) throw EReadError();
  CheckStoredCount(stream, raw, kMinExpressionBytes);
  return static_cast<uint32_t>(raw);
}

}  // namespace

void TRecordReader::Expr(const char*, TOrbaParser& value, int32_t since) {
  if (Stored(since)) value.LoadFromStream(stream_);
}

void TRecordReader::Str(const char*, std::string& value) { value = ReadStreamString(stream_); }

void TRecordReader::Int(const char*, int32_t& value, int32_t since) {
  if (Stored(since)) value = ReadStreamInt(stream_);
}

void TRecordReader::Byte(const char*, uint8_t& value) { value = ReadByteVal(stream_); }

void TRecordReader::ExprList(const char*, std::vector<std::unique_ptr<TOrbaParser>>& list,
                             bool unsigned_count) {
  const uint32_t count = ReadListCount(stream_);
  std::vector<std::unique_ptr<TOrbaParser>> items;
  items.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    auto e = std::make_unique<TOrbaParser>();
    e->LoadFromStream(stream_);
    items.push_back(std::move(e));
  }
  list = std::move(items);
}

void TRecordReader::Blob(const char*, TKsMemoryStream& bytes) {
  const int32_t count = ReadStreamInt(stream_);
  if (count < 0) throw EReadError();
  CheckStoredCount(stream_, count, 1);
  std::vector<uint8_t> data(static_cast<size_t>(count));
  if (count > 0) stream_.ReadBuffer(data.data(), count);
  bytes.Clear();
  bytes.MutableBytes() = std::move(data);
  bytes.SetPosition(0);
}

void TRecordReader::PropExpr(uint8_t, TOrbaParser& value) { value.LoadFromStream(stream_); }

// ---- writing ----

void TRecordWriter::Expr(const char*, TOrbaParser& value, int32_t since) {
  if (Stored(since)) value.SaveToStream(stream_);
}

void TRecordWriter::Str(const char*, std::string& value) { WriteStreamString(stream_, value); }

void TRecordWriter::Int(const char*, int32_t& value, int32_t since) {
  if (Stored(since)) WriteStreamInt(stream_, value);
}

void TRecordWriter::Byte(const char*, uint8_t& value) { WriteStreamByte(stream_, value); }

void TRecordWriter::ExprList(const char*, std::vector<std::unique_ptr<TOrbaParser>>& list, bool) {
  WriteStreamInt(stream_, static_cast<int32_t>(list.size()));
  for (const auto& e : list) e->SaveToStream(stream_);
}

void TRecordWriter::Blob(const char*, TKsMemoryStream& bytes) {
  const auto& data = bytes.Bytes();
  WriteStreamInt(stream_, static_cast<int32_t>(data.size()));
  if (!data.empty()) stream_.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
}

void TRecordWriter::PropExpr(uint8_t, TOrbaParser& value) { value.SaveToStream(stream_); }

// ---- running-state header ----

void WriteVersionHeader(TKsBigStream& stream) { stream.WriteBuffer(("orba" + std::to_string(kCommandStateFlagsVersion)).data(), 7); }

int32_t ReadVersionHeader(TKsBigStream& stream) {
  const int64_t start = stream.GetPosition();
  char head[7];
  if (stream.Read(head, 7) != 7 || std::memcmp(head, "orba", 4) != 0) {
    stream.SetPosition(start);
    return 0;
  }
  int32_t value = 0;
  for (int i = 4; i < 7; ++i) {
    if (head[i] < '0' || head[i] > '9') return 0;
    value = value * 10 + (head[i] - '0');
  }
  return value;
}

// ---- the factory ----

namespace {

using TCommandMaker = std::unique_ptr<TCommand> (*)(TPage*);

template <typename T>
std::unique_ptr<TCommand> Make(TPage* page) {
  return std::make_unique<T>(page);
}

struct TCommandClass {
  const char* name;
  TCommandMaker make;
};

constexpr TCommandClass kCommandClasses[] = {
    {"TComIf", Make<TComIf>},
    {"TComElseif", Make<TComElseif>},
    {"TComElse", Make<TComElse>},
    {"TComLabel", Make<TComLabel>},
    {"TComJump", Make<TComJump>},
    {"TComCall", Make<TComCall>},
    {"TComExit", Make<TComExit>},
    {"TComWait", Make<TComWait>},
    {"TComBoxNew", Make<TComBoxNew>},
    {"TComImgNew", Make<TComImgNew>},
    {"TComMesNew", Make<TComMesNew>},
    {"TComTimer", Make<TComTimer>},
    {"TComMovie", Make<TComMovie>},
    {"TComFlip", Make<TComFlip>},
    {"TComCalc", Make<TComCalc>},
    {"TComVarNew", Make<TComVarNew>},
    {"TComVarDel", Make<TComVarDel>},
    {"TComGetProp", Make<TComGetProp>},
    {"TComSetProp", Make<TComSetProp>},
    {"TComObjDel", Make<TComObjDel>},
    {"TComTextIns", Make<TComTextIns>},
    {"TComMovieStop", Make<TComMovieStop>},
    {"TComClrHist", Make<TComClrHist>},
    {"TComCinema", Make<TComCinema>},
    {"TComCaption", Make<TComCaption>},
    {"TComMenu", Make<TComMenu>},
    {"TComMenuClose", Make<TComMenuClose>},
    {"TComComment", Make<TComComment>},
    {"TComTextClr", Make<TComTextClr>},
    {"TComCallHist", Make<TComCallHist>},
    {"TComBtnNew", Make<TComBtnNew>},
    {"TComWhile", Make<TComWhile>},
    {"TComWhileInit", Make<TComWhileInit>},
    {"TComWhileLoop", Make<TComWhileLoop>},
    {"TComBreak", Make<TComBreak>},
    {"TComContinue", Make<TComContinue>},
    {"TComParticleNew", Make<TComParticleNew>},
    {"TComFireNew", Make<TComFireNew>},
    {"TComGameSave", Make<TComGameSave>},
    {"TComGameLoad", Make<TComGameLoad>},
    {"TComPCReset", Make<TComPCReset>},
    {"TComReset", Make<TComReset>},
    {"TComSound", Make<TComSound>},
    {"TComEditNew", Make<TComEditNew>},
    {"TComMemoNew", Make<TComMemoNew>},
    {"TComTerminate", Make<TComTerminate>},
    {"TComDoEvent", Make<TComDoEvent>},
    {"TComClrRead", Make<TComClrRead>},
    {"TComMapImgNew", Make<TComMapImgNew>},
    {"TComWaveNew", Make<TComWaveNew>},
    {"TComTileNew", Make<TComTileNew>},
    {"TComSliderNew", Make<TComSliderNew>},
    {"TComScrollbarNew", Make<TComScrollbarNew>},
    {"TComGaugeNew", Make<TComGaugeNew>},
    {"TComCGCaption", Make<TComCGCaption>},
    {"TComMediaPlay", Make<TComMediaPlay>},
    {"TComPrevMenuNew", Make<TComPrevMenuNew>},
    {"TComPropMotion", Make<TComPropMotion>},
    {"TComEntryHist", Make<TComEntryHist>},
    {"TComCabinetSave", Make<TComCabinetSave>},
    {"TComCabinetLoad", Make<TComCabinetLoad>},
};
static_assert(std::size(kCommandClasses) == kOpcodeCount);

}  // namespace

std::unique_ptr<TCommand> CreateCommand(TPage* page, uint8_t opcode) {
  const uint8_t code = opcode & 0x7F;
  if (code >= kOpcodeCount) throw EReadError(kMsgBadCommand);
  return kCommandClasses[code].make(page);
}

const char* CommandClassName(uint8_t opcode) {
  const uint8_t code = opcode & 0x7F;
  return code < kOpcodeCount ? kCommandClasses[code].name : "";
}

}  // namespace orba
