#include "platform/file_dialogs.h"

#include <mutex>

namespace orba {
namespace {

class TCancelledFileDialogs : public TFileDialogService {
 public:
  std::optional<std::string> Show(const TFileDialogRequest&) override { return std::nullopt; }
};

struct TFileDialogState {
  std::mutex Lock;
  std::shared_ptr<TFileDialogService> Service = std::make_shared<TCancelledFileDialogs>();
};

TFileDialogState& State() {
  static TFileDialogState state;
  return state;
}

std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(sep, start);
    parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

}  // namespace

std::vector<std::pair<std::string, std::vector<std::string>>> ParseDialogFilter(const std::string& filter) {
  std::vector<std::pair<std::string, std::vector<std::string>>> out;
  if (filter.empty()) return out;
  // "|" and ";" are ASCII below 0x40, never the trail byte of a Shift-JIS
  // character, so a byte split is safe.
  const std::vector<std::string> parts = Split(filter, '|');
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    std::vector<std::string> patterns;
    for (const std::string& p : Split(parts[i + 1], ';')) {
      if (!p.empty()) patterns.push_back(p);
    }
    if (!patterns.empty()) out.emplace_back(parts[i], std::move(patterns));
  }
  return out;
}

TFileDialogService& FileDialogs() {
  std::lock_guard<std::mutex> lock(State().Lock);
  return *State().Service;
}

std::shared_ptr<TFileDialogService> SetFileDialogService(std::shared_ptr<TFileDialogService> service) {
  std::lock_guard<std::mutex> lock(State().Lock);
  if (!service) service = std::make_shared<TCancelledFileDialogs>();
  State().Service.swap(service);
  return service;
}

}  // namespace orba
