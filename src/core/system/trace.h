// The player's trace: start-up and shut-down steps, ticks and input name
// themselves here. Nothing is written unless a sink was set (the player's
// --trace option sets one). Every call is safe from any thread: a movie's
// decoder and an unpacking worker trace beside the window thread. Lines
// reach the sink whole and one at a time, and once SetTraceSink returns,
// the sink it replaced is no longer called.
//
// A refusal (a file, picture, page or Calc text past one of the player's
// limits) is also said on standard error, once, since in a window the trace
// is off and the person sees only an empty item.
#pragma once

#include <functional>
#include <string>

namespace orba {

using TTraceSink = std::function<void(const std::string& line)>;

// An empty sink switches the trace off. Setting a sink forgets the lines
// TraceOnce wrote and the refusals TellRefusal said. The sink is called
// under the trace's lock: it should only write the line (a sink that
// traces nests its line).
void SetTraceSink(TTraceSink sink);
bool TraceEnabled();
void Trace(const std::string& step);
// Writes the line only the first time it is given, so that a failure that
// repeats every tick (a picture that cannot be read) is told once.
void TraceOnce(const std::string& line);
// Writes Line once to the trace and once, as "orba: LINE", to standard
// error. Line names the file and the limit.
void TellRefusal(const std::string& line);
// Carried by the errors that are a limit's refusal (a picture whose
// surfaces pass the picture budget), so that the catch site that names the
// file tells them as refusals.
class TRefusalMark {
 public:
  virtual ~TRefusalMark() = default;
};
// Inside a catch block: traces Line once, and tells it as TellRefusal does
// when the error caught carries TRefusalMark.
void TraceFailureOnce(const std::string& line);
// The message of the exception being handled ("unknown error" for one not
// derived from std::exception). Call inside a catch block only.
std::string CaughtMessage();
// Inside a catch block that drops what it caught: traces "What: message".
void TraceCaught(const std::string& what);

}  // namespace orba
