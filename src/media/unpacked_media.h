// A packed sound or movie entry unpacked into an unnamed temporary file, in
// which its decoders seek as they would in the package. A zlib stream
// cannot seek and a long sound or movie is too large to hold in memory; the
// file has no name (O_TMPFILE, else a file unlinked at once in the
// temporary folder), so the system removes it when the last reader closes
// it or the player ends, however it ends.
//
// The unpacking runs on a worker thread beside the game, so that starting a
// long packed sound or movie does not stop the tick: readers read what is
// already there and wait only for bytes not yet unpacked. The worker gives
// way to a quit request and stops (and is joined) when the file goes. One
// entry opened several times shares one unpacking while any reader holds it
// (a registry of weak references by entry).
//
// What a decoder answers for a file must not hang on how far the worker
// got: a new reader waits until the unpacking has ended or has passed
// kStreamedMediaBytes. An entry of at most that many bytes is thus handed
// over whole and answers as the same file on disk would. A larger one is
// streamed, and always so, even when the worker ended before the opening:
// its WAVE chunks are checked against the bound, and one found short or
// damaged later plays what it holds and ends there, said once ("orba: ...").
//
// No wait for the worker outlasts a quit request: a worker stalled in a
// write (a slow or hung file system) must not hold the game's thread, nor
// its shut-down and status save. A file that goes while its worker still
// runs waits for the worker to stop, or for a quit request, which leaves
// the worker behind with the file kept for it, as the player is ending.
//
// What such files take is bounded: one entry by kMaxUnpackedMediaBytes (a
// long movie of a real game is a few hundred megabytes), all held at once
// by kMaxUnpackedMediaTotal (a few long sounds and a movie playing
// together); every unpacked byte counts once against what a game may write
// in a run (write_budget.h) and, where the temporary folder is memory
// (tmpfs, ramfs), against the heap ceiling (heap_watch.h), both until the
// file goes.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "core/streams/big_stream.h"

namespace orba {

inline constexpr int64_t kMaxUnpackedMediaBytes = int64_t{2} << 30;  // 2 GiB an entry
inline constexpr int64_t kMaxUnpackedMediaTotal = int64_t{8} << 30;  // 8 GiB in all
// Unpacked before a reader is handed over: a few milliseconds of
// unpacking (about 7 ms for a movie's bytes, which pack hardly smaller), so
// that a long packed sound or movie starts about as soon as the same file
// stored loose; as much as a sound effect or a short voice holds.
inline constexpr int64_t kStreamedMediaBytes = int64_t{1} << 20;  // 1 MiB

// What a reader of a streamed file answers for its size.
enum class TUnpackedSizeAnswer {
  kFinal,  // waits for the unpacking's end and answers the size it reached
  kBound,  // at once, the most the unpacking may reach, whether it still runs
           // or not; bytes past the real end read short (a WAVE file checks
           // its chunks against it)
};

class TUnpackedMedia {
 public:
  enum class TState { kUnpacking, kComplete, kFailed };
  // Why an unpacking failed, for the caller that waits for its end.
  enum class TFailure {
    kNone,
    kTooLarge,  // the entry unpacks to more than its bound
    kStopped,   // the file went, or the player is ending
    kWrite,     // what the game may write in a run was reached, or the
                // temporary file could not be written: not the entry's fault
    kDamaged,   // the stored bytes: damaged, cut short, not what they claim
    kSystem,    // the system failed the worker (out of memory, the package
                // could not be read): not the entry's fault
  };
  // Whether a failure is the entry's own, so that another unpacking of the
  // same bytes would fail alike: not one a limit or the moment brought.
  static bool EntryFailure(TFailure failure) {
    return failure == TFailure::kTooLarge || failure == TFailure::kDamaged;
  }
  // Writes the unpacked bytes to Out on the worker thread; raises to fail
  // the unpacking: EFileTooLarge when the entry unpacks to too much, an
  // EZDecompressionError or EReadError when its stored bytes are damaged or
  // end early, anything else for a failure of the system.
  using TFill = std::function<void(TKsBigStream& out)>;

  // Makes the empty file in $TMPDIR (else /tmp) for the entry Name; raises
  // EFOpenError with the system's reason when none can be made.
  static std::shared_ptr<TUnpackedMedia> Create(const std::string& name);
  // Joins the worker (which Release has seen stop) and gives back what the
  // file was counted at, to the write budget too.
  ~TUnpackedMedia();
  // How many files went after a quit request while their worker still ran,
  // and were left to it (see above).
  static size_t Abandoned();
  TUnpackedMedia(const TUnpackedMedia&) = delete;
  TUnpackedMedia& operator=(const TUnpackedMedia&) = delete;

  // The bytes all files alive now hold, and what a new one may still take.
  static int64_t TotalHeld() { return total_held_.load(); }
  static int64_t Room();
  // Sets the most all files alive may hold (kMaxUnpackedMediaTotal until
  // set; tests lower it).
  static void SetTotalLimit(int64_t bytes) { total_limit_ = bytes; }
  static int64_t TotalLimit() { return total_limit_.load(); }

  // Runs Fill on a worker thread; Bound is what kBound readers of a
  // streamed file answer. The file is streamed when it unpacks to more than
  // StreamedFrom bytes (tests give a small one). Called once.
  void Start(TFill fill, int64_t bound, int64_t streamed_from = kStreamedMediaBytes);
  // Waits for the unpacking's end; the state it ended in, or kUnpacking
  // when a quit request ended the wait first.
  TState WaitEnd();
  TState State() const;
  TFailure Failure() const;
  // The message of a failed unpacking.
  std::string FailureText() const;
  // The bytes unpacked so far.
  int64_t Size() const;
  // The most the unpacking may reach (Start's Bound).
  int64_t Bound() const;
  // Whether the file lies in memory (a tmpfs or ramfs temporary folder).
  bool InMemory() const { return in_memory_; }

  // A read-only stream over the whole file with a position of its own;
  // readers may read from different threads at once. Made once the
  // unpacking has ended or passed the streamed size (it waits for that;
  // raises EMediaError when a quit request ends the wait first). A read
  // waits for the bytes it asks for until they are unpacked or the
  // unpacking ends or a quit is requested (then it reads short, as at a
  // file's end).
  static std::unique_ptr<TKsBigStream> NewReader(std::shared_ptr<TUnpackedMedia> file);
  // Sets how Reader of a streamed file answers GetSize (kFinal at first); a
  // stream that is no reader of an unpacked file is left alone.
  static void SetSizeAnswer(TKsBigStream& reader, TUnpackedSizeAnswer answer);
  // Whether Stream is a reader of a streamed file: one that unpacks to more
  // than its streamed size, whether its unpacking still runs or not.
  static bool Streamed(TKsBigStream& stream);

  // The unpacking registered under Key that readers still hold and that has
  // not failed, else nullptr.
  static std::shared_ptr<TUnpackedMedia> Find(const std::string& key);
  static void Remember(const std::string& key, const std::shared_ptr<TUnpackedMedia>& file);
  // Traces (on the game's thread, so that the lines fall between the
  // game's own steps) the failures of unpackings that ended since the last
  // call, and says on standard error those of streamed files and the
  // streamed files found shorter than their header says, once a file.
  static void TraceFailures();

 private:
  class TWriter;
  class TReader;
  TUnpackedMedia(int fd, bool in_memory, std::string name) : fd_(fd), in_memory_(in_memory), name_(std::move(name)) {}
  // The deleter of every file: deletes it, or after a quit request leaves
  // it to a worker that still runs.
  static void Release(TUnpackedMedia* file);
  void Run(const TFill& fill);
  // Waits on grown_ (Hold locking mutex_) until Ready holds or a quit is
  // requested; whether Ready holds.
  template <class TReady>
  bool WaitUntil(std::unique_lock<std::mutex>& hold, TReady ready);
  // Counts and writes Count bytes at the end of the file (the worker).
  void Append(const uint8_t* bytes, int64_t count);
  void End(TState state, TFailure failure, const std::string& text);
  // Waits until the unpacking has ended or passed the streamed size;
  // whether the file is streamed. Raises EMediaError when a quit request
  // ends the wait first.
  bool WaitOpen();
  // Notes, once, that a reader of the streamed file asked for bytes past
  // the end (Size) of its complete unpacking: its header claims more.
  void NoteCutShort(int64_t size);

  static std::atomic<int64_t> total_held_;
  static std::atomic<int64_t> total_limit_;
  const int fd_;
  const bool in_memory_;
  const std::string name_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> cut_noted_{false};

  mutable std::mutex mutex_;
  std::condition_variable grown_;  // the size or the state changed
  int64_t size_ = 0;
  int64_t bound_ = 0;
  int64_t streamed_from_ = kStreamedMediaBytes;
  TState state_ = TState::kComplete;
  TFailure failure_ = TFailure::kNone;
  std::string failure_text_;
  std::thread worker_;
};

}  // namespace orba
