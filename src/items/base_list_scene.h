// The object manager's whole object tree, with its event queue and focus, as
// the scene of a game slot; the backlog formats and the read marks as the
// backlog of a game slot and a piece of the status save.
#pragma once

#include <cstdint>

#include "core/streams/big_stream.h"
#include "script/save/save_sections.h"

namespace orba {

class TOrbaBaseList;

class TBaseListScene : public TSceneSection {
 public:
  explicit TBaseListScene(TOrbaBaseList& manager) : manager_(manager) {}
  void SaveToStream(TKsBigStream& stream) override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;
  // Every message window lays its text out again and takes its saved page
  // states.
  void AfterLoad() override;

 private:
  TOrbaBaseList& manager_;
};

class TBacklogFormatsSection : public TBacklogSection {
 public:
  void SaveToStream(TKsBigStream& stream) override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;
  void LoadDefaultHistory(TKsBigStream& stream, int32_t version) override;
};

class TReadMarksSection : public TSaveSection {
 public:
  void SaveToStream(TKsBigStream& stream) override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;
};

}  // namespace orba
