// A player's saved pieces for the tests of "save.dat": a variable store, the
// empty forms of the other pieces, and the save file over them.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <functional>
#include <string>

#include "script/save/save_data.h"
#include "script/save/save_sections.h"
#include "script/values/param_collection.h"

namespace orba::test {

struct SavePlayer {
  TParamCollection vars;
  TEmptySaveSections sections{vars, 640, 480};
  TSaveDataFile file;
  explicit SavePlayer(const std::string& path) : file(path, sections.Sections()) {}
};

// Runs Write while no file may grow past Max_bytes (SIGXFSZ ignored, so a
// write past it fails with EFBIG), then lifts the limit; Write's answer.
inline bool WithFileSizeLimit(rlim_t max_bytes, const std::function<bool()>& write) {
  rlimit limit {};
  if (::getrlimit(RLIMIT_FSIZE, &limit) != 0) return false;
  const rlimit small{max_bytes, limit.rlim_max};
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  if (::setrlimit(RLIMIT_FSIZE, &small) != 0) {
    std::signal(SIGXFSZ, old_handler);
    ADD_FAILURE() << "RLIMIT_FSIZE not set";
    return false;
  }
  const bool written = write();
  ::setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, old_handler);
  return written;
}

}  // namespace orba::test
