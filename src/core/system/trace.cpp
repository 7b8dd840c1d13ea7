#include "core/system/trace.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>
#include <set>
#include <utility>

namespace orba {
namespace {

// The refusals said on standard error; kept for the whole run, whatever
// the trace's sink, up to kMaxSaid lines: a game that names thousands of
// refused files (or a fuzzer playing game after game) then has them said
// again rather than held for ever.
constexpr size_t kMaxSaid = 4096;

// Lines come from the window thread and from workers (a movie's decoder
// refusing a frame, an unpacking that failed), so all of the trace is under
// one lock, held while the sink writes: a line is written whole, one at a
// time, and once SetTraceSink returns, the sink it replaced is not called
// again (a test's sink may push into a vector that then goes). The lock is
// recursive and the sink called through a counted copy, so that a sink
// that traces nests its line and one that sets the sink keeps running.
struct TTraceState {
  std::recursive_mutex Lock;
  std::shared_ptr<const TTraceSink> Sink;
  // The lines TraceOnce wrote since the sink was set.
  std::set<std::string> Told;
  std::set<std::string> Said;
};

TTraceState& State() {
  static TTraceState state;
  return state;
}

// Writes Line to the sink, if one is set; the caller holds State().Lock.
void WriteLocked(TTraceState& state, const std::string& line) {
  if (const std::shared_ptr<const TTraceSink> sink = state.Sink) (*sink)(line);
}

// TraceOnce, the caller holding State().Lock.
void TraceOnceLocked(TTraceState& state, const std::string& line) {
  if (state.Sink && state.Told.insert(line).second) WriteLocked(state, line);
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
  TTraceState& state = State();
  const std::lock_guard<std::recursive_mutex> hold(state.Lock);
  if (state.Said.count(line) != 0) return;
  if (state.Said.size() >= kMaxSaid) state.Said.clear();
  state.Said.insert(line);
  std::fprintf(stderr, "orba: %s\n", line.c_str());
  TraceOnceLocked(state, line);
}

void TraceFailureOnce(const std::string& line) {
  if (CaughtRefusal())
    TellRefusal(line);
  else
    TraceOnce(line);
}

void SetTraceSink(TTraceSink sink) {
  auto replacement = sink ? std::make_shared<const TTraceSink>(std::move(sink)) : nullptr;
  TTraceState& state = State();
  const std::lock_guard<std::recursive_mutex> hold(state.Lock);
  state.Sink = std::move(replacement);
  state.Told.clear();
  state.Said.clear();
}

void TraceOnce(const std::string& line) {
  TTraceState& state = State();
  const std::lock_guard<std::recursive_mutex> hold(state.Lock);
  TraceOnceLocked(state, line);
}

bool TraceEnabled() {
  TTraceState& state = State();
  const std::lock_guard<std::recursive_mutex> hold(state.Lock);
  return state.Sink != nullptr;
}

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
  if (TraceEnabled()) Trace(what + ": " + CaughtMessage());
}

void Trace(const std::string& step) {
  TTraceState& state = State();
  const std::lock_guard<std::recursive_mutex> hold(state.Lock);
  WriteLocked(state, step);
}

}  // namespace orba
