#include "core/system/trace.h"

#include <cstdio>
#include <exception>
#include <mutex>
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

// The refusals said on standard error; kept for the whole run, whatever
// the trace's sink, up to kMaxSaid lines: a game that names thousands of
// refused files (or a fuzzer playing game after game) then has them said
// again rather than held for ever.
constexpr size_t kMaxSaid = 4096;

struct TSaid {
  std::mutex Lock;
  std::set<std::string> Lines;
};

TSaid& Said() {
  static TSaid said;
  return said;
}

bool CaughtRefusal() {
  try {
    throw;
  } catch (const TRefusalMark&) {
    return true;
  } catch (...) {  // any other failure: the caller's trace line tells it
    return false;
  }
}

}  // namespace

void TellRefusal(const std::string& line) {
  TSaid& said = Said();
  {
    const std::lock_guard<std::mutex> hold(said.Lock);
    if (said.Lines.count(line) != 0) return;
    if (said.Lines.size() >= kMaxSaid) said.Lines.clear();
    said.Lines.insert(line);
  }
  std::fprintf(stderr, "orba: %s\n", line.c_str());
  TraceOnce(line);
}

void TraceFailureOnce(const std::string& line) {
  if (CaughtRefusal())
    TellRefusal(line);
  else
    TraceOnce(line);
}

void SetTraceSink(TTraceSink sink) {
  Sink() = std::move(sink);
  Told().clear();
  const std::lock_guard<std::mutex> hold(Said().Lock);
  Said().Lines.clear();
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
