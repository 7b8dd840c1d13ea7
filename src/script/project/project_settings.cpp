#include "script/project/project_settings.h"

#include <cstring>
#include <utility>

#include "core/streams/stream_encoding.h"

namespace orba {

namespace {

constexpr uint8_t kTypeInt = 1;
constexpr uint8_t kTypeFloat = 2;
constexpr uint8_t kTypeFlag = 3;
constexpr uint8_t kTypeStr = 4;

// The smallest stored initial variable: a type byte and an empty name.
constexpr int64_t kMinInitialVarSize = 1 + 4;

TInitialVar ReadInitialVar(TKsBigStream& s) {
  TInitialVar v;
  v.Type = ReadByteVal(s);
  v.Name = ReadStreamString(s);
  switch (v.Type) {
    case kTypeInt: v.IntValue = ReadStreamInt(s); break;
    case kTypeFloat: v.FloatValue = ReadStreamFloat(s); break;
    case kTypeFlag: v.FlagValue = ReadByteVal(s); break;
    case kTypeStr: v.StrValue = ReadStreamString(s); break;
    default: break;  // no value follows
  }
  return v;
}

void WriteInitialVar(TKsBigStream& s, const TInitialVar& v) {
  WriteStreamByte(s, v.Type);
  WriteStreamString(s, v.Name);
  switch (v.Type) {
    case kTypeInt: WriteStreamInt(s, v.IntValue); break;
    case kTypeFloat: WriteStreamFloat(s, v.FloatValue); break;
    case kTypeFlag: WriteStreamByte(s, v.FlagValue); break;
    case kTypeStr: WriteStreamString(s, v.StrValue); break;
    default: break;
  }
}

}  // namespace

bool TInitialVar::operator==(const TInitialVar& other) const {
  uint8_t a[10];
  uint8_t b[10];
  FloatToBytes(FloatValue, a);
  FloatToBytes(other.FloatValue, b);
  return Type == other.Type && Name == other.Name && IntValue == other.IntValue && std::memcmp(a, b, 10) == 0 &&
         FlagValue == other.FlagValue && StrValue == other.StrValue;
}

void TProjectSetting::LoadFromStream(TKsBigStream& stream) {
  TProjectSetting r;
  r.Version = ReadStreamInt(stream);
  if (r.Version > kCurrentVersion) throw EUnsupportedVersion();
  r.Title = ReadStreamString(stream);
  r.Width = ReadStreamInt(stream);
  r.Height = ReadStreamInt(stream);
  r.ScreenParam1 = ReadStreamInt(stream);
  r.ScreenParam2 = ReadStreamInt(stream);
  r.StartPage = ReadStreamString(stream);
  if (r.Version >= kExitPageVersion) r.ExitPage = ReadStreamString(stream);
  r.RegistryKey = ReadStreamString(stream);
  r.ImageCode = ReadStreamInt(stream);
  if (r.Version >= kWriteSaveDataVersion) r.WriteSaveData = ReadByteVal(stream);
  if (r.Version >= kSleepBetweenTicksVersion) r.SleepBetweenTicks = ReadByteVal(stream);
  if (r.Version >= kStreamedExtensionsVersion) r.StreamedExtensions = ReadStreamString(stream);
  if (r.Version >= kPauseWhenInactiveVersion) r.PauseWhenInactive = ReadByteVal(stream);
  if (r.Version >= kReservedByteVersion) r.Reserved = ReadByteVal(stream);
  r.DiskPrompt = ReadStreamString(stream);
  r.QuitText = ReadStreamString(stream);
  const int32_t count = ReadStreamInt(stream);
  if (count < 0) throw EReadError();
  CheckStoredCount(stream, count, kMinInitialVarSize);
  r.InitialVars.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) r.InitialVars.push_back(ReadInitialVar(stream));
  r.FolderDisks.LoadFromStream(stream);
  *this = std::move(r);
}

void TProjectSetting::SaveToStream(TKsBigStream& stream) const {
  WriteStreamInt(stream, kCurrentVersion);
  WriteStreamString(stream, Title);
  WriteStreamInt(stream, Width);
  WriteStreamInt(stream, Height);
  WriteStreamInt(stream, ScreenParam1);
  WriteStreamInt(stream, ScreenParam2);
  WriteStreamString(stream, StartPage);
  WriteStreamString(stream, ExitPage);
  WriteStreamString(stream, RegistryKey);
  WriteStreamInt(stream, ImageCode);
  WriteStreamByte(stream, WriteSaveData);
  WriteStreamByte(stream, SleepBetweenTicks);
  WriteStreamString(stream, StreamedExtensions);
  WriteStreamByte(stream, PauseWhenInactive);
  WriteStreamByte(stream, Reserved);
  WriteStreamString(stream, DiskPrompt);
  WriteStreamString(stream, QuitText);
  WriteStreamInt(stream, static_cast<int32_t>(InitialVars.size()));
  for (const TInitialVar& v : InitialVars) WriteInitialVar(stream, v);
  FolderDisks.SaveToStream(stream);
}

}  // namespace orba
