#include "platform/cursors.h"


namespace orba {

namespace {

class TNoCursors final : public TCursorService {
 public:
  void ShowCustom(const TCursorImage&) override {}
  void ShowDefault() override {}
};

std::shared_ptr<TCursorService>& Current() {
  static std::shared_ptr<TCursorService> current = std::make_shared<TNoCursors>();
  return current;
}

}  // namespace

TCursorService& Cursors() { return *Current(); }

std::shared_ptr<TCursorService> SetCursorService(std::shared_ptr<TCursorService> service) {
  std::shared_ptr<TCursorService> old = Current();
  Current() = service ? std::move(service) : std::make_shared<TNoCursors>();
  return old;
}

}  // namespace orba
