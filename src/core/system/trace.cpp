#include "core/system/trace.h"

#include <set>
#include <utility>

namespace orba {
namespace {

TTraceSink& Sink() {
  static TTraceSink sink;
  return sink;
}

std::set<std::string>& Told() {
  static std::set<std::string> told;
  return told;
}

}  // namespace

void SetTraceSink(TTraceSink sink) {
  Sink() = std::move(sink);
  Told().clear();
}

void TraceOnce(const std::string& line) {
  if (Sink() && Told().insert(line).second) Sink()(line);
}

bool TraceEnabled() { return static_cast<bool>(Sink()); }

void Trace(const std::string& step) {
  if (Sink()) Sink()(step);
}

}  // namespace orba
