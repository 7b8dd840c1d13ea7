// The folders around a fuzzed game and the watch on them: HOME with its
// desktop, documents and hidden folders, the temporary folder, the game's
// sources and the game, and a canary folder outside them all. Into the built
// game it plants what a downloaded game may carry: symbolic links to the
// canaries (files and folders, dangling or not, named like the temporary
// files of the player's writes and like the files a script reads, writes or
// extracts, the package's next volume and the save file), FIFOs (one in the
// game's font folder, beside links leading out), a link to a device, links
// that stay inside the game, names of 240 letters, the start-up files as
// links out, an exit page named outside the game, sparse huge files,
// packed entries that unpack far beyond their size, large pictures,
// directories of millions of entries, a screen too large to hold, texts
// nested a million deep; it may move the game's package into HOME's
// downloads folder, beside a canary, and it may take HOME's desktop and
// documents folders away for one game. It also watches the heap's peak
// while the game plays.
//
// An inotify watch on the canary folders and on every folder of the
// sandbox a game must not write to reports, once the game has played, each
// read of a canary and each write outside the game's folder, its data
// folder and the temporary folder (the desktop and the documents, which no
// chooser opened to the game, are watched like HOME). A stat of a
// canary makes no event: what a game learns by asking whether a file exists
// is not seen here. A game that waits on a planted FIFO stays in its open
// call: a watchdog thread finds it there (a writer can open the FIFO
// without waiting only while a reader has it open) and ends the process
// with a message.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace orba::fuzz {

// What is planted in the game folder, one bit each (TGameSandbox::Plant).
enum TPlant : uint64_t {
  kPlantProbeLink = uint64_t{1} << 0,         // "save.dat.$$$", a link to a canary file
  kPlantSaveTempLink = uint64_t{1} << 1,      // "save.dat.~tmp", a link to a canary file
  kPlantShotTempLink = uint64_t{1} << 2,      // "shot.brx.~tmp", a dangling link into the canary folder
  kPlantExtractTempLink = uint64_t{1} << 3,   // "dl/pic.bmp.~tmp", a dangling link into HOME's autostart folder
  kPlantFileLink = uint64_t{1} << 4,          // "link.txt", a link to a canary file
  kPlantFolderLink = uint64_t{1} << 5,        // "linkdir", a link to the canary folder's subfolder
  kPlantHiddenFolderLink = uint64_t{1} << 6,  // "ssh", a link to HOME's ~/.ssh
  kPlantDanglingLink = uint64_t{1} << 7,      // "dangling.txt", a link to a missing canary file
  kPlantFifo = uint64_t{1} << 8,              // "fifo.txt", a FIFO
  kPlantDeviceLink = uint64_t{1} << 9,        // "zero.txt", a link to /dev/zero
  kPlantInsideLinks = uint64_t{1} << 10,      // "inlink" -> "sub", "inlink.txt" -> "sub/inside.txt": they stay inside
  kPlantWrittenNameLink = uint64_t{1} << 11,  // "shot.brx", a link to a canary file
  kPlantOwnPictureLink = uint64_t{1} << 12,   // "own.bmp" (the input's picture) replaced by a link to a canary file
  kPlantPlaylists = uint64_t{1} << 13,        // "movie.avi" and "list.m3u8": playlists naming a canary file by its path
  kPlantNextVolumeLink = uint64_t{1} << 14,   // "game.001" and "save.001", the next volumes of the game's package (it
                                     // is then built as "game.dat") and of its save file, links to a canary
  kPlantSaveLink = uint64_t{1} << 15,         // "save.dat", a link to a canary file
  kPlantFontFolder = uint64_t{1} << 16,       // "fonts": the FIFO "fifo.ttf", links out "out.ttf" (a canary font),
                                     // "outdir" (the canary folder) and "home" (HOME)
  kPlantNoUserFolders = uint64_t{1} << 17,    // HOME without its desktop and documents folders
  kPlantLongNames = uint64_t{1} << 18,        // files named by 240 letters, for masks of many stars
  kPlantStartupLinks = uint64_t{1} << 19,     // "orba.opb", "original_orba.opb" and "main.osb", links to HOME's
                                     // ~/.ssh/id_rsa (the game is then built as "game.dat")
  kPlantClimbingPage = uint64_t{1} << 20,     // a loose game's settings name the exit page kClimbingPage
  kPlantDownloadedPackage = uint64_t{1} << 21,  // the game's "game.dat" moved to HOME's downloads folder as
                                       // "evil.dat", beside a canary, and played from there
  // Sparse files of 1.5 GB the game reads whole: a page "huge.osb", a MIDI
  // song "huge.mid", a cursor "huge.cur", a picture "huge.brx" and a text
  // "huge.txt" (for ExtractFile too).
  kPlantHugeFiles = uint64_t{1} << 22,
  kPlantHugeSaveData = uint64_t{1} << 23,     // "save.dat" and "install.dat" as sparse files of 1.5 GB
  // "game.dat" (for a folder game) of packed entries that unpack to 320 MiB
  // of zeros each: "bomb.brx", "bomb.wav", "bomb.avi", "bomb.mid",
  // "bomb.cur", "bomb.txt", "bomb.osb".
  kPlantInflatingEntries = uint64_t{1} << 24,
  // Large pictures under the names image items read ("wide.brx" fits the
  // budget of one picture; the others are refused from their headers):
  kPlantLargePngs = uint64_t{1} << 25,         // "wide.brx", "bits.brx", "over.brx", "sparse.brx" (PNG)
  kPlantLargeJpegAndBrix = uint64_t{1} << 26,  // "progressive.brx" (JPEG), "layers.brx" (Brix of three layers)
  kPlantHugeDirectory = uint64_t{1} << 27,    // "save.dat" (unless linked) and a package game's "game.dat": sparse
                                     // directories of 5,000,000 empty entries
  kPlantHugeScreen = uint64_t{1} << 28,       // a folder game's "orba.opb" giving a screen of 8192 x 8192
  kPlantNestedTexts = uint64_t{1} << 29,      // "nested.txt" and "deep.txt": parentheses nested 1,000,000 and
                                     // 30,000 deep, and "calls.txt": 20,000 nested calls, for Calc
  kPlantHttpFlood = uint64_t{1} << 30,        // HTTP items "http1"... fetching endless bodies from a server of
                                     // the fuzzing process (game_fuzz_http.h)
  kPlantOutgrowingMovies = uint64_t{1} << 31,  // "grow.avi", a movie whose frames decode larger than it says
  // "big.cur" and "big.bmp": run-length bitmaps of 8192 x 8192 (558 KB), as
  // cursors ("Cursor=", "@Cursor") and pictures; a cursor is refused from
  // its header.
  kPlantHugeCursors = uint64_t{1} << 32,
  kPlantLongMessages = uint64_t{1} << 33,     // "long.txt": one word of 100,000 letters, "rows.txt": 100,000
                                              // characters of short words, for a message window's text
  kPlantScriptGrowth = uint64_t{1} << 34,     // "growth.txt": a line of 8 MiB that the generated page
                                              // "grow.osb" pushes with PushVar again and again
  kPlantLocalAddresses = uint64_t{1} << 35,  // HTTP items "local1"... fetching the addresses of this
                                              // process's private network (game_fuzz_local_net.h)
  kPlantAll = (uint64_t{1} << 36) - 1,
};

// The apparent size of the planted sparse files.
inline constexpr uint64_t kHugeFileBytes = 1500000000;
// What a packed entry of the planted package unpacks to.
inline constexpr uint64_t kInflatedEntryBytes = uint64_t{320} << 20;
// The most the heap may grow while a game plays, above what it held when
// the game started: no single file may cost more than 300 MB.
inline constexpr uint64_t kMaxPlayHeapGrowth = 300000000;
// The player's own heap ceiling while a game plays, above the heap at its
// start: a game that grows past it ends in order (no finding), and what
// one step or glyph stride adds after the last check stays below
// kMaxPlayHeapGrowth.
inline constexpr uint64_t kPlayHeapCeiling = 200000000;

// The exit page kPlantClimbingPage names: a canary outside the game folder.
inline const char* const kClimbingPage = "..\\canary\\secret.txt";

// The FIFOs the sandbox plants, relative to the game folder: a game that
// waits on one ends the process.
inline const char* const kPlantedFifos[] = {"fifo.txt", "fonts/fifo.ttf"};
// The planted names of 240 letters: only the second ends in "c".
inline const std::string kLongName(240, 'a');
inline const std::string kLongNameC = std::string(239, 'a') + "c";

class TGameSandbox {
 public:
  // Makes the folders and canaries under Root (an empty folder) and starts
  // the watch; raises std::runtime_error when the watch cannot be made. A
  // game still reading a planted FIFO FifoWait after it started to play
  // ends the process.
  explicit TGameSandbox(std::filesystem::path root,
                        std::chrono::milliseconds fifo_wait = std::chrono::milliseconds(2000));
  ~TGameSandbox();
  TGameSandbox(const TGameSandbox&) = delete;
  TGameSandbox& operator=(const TGameSandbox&) = delete;

  const std::filesystem::path& Root() const { return root_; }
  std::filesystem::path Home() const { return root_ / "home"; }
  std::filesystem::path Game() const { return root_ / "game"; }
  std::filesystem::path Sources() const { return root_ / "src"; }
  std::filesystem::path Canary() const { return root_ / "canary"; }
  // The package kPlantDownloadedPackage moves into HOME's downloads folder.
  std::filesystem::path Downloaded() const { return Home() / "Downloads/evil.dat"; }
  // What the player is given to play with the plants of Mask: the game
  // folder, or the downloaded package.
  std::filesystem::path GameToPlay(uint64_t mask) const {
    return (mask & kPlantDownloadedPackage) != 0 ? Downloaded() : Game();
  }

  // Plants the things Mask names (TPlant bits) into the built game folder.
  void Plant(uint64_t mask);
  // Forgets what the harness did so far (the build, the plants): call just
  // before the game plays.
  void StartWatching();
  // What was done outside the game's folders since StartWatching, one
  // line each, and a heap peak (in a sanitizer build, which counts what
  // the allocator hands out) more than kMaxPlayHeapGrowth above the heap at
  // StartWatching; empty when nothing was. StartWatching also sets the
  // player's heap ceiling kPlayHeapCeiling above that heap.
  std::vector<std::string> Findings();
  // Between runs: removes the data folders the game made, gives HOME its
  // desktop and documents back and, after a finding, makes the canaries
  // and their folders anew.
  void Reset();
  // Whether the desktop may open Target as a folder for the game: an
  // absolute path (or a "file://" address of one) of an existing folder
  // that lies, links resolved, in the game's folder, its data folder or the
  // temporary folder.
  bool MayOpenFolder(std::string target) const;

 private:
  // How a watched folder is judged: every event in a canary folder is a
  // finding; in a guarded folder, every write and a read of a canary file.
  enum class TWatchKind : uint8_t { Canary, Guarded, DataFolders };
  struct TWatch {
    std::filesystem::path Folder;
    TWatchKind Kind;
  };
  void MakeOutside();
  void WatchOutside();
  void WatchUserFolders();
  void Watch(const std::filesystem::path& folder, TWatchKind kind);
  void Judge(const TWatch& watch, uint32_t mask, const std::string& name, std::vector<std::string>& findings);
  std::vector<std::string> Drain();
  void WatchFifo(const std::stop_token& stop);

  std::filesystem::path root_;
  int fd_ = -1;
  std::map<int, TWatch> watches_;
  // The files made outside as canaries: a read of one is a finding.
  std::set<std::filesystem::path> canaries_;
  // Folders the game made in the player's data folder in this run.
  std::set<std::string> new_data_folders_;
  bool dirty_ = false;
  // When the game started to play; unset while it does not.
  std::mutex lock_;
  std::condition_variable_any playing_changed_;
  std::optional<std::chrono::steady_clock::time_point> playing_since_;
  std::chrono::milliseconds fifo_wait_;
  int64_t heap_at_start_ = 0;  // the hooks' count at StartWatching
  std::jthread fifo_watchdog_;
};

// A fuzzing process's sandbox folder in Parent is named kSandboxPrefix, the
// process's id, "-" and six characters of mkdtemp's; its file kSandboxStamp
// holds that name. A run killed for its memory or stopped at a finding has
// no exit handler to remove its folder.
inline constexpr char kSandboxPrefix[] = "orba-gamefuzz-";
inline constexpr char kSandboxStamp[] = "sandbox-name";
// Removes from Parent the sandbox folders of processes that no longer
// exist: folders of the user running it, named exactly as a sandbox is, and
// stamped with that name. A live process's folder, another user's, a name
// of another form, a folder whose stamp names another (a copy or a renamed
// folder, "orba-gamefuzz-PID-backup") or none, a link and anything else
// stay. Answers what was removed.
std::vector<std::filesystem::path> RemoveDeadSandboxes(const std::filesystem::path& parent);
// Removes the dead sandboxes in Parent and makes this process's own there;
// raises std::runtime_error when it cannot be made.
std::filesystem::path MakeSandboxRoot(const std::filesystem::path& parent);

}  // namespace orba::fuzz
