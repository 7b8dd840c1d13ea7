#include "items/base_list_scene.h"

#include "items/base_list.h"
#include "items/message_window.h"
#include "items/orba_globals.h"

namespace orba {

void TBaseListScene::SaveToStream(TKsBigStream& stream) { manager_.SaveToStream(stream); }

void TBaseListScene::LoadFromStream(TKsBigStream& stream, int32_t version) {
  manager_.LoadFromStream(stream, version);
}

void TBaseListScene::AfterLoad() {
  // A rebuild may not add or free objects; the list is copied all the same.
  const std::vector<TOrbaObject*> objects = manager_.Objects;
  for (TOrbaObject* o : objects)
    if (TOrbaMes* window = AsMessageWindow(o)) window->RebuildAfterLoad();
}

// Without the unit globals (before start-up or after shut-down) the
// sections read and write the empty forms.
void TBacklogFormatsSection::SaveToStream(TKsBigStream& stream) {
  if (TextHistoryFormats != nullptr)
    TextHistoryFormats->SaveToStream(stream);
  else
    TEmptyBacklog().SaveToStream(stream);
}

void TBacklogFormatsSection::LoadFromStream(TKsBigStream& stream, int32_t version) {
  if (TextHistoryFormats != nullptr)
    TextHistoryFormats->LoadFromStream(stream, version);
  else
    TEmptyBacklog().LoadFromStream(stream, version);
}

void TBacklogFormatsSection::LoadDefaultHistory(TKsBigStream& stream, int32_t version) {
  if (TextHistoryFormats != nullptr)
    TextHistoryFormats->LoadDefaultHistory(stream, version);
  else
    TEmptyBacklog().LoadDefaultHistory(stream, version);
}

void TReadMarksSection::SaveToStream(TKsBigStream& stream) {
  if (TextRead != nullptr)
    TextRead->SaveToStream(stream);
  else
    TEmptyReadMarks().SaveToStream(stream);
}

void TReadMarksSection::LoadFromStream(TKsBigStream& stream, int32_t version) {
  if (TextRead != nullptr)
    TextRead->LoadFromStream(stream, version);
  else
    TEmptyReadMarks().LoadFromStream(stream, version);
}

}  // namespace orba
