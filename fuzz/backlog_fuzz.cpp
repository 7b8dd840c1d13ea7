// The backlog of a game slot at the version its first byte picks (100 to
// 140, those below the oldest game slot that loads read as it): every
// format and its history, then a window's message data; what was read is
// saved again.
#include <algorithm>

#include "fuzz_support.h"
#include "script/save/save_data.h"
#include "text/backlog.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int32_t version = std::max(orba::kOldestGameStateVersion, 100 + data[0] % 41);
  orba::fuzz::Refused([&] {
    orba::TKsMemoryStream s(orba::fuzz::Bytes(data + 1, size - 1));
    orba::TOrbaHistoryFormatManager formats;
    formats.LoadFromStream(s, version);
    orba::TOrbaNewMesData mes;
    mes.LoadFromStream(s, version);
    orba::TKsMemoryStream out;
    formats.SaveToStream(out);
    mes.SaveToStream(out);
  });
  return 0;
}
