// The binary record encoding every stored format uses: little-endian
// integers, 1-byte flags and type codes, strings as a signed 32-bit byte count
// followed by raw Shift-JIS bytes, 10-byte x87 floats and 16-byte rectangles.
//
// Readers are strict: data that ends early raises EReadError, and a string
// length or element count larger than the bytes left raises before anything
// is allocated.
#pragma once

#include <cstdint>
#include <string>

#include "core/containers/rect_utils.h"
#include "core/streams/big_stream.h"

namespace orba {

static_assert(sizeof(long double) >= 10 && __LDBL_MANT_DIG__ == 64,
              "long double must be the x87 80-bit extended format");

// Writers. The return value is the number of bytes of the last write made.
int32_t WriteStreamString(TKsBigStream& s, const std::string& text);
int32_t WriteStreamInt(TKsBigStream& s, int32_t value);
void WriteStreamByte(TKsBigStream& s, uint8_t value);
void WriteStreamBool(TKsBigStream& s, bool value);
void WriteStreamInt64(TKsBigStream& s, int64_t value);
void WriteStreamFloat(TKsBigStream& s, long double value);  // 10 bytes
void WriteStreamRect(TKsBigStream& s, const TRect& r);

// Readers.
std::string ReadStreamString(TKsBigStream& s);  // count <= 0 gives ""
int32_t ReadStreamInt(TKsBigStream& s);
uint8_t ReadByteVal(TKsBigStream& s);
bool ReadStreamBool(TKsBigStream& s);  // any non-zero byte is true
int64_t ReadStreamInt64(TKsBigStream& s);
long double ReadStreamFloat(TKsBigStream& s);  // 10 bytes
TRect ReadStreamRect(TKsBigStream& s);
// Reads and drops N stored int32 values or strings.
void SkipStreamInts(TKsBigStream& s, int n);
void SkipStreamStrings(TKsBigStream& s, int n);

// Fields a record reserves and nothing uses: Ints int32 zeros, then Strings
// empty strings. Written as such, read and dropped.
struct TReservedFields {
  int Ints = 0;
  int Strings = 0;
  void Write(TKsBigStream& s) const;
  void Skip(TKsBigStream& s) const;
};

// Raises EReadError unless `count` elements of `element_size` bytes fit in the
// bytes left. Call before allocating anything sized by a stored count.
void CheckStoredCount(TKsBigStream& s, int64_t count, int64_t element_size);

// The 10-byte extended float in memory form (little-endian, as stored).
void FloatToBytes(long double value, uint8_t out[10]);
long double FloatFromBytes(const uint8_t in[10]);

// Copies at most Count bytes from Source's position into Dest and returns the
// number actually copied (never more than Source holds).
int64_t CopyStreamData(TKsBigStream& dest, TKsBigStream& source, int64_t count);
// Copies the whole of Source from its position 0; returns Source's size.
int64_t CopyWholeStream(TKsBigStream& dest, TKsBigStream& source);

}  // namespace orba
