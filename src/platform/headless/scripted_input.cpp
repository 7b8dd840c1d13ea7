#include "platform/headless/scripted_input.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

namespace orba {
namespace {

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

int32_t Number(const std::string& word) {
  int32_t value = 0;
  const char* first = word.data();
  const char* last = first + word.size();
  int base = 10;
  const bool negative = first != last && *first == '-';
  const char* digits = negative ? first + 1 : first;
  if (last - digits > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits += 2;
  }
  int64_t magnitude = 0;
  auto [end, ec] = std::from_chars(digits, last, magnitude, base);
  if (ec != std::errc() || end != last || digits == last || *digits == '-' || *digits == '+')
    throw EInputScriptError("not a number: " + word);
  magnitude = negative ? -magnitude : magnitude;
  if (magnitude < INT32_MIN || magnitude > INT32_MAX) throw EInputScriptError("out of range: " + word);
  value = static_cast<int32_t>(magnitude);
  return value;
}

[[noreturn]] void Bad(const std::string& text) {
  throw EInputScriptError("unknown input event: " + text);
}

}  // namespace

TInputEvent ParseInputEvent(const std::string& text) {
  const std::vector<std::string> w = Words(text);
  TInputEvent e;
  if (w.empty()) Bad(text);
  const std::string& what = w[0];
  if (what == "mouse" && w.size() == 4 && w[1] == "move") {
    e.Kind = TInputKind::MouseMove;
    e.X = Number(w[2]);
    e.Y = Number(w[3]);
  } else if ((what == "lbutton" || what == "rbutton") && w.size() == 4 &&
             (w[1] == "down" || w[1] == "up")) {
    e.Kind = w[1] == "down" ? TInputKind::ButtonDown : TInputKind::ButtonUp;
    e.Button = what == "lbutton" ? TMouseButton::Left : TMouseButton::Right;
    e.X = Number(w[2]);
    e.Y = Number(w[3]);
  } else if (what == "wheel" && (w.size() == 2 || w.size() == 3) &&
             (w[1] == "up" || w[1] == "down")) {
    e.Kind = TInputKind::Wheel;
    const int32_t n = w.size() == 3 ? Number(w[2]) : 1;
    if (n < 1 || n > 1000) throw EInputScriptError("wheel notches must be 1 to 1000: " + text);
    e.Notches = w[1] == "up" ? n : -n;
  } else if (what == "key" && w.size() >= 3 && (w[1] == "down" || w[1] == "up")) {
    e.Kind = w[1] == "down" ? TInputKind::KeyDown : TInputKind::KeyUp;
    e.Key = Number(w[2]);
    if (e.Key < 1 || e.Key > 255) throw EInputScriptError("key code must be 1 to 255: " + text);
    if (w.size() == 4 && w[1] == "down" && w[3] == "repeat")
      e.Repeat = true;
    else if (w.size() != 3)
      Bad(text);
  } else if (what == "focus" && w.size() == 2 && (w[1] == "lost" || w[1] == "gained")) {
    e.Kind = w[1] == "lost" ? TInputKind::FocusLost : TInputKind::FocusGained;
  } else if (what == "close" && w.size() == 1) {
    e.Kind = TInputKind::Close;
  } else if (what == "window" && w.size() == 2 && w[1] == "destroyed") {
    e.Kind = TInputKind::WindowDestroyed;
  } else {
    Bad(text);
  }
  return e;
}

TScriptedInput TScriptedInput::FromText(const std::string& text) {
  TScriptedInput input;
  std::istringstream lines(text);
  int line_number = 0;
  for (std::string line; std::getline(lines, line);) {
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    try {
      const size_t colon = line.find(':');
      const std::vector<std::string> head =
          Words(colon == std::string::npos ? std::string() : line.substr(0, colon));
      if (head.size() != 2 || head[0] != "tick")
        throw EInputScriptError("expected \"tick N: <event>\"");
      TScriptedEvent scripted;
      scripted.Tick = Number(head[1]);
      if (scripted.Tick < 1) throw EInputScriptError("ticks count from 1");
      scripted.Event = ParseInputEvent(line.substr(colon + 1));
      input.script_.push_back(scripted);
    } catch (const EInputScriptError& e) {
      throw EInputScriptError("line " + std::to_string(line_number) + ": " + e.what());
    }
  }
  std::stable_sort(input.script_.begin(), input.script_.end(),
                   [](const TScriptedEvent& a, const TScriptedEvent& b) { return a.Tick < b.Tick; });
  return input;
}

TScriptedInput TScriptedInput::FromFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw EInputScriptError("cannot open " + path);
  std::ostringstream text;
  text << file.rdbuf();
  try {
    return FromText(text.str());
  } catch (const EInputScriptError& e) {
    throw EInputScriptError(path + ": " + e.what());
  }
}

void TScriptedInput::BeforeTick(int32_t tick) {
  while (next_ < script_.size() && script_[next_].Tick <= tick) ready_.push_back(script_[next_++].Event);
}

bool TScriptedInput::NextEvent(TInputEvent& event) {
  if (ready_.empty()) return false;
  event = ready_.front();
  ready_.pop_front();
  return true;
}

}  // namespace orba
