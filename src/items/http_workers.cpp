#include "items/http_workers.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

#include "core/errors.h"
#include "core/system/trace.h"
#include "items/http.h"

namespace orba {

namespace {

struct TWorkers {
  std::mutex Lock;
  std::condition_variable AllEnded;
  std::deque<std::shared_ptr<THttpTransfer>> Queue;
  // Taken by a worker, for the cancel at shut-down.
  std::vector<std::shared_ptr<THttpTransfer>> Running;
  size_t Count = 0;
};

// Never freed: a worker still ending when the process exits keeps using it.
TWorkers& Workers() {
  static TWorkers* workers = new TWorkers;
  return *workers;
}

void End(THttpTransfer& t, std::string failure) {
  t.Failure = std::move(failure);
  t.Ended.store(true, std::memory_order_release);
}

void Run(THttpTransfer& t) {
  std::string failure;
  try {
    if (t.Client == nullptr) throw EOrbaError("no HTTP client installed");
    t.Client->Get(t.Body, t.Cancel);
  } catch (...) {  // kept in Failure, traced by the window thread
    // A failed transfer ends like any other; the body keeps what arrived.
    failure = CaughtMessage();
    if (failure.empty()) failure = "the transfer failed";
  }
  End(t, std::move(failure));
}

void WorkerLoop() {
  TWorkers& w = Workers();
  for (;;) {
    std::shared_ptr<THttpTransfer> t;
    {
      std::lock_guard<std::mutex> lock(w.Lock);
      if (w.Queue.empty()) {
        --w.Count;
        w.AllEnded.notify_all();
        return;
      }
      t = std::move(w.Queue.front());
      w.Queue.pop_front();
      w.Running.push_back(t);
    }
    if (t->Cancel.load()) {
      End(*t, "cancelled");
    } else {
      Run(*t);
    }
    std::lock_guard<std::mutex> lock(w.Lock);
    std::erase(w.Running, t);
  }
}

}  // namespace

void StartHttpTransfer(const std::shared_ptr<THttpTransfer>& transfer) {
  TWorkers& w = Workers();
  std::unique_lock<std::mutex> lock(w.Lock);
  w.Queue.push_back(transfer);
  if (w.Count >= kHttpWorkers) return;
  try {
    std::thread(&WorkerLoop).detach();
    ++w.Count;
  } catch (const std::system_error& e) {
    if (w.Count > 0) return;  // a running worker takes it in turn
    // No thread at all: every waiting transfer fails, as one that could not
    // connect would.
    const std::string failure = std::string("no worker thread can be started: ") + e.what();
    for (const auto& t : w.Queue) End(*t, failure);
    w.Queue.clear();
  }
}

bool StopHttpTransfers() {
  TWorkers& w = Workers();
  std::unique_lock<std::mutex> lock(w.Lock);
  for (const auto& t : w.Queue) {
    t->Cancel = true;
    End(*t, "cancelled");
  }
  w.Queue.clear();
  for (const auto& t : w.Running) t->Cancel = true;
  const bool ended = w.AllEnded.wait_for(lock, kHttpJoinBound, [&w] { return w.Count == 0; });
  if (!ended) Trace("HTTP: " + std::to_string(w.Count) + " transfers did not stop in time and are left behind");
  return ended;
}

size_t RunningHttpWorkers() {
  TWorkers& w = Workers();
  std::lock_guard<std::mutex> lock(w.Lock);
  return w.Count;
}

}  // namespace orba
