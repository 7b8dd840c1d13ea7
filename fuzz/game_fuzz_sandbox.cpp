#include "game_fuzz_sandbox.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "core/streams/big_stream.h"
#include "core/system/heap_watch.h"
#include "game_fuzz_pictures.h"
#include "script/functions/sys_func_file.h"
#include "script/project/project_settings.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORBA_SANDBOX_HEAP_HOOKS 1
#include <sanitizer/allocator_interface.h>
#endif
#endif

namespace orba::fuzz {

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kWrites = IN_MODIFY | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM |
                             IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;
constexpr uint32_t kReads = IN_OPEN | IN_ACCESS;

// The folder of the player's data folders, below HOME.
constexpr char kDataFolders[] = "home/.local/share/orba";
// Another title's data folder with its save: the game must not touch it.
constexpr char kOtherTitle[] = "another title";
// Folders a game may write to, and whose own changes (a link count, a
// listing) the watch on the folder above reports.
const char* const kOpenFolders[] = {"game", "tmp"};
// HOME's own folders, shut to a game that was never given them through a
// chooser: a plant takes them away, and they come back between runs.
const char* const kUserFolders[] = {"Desktop", "Documents"};

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out) throw std::runtime_error("game sandbox: cannot write " + path.string());
}

// A symbolic link at Link to Target, over whatever Link was.
// A package directory (version 0, at the file's start) of 5,000,000 empty
// entries: the count, then zeros the file holds as a hole (40 MB of file,
// no disk).
void PlantSparseDirectory(const fs::path& path) {
  constexpr int64_t kEntries = 5000000;
  const uint8_t count[4] = {kEntries & 0xFF, (kEntries >> 8) & 0xFF, (kEntries >> 16) & 0xFF, kEntries >> 24};
  WriteText(path, std::string(reinterpret_cast<const char*>(count), 4));
  if (::truncate(path.c_str(), 4 + kEntries * 4 + (kEntries + 1) * 4) != 0)
    throw std::runtime_error("game sandbox: cannot grow " + path.string() + ": " + std::strerror(errno));
}

// Sets the screen size of a settings file: int32 version, the title (int32
// length and bytes), then int32 width and height.
void PlantScreenSize(const fs::path& path, int32_t width, int32_t height) {
  std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
  uint8_t head[8] = {};
  if (!f.read(reinterpret_cast<char*>(head), 8)) return;
  const uint32_t title = head[4] | (head[5] << 8) | (head[6] << 16) | (uint32_t{head[7]} << 24);
  f.seekp(8 + static_cast<std::streamoff>(title));
  for (const int32_t v : {width, height}) {
    const char bytes[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                           static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 24) & 0xFF)};
    f.write(bytes, 4);
  }
}

void Link(const fs::path& target, const fs::path& link) {
  std::error_code ec;
  fs::remove(link, ec);
  fs::create_symlink(target, link);
}

// A sparse file of Size bytes at Path (over a link of that name): it costs
// no disk, as a few bytes in a zip may unpack to.
void WriteSparse(const fs::path& path, uint64_t size) {
  std::error_code ec;
  fs::remove(path, ec);
  WriteText(path, "");
  fs::resize_file(path, size);
}

// A zlib stream of Size zero bytes, made once (a third of a megabyte for
// the planted size).
const std::string& InflatingZeros(uint64_t size) {
  static const std::string packed = [size] {
    z_stream z{};
    if (deflateInit(&z, Z_BEST_COMPRESSION) != Z_OK) throw std::runtime_error("game sandbox: no deflate");
    const std::vector<uint8_t> zeros(1 << 20);
    std::vector<uint8_t> piece(1 << 16);
    std::string out;
    for (uint64_t left = size;;) {
      const uInt feed = static_cast<uInt>(std::min<uint64_t>(left, zeros.size()));
      left -= feed;
      z.next_in = const_cast<Bytef*>(zeros.data());
      z.avail_in = feed;
      const int flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
      int code = Z_OK;
      do {
        z.next_out = piece.data();
        z.avail_out = static_cast<uInt>(piece.size());
        code = deflate(&z, flush);
        out.append(reinterpret_cast<const char*>(piece.data()), piece.size() - z.avail_out);
      } while (z.avail_out == 0);
      if (flush == Z_FINISH && code == Z_STREAM_END) break;
    }
    deflateEnd(&z);
    return out;
  }();
  return packed;
}

void PutInt32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A package of directory version 0 (a count, plain names, plain int32
// offsets from the directory's start, every entry packed) whose entries
// each unpack to kInflatedEntryBytes zeros.
std::string InflatingPackage(const std::vector<std::string>& names) {
  const std::string& packed = InflatingZeros(kInflatedEntryBytes);
  std::string directory;
  PutInt32(directory, static_cast<uint32_t>(names.size()));
  for (const std::string& name : names) {
    PutInt32(directory, static_cast<uint32_t>(name.size()));
    directory += name;
  }
  const size_t start = directory.size() + 4 * (names.size() + 1);
  for (size_t i = 0; i <= names.size(); ++i) PutInt32(directory, static_cast<uint32_t>(start + i * packed.size()));
  for (size_t i = 0; i < names.size(); ++i) directory += packed;
  return directory;
}

#if ORBA_SANDBOX_HEAP_HOOKS
// The bytes the allocator handed out and not yet back (counted from the
// hooks' installation, so only differences mean anything), and their peak.
std::atomic<int64_t> g_heap{0};
std::atomic<int64_t> g_heap_peak{0};

void CountMalloc(const volatile void*, size_t size) {
  const int64_t now = g_heap.fetch_add(static_cast<int64_t>(size), std::memory_order_relaxed) +
                      static_cast<int64_t>(size);
  int64_t peak = g_heap_peak.load(std::memory_order_relaxed);
  while (now > peak && !g_heap_peak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
  }
}

// Called while the block is still allocated, so its size can be asked.
void CountFree(const volatile void* p) {
  if (p != nullptr)
    g_heap.fetch_sub(static_cast<int64_t>(__sanitizer_get_allocated_size(const_cast<const void*>(p))),
                     std::memory_order_relaxed);
}
#endif

std::string Describe(uint32_t mask) {
  static const std::pair<uint32_t, const char*> kNames[] = {{IN_OPEN, "opened"},
                                                            {IN_ACCESS, "read"},
                                                            {IN_MODIFY, "written"},
                                                            {IN_CLOSE_WRITE, "closed after writing"},
                                                            {IN_CREATE, "created"},
                                                            {IN_DELETE, "deleted"},
                                                            {IN_MOVED_TO, "moved in"},
                                                            {IN_MOVED_FROM, "moved out"},
                                                            {IN_ATTRIB, "changed attributes"},
                                                            {IN_DELETE_SELF, "deleted"},
                                                            {IN_MOVE_SELF, "moved"},
                                                            {IN_Q_OVERFLOW, "too many events"}};
  std::string text;
  for (const auto& [bit, name] : kNames)
    if ((mask & bit) != 0) text += (text.empty() ? "" : ", ") + std::string(name);
  return text;
}

}  // namespace

TGameSandbox::TGameSandbox(fs::path root, std::chrono::milliseconds fifo_wait)
    : root_(std::move(root)), fifo_wait_(fifo_wait) {
  fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) throw std::runtime_error(std::string("game sandbox: no inotify: ") + std::strerror(errno));
  MakeOutside();
  WatchOutside();
#if ORBA_SANDBOX_HEAP_HOOKS
  static const bool hooked = __sanitizer_install_malloc_and_free_hooks(CountMalloc, CountFree) != 0;
  (void)hooked;
#endif
  fifo_watchdog_ = std::jthread([this](const std::stop_token& stop) { WatchFifo(stop); });
}

TGameSandbox::~TGameSandbox() {
  fifo_watchdog_.request_stop();
  fifo_watchdog_.join();
  if (fd_ >= 0) ::close(fd_);
}

void TGameSandbox::WatchFifo(const std::stop_token& stop) {
  std::unique_lock<std::mutex> hold(lock_);
  while (!stop.stop_requested()) {
    if (!playing_since_) {
      playing_changed_.wait(hold, stop, [&] { return playing_since_.has_value(); });
      continue;
    }
    // Probed first FifoWait after the start, then four times as often.
    const auto since = *playing_since_;
    for (auto probe = since + fifo_wait_; !stop.stop_requested(); probe += fifo_wait_ / 4) {
      if (playing_changed_.wait_until(hold, stop, probe, [&] { return playing_since_ != since; })) break;
      if (stop.stop_requested()) break;
      // Still playing: a reader on a FIFO now is the game, waiting in open.
      for (const char* name : kPlantedFifos) {
        const std::string fifo = (Game() / name).string();
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
          std::fprintf(stderr, "game fuzz: the game has waited on the planted FIFO %s for over %lld ms\n",
                       fifo.c_str(), static_cast<long long>(fifo_wait_.count()));
          std::abort();
        }
      }
    }
  }
}

// The folders and canary files around the game, with what they held at
// the start.
void TGameSandbox::MakeOutside() {
  for (const char* folder :
       {"home/Desktop", "home/Documents", "home/Downloads", "home/.config/autostart", "home/.ssh", "tmp", "src",
        "canary/folder"})
    fs::create_directories(root_ / folder);
  fs::create_directories(root_ / kDataFolders / kOtherTitle);
  const std::pair<fs::path, const char*> kCanaries[] = {
      {Canary() / "secret.txt", "a file outside every game\n"},
      {Canary() / "folder/inner.txt", "a file in a folder outside every game\n"},
      {Canary() / "clip.ts", "a movie outside every game\n"},
      {Canary() / "volume.001", "a package volume outside every game\n"},
      {Canary() / "save.dat", "saves outside every game\n"},
      {Canary() / "font.ttf", "a font outside every game\n"},
      {Home() / ".ssh/id_rsa", "the user's key\n"},
      {Home() / ".bashrc", "the user's shell settings\n"},
      {Home() / ".config/autostart/keep.desktop", "[Desktop Entry]\n"},
      {Home() / "Downloads/bank-statement.txt", "the user's bank statement\n"},
      {root_ / kDataFolders / kOtherTitle / "save.dat", "another title's saves\n"}};
  for (const auto& [path, text] : kCanaries) {
    WriteText(path, text);
    canaries_.insert(path);
  }
}

void TGameSandbox::WatchOutside() {
  for (const fs::path& folder : {Canary(), Canary() / "folder", Home() / ".ssh"}) Watch(folder, TWatchKind::Canary);
  for (const fs::path& folder : {root_, Home(), Home() / ".config", Home() / ".config/autostart", Home() / ".local",
                                 Home() / ".local/share", Home() / "Downloads", root_ / kDataFolders / kOtherTitle,
                                 Sources()})
    Watch(folder, TWatchKind::Guarded);
  Watch(root_ / kDataFolders, TWatchKind::DataFolders);
  WatchUserFolders();
}

void TGameSandbox::WatchUserFolders() {
  for (const char* folder : kUserFolders) Watch(Home() / folder, TWatchKind::Guarded);
}

void TGameSandbox::Watch(const fs::path& folder, TWatchKind kind) {
  const int wd = ::inotify_add_watch(fd_, folder.c_str(), kReads | kWrites | IN_ONLYDIR);
  if (wd < 0) throw std::runtime_error("game sandbox: cannot watch " + folder.string() + ": " + std::strerror(errno));
  watches_[wd] = TWatch{folder, kind};
}

void TGameSandbox::Plant(uint64_t mask) {
  const fs::path game = Game();
  const fs::path secret = Canary() / "secret.txt";
  if ((mask & kPlantProbeLink) != 0) Link(secret, game / "save.dat.$$$");
  if ((mask & kPlantSaveTempLink) != 0) Link(secret, game / "save.dat.~tmp");
  if ((mask & kPlantShotTempLink) != 0) Link(Canary() / "absent.brx", game / "shot.brx.~tmp");
  if ((mask & kPlantExtractTempLink) != 0) {
    fs::create_directories(game / "dl");
    Link(Home() / ".config/autostart/evil.desktop", game / "dl/pic.bmp.~tmp");
  }
  if ((mask & kPlantFileLink) != 0) Link(secret, game / "link.txt");
  if ((mask & kPlantFolderLink) != 0) Link(Canary() / "folder", game / "linkdir");
  if ((mask & kPlantHiddenFolderLink) != 0) Link(Home() / ".ssh", game / "ssh");
  if ((mask & kPlantDanglingLink) != 0) Link(Canary() / "absent.txt", game / "dangling.txt");
  if ((mask & kPlantFifo) != 0 && ::mkfifo((game / "fifo.txt").c_str(), 0644) != 0 && errno != EEXIST)
    throw std::runtime_error("game sandbox: cannot make a FIFO: " + std::string(std::strerror(errno)));
  if ((mask & kPlantDeviceLink) != 0) Link("/dev/zero", game / "zero.txt");
  if ((mask & kPlantInsideLinks) != 0) {
    fs::create_directories(game / "sub");
    WriteText(game / "sub/inside.txt", "inside the game\n");
    Link("sub", game / "inlink");
    Link("sub/inside.txt", game / "inlink.txt");
  }
  if ((mask & kPlantWrittenNameLink) != 0) Link(secret, game / "shot.brx");
  if ((mask & kPlantOwnPictureLink) != 0) Link(secret, game / "own.bmp");
  if ((mask & kPlantNextVolumeLink) != 0) {
    Link(Canary() / "volume.001", game / "game.001");
    Link(Canary() / "volume.001", game / "save.001");
  }
  if ((mask & kPlantSaveLink) != 0) Link(Canary() / "save.dat", game / "save.dat");
  if ((mask & kPlantFontFolder) != 0) {
    fs::create_directories(game / "fonts");
    if (::mkfifo((game / "fonts/fifo.ttf").c_str(), 0644) != 0 && errno != EEXIST)
      throw std::runtime_error("game sandbox: cannot make a FIFO: " + std::string(std::strerror(errno)));
    Link(Canary() / "font.ttf", game / "fonts/out.ttf");
    Link(Canary() / "folder", game / "fonts/outdir");
    Link(Home(), game / "fonts/home");
  }
  if ((mask & kPlantNoUserFolders) != 0) {
    fs::remove_all(Home() / "Desktop");
    fs::remove_all(Home() / "Documents");
  }
  if ((mask & kPlantLongNames) != 0) {
    WriteText(game / kLongName, "a long name\n");
    WriteText(game / kLongNameC, "a long name ending in c\n");
  }
  if ((mask & kPlantHugeFiles) != 0) {
    for (const char* name : {"huge.osb", "huge.mid", "huge.cur", "huge.brx", "huge.txt"})
      WriteSparse(game / name, kHugeFileBytes);
  }
  if ((mask & kPlantHugeSaveData) != 0) {
    WriteSparse(game / "save.dat", kHugeFileBytes);
    WriteSparse(game / "install.dat", kHugeFileBytes);
  }
  // A package game keeps its own package: it holds the game.
  if ((mask & kPlantInflatingEntries) != 0 && !fs::exists(fs::symlink_status(game / "game.dat")))
    WriteText(game / "game.dat", InflatingPackage({"bomb.brx", "bomb.wav", "bomb.avi", "bomb.mid", "bomb.cur",
                                                   "bomb.txt", "bomb.osb"}));
  // The settings first: the start-up links may then take their place.
  if ((mask & kPlantClimbingPage) != 0 && fs::is_regular_file(fs::symlink_status(game / "orba.opb"))) {
    TKsMemoryStream in;
    in.LoadFromFile((game / "orba.opb").string());
    TProjectSetting settings;
    settings.LoadFromStream(in);
    settings.ExitPage = kClimbingPage;
    TKsMemoryStream out;
    settings.SaveToStream(out);
    out.SaveToFile((game / "orba.opb").string());
  }
  if ((mask & kPlantStartupLinks) != 0) {
    for (const char* name : {"orba.opb", "original_orba.opb", "main.osb"}) Link(Home() / ".ssh/id_rsa", game / name);
  }
  if ((mask & kPlantDownloadedPackage) != 0 && fs::exists(game / "game.dat")) fs::rename(game / "game.dat", Downloaded());
  if ((mask & kPlantLargePngs) != 0) PlantLargePngs(game);
  if ((mask & kPlantLargeJpegAndBrix) != 0) PlantLargeJpegAndBrix(game);
  if ((mask & kPlantOutgrowingMovies) != 0) PlantOutgrowingMovie(game);
  if ((mask & kPlantHugeCursors) != 0) PlantHugeCursors(game);
  if ((mask & kPlantHugeDirectory) != 0) {
    if ((mask & kPlantSaveLink) == 0) PlantSparseDirectory(game / "save.dat");
    if (fs::exists(game / "game.dat")) PlantSparseDirectory(game / "game.dat");
  }
  if ((mask & kPlantHugeScreen) != 0 && fs::exists(game / "orba.opb")) PlantScreenSize(game / "orba.opb", 8192, 8192);
  if ((mask & kPlantNestedTexts) != 0) {
    const auto nested = [](size_t depth) {
      return "v2 = " + std::string(depth, '(') + "1" + std::string(depth, ')') + "\r\n";
    };
    WriteText(game / "nested.txt", nested(1000000));
    WriteText(game / "deep.txt", nested(30000));
    std::string calls = "v2 = ";
    for (int i = 0; i < 20000; ++i) calls += "Abs(";
    WriteText(game / "calls.txt", calls + "1" + std::string(20000, ')') + "\r\n");
  }
  if ((mask & kPlantLongMessages) != 0) {
    std::string word, rows;
    while (word.size() < 100000) word += "abcdefgh";
    while (rows.size() < 100000) rows += "abc def\x82\xa0\x82\xa2\x81\x42";  // あい。
    WriteText(game / "long.txt", word + "\r\n");
    WriteText(game / "rows.txt", rows + "\r\n");
  }
  if ((mask & kPlantScriptGrowth) != 0) WriteText(game / "growth.txt", std::string(size_t{8} << 20, 'g') + "\r\n");
  if ((mask & kPlantPlaylists) != 0) {
    const std::string playlist =
        "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\n" + (Canary() / "clip.ts").string() + "\n#EXT-X-ENDLIST\n";
    WriteText(game / "movie.avi", playlist);
    WriteText(game / "list.m3u8", playlist);
  }
}

void TGameSandbox::StartWatching() {
  Drain();
  ResetHeapCeiling();
  SetHeapCeiling(HeapInUse() + kPlayHeapCeiling);
#if ORBA_SANDBOX_HEAP_HOOKS
  heap_at_start_ = g_heap.load();
  g_heap_peak.store(heap_at_start_);
#endif
  std::lock_guard<std::mutex> hold(lock_);
  playing_since_ = std::chrono::steady_clock::now();
  playing_changed_.notify_all();
}

std::vector<std::string> TGameSandbox::Drain() {
  std::vector<std::string> findings;
  // What happened to each name, all its events together.
  std::map<std::pair<int, std::string>, uint32_t> masks;
  std::vector<int> gone;
  alignas(struct inotify_event) char buffer[16384];
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n <= 0) break;  // EAGAIN: nothing more
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const struct inotify_event*>(buffer + at);
      at += static_cast<ssize_t>(sizeof(struct inotify_event) + event->len);
      if ((event->mask & IN_Q_OVERFLOW) != 0) {
        findings.push_back("so many changes outside the game's folders that the watch lost some");
        continue;
      }
      if (watches_.count(event->wd) == 0) continue;
      if ((event->mask & IN_IGNORED) != 0) {
        gone.push_back(event->wd);  // the folder went (a user folder a plant took away)
        continue;
      }
      masks[{event->wd, event->len > 0 ? std::string(event->name) : std::string()}] |= event->mask;
    }
  }
  for (const auto& [key, mask] : masks) Judge(watches_.at(key.first), mask, key.second, findings);
  for (const int wd : gone) watches_.erase(wd);
  return findings;
}

void TGameSandbox::Judge(const TWatch& watch, uint32_t mask, const std::string& name,
                         std::vector<std::string>& findings) {
  const fs::path path = name.empty() ? watch.Folder : watch.Folder / name;
  switch (watch.Kind) {
    case TWatchKind::Canary:
      findings.push_back("a canary outside the game was touched: " + path.string() + " (" + Describe(mask) + ")");
      return;
    case TWatchKind::DataFolders:
      // The game's own data folder is made here; the wallpaper is written
      // here (through a temporary that is gone again).
      if ((mask & IN_CREATE) != 0 && (mask & IN_ISDIR) != 0 && name != kOtherTitle) {
        new_data_folders_.insert(name);
        return;
      }
      if ((mask & kWrites) == 0 || new_data_folders_.count(name) != 0) return;
      if (name.rfind(kWallpaperFileName, 0) == 0) return;
      if (!name.empty() && name != kOtherTitle && !fs::exists(fs::symlink_status(path))) return;
      break;
    case TWatchKind::Guarded:
      if ((mask & kWrites) == 0) {
        if ((mask & kReads) != 0 && canaries_.count(path) != 0)
          findings.push_back("a canary outside the game was read: " + path.string() + " (" + Describe(mask) + ")");
        return;
      }
      if ((mask & (IN_ATTRIB | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO)) == IN_ATTRIB &&
          std::any_of(std::begin(kOpenFolders), std::end(kOpenFolders), [&](const char* f) { return name == f; }))
        return;
      break;
  }
  findings.push_back("a write outside the game's folders: " + path.string() + " (" + Describe(mask) + ")");
}

std::vector<std::string> TGameSandbox::Findings() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    playing_since_.reset();
    playing_changed_.notify_all();
  }
  std::vector<std::string> findings = Drain();
#if ORBA_SANDBOX_HEAP_HOOKS
  const int64_t growth = g_heap_peak.load() - heap_at_start_;
  if (growth > static_cast<int64_t>(kMaxPlayHeapGrowth))
    findings.push_back("the heap peaked " + std::to_string(growth) + " bytes above its size at the start, more than " +
                       std::to_string(kMaxPlayHeapGrowth));
#endif
  std::sort(findings.begin(), findings.end());
  findings.erase(std::unique(findings.begin(), findings.end()), findings.end());
  dirty_ = dirty_ || !findings.empty();
  return findings;
}

void TGameSandbox::Reset() {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(root_ / kDataFolders, ec))
    if (entry.path().filename() != kOtherTitle) fs::remove_all(entry.path(), ec);
  new_data_folders_.clear();
  if (dirty_) {
    // What the game touched outside goes; the canaries come back as they were.
    for (const auto& [wd, watch] : watches_) ::inotify_rm_watch(fd_, wd);
    watches_.clear();
    canaries_.clear();
    static const std::set<std::string> kRootKeeps = {"game", "src", "tmp", "home", kSandboxStamp};
    for (const auto& entry : fs::directory_iterator(root_))
      if (kRootKeeps.count(entry.path().filename().string()) == 0) fs::remove_all(entry.path());
    for (const auto& entry : fs::directory_iterator(Home())) {
      const std::string name = entry.path().filename().string();
      if (std::none_of(std::begin(kUserFolders), std::end(kUserFolders), [&](const char* f) { return name == f; }))
        fs::remove_all(entry.path());
    }
    MakeOutside();
    WatchOutside();
    dirty_ = false;
  }
  fs::remove(Downloaded(), ec);
  for (const char* folder : kUserFolders) fs::create_directories(Home() / folder);
  // Folders made anew are new inodes to watch (watching a kept one again
  // changes nothing).
  WatchUserFolders();
  Drain();
}

bool TGameSandbox::MayOpenFolder(std::string target) const {
  const std::string scheme = "file://";
  if (target.rfind(scheme, 0) == 0) target.erase(0, scheme.size());
  if (target.empty() || target[0] != '/') return false;
  std::error_code ec;
  const fs::path real = fs::canonical(target, ec);
  if (ec || !fs::is_directory(real, ec)) return false;
  const auto below = [&](const fs::path& folder) {
    const std::string f = fs::canonical(folder, ec).string(), r = real.string();
    return !ec && (r == f || r.rfind(f + "/", 0) == 0);
  };
  // A data folder is a folder below the player's, not that one itself.
  const fs::path data = fs::canonical(root_ / kDataFolders, ec);
  const bool own_data = below(data) && real != data && !below(data / kOtherTitle);
  return own_data || below(Game()) || below(root_ / "tmp");
}

namespace {

// The id of the process that made the sandbox folder named Name, or none
// for a name of another form than MakeSandboxRoot gives: the prefix, the id
// in decimal as std::to_string writes it, "-" and mkdtemp's six letters
// and digits.
std::optional<pid_t> SandboxOwner(const std::string& name) {
  constexpr size_t kPrefix = sizeof kSandboxPrefix - 1, kUnique = 6;
  if (name.size() <= kPrefix + 1 + kUnique || name.compare(0, kPrefix, kSandboxPrefix) != 0) return std::nullopt;
  const size_t dash = name.size() - kUnique - 1;
  if (name[dash] != '-') return std::nullopt;
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  const auto unique = [&](char c) { return digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (!std::all_of(name.begin() + static_cast<ptrdiff_t>(dash) + 1, name.end(), unique)) return std::nullopt;
  const char* const first = name.data() + kPrefix;
  const char* const last = name.data() + dash;
  if (*first == '0' || !std::all_of(first, last, digit)) return std::nullopt;
  pid_t pid = 0;
  const auto [end, error] = std::from_chars(first, last, pid);
  if (error != std::errc() || end != last || pid <= 0) return std::nullopt;
  return pid;
}

// Whether Folder itself, not what a link there leads to, is a folder of
// the user running this process: as root, the clean-up leaves another
// user's runs alone.
bool OwnFolder(const fs::path& folder) {
  struct stat st {};
  return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

// Whether Folder holds the stamp MakeSandboxRoot writes, naming it Name: a
// plain file, read without following a link or waiting on a FIFO.
bool StampNames(const fs::path& folder, const std::string& name) {
  const int fd = ::open((folder / kSandboxStamp).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  std::string stamp(name.size() + 1, '\0');
  ssize_t got = -1;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) got = ::read(fd, stamp.data(), stamp.size());
  ::close(fd);
  return got == static_cast<ssize_t>(name.size()) && stamp.compare(0, name.size(), name) == 0;
}

// Whether the process exists (one of another user's counts).
bool ProcessExists(pid_t pid) { return ::kill(pid, 0) == 0 || errno != ESRCH; }

}  // namespace

std::vector<fs::path> RemoveDeadSandboxes(const fs::path& parent) {
  std::vector<fs::path> removed;
  std::error_code ec;
  for (fs::directory_iterator it(parent, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path folder = it->path();
    const std::string name = folder.filename().string();
    const std::optional<pid_t> owner = SandboxOwner(name);
    // The stamp is read last, of a run that is gone: a live run watches its
    // folder and would take the read for the game's.
    if (!owner || !OwnFolder(folder) || ProcessExists(*owner) || !StampNames(folder, name)) continue;
    std::error_code removing, statting;
    fs::remove_all(folder, removing);
    // Another run starting at the same time may have removed it first.
    if (!removing || !fs::exists(fs::symlink_status(folder, statting)))
      removed.push_back(folder);
    else
      std::fprintf(stderr, "game fuzz: cannot remove the leftover sandbox %s: %s\n", folder.c_str(),
                   removing.message().c_str());
  }
  return removed;
}

fs::path MakeSandboxRoot(const fs::path& parent) {
  RemoveDeadSandboxes(parent);
  std::string pattern = (parent / kSandboxPrefix).string() + std::to_string(::getpid()) + "-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("game sandbox: cannot make " + pattern + ": " + std::strerror(errno));
  const fs::path root = pattern;
  // The stamp tells a later run's clean-up the folder made under this name
  // from a copy of it or a folder renamed to look like one.
  std::ofstream stamp(root / kSandboxStamp, std::ios::binary);
  stamp << root.filename().string();
  stamp.close();
  if (!stamp) {
    std::error_code ec;
    fs::remove_all(root, ec);
    throw std::runtime_error("game sandbox: cannot write the stamp of " + pattern);
  }
  return root;
}

}  // namespace orba::fuzz
