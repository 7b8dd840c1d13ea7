// Scripted script events: a schedule of events read from lines of the form
//   tick N: event LABEL [SENDER [CODE [ARG ...]]]
// (words separated by blanks; CODE is the handler property's id, 36 =
// left button down when left out; "-" as SENDER means no sender). Before
// tick N runs, the runner queues the events of that tick into the event
// queue of the objects the game runs with, each sender looked up there by
// name.
//
// For pages run without a screen there is also a stand-in object registry
// that holds senders by name only, so that handlers can be run and tested
// before an object manager exists.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/containers/containers.h"
#include "core/errors.h"
#include "script/interp/event_queue.h"
#include "script/interp/object_services.h"

namespace orba {

// Object services with an event queue and named senders that are never
// freed; Reset empties both.
class TStandaloneObjects : public TObjectServices {
 public:
  TStandaloneObjects() : queue_(this) {}

  // The sender of that name, registered on first use.
  TObjectHandle Sender(const std::string& name);

  bool IsAlive(TObjectHandle object) const override;
  std::string GetObjectName(TObjectHandle object) const override;
  TObjectHandle FindObject(const std::string& name) const override;
  TTimerList* EventQueue() override { return &queue_; }
  void ResetObjects() override;

 private:
  TTimerList queue_;
  std::vector<std::string> names_;  // handle Id - 1 -> name
};

class EEventScriptError : public EOrbaError {
 public:
  using EOrbaError::EOrbaError;
};

struct TEventScriptLine {
  int32_t Tick = 0;
  std::string Label;
  std::string Sender;  // empty for none
  uint8_t Code = 36;
  TArrayString Args;
};

class TScriptedEvents {
 public:
  // Reads the lines; blank lines and lines beginning with "#" are skipped.
  // A malformed line raises EEventScriptError naming its line number.
  static TScriptedEvents Parse(const std::string& text);
  static TScriptedEvents FromFile(const std::string& path);

  void Add(TEventScriptLine event) { events_.push_back(std::move(event)); }
  // Queues every event of Tick, in file order, into the objects' event
  // queue (nothing when they have none). A sender is the object FindObject
  // answers for its name; a name that finds no object (never made, or freed
  // already) leaves the event without a sender, as a saved event of a freed
  // object loads, and is added to Missing when given.
  void QueueDue(int32_t tick, TObjectServices& objects, std::vector<std::string>* missing = nullptr) const;
  // The same with the stand-in registry, which registers each sender name on
  // first use, so that every sender exists.
  void QueueDue(int32_t tick, TStandaloneObjects& objects) const;
  size_t Count() const { return events_.size(); }

 private:
  std::vector<TEventScriptLine> events_;
};

}  // namespace orba
