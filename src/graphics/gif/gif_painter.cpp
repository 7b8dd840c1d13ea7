#include "graphics/gif/gif_painter.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace orba {

namespace {

class TSystemGifTimer : public TGIFTimer {
 public:
  uint32_t NowMs() override {
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
  }
  void Sleep(uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

// A painter without a thread sleeps in steps no longer than this, so that a
// stop asked for by an event handler or another thread is seen soon.
constexpr uint32_t kInlineSleepStepMs = 100;

}  // namespace

TGIFTimer& SystemGifTimer() {
  static TSystemGifTimer timer;
  return timer;
}

// ---- Synchronisation ----

TGIFSynchronizer& GifSynchronizer() {
  static TGIFSynchronizer synchronizer;
  return synchronizer;
}

void TGIFSynchronizer::Run(const std::function<void()>& call) {
  TCall pending{&call, nullptr, false};
  {
    std::unique_lock<std::mutex> l(lock_);
    calls_.push_back(&pending);
    arrived_.notify_all();
    done_.wait(l, [&] { return pending.Done; });
  }
  if (pending.Error) std::rethrow_exception(pending.Error);
}

int32_t TGIFSynchronizer::Pump() {
  std::vector<TCall*> batch;
  {
    std::lock_guard<std::mutex> l(lock_);
    batch.swap(calls_);
  }
  for (TCall* call : batch) {
    std::exception_ptr error;
    try {
      (*call->Call)();
    } catch (...) {  // handed to the painter thread that asked for the call
      error = std::current_exception();
    }
    std::lock_guard<std::mutex> l(lock_);
    call->Error = error;
    call->Done = true;
  }
  if (!batch.empty()) done_.notify_all();
  return static_cast<int32_t>(batch.size());
}

void TGIFSynchronizer::WaitForCalls(uint32_t ms) {
  std::unique_lock<std::mutex> l(lock_);
  const uint64_t seen = notices_;
  arrived_.wait_for(l, std::chrono::milliseconds(ms), [&] { return !calls_.empty() || notices_ != seen; });
}

void TGIFSynchronizer::Notify() {
  {
    std::lock_guard<std::mutex> l(lock_);
    ++notices_;
  }
  arrived_.notify_all();
}

// ---- Painters ----

TGIFSpawnedPainter::TGIFSpawnedPainter(TGIFImage& image, const TGIFCanvas& target, const TRect& rect,
                                       uint16_t options, TGIFSpawnedPainter** owner, TGIFTimer& timer)
    : image_(&image),
      list_(image.painters_),
      target_(target),
      rect_(rect),
      options_(options),
      owner_(owner),
      timer_(timer),
      engine_(image, target.Dib(), rect, options, timer) {
  engine_.OnAnimationStart = image.OnAnimationStart;
  engine_.OnBeforeFrame = image.OnBeforeFrame;
  engine_.OnAfterFrame = image.OnAfterFrame;
  engine_.OnNewPass = image.OnNewPass;
  engine_.OnAnimationEnd = image.OnAnimationEnd;
  if (options & gif_paint::kValidateCanvas) engine_.TargetGone = [this] { return !target_.HasDC(); };
}

TGIFSpawnedPainter::~TGIFSpawnedPainter() {
  if (thread_.joinable()) thread_.join();
}

void TGIFSpawnedPainter::Start() {
  if (Threaded() && !thread_.joinable()) thread_ = std::thread([this] { Body(); });
}

void TGIFSpawnedPainter::RunHere() { Body(); }

void TGIFSpawnedPainter::Terminate() {
  terminated_ = true;
  engine_.Halt();
  {
    std::lock_guard<std::mutex> l(delay_lock_);
    delay_set_ = true;
  }
  delay_event_.notify_all();
  // A threaded painter not yet started runs its body once to see the stop.
  Start();
}

void TGIFSpawnedPainter::Finish() {
  if (thread_.joinable()) thread_.join();
  if (pending_) {
    std::exception_ptr error = std::exchange(pending_, nullptr);
    std::rethrow_exception(error);
  }
}

bool TGIFSpawnedPainter::WaitDelay(int64_t ms) {
  std::unique_lock<std::mutex> l(delay_lock_);
  auto set = [&] { return delay_set_; };
  bool early;
  if (ms < 0) {
    delay_event_.wait(l, set);
    early = true;
  } else {
    early = delay_event_.wait_for(l, std::chrono::milliseconds(ms), set);
  }
  delay_set_ = false;  // the event resets itself
  return !early;
}

void TGIFSpawnedPainter::Paint(const std::function<void()>& step) {
  auto guarded = [&] {
    if (terminated_) return;
    painting_in_ = std::this_thread::get_id();
    struct TPainting {
      std::atomic<std::thread::id>& in;
      ~TPainting() { in = std::thread::id(); }
    } painting{painting_in_};
    step();
  };
  if (Threaded())
    GifSynchronizer().Run(guarded);
  else
    guarded();
}

void TGIFSpawnedPainter::Body() {
  try {
    Paint([&] { engine_.Start(); });
    // Between the steps painted above only this thread looks at the engine.
    while (!terminated_ && engine_.Running()) {
      int64_t ms = engine_.MsToNextFrame();
      if (Threaded()) {
        if (!WaitDelay(ms)) continue;  // stopped
      } else {
        if (ms < 0) break;
        while (ms > 0 && !terminated_) {
          const uint32_t step = static_cast<uint32_t>(std::min<int64_t>(ms, kInlineSleepStepMs));
          timer_.Sleep(step);
          ms -= step;
        }
        if (terminated_) break;
      }
      Paint([&] { engine_.Tick(); });
    }
  } catch (...) {  // kept, and raised again where the painter is freed
    pending_ = std::current_exception();
  }
  End();
}

void TGIFSpawnedPainter::End() {
  const bool threaded = Threaded();
  {
    std::lock_guard<std::recursive_mutex> l(list_->Lock);
    auto& running = list_->Running;
    running.erase(std::remove(running.begin(), running.end(), this), running.end());
    if (owner_ != nullptr && *owner_ == this) *owner_ = nullptr;
    ended_ = true;
    // A threaded painter is freed by the picture's thread, which takes what
    // it kept; nothing of it is touched here after this.
    if (threaded) list_->Ended.emplace_back(this);
  }
  if (threaded) GifSynchronizer().Notify();
}

}  // namespace orba
