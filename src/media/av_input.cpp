#include "media/av_input.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/avstring.h>
}

#include <string>

#include "media/decoder.h"

namespace orba {

namespace {

constexpr int kIoBuffer = 32768;

// Containers that carry their pictures and sounds inside themselves: the
// kinds of movies and Windows Media sounds, MPEG streams, and the WAVE files
// of codings our own reader leaves to libavcodec. The playlist and list
// readers (hls, dash, concat), picture sequences (image2) and the like are
// left out: each opens files or addresses it names.
constexpr const char* kAvContainers = "avi,asf,mpeg,mpegts,mpegvideo,mov,matroska,ogg,flv,wav,mp3";

// No protocol has this name: a demuxer that asks for one finds none.
constexpr const char* kNoProtocol = "none";

// The context's opener of further files: refuses them all.
int RefuseOpen(AVFormatContext* /*format*/, AVIOContext** /*pb*/, const char* /*url*/, int /*flags*/,
               AVDictionary** /*options*/) {
  return AVERROR(EPERM);
}

// True when Demuxer (a libavformat demuxer's name, or several with ','
// between them) is one of kAvContainers.
bool AvContainerAllowed(const char* demuxer) {
  return demuxer != nullptr && *demuxer != '\0' && av_match_list(demuxer, kAvContainers, ',') > 0;
}

}  // namespace

TAvInput::TAvInput(std::unique_ptr<TKsBigStream> file) : file_(std::move(file)) {
  av_log_set_level(AV_LOG_QUIET);
  try {
    file_->SetPosition(0);
    auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBuffer));
    if (buffer != nullptr) io_ = avio_alloc_context(buffer, kIoBuffer, 0, this, &ReadPacket, nullptr, &SeekPacket);
    if (io_ == nullptr) {
      av_free(buffer);
      throw EMediaError("out of memory");
    }
    // The kind is found from the content alone (no name, so no name
    // pattern) and checked before any demuxer reads a header.
    const AVInputFormat* kind = nullptr;
    if (av_probe_input_buffer2(io_, &kind, nullptr, nullptr, 0, 0) < 0 || kind == nullptr)
      throw EMediaError("not a media file libavformat reads");
    if (!AvContainerAllowed(kind->name))
      throw EMediaError(std::string("a file of the kind \"") + kind->name + "\", which is not played");
    format_ = avformat_alloc_context();
    if (format_ == nullptr) throw EMediaError("out of memory");
    format_->pb = io_;
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    format_->io_open = &RefuseOpen;
    // The same limits again inside libavformat, for the readers it nests.
    format_->format_whitelist = av_strdup(kAvContainers);
    format_->protocol_whitelist = av_strdup(kNoProtocol);
    if (format_->format_whitelist == nullptr || format_->protocol_whitelist == nullptr)
      throw EMediaError("out of memory");
    // On failure avformat_open_input frees the context.
    if (avformat_open_input(&format_, "", kind, nullptr) < 0) {
      format_ = nullptr;
      throw EMediaError("not a media file libavformat reads");
    }
  } catch (...) {  // cleaned up, then rethrown
    Close();
    throw;
  }
}

TAvInput::~TAvInput() { Close(); }

void TAvInput::Close() {
  if (format_ != nullptr) avformat_close_input(&format_);
  if (io_ != nullptr) {
    av_freep(&io_->buffer);
    avio_context_free(&io_);
  }
}

int TAvInput::ReadPacket(void* self, uint8_t* buf, int size) {
  int64_t n = 0;
  try {
    n = static_cast<TAvInput*>(self)->file_->Read(buf, size);
  } catch (const EOrbaError&) {
    // No exception may cross libavformat's frames: a failed read ends the
    // file there, as a short one does.
    return AVERROR(EIO);
  }
  return n > 0 ? static_cast<int>(n) : AVERROR_EOF;
}

int64_t TAvInput::SeekPacket(void* self, int64_t offset, int whence) {
  TKsBigStream& file = *static_cast<TAvInput*>(self)->file_;
  try {
    if (whence & AVSEEK_SIZE) return file.GetSize();
    return SeekAsC(file, offset, whence & ~AVSEEK_FORCE);
  } catch (const EOrbaError&) {
    return AVERROR(EIO);  // as in ReadPacket
  }
}

}  // namespace orba
