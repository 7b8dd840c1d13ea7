#include "media/ogg_decoder.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>

namespace orba {

namespace {

// libvorbisfile's callbacks over the file's stream.
size_t ReadFile(void* ptr, size_t size, size_t count, void* source) {
  auto* file = static_cast<TKsBigStream*>(source);
  if (size == 0 || count == 0) return 0;
  const int64_t want = static_cast<int64_t>(std::min<size_t>(count, static_cast<size_t>(INT64_MAX) / size) * size);
  return static_cast<size_t>(std::max<int64_t>(file->Read(ptr, want), 0)) / size;
}

int SeekFile(void* source, ogg_int64_t offset, int whence) {
  return SeekAsC(*static_cast<TKsBigStream*>(source), offset, whence) < 0 ? -1 : 0;
}

long TellFile(void* source) { return static_cast<long>(static_cast<TKsBigStream*>(source)->GetPosition()); }

class TOggDecoder : public TDecoder {
 public:
  explicit TOggDecoder(std::unique_ptr<TKsBigStream> file) : file_(std::move(file)) {
    file_->SetPosition(0);
    const ov_callbacks callbacks{&ReadFile, &SeekFile, nullptr, &TellFile};
    if (ov_open_callbacks(file_.get(), &vf_, nullptr, 0, callbacks) != 0)
      throw EMediaError("not a playable Ogg Vorbis file");
    open_ = true;
    const vorbis_info* info = ov_info(&vf_, -1);
    const ogg_int64_t total = ov_pcm_total(&vf_, -1);
    if (info == nullptr || info->channels < 1 || info->channels > 2 || info->rate < 1000 || info->rate > 384000 ||
        total < 0) {
      ov_clear(&vf_);
      open_ = false;
      throw EMediaError("an Ogg Vorbis file of a kind this player does not play (channels, rate or length)");
    }
    channels_ = info->channels;
    rate_ = static_cast<int32_t>(info->rate);
    frames_ = total;
  }
  ~TOggDecoder() override {
    if (open_) ov_clear(&vf_);
  }
  int32_t Rate() const override { return rate_; }
  int32_t Channels() const override { return channels_; }
  int64_t Frames() const override { return frames_; }
  void Seek(int64_t frame) override {
    if (ov_pcm_seek(&vf_, std::clamp<int64_t>(frame, 0, frames_)) != 0) failed_ = true;
    else failed_ = false;
  }
  size_t Read(float* out, size_t frames) override {
    size_t made = 0;
    while (made < frames && !failed_) {
      float** pcm = nullptr;
      int section = 0;
      const long got = ov_read_float(&vf_, &pcm, static_cast<int>(std::min<size_t>(frames - made, 4096)), &section);
      if (got <= 0) {
        // A damaged stream ends where it breaks.
        if (got < 0 && got != OV_HOLE) failed_ = true;
        if (got == 0 || failed_) break;
        continue;
      }
      const ov_info_channels_check check{ov_info(&vf_, section)};
      if (!check.Same(channels_)) {
        failed_ = true;
        break;
      }
      for (long k = 0; k < got; ++k)
        for (int c = 0; c < channels_; ++c)
          out[(made + static_cast<size_t>(k)) * static_cast<size_t>(channels_) + static_cast<size_t>(c)] = pcm[c][k];
      made += static_cast<size_t>(got);
    }
    return made;
  }

 private:
  // A chained stream whose later section has other channels ends there.
  struct ov_info_channels_check {
    const vorbis_info* Info;
    bool Same(int channels) const { return Info != nullptr && Info->channels == channels; }
  };
  std::unique_ptr<TKsBigStream> file_;
  OggVorbis_File vf_{};
  bool open_ = false;
  bool failed_ = false;
  int32_t channels_ = 0, rate_ = 0;
  int64_t frames_ = 0;
};

}  // namespace

std::unique_ptr<TDecoder> MakeOggDecoder(std::unique_ptr<TKsBigStream> file) {
  return std::make_unique<TOggDecoder>(std::move(file));
}

std::unique_ptr<TDecoder> MakeOggDecoder(std::vector<uint8_t> file) {
  return MakeOggDecoder(std::make_unique<TKsMemoryStream>(std::move(file)));
}

}  // namespace orba
