#include "film/film_loader.h"

namespace orba {

void LoadFilmFile(const std::string& file_name) {
  throw EFilmError(file_name + ":" + kMsgUnsupportedFormat);
}

std::unique_ptr<TOrbaMotion> CreateFilmMotion(TOrbaControl& owner, const std::string& file_name) {
  LoadFilmFile(file_name);
}

void InitFilmGlobals() { SetMotionFactory(CreateFilmMotion); }

void DoneFilmGlobals() { SetMotionFactory(nullptr); }

}  // namespace orba
