// A refusal is said once on standard error and once in the trace, however
// often it repeats; a picture's budget refusal caught where its file is
// named is told as one, any other failure only traced.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
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

}  // namespace
}  // namespace orba
