#include "platform/trace.h"

#include <utility>

namespace orba {
namespace {

TTraceSink& Sink() {
  static TTraceSink sink;
  return sink;
}

}  // namespace

void SetTraceSink(TTraceSink sink) { Sink() = std::move(sink); }

bool TraceEnabled() { return static_cast<bool>(Sink()); }

void Trace(const std::string& step) {
  if (Sink()) Sink()(step);
}

}  // namespace orba
