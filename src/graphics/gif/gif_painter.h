// The painters a GIF picture spawns to animate itself: each runs the frame
// engine (TGIFPainter, gif_render.h) either in a thread of its own or in the
// caller's thread. A threaded painter only waits and counts time: every
// frame and every event is painted or fired through GifSynchronizer(), in
// the thread that pumps it, so pictures and canvases are only touched there.
// The picture lists its running painters under a lock; stopping them all
// pumps the synchronisation until the threaded ones have ended.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "graphics/gif/gif_render.h"

namespace orba {

// The clock that paces painters, and the sleep of a painter without a
// thread. Tests give a fake whose Sleep moves its clock.
class TGIFTimer : public TClock {
 public:
  virtual void Sleep(uint32_t ms) = 0;
};
// The system's monotonic clock and sleep.
TGIFTimer& SystemGifTimer();

// Calls handed from painter threads to the thread that pumps them.
class TGIFSynchronizer {
 public:
  // From a painter thread: runs `call` in the pumping thread and waits for
  // it; an exception it raised is raised again here.
  void Run(const std::function<void()>& call);
  // Runs every call waiting now; returns how many ran.
  int32_t Pump();
  // Waits up to `ms` for a call to arrive (or for Notify).
  void WaitForCalls(uint32_t ms);
  // Wakes WaitForCalls (a painter ended).
  void Notify();

 private:
  struct TCall {
    const std::function<void()>* Call;
    std::exception_ptr Error;
    bool Done = false;
  };
  std::mutex lock_;
  std::condition_variable arrived_, done_;
  std::vector<TCall*> calls_;
  uint64_t notices_ = 0;
};
// The one synchronisation of the process (the class library's).
TGIFSynchronizer& GifSynchronizer();

// A target to draw on: a 24-bit bitmap and the device context that stands
// for it while it can be drawn on. Copies share the device context; after
// ReleaseDC painters that check it (PaintFlags bit 5) stop before their
// next frame. Release it before a bitmap a threaded painter paints on goes.
class TGIFCanvas {
 public:
  explicit TGIFCanvas(TDIB& dib) : dib_(&dib, [](TDIB*) {}) {}
  explicit TGIFCanvas(std::shared_ptr<TDIB> dib) : dib_(std::move(dib)) {}
  TDIB& Dib() const { return *dib_; }
  const std::shared_ptr<TDIB>& Shared() const { return dib_; }
  bool HasDC() const { return *dc_; }
  void ReleaseDC() { *dc_ = false; }

 private:
  std::shared_ptr<TDIB> dib_;
  std::shared_ptr<std::atomic<bool>> dc_ = std::make_shared<std::atomic<bool>>(true);
};

// The picture's running painters and those that ended in their own thread
// and wait to be freed where an error they kept can be raised.
struct TGIFPainterList {
  std::recursive_mutex Lock;
  std::vector<TGIFSpawnedPainter*> Running;
  std::vector<std::unique_ptr<TGIFSpawnedPainter>> Ended;
};

class TGIFSpawnedPainter {
 public:
  // Takes the picture's speed, flags and events; `target` stays alive while
  // the painter runs.
  TGIFSpawnedPainter(TGIFImage& image, const TGIFCanvas& target, const TRect& rect, uint16_t options,
                     TGIFSpawnedPainter** owner, TGIFTimer& timer);
  ~TGIFSpawnedPainter();
  TGIFSpawnedPainter(const TGIFSpawnedPainter&) = delete;
  TGIFSpawnedPainter& operator=(const TGIFSpawnedPainter&) = delete;

  bool Threaded() const { return (options_ & gif_paint::kThread) != 0; }
  // Starts the thread of a threaded painter.
  void Start();
  // The body, in the caller's thread, to the end of the animation.
  void RunHere();
  // Stops the painter: it paints nothing more and a delay wait ends.
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Whether one of its steps runs now in this thread (a handler of its
  // events halting the painters): the painter can end only after it.
  bool PaintingHere() const { return painting_in_ == std::this_thread::get_id(); }
  // The first frame was painted, or the painter ended.
  bool StartedOrEnded() const { return engine_.Started() || ended_; }
  TDIB& Target() const { return target_.Dib(); }
  const TRect& Rect() const { return rect_; }
  // Waits for the thread and raises what the body raised (the painter is
  // being freed).
  void Finish();

 private:
  void Body();
  // A delay of `ms` (-1: until stopped); false when the delay event ended it.
  bool WaitDelay(int64_t ms);
  void Paint(const std::function<void()>& step);
  void End();

  TGIFImage* image_;
  std::shared_ptr<TGIFPainterList> list_;
  TGIFCanvas target_;
  TRect rect_;
  uint16_t options_;
  TGIFSpawnedPainter** owner_;
  TGIFTimer& timer_;
  TGIFPainter engine_;
  std::thread thread_;
  std::mutex delay_lock_;
  std::condition_variable delay_event_;
  bool delay_set_ = false;
  std::atomic<bool> terminated_{false}, ended_{false};
  std::atomic<std::thread::id> painting_in_{};
  std::exception_ptr pending_;
};

}  // namespace orba
