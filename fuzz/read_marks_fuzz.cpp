// The read marks of the status save at the version its first byte picks
// (99 to 103), saved again and read back.
#include "fuzz_support.h"
#include "text/read_marks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  orba::fuzz::Refused([&] {
    orba::TKsMemoryStream s(orba::fuzz::Bytes(data + 1, size - 1));
    orba::TOrbaReadList marks;
    marks.LoadFromStream(s, 99 + data[0] % 5);
    orba::TKsMemoryStream out;
    marks.SaveToStream(out);
    out.SetPosition(0);
    marks.LoadFromStream(out, 103);
  });
  return 0;
}
