#include "items/film_manager.h"

#include <algorithm>
#include <cmath>

#include "core/files/vr_file_manager.h"
#include "core/strings/sjis_case.h"
#include "core/system/trace.h"
#include "items/brix_cache.h"
#include "items/orba_object.h"
#include "platform/text_convert.h"

namespace orba {

namespace {
TFilmFactory film_factory = nullptr;
}  // namespace

int32_t FrameAtTime(int32_t elapsed_ms, int32_t frames_per_second) {
  const double frame = std::nearbyint(elapsed_ms / (1000.0 / std::max(frames_per_second, 1)));
  return static_cast<int32_t>(std::clamp(frame, double{INT32_MIN}, double{INT32_MAX}));
}

int32_t TimeOfFrame(int32_t frame, int32_t frames_per_second) {
  const double ms = std::nearbyint(frame * (1000.0 / std::max(frames_per_second, 1)));
  return static_cast<int32_t>(std::clamp(ms, double{INT32_MIN}, double{INT32_MAX}));
}

bool ProjectHasFile(const std::string& name) {
  if (name.empty()) return false;
  try {
    if (TBrixCollection* cache = BrixCollection()) return cache->HasFile(name);
    TVrFileManager* files = VrFileManager();
    return files != nullptr && files->Exists(name);
  } catch (const EOrbaError&) {
    return false;
  }
}

void SetFilmFactory(TFilmFactory factory) { film_factory = factory; }

std::unique_ptr<TFilmManager> CreateFilm() { return film_factory != nullptr ? film_factory() : nullptr; }

std::unique_ptr<TFilmManager> LoadFilmOrTrace(const std::string& name) {
  std::unique_ptr<TFilmManager> film = CreateFilm();
  if (film == nullptr) return nullptr;
  try {
    film->LoadFromFile(name);
  } catch (const EFilmError& e) {
    TraceOnce(SjisToUtf8(name + ": " + e.what()));
    return nullptr;
  }
  return film;
}

void PreloadFilmFiles(const std::string& name, std::set<std::string>& visited,
                      const std::function<void(const std::string&)>& preload) {
  if (!visited.insert(SjisLowerCase(name)).second) return;
  const std::unique_ptr<TFilmManager> film = LoadFilmOrTrace(name);
  if (film == nullptr) return;
  for (const std::string& file : film->TrackFiles()) {
    if (IsFilmName(file))
      PreloadFilmFiles(file, visited, preload);
    else
      preload(file);
  }
}

}  // namespace orba
