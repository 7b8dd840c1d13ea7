#include "script/save/save_sections.h"

#include "core/containers/containers.h"
#include "core/streams/stream_encoding.h"
#include "script/save/save_versions.h"
#include "script/save/scene_versions.h"
#include "script/values/param_collection.h"
#include "script/values/params.h"

namespace orba {

namespace {

// Names of the two screen roots: byte 0x01 followed by "BASE0" / "BASE1".
const char* const kRootNames[2] = {"\x01" "BASE0", "\x01" "BASE1"};

void Require(bool empty, const char* what) {
  if (!empty) throw ESaveSectionNotEmpty(what);
}

int32_t ReadCount(TKsBigStream& s, int64_t element_size) {
  const int32_t n = ReadStreamInt(s);
  if (n < 0) throw EReadError();
  CheckStoredCount(s, n, element_size);
  return n;
}

// A screen root with its defaults and no children: the object head, then
// the control state.
void WriteEmptyRoot(TKsBigStream& s, const char* name, int32_t width, int32_t height) {
  WriteStreamString(s, name);
  WriteStreamInt(s, 0);  // Priority
  WriteStreamInt(s, 0);  // SubPriority
  WriteStreamString(s, "");  // Tag
  const int32_t geometry[6] = {0, 0, width, height, 0, 0};  // Left, Top, Width, Height, OffsetX, OffsetY
  for (int32_t v : geometry) WriteStreamInt(s, v);
  WriteStreamByte(s, 0);  // PosZoomed
  for (int i = 0; i < 4; ++i) WriteStreamInt(s, 0);  // MotionX, MotionY, PlusX, PlusY
  for (int i = 0; i < 4; ++i) WriteStreamInt(s, 0);  // the clip window
  WriteStreamByte(s, 0);  // AniPaused
  WriteStreamByte(s, 1);  // Visible
  WriteStreamInt(s, 0);   // Color
  WriteStreamRect(s, TRect{0, 0, 1, 1});  // ExtraRect
  WriteStreamByte(s, 0);  // IgnoreMouse
  for (int i = 0; i < 2 + 1 + 7; ++i) WriteStreamString(s, "");  // cursor and mouse handler labels
  WriteStreamByte(s, 0);  // HandleKey
  for (int i = 0; i < 5; ++i) WriteStreamString(s, "");  // key and focus handler labels
  WriteStreamInt(s, 0);  // children
}

void ReadEmptyRoot(TKsBigStream& s, int32_t version) {
  ReadStreamString(s);  // Name
  ReadStreamInt(s);     // Priority
  ReadStreamInt(s);  // SubPriority
  if (version >= kSceneTagVersion) ReadStreamString(s);
  SkipStreamInts(s, 6);
  ReadByteVal(s);
  if (version >= kSceneMotionVersion) SkipStreamInts(s, 4);
  SkipStreamInts(s, 4);  // the clip window
  ReadByteVal(s);        // AniPaused
  ReadByteVal(s);  // Visible
  ReadStreamInt(s);  // Color
  ReadStreamRect(s);
  ReadByteVal(s);  // IgnoreMouse
  SkipStreamStrings(s, 2 + 1 + 7);  // cursor and mouse handler labels
  if (version >= kSceneKeyHandlersVersion) {
    ReadByteVal(s);
    SkipStreamStrings(s, 5);
  }
  Require(ReadCount(s, 1) == 0, "a screen root holds objects");
}

void WriteEmptyHistory(TKsBigStream& s) {
  WriteStreamInt(s, 0);  // records
  WriteStreamString(s, "");  // pending page name
  for (int i = 0; i < 4; ++i) WriteStreamInt(s, 0);  // command index, page index, window width and height
  WriteStreamString(s, "");  // window name
  for (int i = 0; i < 7; ++i) WriteStreamInt(s, 0);  // limit and the six layout parameters
  WriteStreamInt(s, 0);  // first
  WriteStreamInt(s, 0);  // last
  WriteStreamInt(s, 0);  // sheets
  WriteStreamString(s, "");  // variable lines
}

void ReadEmptyHistory(TKsBigStream& s, int32_t version) {
  if (version < kSlotHistorySheetsVersion) ReadStreamString(s);
  Require(ReadCount(s, 4) == 0, "the backlog holds records");
  Require(ReadStreamString(s).empty(), "the backlog holds a pending message");
  SkipStreamInts(s, 4);
  ReadStreamString(s);
  if (version >= kSlotHistorySheetsVersion) {
    SkipStreamInts(s, 7 + 2);
    Require(ReadCount(s, 8) == 0, "the backlog holds sheets");
  }
  if (version >= kSlotVarLinesVersion) ReadStreamString(s);
}

// A call frame record that is not kept: the Popped scratch frame.
void SkipFrameRecord(TKsBigStream& s) {
  ReadStreamString(s);  // PageName
  ReadStreamInt(s);     // PC
  ReadByteVal(s);       // Started
  ReadByteVal(s);       // Continue
  ReadStreamString(s);  // ResultVar
  TArrayString args;
  args.LoadFromStream(s);
  ReadStreamString(s);  // Sender
  const int32_t state_size = ReadCount(s, 1);
  s.Seek(state_size, SeekOrigin::Current);
  // A result of a type that makes no value is the stream's read error, as
  // when the interpreter reads its frames.
  const uint8_t type = ReadByteVal(s);
  if (type > PT_STR) throw EReadError();
  if (type != PT_NONE) CreateParamByType(type)->LoadFromStream(s);
}

}  // namespace

ESaveSectionNotEmpty::ESaveSectionNotEmpty(const std::string& what)
    : EReadError("save data: " + what + ", which this build cannot restore") {}

void TEmptyScene::SaveToStream(TKsBigStream& s) {
  WriteStreamInt(s, Width);
  WriteStreamInt(s, Height);
  WriteStreamInt(s, Active);
  for (const char* name : kRootNames) WriteEmptyRoot(s, name, Width, Height);
  WriteStreamInt(s, 0);  // items that are not controls
  WriteStreamInt(s, 0);  // queued events
  WriteStreamString(s, "");  // focus
}

void TEmptyScene::LoadFromStream(TKsBigStream& s, int32_t version) {
  const int32_t width = ReadStreamInt(s);
  const int32_t height = ReadStreamInt(s);
  const int32_t active = ReadStreamInt(s);
  ReadEmptyRoot(s, version);
  ReadEmptyRoot(s, version);
  Require(ReadCount(s, 1) == 0, "the scene holds items");
  Require(ReadCount(s, 4) == 0, "the scene holds queued events");
  if (version >= kSceneFocusVersion) ReadStreamString(s);
  Width = width;
  Height = height;
  Active = active;
}

void TEmptyBacklog::SaveToStream(TKsBigStream& s) {
  WriteStreamInt(s, 1);  // the default format only
  WriteStreamString(s, "");
  for (int i = 0; i < 6; ++i) WriteStreamInt(s, 0);
  WriteEmptyHistory(s);
}

void TEmptyBacklog::LoadFromStream(TKsBigStream& s, int32_t version) {
  Require(ReadStreamInt(s) == 1, "the backlog holds formats");
  Require(ReadStreamString(s).empty(), "the backlog holds formats");
  SkipStreamInts(s, 6);
  ReadEmptyHistory(s, version);
}

void TEmptyBacklog::LoadDefaultHistory(TKsBigStream& s, int32_t version) { ReadEmptyHistory(s, version); }

void TEmptyRunState::SaveToStream(TKsBigStream& s) {
  WriteStreamString(s, "");  // current page
  WriteStreamInt(s, 0);      // PC
  WriteStreamByte(s, 0);     // Continue
  WriteStreamByte(s, 0);     // Started
  WriteStreamInt(s, 0);      // State
  WriteStreamString(s, "");  // sender
  WriteStreamInt(s, 0);      // arguments
  // The Popped frame: empty.
  WriteStreamString(s, "");
  WriteStreamInt(s, 0);
  WriteStreamByte(s, 0);
  WriteStreamByte(s, 0);
  WriteStreamString(s, "");
  WriteStreamInt(s, 0);
  WriteStreamString(s, "");
  WriteStreamInt(s, 0);  // no state stream
  WriteStreamByte(s, 0);  // no result
  WriteStreamInt(s, 0);  // frames
  WriteStreamInt(s, kFirstNestedLevel);
}

void TEmptyRunState::LoadFromStream(TKsBigStream& s, int32_t version) {
  Require(ReadStreamString(s).empty(), "the run state stands in a page");
  ReadStreamInt(s);
  ReadByteVal(s);
  ReadByteVal(s);
  ReadStreamInt(s);
  ReadStreamString(s);
  TArrayString args;
  args.LoadFromStream(s);
  SkipFrameRecord(s);
  Require(ReadCount(s, 1) == 0, "the run state holds call frames");
  if (version >= kSlotNextLevelVersion) ReadStreamInt(s);
}

void TEmptyRunState::CallOnLoadPage(const std::string& page, int32_t target) {
  OnLoadPage = page;
  OnLoadTarget = target;
}

void TEmptyReadMarks::SaveToStream(TKsBigStream& s) {
  WriteStreamInt(s, 0);
  WriteStreamString(s, "");
  WriteStreamInt(s, 0);
  WriteStreamInt(s, 0);
  WriteStreamString(s, "");
}

void TEmptyReadMarks::LoadFromStream(TKsBigStream& s, int32_t version) {
  if (version < kStatusReadMarksVersion) return;
  Require(ReadCount(s, 8) == 0, "the read marks hold messages");
  ReadStreamString(s);
  SkipStreamInts(s, 2);
  ReadStreamString(s);
}

void TImageCacheSetting::SaveToStream(TKsBigStream& s) { WriteStreamByte(s, Dither); }

void TImageCacheSetting::LoadFromStream(TKsBigStream& s, int32_t version) {
  if (version >= kStatusDitherVersion) Dither = ReadByteVal(s);
}

void TEmptyTables::SaveToStream(TKsBigStream& s) {
  WriteStreamInt(s, kTableStoreVersion);
  WriteStreamInt(s, 0);  // no table
  if (Category == 0) WriteStreamString(s, "");  // no active table
}

void TEmptyTables::LoadFromStream(TKsBigStream& s, int32_t) {
  ReadStreamInt(s);
  Require(ReadCount(s, 1) == 0, "the table store holds tables");
  if (Category == 0) ReadStreamString(s);
}

TEmptySaveSections::TEmptySaveSections(TParamCollection& vars, int32_t width, int32_t height)
    : Scene(width, height), vars_(vars) {}

TSaveSections TEmptySaveSections::Sections() {
  TSaveSections s;
  s.Scene = &Scene;
  s.Backlog = &Backlog;
  s.RunState = &RunState;
  s.Vars = &vars_;
  s.GameTables = &GameTables;
  s.ReadMarks = &ReadMarks;
  s.ImageCache = &ImageCache;
  s.StatusTables = &StatusTables;
  return s;
}

}  // namespace orba
