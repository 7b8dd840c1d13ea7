#include "core/streams/buffered_stream.h"

#include <algorithm>
#include <cstring>

namespace orba {

TKsBuffBigStream::TKsBuffBigStream(TKsBigStream& source, int32_t buffer_size)
    : source_(source), buffer_size_(buffer_size > 0 ? buffer_size : kBufferSize) {}

TKsBuffBigStream::~TKsBuffBigStream() {
  if (Unread() > 0) source_.SetPosition(source_.GetPosition() - Unread());
}

int64_t TKsBuffBigStream::GetPosition() { return source_.GetPosition() - Unread(); }

void TKsBuffBigStream::SetPosition(int64_t position) {
  buffer_.clear();
  next_ = 0;
  source_.SetPosition(position);
}

int64_t TKsBuffBigStream::Read(void* buffer, int64_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (count > 0) {
    if (Unread() == 0) {
      const int64_t want = std::min<int64_t>(buffer_size_, source_.Remaining());
      buffer_.resize(static_cast<size_t>(std::max<int64_t>(want, 0)));
      next_ = 0;
      if (want <= 0) break;
      const int64_t got = source_.Read(buffer_.data(), want);
      buffer_.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
      if (got <= 0) break;
    }
    const int64_t n = std::min(count, Unread());
    std::memcpy(out + done, buffer_.data() + next_, static_cast<size_t>(n));
    next_ += static_cast<size_t>(n);
    done += n;
    count -= n;
  }
  return done;
}

}  // namespace orba
