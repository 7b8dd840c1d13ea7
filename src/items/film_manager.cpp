#include "items/film_manager.h"

#include "core/strings/sjis_case.h"
#include "core/system/trace.h"
#include "items/orba_object.h"
#include "platform/text_convert.h"

namespace orba {

namespace {
TFilmFactory film_factory = nullptr;
}  // namespace

void SetFilmFactory(TFilmFactory factory) { film_factory = factory; }

std::unique_ptr<TFilmManager> CreateFilm() { return film_factory != nullptr ? film_factory() : nullptr; }

std::unique_ptr<TFilmManager> LoadFilmOrTrace(const std::string& name) {
  std::unique_ptr<TFilmManager> film = CreateFilm();
  if (film == nullptr) return nullptr;
  try {
    film->LoadFromFile(name);
  } catch (const EFilmError& e) {
    TraceOnce(SjisToUtf8(e.what()));
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
