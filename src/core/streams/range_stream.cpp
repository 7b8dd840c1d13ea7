#include "core/streams/range_stream.h"

#include <algorithm>

#include "core/streams/big_file_stream.h"

namespace orba {

TRangeStream::TRangeStream(std::unique_ptr<TKsBigStream> source, int64_t offset, int64_t size)
    : source_(std::move(source)) {
  const int64_t source_size = source_->GetSize();
  range_offset_ = std::clamp<int64_t>(offset, 0, source_size);
  range_size_ = std::clamp<int64_t>(size, 0, source_size - range_offset_);
  source_->SetPosition(range_offset_);
}

int64_t TRangeStream::GetPosition() {
  std::lock_guard<std::mutex> guard(lock_);
  return source_->GetPosition() - range_offset_;
}

void TRangeStream::SetPosition(int64_t position) { Seek(position, SeekOrigin::Begin); }

int64_t TRangeStream::Read(void* buffer, int64_t count) {
  std::lock_guard<std::mutex> guard(lock_);
  const int64_t n = std::min(count, range_offset_ + range_size_ - source_->GetPosition());
  return n > 0 ? source_->Read(buffer, n) : 0;
}

int64_t TRangeStream::Seek(int64_t offset, SeekOrigin origin) {
  std::lock_guard<std::mutex> guard(lock_);
  int64_t base = source_->GetPosition();
  if (origin == SeekOrigin::Begin) base = range_offset_;
  if (origin == SeekOrigin::End) base = range_offset_ + range_size_;
  const int64_t target = std::clamp(SaturatingAdd(base, offset), range_offset_, range_offset_ + range_size_);
  source_->SetPosition(target);
  return source_->GetPosition() - range_offset_;
}

namespace {
std::unique_ptr<TKsBigStream> OpenForReading(const std::string& file_name) {
  return std::make_unique<TKsBigFileStream>(file_name, fmOpenRead | fmShareDenyWrite);
}
}  // namespace

TFileRangeStream::TFileRangeStream(const std::string& file_name, int64_t offset, int64_t size)
    : TRangeStream(OpenForReading(file_name), offset, size) {}

TFileRangeStream::TFileRangeStream(const std::string& file_name)
    : TRangeStream(OpenForReading(file_name), 0, INT64_MAX) {}

TResourceRangeStream::TResourceRangeStream(std::shared_ptr<TResourceProvider> module,
                                           const std::string& resource_name, const std::string& resource_type,
                                           int64_t offset, int64_t size)
    : TRangeStream(std::make_unique<TKsBigResourceStream>(std::move(module), resource_name, resource_type), offset,
                   size) {}

}  // namespace orba
