#include "media/av_input.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/avstring.h>
}

#include <cerrno>
#include <cstdio>
#include <string>

#include "media/decoder.h"
#include "media/unpacked_media.h"

namespace orba {

namespace {

constexpr int kIoBuffer = 32768;

// Containers that carry their pictures and sounds inside themselves: the
// kinds of movies and Windows Media sounds, MPEG streams, and the WAVE files
// of codings our own reader leaves to libavcodec. The playlist and list
// readers (hls, dash, concat), picture sequences (image2) and the like are
// left out: each opens files or addresses it names.
constexpr const char* kAvContainers = "avi,asf,mpeg,mpegts,mpegvideo,mov,matroska,ogg,flv,wav,mp3";

// Containers whose header gives their streams and their length, read in
// order while their file is still unpacking; any other (an MPEG stream,
// whose length is found at its end, or a QuickTime file, whose index may
// lie there) waits for the unpacking's end.
constexpr const char* kInOrderContainers = "avi,asf,wav";

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
  // A streamed packed file is read in order from its start: a container
  // whose index lies at its end (an AVI's) is opened without it, so that
  // the first pictures and sounds come before the last bytes. So also when
  // its unpacking has already ended, so that it opens the same either way.
  partial_ = TUnpackedMedia::Streamed(*file_);
  Open();
}

void TAvInput::Open() {
  try {
    file_->SetPosition(0);
    auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBuffer));
    if (buffer != nullptr) io_ = avio_alloc_context(buffer, kIoBuffer, 0, this, &ReadPacket, nullptr, &SeekPacket);
    if (io_ == nullptr) {
      av_free(buffer);
      throw EMediaLimit("out of memory");
    }
    if (partial_) io_->seekable = 0;
    // The kind is found from the content alone (no name, so no name
    // pattern) and checked before any demuxer reads a header.
    const AVInputFormat* kind = nullptr;
    if (av_probe_input_buffer2(io_, &kind, nullptr, nullptr, 0, 0) < 0 || kind == nullptr)
      throw EMediaError("not a media file libavformat reads");
    if (!AvContainerAllowed(kind->name))
      throw EMediaError(std::string("a file of the kind \"") + kind->name + "\", which is not played");
    if (partial_ && av_match_list(kind->name, kInOrderContainers, ',') <= 0) {
      // Its length or its header may lie at its end: it waits for it.
      partial_ = false;
      io_->seekable = AVIO_SEEKABLE_NORMAL;
    }
    format_ = avformat_alloc_context();
    if (format_ == nullptr) throw EMediaLimit("out of memory");
    format_->pb = io_;
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;
    format_->io_open = &RefuseOpen;
    // The same limits again inside libavformat, for the readers it nests.
    format_->format_whitelist = av_strdup(kAvContainers);
    format_->protocol_whitelist = av_strdup(kNoProtocol);
    if (format_->format_whitelist == nullptr || format_->protocol_whitelist == nullptr)
      throw EMediaLimit("out of memory");
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

bool TAvInput::ReopenWhole() {
  if (!partial_) return false;
  partial_ = false;
  AVIOContext* old_io = io_;
  AVFormatContext* old_format = format_;
  io_ = nullptr;
  format_ = nullptr;
  try {
    file_->GetSize();  // waits for the unpacking's end
    Open();
    if (avformat_find_stream_info(format_, nullptr) < 0) throw EMediaError("no stream information");
  } catch (const EOrbaError&) {  // the file read in order stays, without seeks
    Close();
    io_ = old_io;
    format_ = old_format;
    return false;
  }
  Free(old_io, old_format);
  return true;
}

TAvInput::~TAvInput() { Close(); }

void TAvInput::Close() { Free(io_, format_); }

void TAvInput::Free(AVIOContext*& io, AVFormatContext*& format) {
  if (format != nullptr) avformat_close_input(&format);
  if (io != nullptr) {
    av_freep(&io->buffer);
    avio_context_free(&io);
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
  auto& input = *static_cast<TAvInput*>(self);
  TKsBigStream& file = *input.file_;
  try {
    if (input.partial_) {
      // Read in order: the size is not known yet, and a position is taken
      // as it comes (a read there waits for its bytes).
      whence &= ~AVSEEK_FORCE;
      if (whence != SEEK_SET && whence != SEEK_CUR) return AVERROR(ENOSYS);
      const int64_t to = SaturatingAdd(whence == SEEK_SET ? 0 : file.GetPosition(), offset);
      if (to < 0) return AVERROR(EINVAL);
      file.SetPosition(to);
      return to;
    }
    if (whence & AVSEEK_SIZE) return file.GetSize();
    return SeekAsC(file, offset, whence & ~AVSEEK_FORCE);
  } catch (const EOrbaError&) {
    return AVERROR(EIO);  // as in ReadPacket
  }
}

}  // namespace orba
