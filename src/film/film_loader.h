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

// "このファイル形式には対応していません"
inline constexpr char kMsgUnsupportedFormat[] =
    "\x82\xb1\x82\xcc\x83t\x83@\x83" "C\x83\x8b\x8c`\x8e\xae\x82\xc9\x82\xcd\x91\xce\x89\x9e\x82\xb5\x82\xc4\x82"
    "\xa2\x82\xdc\x82\xb9\x82\xf1";

// Loads the film FileName: raises EFilmError with the message
// FileName + ":" + kMsgUnsupportedFormat (the name as it was given).
[[noreturn]] void LoadFilmFile(const std::string& file_name);

// The film the player makes: its LoadFromFile is LoadFilmFile.
std::unique_ptr<TFilmManager> CreateFileFilm();

// The motion factory of the items: a frame animation playing FileName on
// Owner, with a film made by the registered film factory; raises EFilmError
// when the film cannot be read.
std::unique_ptr<TOrbaMotion> CreateFilmMotion(TOrbaControl& owner, const std::string& file_name);

// Installs the film loader as the items' film and motion factories
// (start-up, after the object manager's globals); DoneFilmGlobals takes
// them away again.
void InitFilmGlobals();
void DoneFilmGlobals();

}  // namespace orba
