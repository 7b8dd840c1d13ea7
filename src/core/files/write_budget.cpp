#include "core/files/write_budget.h"

#include <algorithm>

#include "core/system/trace.h"
#include "platform/text_convert.h"

namespace orba {

bool TGameWriteBudget::Charge(int64_t bytes) {
  const std::lock_guard<std::mutex> hold(lock_);
  // Compared with what is left, so that no sum overflows.
  if (bytes < 0 || bytes > limit_ - written_) return false;
  written_ += bytes;
  return true;
}

void TGameWriteBudget::GiveBack(int64_t bytes) {
  const std::lock_guard<std::mutex> hold(lock_);
  if (bytes > 0) written_ -= std::min(bytes, written_);
}

int64_t TGameWriteBudget::Limit() const {
  const std::lock_guard<std::mutex> hold(lock_);
  return limit_;
}

void TGameWriteBudget::SetLimit(int64_t limit) {
  const std::lock_guard<std::mutex> hold(lock_);
  limit_ = std::max<int64_t>(limit, 0);
}

int64_t TGameWriteBudget::Written() const {
  const std::lock_guard<std::mutex> hold(lock_);
  return written_;
}

void TGameWriteBudget::Reset() {
  const std::lock_guard<std::mutex> hold(lock_);
  written_ = 0;
}

TGameWriteBudget& GameWriteBudget() {
  static TGameWriteBudget budget;
  return budget;
}

bool ChargeGameWrite(const std::string& path, int64_t bytes) {
  TGameWriteBudget& budget = GameWriteBudget();
  if (budget.Charge(bytes)) return true;
  Trace("file write refused: " + SjisToUtf8(path) + ": past the " + std::to_string(budget.Limit()) +
        " bytes a game may write in one run");
  return false;
}

}  // namespace orba
