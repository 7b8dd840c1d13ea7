#include "script/interp/run_loop_events.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace orba {

TObjectHandle TStandaloneObjects::Sender(const std::string& name) {
  if (TObjectHandle found = FindObject(name)) return found;
  names_.push_back(name);
  return TObjectHandle{static_cast<uint32_t>(names_.size())};
}

bool TStandaloneObjects::IsAlive(TObjectHandle object) const {
  return object.Id >= 1 && object.Id <= names_.size();
}

std::string TStandaloneObjects::GetObjectName(TObjectHandle object) const {
  return IsAlive(object) ? names_[object.Id - 1] : std::string();
}

TObjectHandle TStandaloneObjects::FindObject(const std::string& name) const {
  for (size_t i = 0; i < names_.size(); ++i)
    if (names_[i] == name) return TObjectHandle{static_cast<uint32_t>(i + 1)};
  return TObjectHandle{};
}

void TStandaloneObjects::ResetObjects() {
  queue_.Clear();
  names_.clear();
}

namespace {

bool ToNumber(const std::string& word, int32_t& value) {
  auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value);
  return ec == std::errc() && end == word.data() + word.size();
}

TEventScriptLine ParseLine(const std::string& line) {
  const size_t colon = line.find(':');
  std::istringstream head(line.substr(0, colon == std::string::npos ? 0 : colon));
  std::string word, number, extra;
  TEventScriptLine event;
  if (colon == std::string::npos || !(head >> word >> number) || word != "tick" || (head >> extra) ||
      !ToNumber(number, event.Tick))
    throw EEventScriptError("expected \"tick N: event LABEL [SENDER [CODE [ARG ...]]]\"");
  if (event.Tick < 1) throw EEventScriptError("ticks count from 1");
  std::istringstream rest(line.substr(colon + 1));
  if (!(rest >> word) || word != "event" || !(rest >> event.Label))
    throw EEventScriptError("expected \"event LABEL\" after the tick");
  if (rest >> word && word != "-") event.Sender = word;
  if (rest >> word) {
    int32_t code = 0;
    if (!ToNumber(word, code) || code < 0 || code > 255) throw EEventScriptError("event code must be 0 to 255: " + word);
    event.Code = static_cast<uint8_t>(code);
  }
  while (rest >> word) event.Args.Add(word);
  return event;
}

}  // namespace

TScriptedEvents TScriptedEvents::Parse(const std::string& text) {
  TScriptedEvents events;
  std::istringstream in(text);
  std::string line;
  int32_t line_number = 0;
  while (std::getline(in, line)) {
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    try {
      events.Add(ParseLine(line));
    } catch (const EEventScriptError& e) {
      throw EEventScriptError("line " + std::to_string(line_number) + ": " + e.what());
    }
  }
  return events;
}

TScriptedEvents TScriptedEvents::FromFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw EEventScriptError("cannot open " + path);
  std::ostringstream text;
  text << file.rdbuf();
  try {
    return Parse(text.str());
  } catch (const EEventScriptError& e) {
    throw EEventScriptError(path + ": " + e.what());
  }
}

void TScriptedEvents::QueueDue(int32_t tick, TObjectServices& objects, std::vector<std::string>* missing) const {
  TTimerList* queue = objects.EventQueue();
  if (queue == nullptr) return;
  for (const TEventScriptLine& e : events_) {
    if (e.Tick != tick) continue;
    TObjectHandle sender;
    // An empty name would find the active screen root: it means no sender.
    if (!e.Sender.empty()) {
      sender = objects.FindObject(e.Sender);
      if (!sender && missing != nullptr) missing->push_back(e.Sender);
    }
    queue->QueueEvent(sender, e.Label, &e.Args, e.Code);
  }
}

void TScriptedEvents::QueueDue(int32_t tick, TStandaloneObjects& objects) const {
  for (const TEventScriptLine& e : events_)
    if (e.Tick == tick && !e.Sender.empty()) objects.Sender(e.Sender);
  QueueDue(tick, static_cast<TObjectServices&>(objects));
}

}  // namespace orba
