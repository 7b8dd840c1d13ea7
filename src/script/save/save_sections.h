// The pieces of saved state that other subsystems own, each behind a small
// interface, and the forms they take while those subsystems have nothing to
// save: an empty scene, an empty backlog, a run state that stands nowhere,
// no read marks, the image cache's dithering flag and no tables. The empty
// forms are exactly what the real subsystems write when they hold nothing,
// so files written now stay readable when the real ones take over.
//
// An empty form's reader accepts what its subsystem could have written with
// nothing in it; content it cannot hold (an object, a backlog entry, a page
// being run, a read mark, a table) raises ESaveSectionNotEmpty rather than
// being dropped.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/errors.h"
#include "core/streams/big_stream.h"

namespace orba {

class TParamCollection;

// Stored content that this build has no subsystem to hold.
class ESaveSectionNotEmpty : public EReadError {
 public:
  explicit ESaveSectionNotEmpty(const std::string& what);
};

// One piece of saved state. Version is the game-state version of the slot
// (or the status version for the status entry's pieces); readers gate the
// fields that later versions added on it.
class TSaveSection {
 public:
  virtual ~TSaveSection() = default;
  virtual void SaveToStream(TKsBigStream& stream) = 0;
  virtual void LoadFromStream(TKsBigStream& stream, int32_t version) = 0;
};

// The object manager's scene. AfterLoad runs once the whole slot is read
// (the message windows lay their text out again).
class TSceneSection : public TSaveSection {
 public:
  virtual void AfterLoad() {}
};

// The interpreter's run state. CallOnLoadPage runs right after the run state
// of a slot with an OnLoadPage was read: the loaded game first runs that
// page as a call (from command Target when it is above 0) and then returns
// to the saved position.
class TRunStateSection : public TSaveSection {
 public:
  virtual void CallOnLoadPage(const std::string& page, int32_t target) = 0;
};

// The backlog. Slots before version 135 hold the default format's history
// alone: LoadDefaultHistory reads that form.
class TBacklogSection : public TSaveSection {
 public:
  virtual void LoadDefaultHistory(TKsBigStream& stream, int32_t version) = 0;
};

// --- Empty forms ---------------------------------------------------------

// The scene of a manager holding no objects: its size, root 0 active, both
// screen roots with their defaults and no children, no items, no queued
// events, no focus.
class TEmptyScene : public TSceneSection {
 public:
  TEmptyScene(int32_t width, int32_t height) : Width(width), Height(height) {}
  int32_t Width;
  int32_t Height;
  int32_t Active = 0;
  void SaveToStream(TKsBigStream& stream) override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;
};

// A backlog with only the default format (name "", all parameters 0) and an
// empty history.
class TEmptyBacklog : public TBacklogSection {
 public:
  void SaveToStream(TKsBigStream& stream) override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;
  void LoadDefaultHistory(TKsBigStream& stream, int32_t version) override;
};

// The run state of an interpreter that runs no page: no page, no arguments,
// no frames, next event level 2. The OnLoadPage a slot asked for is kept.
class TEmptyRunState : public TRunStateSection {
 public:
  static constexpr int32_t kFirstNestedLevel = 2;
  std::string OnLoadPage;
  int32_t OnLoadTarget = 0;
  void SaveToStream(TKsBigStream& stream) override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;
  void CallOnLoadPage(const std::string& page, int32_t target) override;
};

// No read marks and no pending mark.
class TEmptyReadMarks : public TSaveSection {
 public:
  void SaveToStream(TKsBigStream& stream) override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;
};

// The image cache's saved setting: its dithering flag.
class TImageCacheSetting : public TSaveSection {
 public:
  uint8_t Dither = 0;
  void SaveToStream(TKsBigStream& stream) override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;
};

// A table store with no table of one category (0: game tables, 1: status
// tables). A game-table stream also names the active table: none.
class TEmptyTables : public TSaveSection {
 public:
  explicit TEmptyTables(int32_t category) : Category(category) {}
  int32_t Category;
  void SaveToStream(TKsBigStream& stream) override;
  // The version argument is not used: the table stream carries its own.
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;
};

// Every piece a slot or the status entry holds, in one place. The pointers
// are not owned; the variable store is the real one.
struct TSaveSections {
  TSceneSection* Scene = nullptr;
  TBacklogSection* Backlog = nullptr;
  TRunStateSection* RunState = nullptr;
  TParamCollection* Vars = nullptr;
  TSaveSection* GameTables = nullptr;
  TSaveSection* ReadMarks = nullptr;
  TSaveSection* ImageCache = nullptr;
  TSaveSection* StatusTables = nullptr;
};

// The empty forms of every piece, owned, over a given variable store.
class TEmptySaveSections {
 public:
  TEmptySaveSections(TParamCollection& vars, int32_t width, int32_t height);
  TEmptyScene Scene;
  TEmptyBacklog Backlog;
  TEmptyRunState RunState;
  TEmptyTables GameTables{0};
  TEmptyReadMarks ReadMarks;
  TImageCacheSetting ImageCache;
  TEmptyTables StatusTables{1};
  // Pointers to the members above and to the variable store.
  TSaveSections Sections();

 private:
  TParamCollection& vars_;
};

}  // namespace orba
