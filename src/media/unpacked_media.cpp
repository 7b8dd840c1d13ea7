#include "media/unpacked_media.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/files/file_limits.h"
#include "core/files/write_budget.h"
#include "core/system/heap_watch.h"
#include "core/system/quit_request.h"
#include "core/system/trace.h"
#include "media/decoder.h"
#include "platform/text_convert.h"

namespace orba {

std::atomic<int64_t> TUnpackedMedia::total_held_{0};
std::atomic<int64_t> TUnpackedMedia::total_limit_{kMaxUnpackedMediaTotal};

namespace {

std::string TempFolder() {
  const char* base = std::getenv("TMPDIR");
  return base != nullptr && *base != '\0' ? base : "/tmp";
}

// An unnamed file in Folder: O_TMPFILE where the file system offers it,
// else a fresh file unlinked before anything is written to it.
int OpenUnnamed(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
  std::string pattern = folder + "/orba-media-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd >= 0) ::unlink(name.data());
  return fd;
}

// Whether the file lies on a file system kept in memory.
bool InMemoryFileSystem(int fd) {
  struct statfs about {};
  if (::fstatfs(fd, &about) != 0) return false;
  const auto type = static_cast<unsigned long>(about.f_type);
  return type == static_cast<unsigned long>(TMPFS_MAGIC) || type == static_cast<unsigned long>(RAMFS_MAGIC);
}

// Raised in the worker when the file goes or the player is asked to end,
// and to an opening whose wait a quit request ended.
class EUnpackingStopped : public EMediaError {
 public:
  EUnpackingStopped() : EMediaError("the unpacking was stopped") {}
};

// How often a wait for the worker looks for a quit request: the request
// comes from a signal handler, which cannot wake a condition variable.
constexpr auto kQuitPoll = std::chrono::milliseconds(10);

// A line noted on a worker (or a decoder's thread) for the game's thread,
// said on standard error too when Say.
struct TNote {
  std::string Line;
  bool Say = false;
};

// The registry of unpackings by entry, the notes for the game's thread, and
// the files left to their workers after a quit request (kept, never freed:
// a worker may still write into one as the player ends).
struct TShared {
  std::mutex Lock;
  std::map<std::string, std::weak_ptr<TUnpackedMedia>> Files;
  std::vector<TNote> Notes;
  std::vector<TUnpackedMedia*> Abandoned;
};

// Never freed: a worker left behind after a quit request may still note
// its end while the player's statics are being destroyed, and the files
// left to such workers stay reachable from here (not leaks).
TShared& Shared() {
  static TShared* const shared = new TShared;
  return *shared;
}

void Note(TNote note) {
  TShared& shared = Shared();
  const std::lock_guard<std::mutex> hold(shared.Lock);
  shared.Notes.push_back(std::move(note));
}

}  // namespace

class TUnpackedMedia::TWriter : public TKsBigStream {
 public:
  explicit TWriter(TUnpackedMedia& file) : file_(file) {}
  int64_t GetSize() override { return position_; }
  int64_t GetPosition() override { return position_; }
  // Writing only appends.
  void SetPosition(int64_t) override {}
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override {
    if (count <= 0) return 0;
    file_.Append(static_cast<const uint8_t*>(buffer), count);
    position_ += count;
    return count;
  }

 private:
  TUnpackedMedia& file_;
  int64_t position_ = 0;
};

class TUnpackedMedia::TReader : public TKsBigStream {
 public:
  TReader(std::shared_ptr<TUnpackedMedia> file, bool streamed) : file_(std::move(file)), streamed_(streamed) {}
  int64_t GetSize() override {
    TUnpackedMedia& f = *file_;
    std::unique_lock<std::mutex> hold(f.mutex_);
    // Never the size reached so far: that would hang on the worker's pace.
    if (answer_ == TUnpackedSizeAnswer::kBound && streamed_) return std::max(f.bound_, f.size_);
    f.WaitUntil(hold, [&f] { return f.state_ != TState::kUnpacking; });
    return f.size_;
  }
  int64_t GetPosition() override { return position_; }
  // A position past the bytes unpacked so far stands while the unpacking
  // runs: the next read waits for them.
  void SetPosition(int64_t position) override {
    const std::lock_guard<std::mutex> hold(file_->mutex_);
    position_ = std::max<int64_t>(position, 0);
    if (file_->state_ != TState::kUnpacking) position_ = std::min(position_, file_->size_);
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Read(void* buffer, int64_t count) override {
    TUnpackedMedia& f = *file_;
    int64_t ready = 0, size = 0;
    bool cut = false;
    {
      std::unique_lock<std::mutex> hold(f.mutex_);
      f.WaitUntil(hold, [&] { return f.state_ != TState::kUnpacking || f.size_ - position_ >= count; });
      ready = std::clamp<int64_t>(f.size_ - position_, 0, std::max<int64_t>(count, 0));
      // Bytes within the bound answered but past the whole file's end: the
      // header claimed more than the entry holds. (A failed unpacking says
      // so itself.)
      cut = ready < count && answer_ == TUnpackedSizeAnswer::kBound && streamed_ && f.state_ == TState::kComplete;
      size = f.size_;
    }
    if (cut) f.NoteCutShort(size);
    auto* bytes = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < ready) {
      const ssize_t n = ::pread(f.fd_, bytes + done, static_cast<size_t>(ready - done), position_ + done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += n;
    }
    position_ += done;
    return done;
  }
  void Answer(TUnpackedSizeAnswer answer) { answer_ = answer; }
  bool Streamed() const { return streamed_; }

 private:
  std::shared_ptr<TUnpackedMedia> file_;
  const bool streamed_;
  int64_t position_ = 0;
  TUnpackedSizeAnswer answer_ = TUnpackedSizeAnswer::kFinal;
};

std::shared_ptr<TUnpackedMedia> TUnpackedMedia::Create(const std::string& name) {
  const std::string folder = TempFolder();
  const int fd = OpenUnnamed(folder);
  if (fd < 0) throw EFOpenError("no temporary file in " + folder + ": " + std::strerror(errno));
  return std::shared_ptr<TUnpackedMedia>(new TUnpackedMedia(fd, InMemoryFileSystem(fd), name), Release);
}

void TUnpackedMedia::Release(TUnpackedMedia* file) {
  file->stop_ = true;
  // The worker stops at its next piece. The wait for that ends on a quit
  // request too: a worker stalled in a write that no stop reaches (a slow
  // or hung file system) must not hold the shut-down and its status save,
  // whether the quit came before the file went or while it waits. The file
  // is then left to the worker; the player is ending.
  if (file->worker_.joinable()) {
    std::unique_lock<std::mutex> hold(file->mutex_);
    file->WaitUntil(hold, [file] { return file->state_ != TState::kUnpacking; });
  }
  if (QuitRequested() && file->worker_.joinable() && file->State() == TState::kUnpacking) {
    file->worker_.detach();
    TShared& shared = Shared();
    const std::lock_guard<std::mutex> hold(shared.Lock);
    shared.Abandoned.push_back(file);
    return;
  }
  delete file;
}

size_t TUnpackedMedia::Abandoned() {
  TShared& shared = Shared();
  const std::lock_guard<std::mutex> hold(shared.Lock);
  return shared.Abandoned.size();
}

template <class TReady>
bool TUnpackedMedia::WaitUntil(std::unique_lock<std::mutex>& hold, TReady ready) {
  while (!ready()) {
    if (QuitRequested()) return false;
    grown_.wait_for(hold, kQuitPoll);
  }
  return true;
}

TUnpackedMedia::~TUnpackedMedia() {
  stop_ = true;
  // Release has waited for the worker's end: the join only sees it out.
  if (worker_.joinable()) worker_.join();
  total_held_ -= size_;
  if (in_memory_) ChargeHeapBytes(-size_);
  // The file takes no disk room once closed: what it wrote is free again.
  GameWriteBudget().GiveBack(size_);
  ::close(fd_);
}

int64_t TUnpackedMedia::Room() { return std::max<int64_t>(total_limit_.load() - total_held_.load(), 0); }

void TUnpackedMedia::Start(TFill fill, int64_t bound, int64_t streamed_from) {
  {
    const std::lock_guard<std::mutex> hold(mutex_);
    state_ = TState::kUnpacking;
    bound_ = bound;
    streamed_from_ = streamed_from;
  }
  worker_ = std::thread([this, fill = std::move(fill)] { Run(fill); });
}

void TUnpackedMedia::Run(const TFill& fill) {
  try {
    TWriter out(*this);
    fill(out);
    End(TState::kComplete, TFailure::kNone, "");
  } catch (const EUnpackingStopped& e) {
    End(TState::kFailed, TFailure::kStopped, e.what());
  } catch (const EFileTooLarge& e) {
    End(TState::kFailed, TFailure::kTooLarge, e.what());
  } catch (const EWriteError& e) {
    End(TState::kFailed, TFailure::kWrite, e.what());
  } catch (const EZDecompressionError& e) {
    End(TState::kFailed, TFailure::kDamaged, e.what());
  } catch (const EReadError& e) {
    End(TState::kFailed, TFailure::kDamaged, e.what());
  } catch (const std::exception& e) {  // no exception may end the thread: the readers see the end
    End(TState::kFailed, TFailure::kSystem, e.what());
  }
}

void TUnpackedMedia::Append(const uint8_t* bytes, int64_t count) {
  if (stop_ || QuitRequested()) throw EUnpackingStopped();
  if (!GameWriteBudget().Charge(count))
    throw EWriteError("past the " + std::to_string(GameWriteBudget().Limit()) + " bytes a game may write in one run");
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::pwrite(fd_, bytes + done, static_cast<size_t>(count - done), size_ + done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const std::string reason = n < 0 ? std::strerror(errno) : "nothing written";
      GameWriteBudget().GiveBack(count);  // the file's size stays where it was
      throw EWriteError("the temporary file: " + reason);
    }
    done += n;
  }
  total_held_ += done;
  if (in_memory_) ChargeHeapBytes(done);
  {
    const std::lock_guard<std::mutex> hold(mutex_);
    size_ += done;
  }
  grown_.notify_all();
}

void TUnpackedMedia::End(TState state, TFailure failure, const std::string& text) {
  int64_t size = 0;
  bool streamed = false;
  {
    const std::lock_guard<std::mutex> hold(mutex_);
    size = size_;  // only this thread changes it
    streamed = size_ > streamed_from_;
  }
  // The note is queued before the end is seen: a waiter woken by the end
  // finds it (TraceFailures) in the same step, never a tick later.
  if (failure != TFailure::kNone && failure != TFailure::kStopped) {
    // A streamed file was handed over before its failure: it plays what it
    // holds, and the person is told why it ends early. Any other is judged
    // at its opening, as the same bytes on disk would be.
    if (streamed)
      Note({name_ + ": unpacking stopped after " + std::to_string(size) + " bytes (" + text +
                "): it plays what was unpacked",
            true});
    else
      Note({"the temporary file of " + name_ + ": " + text, false});
  }
  {
    const std::lock_guard<std::mutex> hold(mutex_);
    state_ = state;
    failure_ = failure;
    failure_text_ = text;
  }
  grown_.notify_all();
}

void TUnpackedMedia::NoteCutShort(int64_t size) {
  if (cut_noted_.exchange(true)) return;
  Note({name_ + ": the file ends after " + std::to_string(size) +
            " bytes, before the length its header gives: it plays what it holds",
        true});
}

bool TUnpackedMedia::WaitOpen() {
  std::unique_lock<std::mutex> hold(mutex_);
  // The same answer, whatever the worker's pace: past the streamed size
  // whether the unpacking ends there or runs on; below it only at its end.
  if (!WaitUntil(hold, [this] { return state_ != TState::kUnpacking || size_ > streamed_from_; }))
    throw EUnpackingStopped();
  return size_ > streamed_from_;
}

TUnpackedMedia::TState TUnpackedMedia::WaitEnd() {
  std::unique_lock<std::mutex> hold(mutex_);
  WaitUntil(hold, [this] { return state_ != TState::kUnpacking; });
  return state_;
}

TUnpackedMedia::TState TUnpackedMedia::State() const {
  const std::lock_guard<std::mutex> hold(mutex_);
  return state_;
}

TUnpackedMedia::TFailure TUnpackedMedia::Failure() const {
  const std::lock_guard<std::mutex> hold(mutex_);
  return failure_;
}

std::string TUnpackedMedia::FailureText() const {
  const std::lock_guard<std::mutex> hold(mutex_);
  return failure_text_;
}

int64_t TUnpackedMedia::Size() const {
  const std::lock_guard<std::mutex> hold(mutex_);
  return size_;
}

int64_t TUnpackedMedia::Bound() const {
  const std::lock_guard<std::mutex> hold(mutex_);
  return bound_;
}

std::unique_ptr<TKsBigStream> TUnpackedMedia::NewReader(std::shared_ptr<TUnpackedMedia> file) {
  const bool streamed = file->WaitOpen();
  return std::make_unique<TReader>(std::move(file), streamed);
}

void TUnpackedMedia::SetSizeAnswer(TKsBigStream& reader, TUnpackedSizeAnswer answer) {
  if (auto* ours = dynamic_cast<TReader*>(&reader)) ours->Answer(answer);
}

bool TUnpackedMedia::Streamed(TKsBigStream& stream) {
  auto* ours = dynamic_cast<TReader*>(&stream);
  return ours != nullptr && ours->Streamed();
}

std::shared_ptr<TUnpackedMedia> TUnpackedMedia::Find(const std::string& key) {
  TShared& shared = Shared();
  const std::lock_guard<std::mutex> hold(shared.Lock);
  const auto it = shared.Files.find(key);
  if (it == shared.Files.end()) return nullptr;
  std::shared_ptr<TUnpackedMedia> file = it->second.lock();
  if (file == nullptr || file->State() == TState::kFailed) {
    shared.Files.erase(it);
    return nullptr;
  }
  return file;
}

void TUnpackedMedia::Remember(const std::string& key, const std::shared_ptr<TUnpackedMedia>& file) {
  TShared& shared = Shared();
  const std::lock_guard<std::mutex> hold(shared.Lock);
  // Entries of files gone are dropped as new ones come.
  for (auto it = shared.Files.begin(); it != shared.Files.end();)
    it = it->second.expired() ? shared.Files.erase(it) : std::next(it);
  shared.Files[key] = file;
}

void TUnpackedMedia::TraceFailures() {
  std::vector<TNote> notes;
  {
    TShared& shared = Shared();
    const std::lock_guard<std::mutex> hold(shared.Lock);
    notes.swap(shared.Notes);
  }
  for (const TNote& note : notes) {
    if (note.Say)
      TellRefusal(SjisToUtf8(note.Line));
    else
      Trace(note.Line);
  }
}

}  // namespace orba
