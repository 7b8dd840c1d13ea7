#include "script/interp/page.h"

#include <algorithm>

#include "core/errors.h"
#include "core/streams/stream_encoding.h"

namespace orba {

namespace {

TPageHost g_default_host;
TPageHost* g_host = &g_default_host;

// One opcode byte and the common header: the least a command takes.
constexpr int64_t kMinCommandBytes = 1 + 4 + 1 + 1 + 4;

TPropMask MaskFromHex(const char* hex) {
  TPropMask m{};
  auto nibble = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
  for (int i = 0; i < kPropMaskBytes; ++i) m[i] = static_cast<uint8_t>(nibble(hex[2 * i]) * 16 + nibble(hex[2 * i + 1]));
  return m;
}

std::array<TPropMask, kOpcodeCount> MakeBuiltinMasks() {
  std::array<TPropMask, kOpcodeCount> masks{};
  static const struct {
    uint8_t opcode;
    const char* hex;
  } kMasks[] = {
      {8, "7f7f0028fc8b0000800001008800f2004000bf0018"},
      {9, "9f7800acfc9f0000800001019880f3005000bf0018"},
      {10, "7bf87d0effcb000000000700a800f20000e0bf0100"},
      {11, "0100000c0200000080000000000000000000800000"},
      {12, "9f7800fcfc9b0000800001009880f3005008ff4000"},
      {23, "1f700038fc9b0000800001008800f2004008bf4000"},
      {24, "9ff80faafc8b2400800001009800f2005000bf0000"},
      {25, "1b9fef0ffc83feffff3f01008a03f200c0e1bf1e00"},
      {30, "9ff80b8a0e8c04008000f9019880f3007000bf0018"},
      {36, "7f78000cfc930000000001f0c900f2014000bf0000"},
      {37, "9b700008fc8300000000010e9800f2005000bf0000"},
      {42, "0500007c0018000080000000000000000008804004"},
      {43, "7be10b080280040000000000040000000000800000"},
      {44, "7be10b080280240000000000040000000000800000"},
      {48, "1f780008fc870000800309008807f2004000bf0000"},
      {49, "7b70000cfc830000000001008818f2004000bf0000"},
      {50, "ff180008fc8700000000010088e0ff005000bf0018"},
      {51, "1f780008fe830000000001018800f2fe8001bf2000"},
      {52, "1f780008fe830000000001018800f2fe8101bf2000"},
      {53, "1f78000cfc830000000001008800f2790002bf2000"},
      {54, "1f780408fc832400000001008800f2004e00bf0000"},
      {56, "1f70000800880000800301000803f2004000bf0000"},
      {59, "010000000000000000000000000000000000000000"},
      {60, "010000000000000000000000000000000000000000"},
  };
  for (const auto& m : kMasks) masks[m.opcode] = MaskFromHex(m.hex);
  return masks;
}

// Moves the position forward by `count` bytes, raising when fewer are left.
void SkipBytes(TKsBigStream& stream, int64_t count) {
  if (count <= 0) return;
  if (stream.Remaining() < count) throw EReadError();
  stream.Seek(count, SeekOrigin::Current);
}

}  // namespace

void TPageHost::LoadToStream(const std::string& name, TKsMemoryStream& stream) {
  stream.LoadFromFile(name, kMaxPageFileBytes);
}

void SetPageHost(TPageHost* host) { g_host = host != nullptr ? host : &g_default_host; }
TPageHost& PageHost() { return *g_host; }

std::string RebuildMessage(const std::string& page_name) {
  // "\r\n" "リビルドしてください"
  return page_name + "\r\n\x83\x8a\x83\x72\x83\x8b\x83\x68\x82\xb5\x82\xc4\x82\xad\x82\xbe\x82\xb3\x82\xa2";
}

const std::array<TPropMask, kOpcodeCount>& TPage::BuiltinMasks() {
  static const auto masks = MakeBuiltinMasks();
  return masks;
}

TPage::TPage() : PropertyMasks(BuiltinMasks()) {}

TPage::~TPage() {
  Commands.Clear();
  if (!Name.empty()) PageHost().PageFreed(Name);
}

bool TPage::HasProp(uint8_t opcode, uint8_t prop_id) const {
  const TPropMask& m = PropertyMasks.at(opcode & 0x7F);
  return prop_id < kPropMaskBytes * 8 && ((m[prop_id / 8] >> (prop_id % 8)) & 1) != 0;
}

void TPage::SetProp(uint8_t opcode, uint8_t prop_id, bool present) {
  TPropMask& m = PropertyMasks.at(opcode & 0x7F);
  const uint8_t bit = static_cast<uint8_t>(1u << (prop_id % 8));
  uint8_t& byte = m.at(prop_id / 8);
  byte = present ? (byte | bit) : (byte & ~bit);
}

void TPage::LoadFromFile(const std::string& name) {
  TKsMemoryStream stream;
  PageHost().LoadToStream(name, stream);
  stream.SetPosition(0);
  std::string old_name = std::move(Name);
  Name = name;
  try {
    LoadFromStream(stream);
  } catch (...) {  // cleaned up, then rethrown
    Name = std::move(old_name);
    throw;
  }
}

void TPage::LoadFromStream(TKsBigStream& stream) {
  const int32_t version = ReadStreamInt(stream);
  if (version > kNewestPageVersion) {
    // A page of a later player: kept without commands, without a message.
    Commands.Clear();
    Version = version;
    return;
  }
  if (version < kOldestPageVersion) {
    Commands.Clear();
    Version = version;
    PageHost().PageTooOld(kMsgWarning, RebuildMessage(Name));
    return;
  }

  // Everything is read into a staged page first and taken over at the end.
  TPage staged;
  staged.Version = version;
  staged.ResultType = ReadByteVal(stream);
  const int32_t mask_count = ReadStreamInt(stream);
  const int32_t mask_size = ReadStreamInt(stream);
  if (mask_count < 0 || mask_size < 0) throw EReadError();
  CheckStoredCount(stream, mask_count, mask_size);
  staged.PropertyMasks = {};
  const int32_t kept = std::min<int32_t>(mask_count, kOpcodeCount);
  const int32_t used = std::min<int32_t>(mask_size, kPropMaskBytes);
  for (int32_t i = 0; i < kept; ++i) {
    if (used > 0) stream.ReadBuffer(staged.PropertyMasks[i].data(), used);
    SkipBytes(stream, mask_size - used);
  }
  SkipBytes(stream, static_cast<int64_t>(mask_count - kept) * mask_size);

  const int32_t count = ReadStreamInt(stream);
  if (count < 0) throw EReadError();
  CheckStoredCount(stream, count, kMinCommandBytes);
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t opbyte = ReadByteVal(stream);
    std::unique_ptr<TCommand> command = CreateCommand(&staged, opbyte);
    command->OpcodeHighBit = opbyte & 0x80;
    command->LoadFromStream(stream);
    staged.Commands.Add(std::move(command));
  }

  Version = staged.Version;
  ResultType = staged.ResultType;
  PropertyMasks = staged.PropertyMasks;
  Commands.Swap(staged.Commands);
  for (int32_t i = 0; i < Commands.Count(); ++i) Commands.GetItem(i)->Page = this;
}

void TPage::SaveToStream(TKsBigStream& stream) const {
  WriteStreamInt(stream, Version);
  WriteStreamByte(stream, ResultType);
  WriteStreamInt(stream, kOpcodeCount);
  WriteStreamInt(stream, kPropMaskBytes);
  for (const TPropMask& m : PropertyMasks) stream.WriteBuffer(m.data(), kPropMaskBytes);
  WriteStreamInt(stream, Commands.Count());
  for (int32_t i = 0; i < Commands.Count(); ++i) {
    const TCommand* c = Commands.GetItem(i);
    WriteStreamByte(stream, c->GetOpcode() | c->OpcodeHighBit);
    c->SaveToStream(stream);
  }
}

void TPage::SaveToFile(const std::string& path) const {
  TKsMemoryStream stream;
  SaveToStream(stream);
  stream.SaveToFile(path);
}

int32_t TPage::FindLabel(const std::string& name) const {
  for (int32_t i = 0; i < Commands.Count(); ++i) {
    if (Commands.GetItem(i)->MatchLabel(name)) return i;
  }
  return -1;
}

int32_t TPage::IndexOf(const TCommand* command) const {
  for (int32_t i = 0; i < Commands.Count(); ++i) {
    if (Commands.GetItem(i) == command) return i;
  }
  return -1;
}

TCommand* TPage::AddCommand(uint8_t opcode) {
  std::unique_ptr<TCommand> c = CreateCommand(this, opcode);
  TCommand* raw = c.get();
  Commands.Add(std::move(c));
  return raw;
}

}  // namespace orba
