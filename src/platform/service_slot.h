// The one installed back end of a platform service (message boxes, file
// dialogs, the host). A program installs its back ends at start-up; asking a
// slot that holds none is a fault of the program and raises std::logic_error.
#pragma once

#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>

namespace orba {

template <typename TService>
class TServiceSlot {
 public:
  explicit TServiceSlot(const char* what) : what_(what) {}

  TService& Get() {
    std::lock_guard<std::mutex> lock(lock_);
    if (!service_) throw std::logic_error(std::string("no ") + what_ + " installed");
    return *service_;
  }

  // The installed service, or nullptr.
  TService* Find() {
    std::lock_guard<std::mutex> lock(lock_);
    return service_.get();
  }

  // Installs Service (nullptr removes the installed one); returns the
  // previous one.
  std::shared_ptr<TService> Set(std::shared_ptr<TService> service) {
    std::lock_guard<std::mutex> lock(lock_);
    service_.swap(service);
    return service;
  }

 private:
  const char* what_;
  std::mutex lock_;
  std::shared_ptr<TService> service_;
};

}  // namespace orba
