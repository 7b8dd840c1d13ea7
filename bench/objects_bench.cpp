// The object tree at scale: the cost of creating N items in one tick, of
// finding one by name among N, and of a repaint tick of N 16 x 16 pictures
// on a 1280 x 720 screen, for N from 10 to 100,000. Each creation is what a
// creating command does to the item (name, parent, bounds, colour or
// picture, in the order the command applies them) followed by the tick's
// Idle pass and the first read of the children's order, on a fresh manager
// with a small screen. Two series are shaped as real games make them: image
// items that all show one picture file through the picture cache, and
// boxes given a Priority after their parent (the images count their freeing
// too, where each leaves the picture's owners). The references are
// measured in the same run: creation against the same series at a tenth of
// the count (linear time gives 10x) and against the boxes' construction
// alone, lookups against the lookup among 10 objects, and the repaint tick
// against one full-frame memcpy.
//
// Run: build-rel/bench/objects_bench (a Release build with
// -DORBA_BUILD_BENCH=ON). Goals: 10,000 creations under 50 ms, 100,000 in
// under 12x the time of 10,000; a lookup within 2x of the lookup among 10;
// a repaint tick of 10,000 pictures under 4 ms.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/frame_copy.h"
#include "bench/ratio_reporter.h"
#include "core/files/vr_file_manager.h"
#include "core/game_clock.h"
#include "graphics/dibx.h"
#include "items/base_list.h"
#include "items/anim_image.h"
#include "items/box.h"
#include "items/brix_cache.h"
#include "items/still_image.h"
#include "platform/direct_draw_memory.h"
#include "platform/headless/memory_video.h"
#include "platform/headless/single_mode_screen.h"
#include "shell/screen_copy.h"

namespace {

using namespace orba;

constexpr int32_t kWidth = 1280, kHeight = 720, kSide = 16;

// Creations run on a small screen: a manager is made for every iteration,
// and its bitmaps are not what is measured.
constexpr int32_t kSmallWidth = 320, kSmallHeight = 240;

std::unique_ptr<TOrbaBaseList> NewScreen(int32_t width = kWidth, int32_t height = kHeight) {
  auto m = std::make_unique<TOrbaBaseList>();
  m->SetWidth(width);
  m->SetHeight(height);
  m->GetBase(0)->SetColor(0);
  return m;
}

// The picture every image item shows.
TDIBX& Tile() {
  static TDIBX tile;
  if (tile.Width() == 0) {
    tile.SetSize(kSide, kSide, ItemBitCount());
    for (int32_t y = 0; y < kSide; ++y)
      for (int32_t x = 0; x < kSide; ++x) tile.SetPixel(x, y, static_cast<uint32_t>(x * 16 + y * 4096 + 0x203040));
  }
  return tile;
}

// A picture folder holding "tile.brx" (a 16 x 16 picture, BMP data under a
// Brix name), and the picture cache reading from it while it lives.
struct TTileFolder {
  std::filesystem::path Folder = std::filesystem::temp_directory_path() / "orba_objects_bench";
  TVrFileManager Files;
  TTileFolder() {
    std::filesystem::create_directories(Folder);
    Tile().Surface().SaveToFile((Folder / "tile.brx").string());
    Files.SetOverrideFolder(Folder.string());
    InitBrixCollection();
    BrixCollection()->Files = &Files;
  }
  ~TTileFolder() {
    FinalBrixCollection();
    std::filesystem::remove_all(Folder);
  }
  TTileFolder(const TTileFolder&) = delete;
  TTileFolder& operator=(const TTileFolder&) = delete;
};

enum class TItemKind { UnnamedBox, NamedBox, Image, SharedPicture, PriorityBox };

// Item I of a screen of N: a spot on the screen and, for named items, a name.
void MakeItem(TOrbaBaseList& m, TItemKind kind, int32_t i) {
  const int32_t left = (i * 37) % (m.Width - kSide), top = (i * 53) % (m.Height - kSide);
  if (kind == TItemKind::Image) {
    auto* image = NewOrbaObject<TOrbaImage>(&m);
    image->SetName("img" + std::to_string(i));
    image->SetParent(m.GetBase(0));
    image->SetDIB(&Tile());
    image->UpdateSize();
    image->SetLeft(left);
    image->SetTop(top);
    return;
  }
  if (kind == TItemKind::SharedPicture) {
    // Every one an owner of the one cache entry.
    auto* images = NewOrbaObject<TOrbaImages>(&m);
    images->SetParent(m.GetBase(0));
    images->SetSource("tile.brx");
    images->SetLeft(left);
    images->SetTop(top);
    return;
  }
  auto* box = NewOrbaObject<TOrbaBox>(&m);
  if (kind == TItemKind::NamedBox) box->SetName("box" + std::to_string(i));
  box->SetParent(m.GetBase(0));
  box->SetBounds(left, top, kSide, kSide);
  box->SetColor(0x336699 + i);
  if (kind == TItemKind::PriorityBox) box->SetPriority(1);
}

void Create(benchmark::State& state, TItemKind kind) {
  const auto n = static_cast<int32_t>(state.range(0));
  FrameTime = 15;
  const TTileFolder tiles;
  for (auto _ : state) {
    auto m = NewScreen(kSmallWidth, kSmallHeight);
    const auto start = std::chrono::steady_clock::now();
    for (int32_t i = 0; i < n; ++i) MakeItem(*m, kind, i);
    m->Idle_();
    // The next paint reads the children in z-order: children still waiting
    // for their place take it here, inside the measured time.
    benchmark::DoNotOptimize(m->GetBase(0)->GetChild(0));
    if (m->GetObjectCount() != n) state.SkipWithError("items were lost");
    // The images sharing a picture count their freeing too: each leaves
    // the picture's owners.
    if (kind == TItemKind::SharedPicture) m.reset();
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  state.counters["us_per_item"] =
      benchmark::Counter(static_cast<double>(n) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The floor of a creation: the same boxes constructed, sized and coloured,
// but neither registered, named nor put in a tree.
void ConstructBoxes(benchmark::State& state) {
  const auto n = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    std::vector<std::unique_ptr<TOrbaBox>> boxes;
    boxes.reserve(static_cast<size_t>(n));
    const auto start = std::chrono::steady_clock::now();
    for (int32_t i = 0; i < n; ++i) {
      auto& box = boxes.emplace_back(std::make_unique<TOrbaBox>(nullptr));
      box->SetBounds((i * 37) % (kSmallWidth - kSide), (i * 53) % (kSmallHeight - kSide), kSide, kSide);
      box->SetColor(0x336699 + i);
    }
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
}

void CreateUnnamedBoxes(benchmark::State& state) { Create(state, TItemKind::UnnamedBox); }
void CreateNamedBoxes(benchmark::State& state) { Create(state, TItemKind::NamedBox); }
void CreateImages(benchmark::State& state) { Create(state, TItemKind::Image); }
void CreateSharedPictures(benchmark::State& state) { Create(state, TItemKind::SharedPicture); }
void CreatePriorityBoxes(benchmark::State& state) { Create(state, TItemKind::PriorityBox); }

// A second of batches at every count: the 100,000 batches run several
// times too, so that at each count the first batch's first touches of fresh
// memory weigh as little against the others.
void Series(benchmark::internal::Benchmark* b) {
  for (int64_t n : {10, 100, 1000, 4000, 10000, 100000}) b->Arg(n);
  b->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
}
BENCHMARK(ConstructBoxes)->Apply(Series);
BENCHMARK(CreateUnnamedBoxes)->Apply(Series);
BENCHMARK(CreateNamedBoxes)->Apply(Series);
BENCHMARK(CreateImages)->Apply(Series);
BENCHMARK(CreateSharedPictures)->Apply(Series);
BENCHMARK(CreatePriorityBoxes)->Apply(Series);

// One lookup by name among N named boxes, and one of a name nobody bears,
// as FindObject does it for every by-name command and function.
void FindObject(benchmark::State& state) {
  const auto n = static_cast<int32_t>(state.range(0));
  auto m = NewScreen();
  for (int32_t i = 0; i < n; ++i) MakeItem(*m, TItemKind::NamedBox, i);
  std::vector<std::string> names;
  std::mt19937 rng(7);
  for (int32_t i = 0; i < 64; ++i) names.push_back("box" + std::to_string(rng() % static_cast<uint32_t>(n)));
  names.emplace_back("nobody");
  size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(m->FindObject(names[k]));
    if (++k == names.size()) k = 0;
  }
}
BENCHMARK(FindObject)->Arg(10)->Arg(100)->Arg(1000)->Arg(10000)->Arg(100000);

// One repaint tick: the whole screen is dirty, then Idle, Draw and the
// present into the window's picture, as the player does them.
void PaintTick(TOrbaBaseList& m, TMemoryVideo& video, std::vector<uint32_t>& frame) {
  TOrbaBase* root = m.GetBase(0);
  std::vector<TRect> rects;
  root->InvalidateAll();
  m.Idle_();
  m.Draw();
  for (int32_t r = 0; r < root->Dirty.Count(); ++r) rects.push_back(root->Dirty.Get(r));
  PresentScreen(video, root->GetDIB(), rects, m.Width, m.Height, frame);
  root->Dirty.Clear();
  m.GetBase(1)->Dirty.Clear();
}

// One repaint tick of N pictures.
void RepaintTick(benchmark::State& state) {
  const auto n = static_cast<int32_t>(state.range(0));
  FrameTime = 15;
  auto m = NewScreen();
  for (int32_t i = 0; i < n; ++i) MakeItem(*m, TItemKind::Image, i);
  TMemoryVideo video;
  video.CreateWindow(kWidth, kHeight, "objects");
  std::vector<uint32_t> frame;
  PaintTick(*m, video, frame);
  for (auto _ : state) PaintTick(*m, video, frame);
}
BENCHMARK(RepaintTick)->Arg(10)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The screen manager of the player for as long as it lives, running
// accelerated (pictures and screens on DirectDraw surfaces) or forced to
// system memory (memory bitmaps), as --surfaces chooses.
class TSurfaceMode {
 public:
  explicit TSurfaceMode(bool accelerated) {
    auto screen = std::make_shared<TSingleModeScreen>(video_);
    const auto draw = std::make_shared<TMemoryDirectDraw>();
    screen->SetDirectDraw(draw, draw);
    screen->SetSystemMemory(!accelerated);
    previous_ = SetScreenManager(screen);
  }
  ~TSurfaceMode() { SetScreenManager(previous_); }
  TSurfaceMode(const TSurfaceMode&) = delete;
  TSurfaceMode& operator=(const TSurfaceMode&) = delete;

 private:
  TMemoryVideo video_;
  std::shared_ptr<TScreenManager> previous_;
};

// A full-repaint tick of N items sharing one cached picture, in each mode.
void SurfacesRepaintTick(benchmark::State& state, bool accelerated) {
  const auto n = static_cast<int32_t>(state.range(0));
  FrameTime = 15;
  const TSurfaceMode mode(accelerated);
  const TTileFolder tiles;
  auto m = NewScreen();
  for (int32_t i = 0; i < n; ++i) MakeItem(*m, TItemKind::SharedPicture, i);
  TMemoryVideo video;
  video.CreateWindow(kWidth, kHeight, "objects");
  std::vector<uint32_t> frame;
  PaintTick(*m, video, frame);
  for (auto _ : state) PaintTick(*m, video, frame);
}
// The shared-picture scene whole, in each mode: a screen made, N items
// sharing one picture, one painted and presented tick, all freed.
void SurfacesSharedScene(benchmark::State& state, bool accelerated) {
  const auto n = static_cast<int32_t>(state.range(0));
  FrameTime = 15;
  const TSurfaceMode mode(accelerated);
  const TTileFolder tiles;
  TMemoryVideo video;
  video.CreateWindow(kWidth, kHeight, "objects");
  std::vector<uint32_t> frame;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    auto m = NewScreen();
    for (int32_t i = 0; i < n; ++i) MakeItem(*m, TItemKind::SharedPicture, i);
    PaintTick(*m, video, frame);
    m.reset();
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
}
BENCHMARK_CAPTURE(SurfacesRepaintTick, memory, false)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SurfacesRepaintTick, directdraw, true)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SurfacesSharedScene, memory, false)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SurfacesSharedScene, directdraw, true)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond);

// The floor of a repaint tick: one full-frame memcpy.
void FrameCopy(benchmark::State& state) { orba::bench::CopyFrames(state, kWidth, kHeight); }
BENCHMARK(FrameCopy)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  orba::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* kind : {"ConstructBoxes", "CreateUnnamedBoxes", "CreateNamedBoxes", "CreateImages",
                           "CreateSharedPictures", "CreatePriorityBoxes"}) {
    const std::string at10k = std::string(kind) + "/10000/min_time:1.000/manual_time";
    const std::string at100k = std::string(kind) + "/100000/min_time:1.000/manual_time";
    if (!reporter.times.contains(at100k) || !reporter.times.contains(at10k)) continue;
    std::printf("%s: 100,000 against 10,000: ", kind);
    reporter.PrintRatio(at100k.c_str(), at10k.c_str(), "10,000", 12.0);
  }
  if (reporter.times.contains("FindObject/100000") && reporter.times.contains("FindObject/10"))
    std::printf("FindObject among 100,000: %.1f ns, among 10: %.1f ns, ratio %.2f (goal: at most 2.00)\n",
                reporter.times["FindObject/100000"], reporter.times["FindObject/10"],
                reporter.times["FindObject/100000"] / reporter.times["FindObject/10"]);
  if (reporter.times.contains("RepaintTick/10000") && reporter.times.contains("FrameCopy"))
    std::printf("Repaint tick of 10,000 pictures: %.2f ms (goal: under 4 ms), a frame copy %.2f ms\n",
                reporter.times["RepaintTick/10000"], reporter.times["FrameCopy"]);
  // DirectDraw surfaces against memory bitmaps (goal: at most 1.10).
  for (const char* scene : {"SurfacesRepaintTick/%s/10000", "SurfacesSharedScene/%s/10000/manual_time",
                            "SurfacesSharedScene/%s/100000/manual_time"}) {
    char accelerated[96], memory[96];
    std::snprintf(accelerated, sizeof accelerated, scene, "directdraw");
    std::snprintf(memory, sizeof memory, scene, "memory");
    if (!reporter.times.contains(accelerated) || !reporter.times.contains(memory)) continue;
    std::printf("%s: ", accelerated);
    reporter.PrintRatio(accelerated, memory, "system memory", 1.1);
  }
  benchmark::Shutdown();
  return 0;
}
