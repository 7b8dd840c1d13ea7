#include "items/image_font_label.h"

#include <algorithm>

#include "core/streams/stream_encoding.h"
#include "core/strings/sjis_string.h"
#include "items/slider_parts.h"
#include "script/functions/sys_func_file.h"

namespace orba {

void TOrbaCGLabel::BuildIndex() {
  GlyphLines.clear();
  for (const std::string& line : SplitTextLines(Text)) {
    std::vector<int32_t>& cells = GlyphLines.emplace_back();
    for (size_t i = 0; i < line.size();) {
      // A lead byte takes its trail byte with it: one character, one cell.
      const size_t n = IsSjisLeadByte(static_cast<uint8_t>(line[i])) && i + 1 < line.size() ? 2 : 1;
      cells.push_back(JPos(line.substr(i, n), MapText) - 1);
      i += n;
    }
  }
}

void TOrbaCGLabel::Resize() {
  size_t widest = 0;
  for (const std::vector<int32_t>& cells : GlyphLines) widest = std::max(widest, cells.size());
  const auto lines = static_cast<int64_t>(GlyphLines.size());
  const auto product = [](int64_t a, int64_t b) { return std::clamp<int64_t>(a * b, INT32_MIN, INT32_MAX); };
  SetWidth(SumInt32({product(GlyphWidth, static_cast<int64_t>(std::min<size_t>(widest, INT32_MAX)))}));
  SetHeight(SumInt32({product(GlyphHeight, lines), lines >= 2 ? product(LineSpace, lines - 1) : 0}));
  Invalidate();
}

void TOrbaCGLabel::SetSource(std::string v) {
  if (v == Source) return;
  Invalidate();
  Source = std::move(v);
  Cells.Clear();
  Cells.Index = -1;
  if (!Source.empty()) {
    Cells.LoadBrix(this, Source, false);
    if (Cells.Count() > 0) Cells.SetIndex(0);
  }
}

void TOrbaCGLabel::SetText(std::string v) {
  if (v == Text) return;
  Text = std::move(v);
  BuildIndex();
  Resize();
}

void TOrbaCGLabel::SetMapText(std::string v) {
  if (v == MapText) return;
  MapText = std::move(v);
  BuildIndex();
  Invalidate();
}

void TOrbaCGLabel::SetGlyphWidth(int32_t v) {
  GlyphWidth = std::max(v, 1);
  Resize();
}

void TOrbaCGLabel::SetGlyphHeight(int32_t v) {
  GlyphHeight = std::max(v, 1);
  Resize();
}

void TOrbaCGLabel::SetLineSpace(int32_t v) {
  LineSpace = v;
  Resize();
}

void TOrbaCGLabel::SetHAlign(uint8_t v) {
  if (v == HAlign) return;
  HAlign = v;
  Invalidate();
}

void TOrbaCGLabel::SetAlpha(int32_t v) {
  if (v == Alpha) return;
  Alpha = v;
  Invalidate();
}

int32_t TOrbaCGLabel::GetOrigWidth() const {
  const TOrbaImageData* cell = Cells.GetCell(Cells.Index);
  return cell != nullptr ? cell->GetDIB()->Width() : 0;
}

int32_t TOrbaCGLabel::GetOrigHeight() const {
  const TOrbaImageData* cell = Cells.GetCell(Cells.Index);
  return cell != nullptr ? cell->GetDIB()->Height() : 0;
}

void TOrbaCGLabel::Draw() {
  TCustomDIBX* surface = GetSurface();
  const TOrbaImageData* cell = Cells.GetCell(Cells.Index);
  if (surface != nullptr && Width > 0 && Height > 0 && Alpha > 0 && cell != nullptr) {
    TCustomDIBX& dib = *cell->GetDIB();
    const int64_t columns = dib.Width() / GlyphWidth;
    const int64_t capacity = dib.Height() / GlyphHeight * columns;
    int64_t y = GetScreenTop();
    for (size_t line = 0; columns >= 1 && line < GlyphLines.size(); ++line) {
      const std::vector<int32_t>& cells = GlyphLines[line];
      const int64_t used = static_cast<int64_t>(cells.size()) * GlyphWidth;
      int64_t x = GetScreenLeft();
      if (HAlign == HA_CENTER) x += (int64_t{Width} - used) / 2;
      else if (HAlign == HA_RIGHT) x += int64_t{Width} - used;
      for (int32_t g : cells) {
        if (g >= 0 && g < capacity) {
          const int64_t sx = g % columns * GlyphWidth, sy = g / columns * GlyphHeight;
          const TRect src{SumInt32({sx}), SumInt32({sy}), SumInt32({sx, GlyphWidth}), SumInt32({sy, GlyphHeight})};
          cell->DrawRect(*surface, SumInt32({x}), SumInt32({y}), src, Alpha, false, false);
        }
        x += GlyphWidth;
      }
      y += int64_t{GlyphHeight} + LineSpace;
    }
  }
  TOrbaControl::Draw();
}

bool TOrbaCGLabel::Idle() {
  const bool answer = TOrbaControl::Idle();
  if (answer || GetAniPaused()) return answer;
  if (Cells.Step()) Invalidate();
  return answer;
}

void TOrbaCGLabel::SaveToStream(TKsBigStream& stream) const {
  TOrbaControl::SaveToStream(stream);
  for (const std::string* s : {&Source, &Text, &MapText}) WriteStreamString(stream, *s);
  for (int32_t v : {GlyphWidth, GlyphHeight, LineSpace}) WriteStreamInt(stream, v);
  WriteStreamBool(stream, Paused);
  WriteStreamByte(stream, HAlign);
  WriteStreamInt(stream, Alpha);
  WriteStreamString(stream, OnIdle);
}

void TOrbaCGLabel::LoadFromStream(TKsBigStream& stream, int32_t version) {
  TOrbaControl::LoadFromStream(stream, version);
  SetSource(ReadStreamString(stream));
  Text = ReadStreamString(stream);
  MapText = ReadStreamString(stream);
  // A stored glyph size below 1 would divide the picture by zero.
  GlyphWidth = std::max(ReadStreamInt(stream), 1);
  GlyphHeight = std::max(ReadStreamInt(stream), 1);
  LineSpace = ReadStreamInt(stream);
  Paused = ReadStreamBool(stream);
  HAlign = ReadByteVal(stream);
  Alpha = ReadStreamInt(stream);
  if (version >= kSceneGaugeIdleVersion) OnIdle = ReadStreamString(stream);
  BuildIndex();
  Resize();
}

}  // namespace orba
