#include "core/streams/stream_encoding.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/errors.h"

namespace orba {

namespace {
template <typename T>
void PutLE(TKsBigStream& s, T value) {
  uint8_t b[sizeof(T)];
  auto u = static_cast<std::make_unsigned_t<T>>(value);
  for (size_t i = 0; i < sizeof(T); ++i) b[i] = static_cast<uint8_t>(u >> (8 * i));
  s.WriteBuffer(b, sizeof(T));
}

template <typename T>
T GetLE(TKsBigStream& s) {
  uint8_t b[sizeof(T)];
  s.ReadBuffer(b, sizeof(T));
  std::make_unsigned_t<T> u = 0;
  for (size_t i = 0; i < sizeof(T); ++i) u |= static_cast<std::make_unsigned_t<T>>(b[i]) << (8 * i);
  return static_cast<T>(u);
}
}  // namespace

int32_t WriteStreamString(TKsBigStream& s, const std::string& text) {
  // The stored count is a signed 32-bit value; a longer text cannot be stored.
  if (text.size() > static_cast<size_t>(INT32_MAX)) throw EWriteError();
  const int32_t count = static_cast<int32_t>(text.size());
  PutLE<int32_t>(s, count);
  if (count >= 1) {
    s.WriteBuffer(text.data(), count);
    return count;
  }
  return 4;
}

int32_t WriteStreamInt(TKsBigStream& s, int32_t value) {
  PutLE<int32_t>(s, value);
  return 4;
}

void WriteStreamByte(TKsBigStream& s, uint8_t value) { s.WriteBuffer(&value, 1); }
void WriteStreamBool(TKsBigStream& s, bool value) { WriteStreamByte(s, value ? 1 : 0); }
void WriteStreamInt64(TKsBigStream& s, int64_t value) { PutLE<int64_t>(s, value); }

void WriteStreamFloat(TKsBigStream& s, long double value) {
  uint8_t b[10];
  FloatToBytes(value, b);
  s.WriteBuffer(b, 10);
}

void WriteStreamRect(TKsBigStream& s, const TRect& r) {
  PutLE<int32_t>(s, r.Left);
  PutLE<int32_t>(s, r.Top);
  PutLE<int32_t>(s, r.Right);
  PutLE<int32_t>(s, r.Bottom);
}

std::string ReadStreamString(TKsBigStream& s) {
  const int32_t count = GetLE<int32_t>(s);
  if (count <= 0) return std::string();
  CheckStoredCount(s, count, 1);
  std::string text(static_cast<size_t>(count), '\0');
  s.ReadBuffer(text.data(), count);
  return text;
}

int32_t ReadStreamInt(TKsBigStream& s) { return GetLE<int32_t>(s); }
uint8_t ReadByteVal(TKsBigStream& s) { return GetLE<uint8_t>(s); }
bool ReadStreamBool(TKsBigStream& s) { return ReadByteVal(s) != 0; }
int64_t ReadStreamInt64(TKsBigStream& s) { return GetLE<int64_t>(s); }

long double ReadStreamFloat(TKsBigStream& s) {
  uint8_t b[10];
  s.ReadBuffer(b, 10);
  return FloatFromBytes(b);
}

void SkipStreamInts(TKsBigStream& s, int n) {
  for (int i = 0; i < n; ++i) ReadStreamInt(s);
}

void SkipStreamStrings(TKsBigStream& s, int n) {
  for (int i = 0; i < n; ++i) ReadStreamString(s);
}

void TReservedFields::Write(TKsBigStream& s) const {
  for (int i = 0; i < Ints; ++i) WriteStreamInt(s, 0);
  for (int i = 0; i < Strings; ++i) WriteStreamString(s, std::string());
}

void TReservedFields::Skip(TKsBigStream& s) const {
  SkipStreamInts(s, Ints);
  SkipStreamStrings(s, Strings);
}

TRect ReadStreamRect(TKsBigStream& s) {
  TRect r;
  r.Left = GetLE<int32_t>(s);
  r.Top = GetLE<int32_t>(s);
  r.Right = GetLE<int32_t>(s);
  r.Bottom = GetLE<int32_t>(s);
  return r;
}

void CheckStoredCount(TKsBigStream& s, int64_t count, int64_t element_size) {
  if (count < 0 || element_size < 0) throw EReadError();
  if (count == 0 || element_size == 0) return;
  const int64_t left = s.Remaining();
  if (count > left / element_size) throw EReadError();
}

void FloatToBytes(long double value, uint8_t out[10]) {
  uint8_t raw[sizeof(long double)] = {};
  std::memcpy(raw, &value, sizeof(long double));
  std::memcpy(out, raw, 10);
}

long double FloatFromBytes(const uint8_t in[10]) {
  uint8_t raw[sizeof(long double)] = {};
  std::memcpy(raw, in, 10);
  long double value;
  std::memcpy(&value, raw, sizeof(long double));
  return value;
}

int64_t CopyStreamData(TKsBigStream& dest, TKsBigStream& source, int64_t count) {
  count = std::min(count, source.Remaining());
  if (count <= 0) return 0;
  constexpr int64_t kBuffer = 10 * 1024 * 1024;
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min(count, kBuffer)));
  int64_t copied = 0;
  while (count > 0) {
    const int64_t want = std::min<int64_t>(count, static_cast<int64_t>(buffer.size()));
    const int64_t got = source.Read(buffer.data(), want);
    if (got <= 0) break;
    dest.WriteBuffer(buffer.data(), got);
    copied += got;
    count -= got;
  }
  return copied;
}

int64_t CopyWholeStream(TKsBigStream& dest, TKsBigStream& source) {
  source.SetPosition(0);
  return CopyStreamData(dest, source, source.GetSize());
}

}  // namespace orba
