// The player's trace: start-up and shut-down steps, ticks and input name
// themselves here. Nothing is written unless a sink was set (the player's
// --trace option sets one). Window thread only.
#pragma once

#include <functional>
#include <string>

namespace orba {

using TTraceSink = std::function<void(const std::string& line)>;

// An empty sink switches the trace off. Setting a sink forgets the lines
// TraceOnce wrote.
void SetTraceSink(TTraceSink sink);
bool TraceEnabled();
void Trace(const std::string& step);
// Writes the line only the first time it is given, so that a failure that
// repeats every tick (a picture that cannot be read) is told once.
void TraceOnce(const std::string& line);
// The message of the exception being handled ("unknown error" for one not
// derived from std::exception). Call inside a catch block only.
std::string CaughtMessage();
// Inside a catch block that drops what it caught: traces "What: message".
void TraceCaught(const std::string& what);

}  // namespace orba
