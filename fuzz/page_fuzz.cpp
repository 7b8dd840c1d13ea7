// A script page file: read, then listed as "orbatool page dump" does.
#include "authoring/page_dump.h"
#include "fuzz_support.h"
#include "script/interp/page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orba::fuzz::Refused([&] {
    orba::TKsMemoryStream s(orba::fuzz::Bytes(data, size));
    orba::TPage page;
    page.LoadFromStream(s);
    orba::PageToText(page);
  });
  return 0;
}
