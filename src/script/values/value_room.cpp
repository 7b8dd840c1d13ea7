#include "script/values/value_room.h"

#include <string>

#include "core/system/heap_watch.h"

namespace orba {
namespace {
int64_t g_unasked = kValueBytesBetweenReads;  // window thread only, as the script
}  // namespace

void ClaimValueRoom(int64_t bytes) {
  if (bytes <= 0) return;
  if (bytes <= g_unasked) {
    g_unasked -= bytes;
    return;
  }
  if (!HeapRoomFor(static_cast<uint64_t>(bytes))) {
    g_unasked = 0;  // every later value asks, and is refused at once
    throw ENoValueRoom("values of " + std::to_string(bytes) + " bytes would pass the memory ceiling");
  }
  g_unasked = kValueBytesBetweenReads;
}

void ResetValueRoom() { g_unasked = kValueBytesBetweenReads; }

}  // namespace orba
