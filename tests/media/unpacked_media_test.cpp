// Unpacked files while their worker writes them: readers wait for bytes
// not yet there and no longer than the unpacking runs, a failed or stopped
// unpacking ends them where its bytes end, the file going stops and joins
// its worker, one entry opened again and again is unpacked (and counted
// against what a game may write) once, and a file in a memory-backed
// temporary folder counts as memory until it goes.
#include <gtest/gtest.h>
#include <sched.h>
#include <linux/magic.h>
#include <sys/mount.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <new>
#include <ostream>
#include <thread>

#include "core/errors.h"
#include "core/files/vr_file_manager.h"
#include "core/files/write_budget.h"
#include "core/system/quit_request.h"
#include "core/system/trace.h"
#include "core/system/heap_watch.h"
#include "media/media_managers.h"
#include "media/mixer.h"
#include "media/unpacked_media.h"
#include "media/video_decoder.h"
#include "platform/headless/memory_audio.h"
#include "support/test_support.h"

namespace orba {
namespace {

// A fill that writes its pieces one by one, each only when the test lets
// it, and then ends as the case says.
class TGatedFill {
 public:
  enum class TEnd { kComplete, kFail, kForever };
  // Lets the fill write its next piece.
  void Open() {
    const std::lock_guard<std::mutex> hold(lock_);
    ++opened_;
    changed_.notify_all();
  }
  // Waits until the fill has written Pieces pieces.
  void WaitWritten(int pieces) {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [&] { return written_ >= pieces; });
  }
  TUnpackedMedia::TFill Fill(std::vector<std::vector<uint8_t>> pieces, TEnd end) {
    return [this, pieces, end](TKsBigStream& out) {
      for (size_t i = 0; end == TEnd::kForever || i < pieces.size(); ++i) {
        {
          std::unique_lock<std::mutex> hold(lock_);
          if (end != TEnd::kForever) changed_.wait(hold, [&] { return opened_ > static_cast<int>(i); });
        }
        // A fill for ever gives the test time to read between its pieces.
        if (end == TEnd::kForever) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const std::vector<uint8_t>& piece = pieces[i % pieces.size()];
        out.WriteBuffer(piece.data(), static_cast<int64_t>(piece.size()));
        const std::lock_guard<std::mutex> hold(lock_);
        ++written_;
        changed_.notify_all();
      }
      if (end == TEnd::kFail) throw EReadError("the stored bytes are damaged");
    };
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  int opened_ = 0, written_ = 0;
};

std::vector<uint8_t> Bytes(size_t n, uint8_t first) {
  std::vector<uint8_t> bytes(n);
  for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(first + i * 7);
  return bytes;
}

// Lets a test write only Room more bytes, and gives the old allowance back
// however the test ends.
class TWriteRoom {
 public:
  explicit TWriteRoom(int64_t room) : before_(GameWriteBudget().Limit()) {
    GameWriteBudget().SetLimit(GameWriteBudget().Written() + room);
  }
  ~TWriteRoom() { GameWriteBudget().SetLimit(before_); }
  TWriteRoom(const TWriteRoom&) = delete;
  TWriteRoom& operator=(const TWriteRoom&) = delete;

 private:
  const int64_t before_;
};

TEST(UnpackedMediaReaders, AReadWaitsForBytesNotYetUnpackedAndEndsWhereTheUnpackingEnds) {
  const std::vector<uint8_t> a = Bytes(3000, 1), b = Bytes(5000, 9);
  std::vector<uint8_t> both = a;
  both.insert(both.end(), b.begin(), b.end());
  const struct {
    const char* name;
    TGatedFill::TEnd end;
    std::vector<uint8_t> read;  // what a read of both pieces gets
    TUnpackedMedia::TState state;
  } cases[] = {
      {"complete", TGatedFill::TEnd::kComplete, both, TUnpackedMedia::TState::kComplete},
      {"failed", TGatedFill::TEnd::kFail, both, TUnpackedMedia::TState::kFailed},
  };
  const int64_t held_before = TUnpackedMedia::TotalHeld();
  for (const auto& c : cases) {
    TGatedFill gate;
    std::shared_ptr<TUnpackedMedia> file = TUnpackedMedia::Create("test");
    file->Start(gate.Fill({a, b}, c.end), 1 << 20, 1000);  // streamed from its first piece
    gate.Open();
    gate.WaitWritten(1);
    std::unique_ptr<TKsBigStream> reader = TUnpackedMedia::NewReader(file);
    // A reader on another thread asks for more than both pieces while only
    // the first is there: it waits, gets the second once it is written, and
    // is woken by the unpacking's end, complete or failed.
    std::future<std::vector<uint8_t>> read = std::async(std::launch::async, [&reader, n = both.size()] {
      std::vector<uint8_t> got(n + 100);
      got.resize(static_cast<size_t>(reader->Read(got.data(), static_cast<int64_t>(got.size()))));
      return got;
    });
    gate.Open();
    EXPECT_EQ(read.get(), c.read) << c.name;
    EXPECT_EQ(file->WaitEnd(), c.state) << c.name;
    EXPECT_EQ(reader->GetSize(), static_cast<int64_t>(both.size())) << c.name;
    if (c.state == TUnpackedMedia::TState::kFailed) {
      EXPECT_NE(file->FailureText().find("damaged"), std::string::npos) << c.name;
    }
    reader->SetPosition(99999);  // past the end of an ended file: at its end
    EXPECT_EQ(reader->GetPosition(), static_cast<int64_t>(both.size())) << c.name;
  }
  EXPECT_EQ(TUnpackedMedia::TotalHeld(), held_before);
}

// A reader of a streamed file that takes the size as a bound (a WAVE
// file's) gets the bound at once, and still after the end, so that what it
// answers never hangs on the worker's pace; otherwise the size waits for
// the end.
TEST(UnpackedMediaReaders, AStreamedFileAnswersItsBoundBeforeAndAfterTheEndOrTheRealSizeAtTheEnd) {
  TGatedFill gate;
  std::shared_ptr<TUnpackedMedia> file = TUnpackedMedia::Create("test");
  file->Start(gate.Fill({Bytes(100, 0), Bytes(50, 0)}, TGatedFill::TEnd::kComplete), 7777, 60);
  gate.Open();
  gate.WaitWritten(1);
  std::unique_ptr<TKsBigStream> bound = TUnpackedMedia::NewReader(file), final = TUnpackedMedia::NewReader(file);
  TUnpackedMedia::SetSizeAnswer(*bound, TUnpackedSizeAnswer::kBound);
  EXPECT_EQ(bound->GetSize(), 7777);
  std::future<int64_t> size = std::async(std::launch::async, [&final] { return final->GetSize(); });
  gate.Open();
  EXPECT_EQ(size.get(), 150);
  EXPECT_EQ(bound->GetSize(), 7777);
}

// The last reader going stops a worker that would write for ever, and
// joins it: the test ends, and what the file wrote counts no more.
TEST(UnpackedMediaReaders, TheFileGoingStopsAndJoinsItsWorkerAndGivesBackWhatItWrote) {
  TGatedFill gate;
  std::shared_ptr<TUnpackedMedia> file = TUnpackedMedia::Create("test");
  const int64_t written_before = GameWriteBudget().Written();
  file->Start(gate.Fill({Bytes(1000, 0)}, TGatedFill::TEnd::kForever), int64_t{1} << 40, 500);
  std::unique_ptr<TKsBigStream> reader = TUnpackedMedia::NewReader(file);
  file.reset();
  gate.WaitWritten(3);
  std::vector<uint8_t> got(3000);
  EXPECT_EQ(reader->Read(got.data(), 3000), 3000);
  EXPECT_GE(GameWriteBudget().Written() - written_before, 3000);
  reader.reset();
  EXPECT_EQ(GameWriteBudget().Written(), written_before);
}

// The header of a 16-bit stereo 44.1 kHz WAVE file whose data chunk claims
// Claimed bytes.
std::vector<uint8_t> WaveHead(uint32_t claimed) {
  std::vector<uint8_t> w;
  const auto u32 = [&w](uint32_t v) {
    for (int i = 0; i < 4; ++i) w.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  const auto tag = [&w](const char* t) { w.insert(w.end(), t, t + 4); };
  tag("RIFF"), u32(36 + claimed), tag("WAVE"), tag("fmt "), u32(16), u32(0x00020001), u32(44100), u32(44100 * 4);
  u32(0x00100004), tag("data"), u32(claimed);
  return w;
}

// What a sound made of an unpacked WAVE file answers: refused, or the
// frames its header gives and those it plays; and the lines the player
// traced or said about it.
struct TWaveAnswer {
  bool opened = false;
  int64_t frames = 0, played = 0;
  std::vector<std::string> lines;
  bool operator==(const TWaveAnswer&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TWaveAnswer& a) {
  out << (a.opened ? "opened " : "refused ") << a.frames << " frames, " << a.played << " played";
  for (const std::string& line : a.lines) out << " | " << line;
  return out;
}

// A WAVE file whose header claims twice the 64,000 sample bytes it holds
// (short), or whose unpacking fails after them (damaged), answers the same
// whether its worker ended before the opening or the opening came first.
// Below the streamed size it answers as the same bytes on disk would:
// refused. Above it, it opens with the header's length, plays what it holds
// and says once why it ends early.
TEST(UnpackedWave, AShortOrDamagedWaveAnswersTheSameWhicheverEndsFirstTheWorkerOrTheOpening) {
  constexpr uint32_t kHeld = 64000;  // 16,000 frames
  const std::vector<uint8_t> first = [&] {
    std::vector<uint8_t> piece = WaveHead(2 * kHeld);
    const std::vector<uint8_t> data = Bytes(kHeld / 2, 3);
    piece.insert(piece.end(), data.begin(), data.end());
    return piece;
  }();
  const std::vector<uint8_t> second = Bytes(kHeld / 2, 5);
  const std::string size = std::to_string(first.size() + second.size());
  const TWaveAnswer refused{false, 0, 0, {}};
  const struct {
    const char* name;
    TGatedFill::TEnd end;
    int64_t streamed_from;
    TWaveAnswer answer;
  } cases[] = {
      {"short", TGatedFill::TEnd::kComplete, 1 << 20, refused},
      {"damaged", TGatedFill::TEnd::kFail, 1 << 20,
       {false, 0, 0, {"the temporary file of test.wav: the stored bytes are damaged"}}},
      {"short and streamed", TGatedFill::TEnd::kComplete, 1000,
       {true, 32000, 16000,
        {"test.wav: the file ends after " + size +
         " bytes, before the length its header gives: it plays what it holds"}}},
      {"damaged and streamed", TGatedFill::TEnd::kFail, 1000,
       {true, 32000, 16000,
        {"test.wav: unpacking stopped after " + size +
         " bytes (the stored bytes are damaged): it plays what was unpacked"}}},
  };
  for (const auto& c : cases) {
    for (const bool worker_first : {true, false}) {
      TWaveAnswer got;
      TUnpackedMedia::TraceFailures();  // the notes of files before this one
      SetTraceSink([&got](const std::string& line) { got.lines.push_back(line); });
      TGatedFill gate;
      std::shared_ptr<TUnpackedMedia> file = TUnpackedMedia::Create("test.wav");
      file->Start(gate.Fill({first, second}, c.end), int64_t{1} << 30, c.streamed_from);
      gate.Open();
      if (worker_first) {
        gate.Open();
        file->WaitEnd();
      } else {
        gate.WaitWritten(1);
      }
      // Whether the reader was handed over before the unpacking ended.
      std::atomic<bool> started{false}, handed_early{false};
      std::future<std::unique_ptr<TDecoder>> opening = std::async(std::launch::async, [&, file] {
        started = true;
        try {
          std::unique_ptr<TKsBigStream> reader = TUnpackedMedia::NewReader(file);
          handed_early = file->State() == TUnpackedMedia::TState::kUnpacking;
          return OpenSampledFile(std::move(reader));
        } catch (const EMediaError&) {
          return std::unique_ptr<TDecoder>();
        }
      });
      // A streamed file opens before its second piece; any other waits
      // for the end, which the second piece brings. The second piece
      // holds back until the opening has had time to return wrongly (it
      // never returns early unless it fails to wait).
      const bool streamed = c.streamed_from < static_cast<int64_t>(first.size());
      if (!worker_first && streamed) opening.wait();
      if (!worker_first && !streamed) {
        while (!started) std::this_thread::yield();
        opening.wait_for(std::chrono::milliseconds(50));
      }
      if (!worker_first) gate.Open();
      std::unique_ptr<TDecoder> decoder = opening.get();
      EXPECT_EQ(handed_early.load(), !worker_first && streamed) << c.name;
      if (decoder != nullptr) {
        got.opened = true;
        got.frames = decoder->Frames();
        std::vector<float> out(2 * 4096);
        for (size_t n; (n = decoder->Read(out.data(), 4096)) > 0;) got.played += static_cast<int64_t>(n);
        decoder->Seek(0);  // played again: said once all the same
        while (decoder->Read(out.data(), 4096) > 0) {
        }
      }
      file->WaitEnd();
      TUnpackedMedia::TraceFailures();
      SetTraceSink(nullptr);
      EXPECT_EQ(got, c.answer) << c.name << (worker_first ? ", worker first" : ", opening first");
    }
  }
}

bool InMemoryFolder(const std::string& folder) {
  struct statfs about {};
  return ::statfs(folder.c_str(), &about) == 0 &&
         (about.f_type == static_cast<decltype(about.f_type)>(TMPFS_MAGIC) ||
          about.f_type == static_cast<decltype(about.f_type)>(RAMFS_MAGIC));
}

// A movie opened while only its first half is unpacked: an AVI is read in
// order from its start, an MPEG stream (whose length is found at its end)
// waits for the rest. Both show the same pictures as from memory, and so
// does a seek back once the rest is there, which opens the AVI again whole.
TEST(UnpackedMovie, AMovieStillUnpackingShowsTheSamePicturesBeforeAndAfterASeek) {
  test::TempDir dir;
  const test::CommandResult made =
      test::RunPython("fixtures/packed_media.py", {"movie", dir / "clip.avi", std::to_string(320 * 240 * 3 * 25 * 2)});
  if (made.exit_code == 77) GTEST_SKIP() << "no ffmpeg program: the clips cannot be made";
  ASSERT_EQ(made.exit_code, 0) << made.output;
  ASSERT_EQ(test::RunCommand({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc2=size=160x120:rate=25:duration=3",
                              "-c:v", "mpeg1video", dir / "clip.mpg"})
                .exit_code,
            0);
  const struct {
    const char* name;
    bool in_order;  // opens before the rest is unpacked
  } clips[] = {{"clip.avi", true}, {"clip.mpg", false}};
  for (const auto& clip : clips) {
    const std::vector<uint8_t> bytes = test::ReadFileBytes(dir / clip.name);
    const auto half = bytes.begin() + static_cast<ptrdiff_t>(bytes.size() / 2);
    TGatedFill gate;
    std::shared_ptr<TUnpackedMedia> file = TUnpackedMedia::Create("test");
    file->Start(gate.Fill({std::vector<uint8_t>(bytes.begin(), half), std::vector<uint8_t>(half, bytes.end())},
                          TGatedFill::TEnd::kComplete),
                int64_t{1} << 30, static_cast<int64_t>(bytes.size() / 4));
    gate.Open();
    gate.WaitWritten(1);
    std::unique_ptr<TKsBigStream> reader = TUnpackedMedia::NewReader(file);
    ASSERT_TRUE(TUnpackedMedia::Streamed(*reader));
    std::future<std::unique_ptr<TVideoDecoder>> opening = std::async(
        std::launch::async, [&reader] { return std::make_unique<TVideoDecoder>(std::move(reader)); });
    if (!clip.in_order) gate.Open();
    std::unique_ptr<TVideoDecoder> unpacking = opening.get();
    TVideoDecoder memory(std::make_unique<TKsMemoryStream>(bytes));
    EXPECT_EQ(unpacking->Length(), memory.Length()) << clip.name;
    EXPECT_EQ(file->State() == TUnpackedMedia::TState::kUnpacking, clip.in_order) << clip.name;
    const struct {
      int64_t ms;
      bool rest_there;  // the second half is written first
    } steps[] = {{0, false}, {400, false}, {1000, false}, {200, true}, {2600, true}, {40, true}};
    for (const auto& step : steps) {
      if (step.rest_there && file->State() == TUnpackedMedia::TState::kUnpacking) gate.Open();
      memory.Advance(step.ms);
      unpacking->Advance(step.ms);
      EXPECT_EQ(unpacking->Current().Time, memory.Current().Time) << clip.name << " at " << step.ms;
      EXPECT_TRUE(unpacking->Current().Pixels == memory.Current().Pixels) << clip.name << " at " << step.ms;
    }
  }
}

// A package with a packed sound, and a manager opening it.
class PackedEntry : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteFileBytes(dir / "tone.snd", bytes);  // packed: not a media extension
    // Packed too, WAVE files by their content: one whose header claims
    // twice the 64,000 bytes it holds, and a whole one past the streamed
    // size.
    std::vector<uint8_t> wave = WaveHead(128000), data = Bytes(64000, 3);
    wave.insert(wave.end(), data.begin(), data.end());
    test::WriteFileBytes(dir / "short.snd", wave);
    wave = WaveHead(static_cast<uint32_t>(bytes.size())), data = bytes;
    wave.insert(wave.end(), data.begin(), data.end());
    test::WriteFileBytes(dir / "whole.snd", wave);
    TVrFileCollection package;
    package.BasePath = dir.path() + "/";
    for (const char* name : {"tone.snd", "short.snd", "whole.snd"}) package.AddItem(name);
    TKsMemoryStream out;
    ASSERT_TRUE(package.SaveToBigStream(out));
    out.SaveToFile(dir / "game.dat");
    ASSERT_EQ(files.AddArchive(dir / "game.dat"), 0);
    ASSERT_FALSE(files.FindEntry("tone.snd")->Raw);
  }
  // Exposes the files the manager hands its decoders.
  class TProbeManager : public TOggManager {
   public:
    using TOggManager::TOggManager;
    using TMediaManager::OpenFile;
  };
  const std::vector<uint8_t> bytes = Bytes(3 << 20, 5);
  test::TempDir dir;
  TVrFileManager files;
  TMixer mixer{std::make_shared<TMemoryAudio>()};
  TProbeManager manager{mixer, &files};
};

TEST_F(PackedEntry, FiveOpeningsOfOneEntryUnpackAndCountItOnce) {
  const int64_t written_before = GameWriteBudget().Written(), held_before = TUnpackedMedia::TotalHeld();
  const int64_t size = static_cast<int64_t>(bytes.size());
  std::vector<std::unique_ptr<TKsBigStream>> open;
  for (int i = 0; i < 5; ++i) open.push_back(manager.OpenFile("tone.snd"));
  for (const auto& file : open) EXPECT_EQ(file->GetSize(), size);
  EXPECT_EQ(GameWriteBudget().Written() - written_before, size);
  EXPECT_EQ(TUnpackedMedia::TotalHeld() - held_before, size);
  EXPECT_EQ(ReadWholeFile(std::move(open[4])), bytes);
  // Once no reader holds it, the file goes and what it wrote is given
  // back; a new opening unpacks again.
  open.clear();
  EXPECT_EQ(TUnpackedMedia::TotalHeld(), held_before);
  EXPECT_EQ(GameWriteBudget().Written(), written_before);
  std::unique_ptr<TKsBigStream> again = manager.OpenFile("tone.snd");
  EXPECT_EQ(again->GetSize(), size);
  EXPECT_EQ(GameWriteBudget().Written() - written_before, size);
}

// Openings in turn, each closed before the next, unpack far more than the
// game may write in all: each is whole, and the game may still write.
TEST_F(PackedEntry, OpeningsInTurnPastTheWriteLimitAllUnpackWhole) {
  const int64_t size = static_cast<int64_t>(bytes.size()), written_before = GameWriteBudget().Written();
  const TWriteRoom room(2 * size);
  for (int turn = 0; turn < 5; ++turn) EXPECT_EQ(ReadWholeFile(manager.OpenFile("tone.snd")), bytes) << turn;
  EXPECT_EQ(GameWriteBudget().Written(), written_before);
  EXPECT_TRUE(GameWriteBudget().Charge(2 * size));
  GameWriteBudget().GiveBack(2 * size);
}

// An entry whose unpacking passes what the game may still write, before
// it could be streamed, is refused with that reason: a decoder is never
// handed its first bytes to judge as a file cut short.
TEST_F(PackedEntry, AnEntryPastTheWriteLimitIsRefusedForIt) {
  const TWriteRoom room(1 << 19);
  try {
    manager.OpenFile("tone.snd");
    ADD_FAILURE() << "opened";
  } catch (const EMediaError& e) {
    EXPECT_NE(std::string(e.what()).find("bytes a game may write in one run"), std::string::npos) << e.what();
  }
}

// A packed entry refused for what its own bytes hold is refused again for
// the same reason without being unpacked again: with no room left to
// write, an unpacking would be refused for that instead. One refused for
// what the system or the moment decided is judged again: a limit of what
// the game may still write, a package the system would not open (out of
// descriptors, say), no temporary file (the entry then held in memory), an
// unpacking shared with another opening and cut to the room the other
// files left.
TEST_F(PackedEntry, ARefusalForWhatTheEntryHoldsIsKeptAndOneForALimitIsNot) {
  const int64_t unlimited = kMaxGameWriteBytes;
  const char* const judged_again = "bytes a game may write in one run";
  enum class TMoment { kNone, kPackageUnopenable, kNoTemporaryFolder, kSharedAndCut };
  const struct {
    const char* name;
    TMoment moment;  // what the first opening meets
    int64_t first_room;
    const char* first;  // what the trace says of the first opening
    int64_t second_room;
    const char* second;  // ... of the second; nullptr: it plays
  } cases[] = {
      {"short.snd", TMoment::kNone, unlimited, "the RIFF size exceeds the file", 0, "the RIFF size exceeds the file"},
      {"whole.snd", TMoment::kNone, 1 << 19, judged_again, unlimited, nullptr},
      {"whole.snd", TMoment::kPackageUnopenable, unlimited, "game.dat", unlimited, nullptr},
      {"short.snd", TMoment::kNoTemporaryFolder, unlimited, "the RIFF size exceeds the file", 0, judged_again},
      {"short.snd", TMoment::kSharedAndCut, unlimited, "the RIFF size exceeds the file", 0, judged_again},
  };
  const char* tmpdir = std::getenv("TMPDIR");
  const std::string tmpdir_before = tmpdir != nullptr ? tmpdir : "";
  for (const auto& c : cases) {
    TProbeManager fresh{mixer, &files};  // no refusal kept from an earlier row
    std::vector<std::string> lines;
    SetTraceSink([&lines](const std::string& line) { lines.push_back(line); });
    for (int turn = 0; turn < 2; ++turn) {
      const int64_t room = turn == 0 ? c.first_room : c.second_room;
      const char* said = turn == 0 ? c.first : c.second;
      lines.clear();
      TDMediaItem* item = nullptr;
      {
        const TWriteRoom allowance(room);
        const TMoment moment = turn == 0 ? c.moment : TMoment::kNone;
        std::unique_ptr<TKsBigStream> sharing;
        if (moment == TMoment::kSharedAndCut) {
          // Another reader holds the entry's unpacking, made while the
          // other files left less room than its bound.
          TUnpackedMedia::SetTotalLimit(TUnpackedMedia::TotalHeld() + (int64_t{1} << 30));
          sharing = fresh.OpenFile(c.name);
          TUnpackedMedia::SetTotalLimit(kMaxUnpackedMediaTotal);
        }
        if (moment == TMoment::kNoTemporaryFolder) ::setenv("TMPDIR", (dir / "none").c_str(), 1);
        // The package's file cannot be opened again for the entry's window
        // (as when no descriptor is left: a test without descriptors would
        // leave the sanitizers' own checks none either).
        if (moment == TMoment::kPackageUnopenable) std::filesystem::rename(dir / "game.dat", dir / "game.away");
        item = fresh.Add(c.name);
        if (moment == TMoment::kPackageUnopenable) std::filesystem::rename(dir / "game.away", dir / "game.dat");
        if (tmpdir != nullptr) {
          ::setenv("TMPDIR", tmpdir_before.c_str(), 1);
        } else {
          ::unsetenv("TMPDIR");
        }
      }
      EXPECT_EQ(item != nullptr, said == nullptr) << c.name << " " << testing::PrintToString(lines);
      if (said != nullptr) {
        const std::string refusal = std::string("sound ") + c.name + ": ";
        const auto line = std::find_if(lines.begin(), lines.end(),
                                       [&](const std::string& l) { return l.rfind(refusal, 0) == 0; });
        ASSERT_NE(line, lines.end()) << c.name << " " << testing::PrintToString(lines);
        EXPECT_NE(line->find(said), std::string::npos) << *line;
      }
      if (item != nullptr) fresh.Remove(item);
    }
    SetTraceSink(nullptr);
  }
}

// An unpacking's failure is the entry's own (another unpacking of the same
// bytes fails alike, so its refusal is kept) only when its stored bytes
// decided it; memory and a read the system failed are the moment's.
TEST(UnpackedMediaFailures, OnlyAFailureOfTheStoredBytesIsTheEntrysOwn) {
  using TFailure = TUnpackedMedia::TFailure;
  const struct {
    const char* name;
    std::function<void()> raise;
    TFailure failure;
    bool entry_failure;
  } cases[] = {
      {"damaged", [] { throw EZDecompressionError("the packed data is damaged"); }, TFailure::kDamaged, true},
      {"memory", [] { throw std::bad_alloc(); }, TFailure::kSystem, false},
      {"unreadable", [] { throw EStreamError("the package could not be read"); }, TFailure::kSystem, false},
  };
  for (const auto& c : cases) {
    std::shared_ptr<TUnpackedMedia> file = TUnpackedMedia::Create("test");
    file->Start([&c](TKsBigStream&) { c.raise(); }, 1 << 20);
    EXPECT_EQ(file->WaitEnd(), TUnpackedMedia::TState::kFailed) << c.name;
    EXPECT_EQ(file->Failure(), c.failure) << c.name;
    EXPECT_EQ(TUnpackedMedia::EntryFailure(file->Failure()), c.entry_failure) << c.name;
  }
  TUnpackedMedia::TraceFailures();
}

// A quit request ends every wait for the worker, even one stalled for good
// (a hung file system): the opening's, the end's, a read's, and that of a
// file released before the quit, which waits for its worker to stop. The
// file that goes then leaves its worker behind rather than join it; and a
// manager's opening that the quit cut short is traced, never said as a
// refusal. In a child process: the quit request stays set.
TEST_F(PackedEntry, AQuitEndsEveryWaitForAStalledWorkerAndIsNoRefusal) {
  EXPECT_EXIT(
      {
        // The gates are left to the stalled workers, which wait on them for
        // good (the child ends without freeing them).
        ::alarm(120);  // a hang guard: a wait that outlasts the quit ends the child
        auto* stalled = new TGatedFill;
        auto* after_first = new TGatedFill;
        auto* released_stalled = new TGatedFill;
        std::shared_ptr<TUnpackedMedia> released = TUnpackedMedia::Create("released");
        released->Start(released_stalled->Fill({Bytes(100, 1)}, TGatedFill::TEnd::kComplete), 1 << 20, 1000);
        std::thread release([&released] { released.reset(); });
        std::shared_ptr<TUnpackedMedia> below = TUnpackedMedia::Create("below");
        below->Start(stalled->Fill({Bytes(100, 1)}, TGatedFill::TEnd::kComplete), 1 << 20, 1000);
        std::shared_ptr<TUnpackedMedia> streamed = TUnpackedMedia::Create("streamed");
        streamed->Start(after_first->Fill({Bytes(100, 1), Bytes(100, 2)}, TGatedFill::TEnd::kComplete), 1 << 20, 50);
        after_first->Open();
        after_first->WaitWritten(1);
        std::unique_ptr<TKsBigStream> reader = TUnpackedMedia::NewReader(streamed);
        std::vector<std::string> lines;  // a refusal said is traced too
        SetTraceSink([&lines](const std::string& line) { lines.push_back(line); });
        // A grace for the release above to start its wait: the quit is to
        // end it, whenever it comes.
        std::thread quit([] {
          std::this_thread::sleep_for(std::chrono::milliseconds(20));
          RequestQuit();
        });
        bool ok = true;
        try {
          TUnpackedMedia::NewReader(below);
          ok = false;
        } catch (const EMediaError& e) {
          ok = ok && std::string(e.what()) == "the unpacking was stopped";
        }
        quit.join();
        release.join();
        std::vector<uint8_t> got(1000);
        ok = ok && below->WaitEnd() == TUnpackedMedia::TState::kUnpacking;
        ok = ok && reader->Read(got.data(), 1000) == 100 && reader->GetSize() == 100;
        reader.reset();
        below.reset();
        streamed.reset();
        ok = ok && TUnpackedMedia::Abandoned() == 3;
        ok = ok && manager.Add("whole.snd") == nullptr;
        ok = ok && lines == std::vector<std::string>{"sound whole.snd: the quit cut its unpacking short"};
        for (const std::string& line : lines) std::fprintf(stderr, "traced: %s\n", line.c_str());
        std::_Exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

// An entry the game holds in memory is copied into its temporary file
// before it is handed over (the game may change it): all of it is there.
TEST_F(PackedEntry, AnEntryHeldInMemoryIsCopiedWholeBeforeItIsHandedOver) {
  const std::vector<uint8_t> small = Bytes(kStreamedMediaBytes / 2, 3);
  auto held = std::make_unique<TVrFileCollection>();
  held->AddEntry("held.snd")->Data->WriteBuffer(small.data(), static_cast<int64_t>(small.size()));
  files.AddCollection(std::move(held));
  std::unique_ptr<TKsBigStream> file = manager.OpenFile("held.snd");
  EXPECT_EQ(dynamic_cast<TKsMemoryStream*>(file.get()), nullptr);
  EXPECT_FALSE(TUnpackedMedia::Streamed(*file));
  EXPECT_EQ(ReadWholeFile(std::move(file)), small);
}

// An entry held in memory is copied on the game's thread: a worker that a
// quit request leaves behind never reads the game's files, which the game
// goes on reading, changing and letting go (a thread-sanitizer build finds
// any such read). In a child process: the quit request stays set.
TEST_F(PackedEntry, AQuitLeavesNoWorkerReadingAnEntryTheGameHoldsInMemory) {
  EXPECT_EXIT(
      {
        ::alarm(120);  // a hang guard
        const std::vector<uint8_t> big = Bytes(32 << 20, 3);
        auto held = std::make_unique<TVrFileCollection>();
        TVrFile* entry = held->AddEntry("held.snd");
        entry->Data->WriteBuffer(big.data(), static_cast<int64_t>(big.size()));
        const int index = files.AddCollection(std::move(held));
        RequestQuit();
        bool ok = true;
        try {
          manager.OpenFile("held.snd");
          ok = false;
        } catch (const EMediaError& e) {
          ok = std::string(e.what()) == "the unpacking was stopped";
        }
        ok = ok && files.LoadBytes("held.snd", int64_t{64} << 20) == big;
        entry->Data->SetPosition(0);
        entry->Data->WriteBuffer(big.data() + 1, 1 << 20);
        files.RemoveCollection(index);
        std::_Exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

// In a private mount namespace, a tmpfs as the temporary folder: the
// unpacked bytes count toward the heap until the file goes; on the disk
// folder of the test they do not.
TEST_F(PackedEntry, AnUnpackedFileInAMemoryFolderCountsAsHeapUntilItGoes) {
  if (::unshare(CLONE_NEWNS) != 0)
    GTEST_SKIP() << "no private mount namespace (needs root): " << std::strerror(errno);
  const std::string memory_folder = dir / "memory";
  std::filesystem::create_directories(memory_folder);
  if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
      ::mount("tmpfs", memory_folder.c_str(), "tmpfs", 0, "size=64m") != 0)
    GTEST_SKIP() << "no tmpfs can be mounted: " << std::strerror(errno);
  const char* tmpdir = std::getenv("TMPDIR");
  const std::string tmpdir_before = tmpdir != nullptr ? tmpdir : "";
  const int64_t size = static_cast<int64_t>(bytes.size());
  const struct {
    std::string folder;
    int64_t counted;
  } cases[] = {{memory_folder, size}, {dir.path(), InMemoryFolder(dir.path()) ? size : 0}};
  for (const auto& c : cases) {
    ::setenv("TMPDIR", c.folder.c_str(), 1);
    const int64_t charged_before = ChargeHeapBytes(0);
    std::unique_ptr<TKsBigStream> file = manager.OpenFile("tone.snd");
    EXPECT_EQ(file->GetSize(), size);
    EXPECT_EQ(ChargeHeapBytes(0) - charged_before, c.counted) << c.folder;
    file.reset();
    EXPECT_EQ(ChargeHeapBytes(0), charged_before) << c.folder;
  }
  if (tmpdir != nullptr) {
    ::setenv("TMPDIR", tmpdir_before.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
  ::umount(memory_folder.c_str());
}

}  // namespace
}  // namespace orba
