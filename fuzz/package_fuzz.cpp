// A package archive: its directory, then every entry unpacked into memory
// and, piece by piece, into a stream that keeps nothing.
#include <memory>

#include "core/files/vr_file.h"
#include "fuzz_support.h"

namespace {

class TDiscardStream : public orba::TKsBigStream {
 public:
  int64_t GetSize() override { return size_; }
  int64_t GetPosition() override { return size_; }
  void SetPosition(int64_t) override {}
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void*, int64_t count) override {
    size_ += count;
    return count;
  }

 private:
  int64_t size_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  orba::TVrFileCollection c;
  c.Archive = std::make_unique<orba::TKsMemoryStream>(orba::fuzz::Bytes(data, size));
  orba::fuzz::Refused([&] { c.ReadDirectory(*c.Archive); });
  for (int i = 0; i < c.Count(); ++i) {
    const std::string name = c.GetEntry(i)->Name();
    orba::fuzz::Refused([&] {
      orba::TKsMemoryStream content;
      c.ReadEntry(content, name);
    });
    orba::fuzz::Refused([&] {
      TDiscardStream content;
      c.ReadEntry(content, name);
    });
  }
  return 0;
}
