// The film interface: a film of tracks that set properties of objects frame
// by frame. The items that play films (frame animations, the cinema, the
// preview menu) use only this interface; the film layer registers the
// factory that makes films at start-up, and the tests register films of
// their own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace orba {

class TOrbaBaseList;
class TOrbaControl;
class TOrbaObject;

// The error of a file whose format the player does not read (films and
// preview-menu files): "このファイル形式には対応していません"
inline constexpr char kMsgUnsupportedFormat[] =
    "\x82\xb1\x82\xcc\x83t\x83@\x83" "C\x83\x8b\x8c`\x8e\xae\x82\xc9\x82\xcd\x91\xce\x89\x9e\x82\xb5\x82\xc4\x82"
    "\xa2\x82\xdc\x82\xb9\x82\xf1";

class TFilmManager {
 public:
  virtual ~TFilmManager() = default;

  // Reads the film Name through the file layer; a film that cannot be read
  // raises EFilmError (orba_object.h) and leaves the film empty.
  virtual void LoadFromFile(const std::string& name) = 0;
  // The length in frames.
  virtual int32_t GetLength() const = 0;
  // Applies every track at Frame and remembers it as the last applied frame.
  void ApplyFilmAt(int32_t frame) {
    LastFrame = frame;
    ApplyTracks(frame);
  }
  // The stage the film places its objects on.
  virtual void SetBaseList(TOrbaBaseList* manager) { Stage = manager; }
  virtual void Prepare() {}
  virtual bool UsesBackPage() const { return false; }
  virtual void SetPaused(bool paused) { Paused = paused; }
  virtual void SetPlaying(bool playing) { Playing = playing; }
  // The files the film's tracks name (type-0 tracks), to load ahead.
  virtual std::vector<std::string> TrackFiles() const { return {}; }

  bool MotionMode = false;
  TOrbaControl* Owner = nullptr;
  int32_t BaseX = 0, BaseY = 0, BasePriority = 0;
  bool Relative = false;
  int32_t LoopStart = 0;
  int32_t LastFrame = -1;
  int32_t BackColor = -1;  // -1: none
  int32_t Width = 0, Height = 0;
  int32_t Volume = 0;
  TOrbaObject* Host = nullptr;
  TOrbaBaseList* Stage = nullptr;
  bool Paused = false, Playing = false;

 protected:
  virtual void ApplyTracks(int32_t frame) = 0;
};

// The frame of a play time at FramesPerSecond, to the nearest integer
// (ties to even), and the play time of a frame, likewise rounded.
int32_t FrameAtTime(int32_t elapsed_ms, int32_t frames_per_second);
int32_t TimeOfFrame(int32_t frame, int32_t frames_per_second);

// The frame a motion plays Elapsed ms into a film of Count frames (60 a
// second). Past the end a repeating motion goes on at LoopStart plus the
// frame's remainder (Wrapped: its clock restarts at that frame's time); a
// non-repeating one stays on the last frame and has Ended.
struct TFilmFrame {
  int32_t Frame = 0;
  bool Ended = false, Wrapped = false;
};
TFilmFrame FilmFrameAt(int32_t elapsed_ms, int32_t count, int32_t loop_start, bool repeat);

// True when the project can supply the file: the picture cache's answer,
// else the file layer's; false without either.
bool ProjectHasFile(const std::string& name);

// Makes an empty film; nullptr while no film layer registered itself.
using TFilmFactory = std::unique_ptr<TFilmManager> (*)();
void SetFilmFactory(TFilmFactory factory);
std::unique_ptr<TFilmManager> CreateFilm();

// Creates a film and loads Name: nullptr when no factory is registered or
// the film cannot be read (the reason goes to the trace, once per file).
std::unique_ptr<TFilmManager> LoadFilmOrTrace(const std::string& name);

// Loads ahead the files that the film Name names, and the films those name
// in turn, through Preload; Visited holds the films of this load already
// seen (letter case ignored), so a film that names itself, or a ring of
// films, ends the walk.
void PreloadFilmFiles(const std::string& name, std::set<std::string>& visited,
                      const std::function<void(const std::string&)>& preload);

}  // namespace orba
