// The film loader. Films (".omt" files of tracks that animate items, sounds
// and transitions over time) are not read by this build: the loader refuses
// every film with the unsupported-format error, and an item whose source is
// a film plays it as a film that could not be loaded. Everything that plays
// films does so through the film interface (items/film_manager.h).
#pragma once

#include <memory>
#include <string>

#include "items/film_manager.h"
#include "items/orba_object.h"

namespace orba {

// The kinds of film file, as an error of reading names them: a film played
// on its own stage and one that animates an item (motion mode).
inline constexpr char kFilmKindCinema[] = "OrbaCinema";
inline constexpr char kFilmKindMotion[] = "OrbaMotion";

// Loads the film FileName (in motion mode when Motion): raises EFilmError
// with the message kind + ":" + kMsgUnsupportedFormat; the caller that
// traces it names the file.
[[noreturn]] void LoadFilmFile(const std::string& file_name, bool motion);

// The film the player makes: its LoadFromFile is LoadFilmFile.
std::unique_ptr<TFilmManager> CreateFileFilm();

// The motion factory of the items: a frame animation playing FileName on
// Owner, with a film made by the registered film factory; raises EFilmError
// when the film cannot be read.
std::unique_ptr<TOrbaMotion> CreateFilmMotion(TOrbaControl& owner, const std::string& file_name);

// Installs the film loader as the items' film and motion factories and the
// screen transitions as the object manager's wipe factory (start-up, after
// the object manager's globals); DoneFilmGlobals takes them away again.
void InitFilmGlobals();
void DoneFilmGlobals();

}  // namespace orba
