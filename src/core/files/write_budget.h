// What one game may write to disk in one run, over every file it writes
// (ExtractFile, SaveScreen, SetWallPaper, install.dat): a script that
// extracts a large entry under ever new names would otherwise fill the
// disk. A file's full length counts, holes included, so that copies of a
// sparse file, which cost few blocks, still end at the bound. The status
// save (save.dat) is the player's own and never counted, so it is never
// refused for what the script wrote. A file the player makes for itself and
// that goes again (a packed sound unpacked into a temporary file) counts
// only while it exists: its bytes are given back when it goes, so that a
// game replaying its music all evening never runs out.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

namespace orba {

// 4 GiB: a few times what a real game installs or captures in one run.
inline constexpr int64_t kMaxGameWriteBytes = int64_t{4} << 30;

class TGameWriteBudget {
 public:
  explicit TGameWriteBudget(int64_t limit = kMaxGameWriteBytes) : limit_(limit) {}
  // Takes Bytes from what is left; false (nothing taken) when they would
  // pass the limit.
  bool Charge(int64_t bytes);
  // Gives back Bytes charged for a file that is gone again. Never below
  // nothing: a file of the last game may go after the next one started.
  void GiveBack(int64_t bytes);
  int64_t Written() const;
  int64_t Limit() const;
  // The player's --write-limit (tests play with a small one).
  void SetLimit(int64_t limit);
  // A new game starts with nothing written.
  void Reset();

 private:
  mutable std::mutex lock_;
  int64_t limit_;
  int64_t written_ = 0;
};

// The budget of the game that runs.
TGameWriteBudget& GameWriteBudget();
// Charges the game's budget for Bytes of the file Path; past the limit
// traces "file write refused: PATH: past the N bytes a game may write in
// one run" and answers false.
bool ChargeGameWrite(const std::string& path, int64_t bytes);

}  // namespace orba
