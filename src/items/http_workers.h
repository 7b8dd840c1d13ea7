// The transfers of all HTTP items run on a few worker threads; the rest wait
// their turn in a queue. A worker ends when the queue is empty, and one that
// cannot be started leaves the transfer to the workers already running, or,
// with none running, fails it at once: a game with hundreds of items never
// needs more than kHttpWorkers threads, and one past the process limit ends
// as a failed transfer. At shut-down every transfer is cancelled and the
// workers are given kHttpJoinBound to end.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "items/http_body.h"

namespace orba {

class THttpCli;

constexpr size_t kHttpWorkers = 4;
constexpr std::chrono::milliseconds kHttpJoinBound{500};

// One download. The worker writes Body and Failure, then sets Ended; the
// window thread reads them only once it saw Ended.
struct THttpTransfer {
  std::unique_ptr<THttpCli> Client;
  THttpBody Body;
  // Why the transfer failed (empty when it did not).
  std::string Failure;
  std::atomic<bool> Cancel{false};
  std::atomic<bool> Ended{false};
};

// Queues the transfer and makes sure a worker will take it.
void StartHttpTransfer(const std::shared_ptr<THttpTransfer>& transfer);
// Cancels every queued and running transfer and waits at most
// kHttpJoinBound for the workers to end (shut-down). Answers whether they did.
bool StopHttpTransfers();
// The workers running now.
size_t RunningHttpWorkers();

}  // namespace orba
