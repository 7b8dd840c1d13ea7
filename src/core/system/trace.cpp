#include "core/system/trace.h"

#include <exception>
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

std::string CaughtMessage() {
  try {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {  // a thrown value with no message: named as such
    return "unknown error";
  }
}

void TraceCaught(const std::string& what) {
  if (Sink()) Trace(what + ": " + CaughtMessage());
}

void Trace(const std::string& step) {
  if (Sink()) Sink()(step);
}

}  // namespace orba
