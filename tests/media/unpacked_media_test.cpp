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

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include "core/errors.h"
#include "core/files/vr_file_manager.h"
#include "core/files/write_budget.h"
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
    file->Start(gate.Fill({a, b}, c.end), 1 << 20);
    std::unique_ptr<TKsBigStream> reader = TUnpackedMedia::NewReader(file);
    gate.Open();
    gate.WaitWritten(1);
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

// While it runs, a reader that takes the size as a bound (a WAVE file's)
// gets the bound at once; otherwise the size waits for the end.
TEST(UnpackedMediaReaders, TheSizeIsTheBoundWhileUnpackingOrTheRealOneAtTheEnd) {
  TGatedFill gate;
  std::shared_ptr<TUnpackedMedia> file = TUnpackedMedia::Create("test");
  file->Start(gate.Fill({Bytes(100, 0), Bytes(50, 0)}, TGatedFill::TEnd::kComplete), 7777);
  std::unique_ptr<TKsBigStream> bound = TUnpackedMedia::NewReader(file), final = TUnpackedMedia::NewReader(file);
  TUnpackedMedia::SetSizeAnswer(*bound, TUnpackedSizeAnswer::kBound);
  EXPECT_EQ(bound->GetSize(), 7777);
  std::future<int64_t> size = std::async(std::launch::async, [&final] { return final->GetSize(); });
  gate.Open();
  gate.Open();
  EXPECT_EQ(size.get(), 150);
  EXPECT_EQ(bound->GetSize(), 150);
}

// The last reader going stops a worker that would write for ever, and
// joins it: the test ends.
TEST(UnpackedMediaReaders, TheFileGoingStopsAndJoinsItsWorker) {
  TGatedFill gate;
  std::shared_ptr<TUnpackedMedia> file = TUnpackedMedia::Create("test");
  const int64_t written_before = GameWriteBudget().Written();
  file->Start(gate.Fill({Bytes(1000, 0)}, TGatedFill::TEnd::kForever), int64_t{1} << 40);
  std::unique_ptr<TKsBigStream> reader = TUnpackedMedia::NewReader(file);
  file.reset();
  gate.WaitWritten(3);
  std::vector<uint8_t> got(3000);
  EXPECT_EQ(reader->Read(got.data(), 3000), 3000);
  reader.reset();
  EXPECT_GE(GameWriteBudget().Written() - written_before, 3000);
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
                int64_t{1} << 30);
    gate.Open();
    gate.WaitWritten(1);
    std::unique_ptr<TKsBigStream> reader = TUnpackedMedia::NewReader(file);
    ASSERT_TRUE(TUnpackedMedia::Unpacking(*reader));
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
    TVrFileCollection package;
    package.BasePath = dir.path() + "/";
    package.AddItem("tone.snd");
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
  // Once no reader holds it, the file goes; a new opening unpacks again.
  open.clear();
  EXPECT_EQ(TUnpackedMedia::TotalHeld(), held_before);
  std::unique_ptr<TKsBigStream> again = manager.OpenFile("tone.snd");
  EXPECT_EQ(again->GetSize(), size);
  EXPECT_EQ(GameWriteBudget().Written() - written_before, 2 * size);
}

// An entry the game holds in memory is copied into its temporary file
// before it is handed over (the game may change it): all of it is there.
TEST_F(PackedEntry, AnEntryHeldInMemoryIsCopiedWholeBeforeItIsHandedOver) {
  auto held = std::make_unique<TVrFileCollection>();
  held->AddEntry("held.snd")->Data->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  files.AddCollection(std::move(held));
  std::unique_ptr<TKsBigStream> file = manager.OpenFile("held.snd");
  EXPECT_EQ(dynamic_cast<TKsMemoryStream*>(file.get()), nullptr);
  EXPECT_FALSE(TUnpackedMedia::Unpacking(*file));
  EXPECT_EQ(ReadWholeFile(std::move(file)), bytes);
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
