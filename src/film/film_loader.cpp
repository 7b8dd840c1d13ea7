#include "film/film_loader.h"

#include "film/wipes/wipe_factory.h"
#include "film/frame_animation.h"

namespace orba {

namespace {

// A film read from a file: no film format is read, so it never loads.
class TFileFilm final : public TFilmManager {
 public:
  void LoadFromFile(const std::string& name) override { LoadFilmFile(name, MotionMode); }
  int32_t GetLength() const override { return 0; }

 protected:
  void ApplyTracks(int32_t frame) override {}
};

}  // namespace

void LoadFilmFile(const std::string& /*file_name*/, bool motion) {
  throw EFilmError(std::string(motion ? kFilmKindMotion : kFilmKindCinema) + ":" + kMsgUnsupportedFormat);
}

std::unique_ptr<TFilmManager> CreateFileFilm() { return std::make_unique<TFileFilm>(); }

std::unique_ptr<TOrbaMotion> CreateFilmMotion(TOrbaControl& owner, const std::string& file_name) {
  std::unique_ptr<TFilmManager> film = CreateFilm();
  if (film == nullptr) return nullptr;
  film->MotionMode = true;
  film->Owner = &owner;
  film->LoadFromFile(file_name);
  return std::make_unique<TOrbaMotionFilm>(owner, std::move(film));
}

void InitFilmGlobals() {
  SetFilmFactory(CreateFileFilm);
  SetMotionFactory(CreateFilmMotion);
  SetWipeFactory(CreateWipe);
}

void DoneFilmGlobals() {
  SetMotionFactory(nullptr);
  SetWipeFactory(nullptr);
  SetFilmFactory(nullptr);
}

}  // namespace orba
