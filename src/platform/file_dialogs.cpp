#include "platform/file_dialogs.h"

#include "platform/service_slot.h"

namespace orba {
namespace {

TServiceSlot<TFileDialogService>& Slot() {
  static TServiceSlot<TFileDialogService> slot("file dialog service");
  return slot;
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

TFileDialogService& FileDialogs() { return Slot().Get(); }

std::shared_ptr<TFileDialogService> SetFileDialogService(std::shared_ptr<TFileDialogService> service) {
  return Slot().Set(std::move(service));
}

}  // namespace orba
