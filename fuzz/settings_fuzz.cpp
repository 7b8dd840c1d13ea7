// A project settings file ("orba.opb").
#include "fuzz_support.h"
#include "script/project/project_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orba::fuzz::Refused([&] {
    orba::TKsMemoryStream s(orba::fuzz::Bytes(data, size));
    orba::TProjectSetting settings;
    settings.LoadFromStream(s);
  });
  return 0;
}
