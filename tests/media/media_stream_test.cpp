// Sounds read from their file's stream as they play: every coding decodes
// the same from a window on a bigger file as from memory, and the managers
// hand a package's stored sounds to their decoders through range streams
// and its packed ones through one temporary file each, unpacked once for
// all its readers (through memory where no temporary file can be made).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "core/files/vr_file_manager.h"
#include "media/av_decoder.h"
#include "media/media_managers.h"
#include "media/mixer.h"
#include "platform/headless/memory_audio.h"
#include "media/unpacked_media.h"
#include "support/test_support.h"

namespace orba {
namespace {

// Every frame of Decoder from where it stands.
std::vector<float> DecodeRest(TDecoder& decoder) {
  std::vector<float> all, chunk(1000 * 2);
  for (size_t n; (n = decoder.Read(chunk.data(), 1000)) > 0;)
    all.insert(all.end(), chunk.begin(), chunk.begin() + static_cast<ptrdiff_t>(n * static_cast<size_t>(decoder.Channels())));
  return all;
}

// The sound files of tests/fixtures/sound_fixtures.py plus copies of
// tone.wav in IMA ADPCM (sox) and Windows Media Audio 2 (the ffmpeg
// program), in Dir.
void WriteSounds(const test::TempDir& dir) {
  const test::CommandResult fixtures = test::RunPython("fixtures/sound_fixtures.py", {dir.path()});
  ASSERT_EQ(fixtures.exit_code, 0) << fixtures.output;
  ASSERT_EQ(test::RunCommand({"sox", dir / "tone.wav", "-e", "ima-adpcm", dir / "adpcm.wav"}).exit_code, 0);
  ASSERT_EQ(test::RunCommand({"ffmpeg", "-loglevel", "error", "-i", dir / "tone.wav", "-c:a", "wmav2", dir / "tone.wma"})
                .exit_code,
            0);
}

TEST(SoundStreams, EachCodingDecodesTheSameThroughAWindowAsFromMemory) {
  test::TempDir dir;
  WriteSounds(dir);
  // The window lies between bytes that are no sound file: a decoder that read
  // outside it would fail or decode other samples.
  constexpr size_t kPad = 777;
  using TOpen = std::unique_ptr<TDecoder> (*)(std::unique_ptr<TKsBigStream>);
  const TOpen sampled = &OpenSampledFile, windows_media = &MakeAvDecoder;
  const struct {
    const char* name;
    TOpen open;
  } cases[] = {{"tone.wav", sampled},  {"tone22.wav", sampled}, {"tone.ogg", sampled},
               {"adpcm.wav", sampled}, {"tone.wma", windows_media}};
  for (const auto& [name, open] : cases) {
    const std::vector<uint8_t> bytes = test::ReadFileBytes(dir / name);
    std::vector<uint8_t> padded(kPad + bytes.size() + kPad, 0xA5);
    std::copy(bytes.begin(), bytes.end(), padded.begin() + kPad);
    test::WriteFileBytes(dir / "padded", padded);
    std::unique_ptr<TDecoder> memory = open(std::make_unique<TKsMemoryStream>(bytes));
    std::unique_ptr<TDecoder> window = open(
        std::make_unique<TFileRangeStream>(dir / "padded", static_cast<int64_t>(kPad), static_cast<int64_t>(bytes.size())));
    ASSERT_EQ(window->Frames(), memory->Frames()) << name;
    EXPECT_GT(window->Frames(), 0) << name;
    EXPECT_EQ(DecodeRest(*window), DecodeRest(*memory)) << name;
    memory->Seek(memory->Frames() / 3);
    window->Seek(window->Frames() / 3);
    EXPECT_EQ(DecodeRest(*window), DecodeRest(*memory)) << name << " after a seek";
  }
}

// Exposes the file each manager hands its decoders.
class TProbeManager : public TOggManager {
 public:
  using TOggManager::TOggManager;
  using TMediaManager::OpenFile;
  using TMediaManager::OpenFiles;
};

// Dir/game.dat: a package of the sound files Names, in Dir, as the package
// writer stores them, mounted in Files.
void MountSounds(const test::TempDir& dir, const std::vector<const char*>& names, TVrFileManager& files) {
  TVrFileCollection package;
  package.BasePath = dir.path() + "/";
  for (const char* name : names) package.AddItem(name);
  TKsMemoryStream out;
  ASSERT_TRUE(package.SaveToBigStream(out));
  out.SaveToFile(dir / "game.dat");
  ASSERT_EQ(files.AddArchive(dir / "game.dat"), 0);
}

TEST(SoundStreams, StoredSoundsAreReadThroughAWindowPackedOnesFromATemporaryFile) {
  test::TempDir dir;
  WriteSounds(dir);
  std::filesystem::copy_file(dir / "tone.wav", dir / "tone.snd");  // packed: not a media extension
  TVrFileManager files;
  MountSounds(dir, {"tone.wav", "tone.ogg", "tone.snd", "song.mid", "tone_cut.wav"}, files);
  TMixer mixer(std::make_shared<TMemoryAudio>());
  TProbeManager manager(mixer, &files);
  const struct {
    const char* name;
    bool stored;  // as is (a window), else packed (a temporary file)
  } cases[] = {{"tone.wav", true}, {"tone.ogg", true}, {"tone.snd", false},
               {"song.mid", true}};  // packing a few bytes does not pay: stored as is
  const int64_t held_before = TUnpackedMedia::TotalHeld();
  for (const auto& c : cases) {
    ASSERT_EQ(files.FindEntry(c.name)->Raw, c.stored) << c.name;
    std::unique_ptr<TKsBigStream> file = manager.OpenFile(c.name);
    EXPECT_EQ(dynamic_cast<TRangeStream*>(file.get()) != nullptr, c.stored) << c.name;
    EXPECT_EQ(dynamic_cast<TKsMemoryStream*>(file.get()) != nullptr, false) << c.name;
    const int64_t size = static_cast<int64_t>(std::filesystem::file_size(dir / c.name));
    EXPECT_EQ(file->GetSize(), size) << c.name;  // a packed one once unpacked
    EXPECT_EQ(TUnpackedMedia::TotalHeld() - held_before, c.stored ? 0 : size) << c.name;
    file->SetPosition(5);  // the whole file is read whatever the position
    EXPECT_EQ(ReadWholeFile(std::move(file)), test::ReadFileBytes(dir / c.name)) << c.name;
    EXPECT_EQ(TUnpackedMedia::TotalHeld(), held_before) << c.name << ": the temporary file outlives its reader";
  }
  for (const char* name : {"tone.wav", "tone.ogg", "tone.snd"}) {
    TDMediaItem* item = manager.Add(name);
    ASSERT_NE(item, nullptr) << name;
    EXPECT_EQ(item->GetLength(), 1000) << name;
  }
  // A damaged file in the package is refused with its reason, as from disk.
  EXPECT_EQ(manager.Add("tone_cut.wav"), nullptr);
  EXPECT_EQ(manager.Count(), 3u);
}

// A package holding tone.wav packed, as "tone.snd".
class PackedSound : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteSounds(dir);
    std::filesystem::copy_file(dir / "tone.wav", dir / "tone.snd");
    MountSounds(dir, {"tone.snd"}, files);
  }
  test::TempDir dir;
  TVrFileManager files;
  TMixer mixer{std::make_shared<TMemoryAudio>()};
  TProbeManager manager{mixer, &files};
};

// A movie's pictures and sound read a packed entry through two streams of
// one unpacking: the temporary file is written once, each stream keeps its
// own position, and the file goes with the last of them.
TEST_F(PackedSound, TheReadersOfAPackedEntryShareOneUnpacking) {
  const std::vector<uint8_t> bytes = test::ReadFileBytes(dir / "tone.snd");
  const int64_t held_before = TUnpackedMedia::TotalHeld();
  std::vector<std::unique_ptr<TKsBigStream>> readers = manager.OpenFiles("tone.snd", 2);
  ASSERT_EQ(readers.size(), 2u);
  EXPECT_EQ(readers[1]->GetSize(), static_cast<int64_t>(bytes.size()));  // once unpacked
  EXPECT_EQ(TUnpackedMedia::TotalHeld() - held_before, static_cast<int64_t>(bytes.size()));
  uint8_t first[4] = {}, second[4] = {};
  readers[0]->SetPosition(8);
  ASSERT_EQ(readers[1]->Read(second, 4), 4);  // from 0, not where the other stands
  ASSERT_EQ(readers[0]->Read(first, 4), 4);
  EXPECT_EQ(std::vector<uint8_t>(second, second + 4), std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4));
  EXPECT_EQ(std::vector<uint8_t>(first, first + 4), std::vector<uint8_t>(bytes.begin() + 8, bytes.begin() + 12));
  EXPECT_EQ(readers[1]->Write(first, 4), 0);  // read-only
  readers[0].reset();
  EXPECT_EQ(ReadWholeFile(std::move(readers[1])), bytes);
  EXPECT_EQ(TUnpackedMedia::TotalHeld(), held_before);
}

// A packed entry that unpacks to more than its reader takes is refused with
// the file layer's trace line, and a temporary folder that cannot take a
// file leaves packed sounds in memory: they still play.
TEST_F(PackedSound, PackedEntriesAreBoundedAndPlayWithoutATemporaryFolder) {
  const int64_t held_before = TUnpackedMedia::TotalHeld();
  EXPECT_THROW(manager.OpenFile("tone.snd", 1000), EFileTooLarge);
  EXPECT_EQ(TUnpackedMedia::TotalHeld(), held_before);

  const char* tmpdir = std::getenv("TMPDIR");
  const std::string tmpdir_before = tmpdir != nullptr ? tmpdir : "";
  ::setenv("TMPDIR", (dir / "no such folder").c_str(), 1);
  std::unique_ptr<TKsBigStream> file = manager.OpenFile("tone.snd");
  TDMediaItem* item = manager.Add("tone.snd");
  if (tmpdir != nullptr) {
    ::setenv("TMPDIR", tmpdir_before.c_str(), 1);
  } else {
    ::unsetenv("TMPDIR");
  }
  EXPECT_NE(dynamic_cast<TKsMemoryStream*>(file.get()), nullptr);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->GetLength(), 1000);
}

}  // namespace
}  // namespace orba
