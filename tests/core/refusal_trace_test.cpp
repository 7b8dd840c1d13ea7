// A refusal is said once on standard error and once in the trace, however
// often it repeats; a picture's budget refusal caught where its file is
// named is told as one, any other failure only traced. Lines traced from
// many threads at once (movie decoders, unpacking workers) arrive whole and
// once; a sink replaced is no longer called.
#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/system/trace.h"

namespace orba {
namespace {

struct ETestRefusal : std::runtime_error, TRefusalMark {
  using std::runtime_error::runtime_error;
};

TEST(RefusalTrace, EachRefusalIsSaidOnceOnStandardErrorAndInTheTrace) {
  std::vector<std::string> traced;
  SetTraceSink([&traced](const std::string& line) { traced.push_back(line); });
  testing::internal::CaptureStderr();
  for (int i = 0; i < 3; ++i) {
    TellRefusal("a.png: picture refused: more than 1 bytes");
    TellRefusal("b.wav: more than 2 bytes");
  }
  const struct {
    const char* line;
    bool refusal;
  } caught[] = {{"c.png: too big", true}, {"d.png: damaged", false}, {"c.png: too big", true}};
  for (const auto& c : caught) {
    try {
      if (c.refusal) throw ETestRefusal("x");
      throw std::runtime_error("y");
    } catch (const std::exception&) {
      TraceFailureOnce(c.line);
    }
  }
  const std::string said = testing::internal::GetCapturedStderr();
  SetTraceSink(nullptr);
  EXPECT_EQ(said,
            "orba: a.png: picture refused: more than 1 bytes\norba: b.wav: more than 2 bytes\norba: c.png: too big\n");
  EXPECT_EQ(traced, (std::vector<std::string>{"a.png: picture refused: more than 1 bytes", "b.wav: more than 2 bytes",
                                              "c.png: too big", "d.png: damaged"}));
}

// Threads that trace the same once-lines and refusals and lines of their
// own, all at the same time. The sink writes a line piece by piece, as a
// stream does: lines from two threads at once would mix.
TEST(RefusalTrace, LinesFromManyThreadsArriveWholeAndOnce) {
  constexpr int kThreads = 8, kLines = 40;
  std::string written;
  SetTraceSink([&written](const std::string& line) {
    for (const char c : line) written.push_back(c);
    written.push_back('\n');
  });
  testing::internal::CaptureStderr();
  std::latch start(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &start] {
      start.arrive_and_wait();
      for (int i = 0; i < kLines; ++i) {
        TraceOnce("frame refused " + std::to_string(i));
        TellRefusal("file refused " + std::to_string(i));
        Trace("thread " + std::to_string(t) + " step " + std::to_string(i));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  const std::string said = testing::internal::GetCapturedStderr();
  SetTraceSink(nullptr);
  std::map<std::string, int> expected, got, expected_said, got_said;
  for (int i = 0; i < kLines; ++i) {
    ++expected["frame refused " + std::to_string(i)];
    ++expected["file refused " + std::to_string(i)];
    ++expected_said["orba: file refused " + std::to_string(i)];
    for (int t = 0; t < kThreads; ++t) ++expected["thread " + std::to_string(t) + " step " + std::to_string(i)];
  }
  std::istringstream lines(written), said_lines(said);
  for (std::string line; std::getline(lines, line);) ++got[line];
  for (std::string line; std::getline(said_lines, line);) ++got_said[line];
  EXPECT_EQ(got, expected);
  EXPECT_EQ(got_said, expected_said);
}

// A thread traces on while the sink is switched off: the sink replaced is
// not called once SetTraceSink has returned, so what it wrote into may go.
TEST(RefusalTrace, AReplacedSinkIsNotCalledAfterSetTraceSinkReturns) {
  int calls = 0;  // not atomic: a call after the switch would race with the reads below
  SetTraceSink([&calls](const std::string&) { ++calls; });
  std::atomic<bool> traced{false}, stop{false};
  std::thread tracer([&] {
    while (!stop.load()) {
      Trace("tick");
      traced.store(true);
    }
  });
  while (!traced.load()) std::this_thread::yield();
  SetTraceSink(nullptr);
  const int seen = calls;
  stop.store(true);
  tracer.join();
  EXPECT_GT(seen, 0);
  EXPECT_EQ(calls, seen);
}

}  // namespace
}  // namespace orba
