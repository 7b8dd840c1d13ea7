#include "film/film_loader.h"

#include "film/wipes/wipe_factory.h"

namespace orba {

void LoadFilmFile(const std::string& file_name) {
  throw EFilmError(file_name + ":" + kMsgUnsupportedFormat);
}

std::unique_ptr<TOrbaMotion> CreateFilmMotion(TOrbaControl& owner, const std::string& file_name) {
  LoadFilmFile(file_name);
}

void InitFilmGlobals() {
  SetMotionFactory(CreateFilmMotion);
  SetWipeFactory(CreateWipe);
}

void DoneFilmGlobals() {
  SetMotionFactory(nullptr);
  SetWipeFactory(nullptr);
}

}  // namespace orba
