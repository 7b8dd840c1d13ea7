// The extension blocks of a frame: graphic control, plain text, comment and
// application blocks (looping, or kept raw).
#include <algorithm>
#include <cstring>

#include "graphics/gif/gif_image.h"

namespace orba {

namespace {

void ReadExact(TKsBigStream& s, void* buffer, int64_t count) {
  if (s.Read(buffer, count) != count) throw GIFException(gif_text::kPrematureEnd);
}

void WriteByte(TKsBigStream& s, uint8_t b) { s.WriteBuffer(&b, 1); }

}  // namespace

void WriteTextBlocks(TKsBigStream& s, const std::vector<std::string>& strings) {
  for (const std::string& text : strings) {
    for (size_t at = 0; at < text.size(); at += 255) {
      const size_t n = std::min<size_t>(255, text.size() - at);
      WriteByte(s, static_cast<uint8_t>(n));
      s.WriteBuffer(text.data() + at, static_cast<int64_t>(n));
    }
  }
  WriteByte(s, 0);
}

std::vector<std::string> ReadTextBlocks(TKsBigStream& s) {
  std::vector<std::string> out;
  uint8_t size = 0;
  while (s.Read(&size, 1) == 1 && size != 0) {
    std::string block(size, '\0');
    block.resize(static_cast<size_t>(std::max<int64_t>(s.Read(block.data(), size), 0)));
    out.push_back(std::move(block));
  }
  return out;
}

void TGIFExtension::LoadFromStream(TKsBigStream& s) {
  uint8_t head[2];
  ReadExact(s, head, 2);
  if (head[0] != '!') throw GIFException(gif_text::kInvalidIntroducer);
  if (head[1] != Label()) throw GIFException(gif_text::kLabelMismatch);
  ReadBlock(s);
}

void TGIFExtension::SaveToStream(TKsBigStream& s) const {
  const uint8_t head[2] = {'!', Label()};
  s.WriteBuffer(head, 2);
  WriteBlock(s);
}

// ---- Graphic control ----

TGIFGraphicControlExtension::TGIFGraphicControlExtension(TGIFSubImage& frame) : TGIFExtension(frame) {
  if (frame.GraphicControl == nullptr) frame.GraphicControl = this;
}

TGIFGraphicControlExtension::~TGIFGraphicControlExtension() {
  if (Transparent()) Frame().Transparent = false;
  if (Frame().GraphicControl == this) Frame().GraphicControl = nullptr;
}

void TGIFGraphicControlExtension::SetTransparent(bool value) {
  Packed = static_cast<uint8_t>(value ? Packed | 1 : Packed & ~1);
  if (value) Frame().Transparent = true;
}

void TGIFGraphicControlExtension::SetTransparentIndex(uint8_t index) {
  const int32_t count = Frame().ActiveColorMap().Count();
  if (count > 0 && index >= count) {
    Frame().Image().ReportWarning(gif_text::kInvalidColorIndex);
    index = 0;
  }
  TransparentIndex = index;
}

void TGIFGraphicControlExtension::ReadBlock(TKsBigStream& s) {
  uint8_t b[6];
  if (s.Read(b, 6) != 6) {
    Frame().Image().ReportWarning(gif_text::kPrematureEnd);
    return;
  }
  BlockSize = b[0];
  Packed = b[1];
  Delay = static_cast<uint16_t>(b[2] | (b[3] << 8));
  TransparentIndex = b[4];
  Terminator = b[5];
  if (Transparent()) Frame().Transparent = true;
}

void TGIFGraphicControlExtension::WriteBlock(TKsBigStream& s) const {
  const uint8_t b[6] = {BlockSize, Packed, static_cast<uint8_t>(Delay), static_cast<uint8_t>(Delay >> 8),
                        TransparentIndex, Terminator};
  s.WriteBuffer(b, 6);
}

// ---- Plain text and comment ----

void TGIFTextExtension::ReadBlock(TKsBigStream& s) {
  uint8_t b[13];
  ReadExact(s, b, 13);
  BlockSize = b[0];
  Left = static_cast<uint16_t>(b[1] | (b[2] << 8));
  Top = static_cast<uint16_t>(b[3] | (b[4] << 8));
  Width = static_cast<uint16_t>(b[5] | (b[6] << 8));
  Height = static_cast<uint16_t>(b[7] | (b[8] << 8));
  CellWidth = b[9];
  CellHeight = b[10];
  Foreground = b[11];
  Background = b[12];
  Text = ReadTextBlocks(s);
}

void TGIFTextExtension::WriteBlock(TKsBigStream& s) const {
  const uint8_t b[13] = {BlockSize,
                         static_cast<uint8_t>(Left),
                         static_cast<uint8_t>(Left >> 8),
                         static_cast<uint8_t>(Top),
                         static_cast<uint8_t>(Top >> 8),
                         static_cast<uint8_t>(Width),
                         static_cast<uint8_t>(Width >> 8),
                         static_cast<uint8_t>(Height),
                         static_cast<uint8_t>(Height >> 8),
                         CellWidth,
                         CellHeight,
                         Foreground,
                         Background};
  s.WriteBuffer(b, 13);
  WriteTextBlocks(s, Text);
}

void TGIFCommentExtension::ReadBlock(TKsBigStream& s) { Text = ReadTextBlocks(s); }
void TGIFCommentExtension::WriteBlock(TKsBigStream& s) const { WriteTextBlocks(s, Text); }

// ---- Application blocks ----

void TGIFApplicationExtension::ReadBlock(TKsBigStream& s) {
  uint8_t size = 0;
  ReadExact(s, &size, 1);
  if (size < 10) throw GIFException(gif_text::kAppBlockSize);
  std::memset(Ident, 0, sizeof(Ident));
  if (size == 10) {
    ReadExact(s, Ident, 10);
  } else {
    ReadExact(s, Ident, 11);
    if (size > 11) {
      uint8_t skip[256];
      ReadExact(s, skip, size - 11);
    }
  }
  ReadBody(s);
}

void TGIFApplicationExtension::WriteBlock(TKsBigStream& s) const {
  WriteByte(s, 11);
  s.WriteBuffer(Ident, 11);
  WriteBody(s);
}

// A block of no known form: its data sub-blocks are passed over.
void TGIFApplicationExtension::ReadBody(TKsBigStream& s) { ReadTextBlocks(s); }
void TGIFApplicationExtension::WriteBody(TKsBigStream& s) const { WriteByte(s, 0); }

void TGIFUnknownAppExtension::ReadBody(TKsBigStream& s) {
  Blocks.clear();
  for (std::string& block : ReadTextBlocks(s)) Blocks.emplace_back(block.begin(), block.end());
}

void TGIFUnknownAppExtension::WriteBody(TKsBigStream& s) const {
  for (const auto& block : Blocks) {
    if (block.empty()) continue;
    WriteByte(s, static_cast<uint8_t>(block.size()));
    s.WriteBuffer(block.data(), static_cast<int64_t>(block.size()));
  }
  WriteByte(s, 0);
}

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFSubImage& frame) : TGIFApplicationExtension(frame) {
  std::memcpy(Ident, "NETSCAPE2.0", 11);
}

void TGIFAppExtNSLoop::ReadBody(TKsBigStream& s) {
  uint8_t size = 0;
  while (s.Read(&size, 1) == 1 && size != 0) {
    uint8_t block[255];
    const int64_t got = s.Read(block, size);
    if (got != size) throw GIFException(gif_text::kPrematureEnd);
    const int id = block[0] & 7;
    if (id == 1) {
      if (size < 3) throw GIFException(gif_text::kInvalidData);
      Loops = static_cast<uint16_t>(block[1] | (block[2] << 8));
    } else if (id == 2) {
      if (size < 5) throw GIFException(gif_text::kInvalidData);
      BufferSize = static_cast<uint32_t>(block[1] | (block[2] << 8) | (block[3] << 16)) |
                   (static_cast<uint32_t>(block[4]) << 24);
    }
  }
}

void TGIFAppExtNSLoop::WriteBody(TKsBigStream& s) const {
  const uint8_t loop[4] = {3, 1, static_cast<uint8_t>(Loops), static_cast<uint8_t>(Loops >> 8)};
  s.WriteBuffer(loop, 4);
  if (BufferSize != 0) {
    const uint8_t buf[6] = {5,
                            2,
                            static_cast<uint8_t>(BufferSize),
                            static_cast<uint8_t>(BufferSize >> 8),
                            static_cast<uint8_t>(BufferSize >> 16),
                            static_cast<uint8_t>(BufferSize >> 24)};
    s.WriteBuffer(buf, 6);
  }
  WriteByte(s, 0);
}

}  // namespace orba
