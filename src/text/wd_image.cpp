#include "text/wd_image.h"

#include <utility>

#include "core/streams/stream_encoding.h"
#include "text/ks_word.h"

namespace orba {

namespace {
TWdImageSource* g_source = nullptr;
}

TWdImageSource* SetWdImageSource(TWdImageSource* source) { return std::exchange(g_source, source); }
TWdImageSource* WdImageSource() { return g_source; }

void TWdImg::CalcSize() {
  Cells = g_source != nullptr && !Name.empty() ? g_source->Load(Name) : nullptr;
  TCustomDIBX* first = Cells != nullptr ? Cells->Surface() : nullptr;
  if (first == nullptr) Cells.reset();
  FWidth = first != nullptr ? first->Width() : 0;
  FHeight = first != nullptr ? first->Height() : 0;
}

int32_t TWdImg::Opacity(int32_t a, int32_t w) {
  if (w == 255) return a;
  if (a >= 255) return w;  // fully shown: the word's alpha itself
  if (w < 256) return a * w / 256;
  return a * (w - 256) / 256 + 256;
}

void TWdImg::Paint() {
  TCustomDIBX* target = Word.Target;
  TCustomDIBX* cell = Cells != nullptr ? Cells->Surface() : nullptr;
  if (target == nullptr || cell == nullptr || GetAlpha() <= 0) return;
  const int32_t a = Opacity(GetAlpha(), Word.Alpha);
  const int32_t x = GetAbsLeft(), y = GetAbsTop();
  const TRect src{0, 0, cell->Width(), cell->Height()};
  TCustomDIBX* mask = Cells->Mask();
  const bool key = Cells->HasColorKey();
  if (a <= 0 || a == 256) return;
  if (a < 255) {
    if (mask != nullptr) target->DrawAlphaMask(x, y, *cell, src, false, false, *mask, a);
    else target->DrawAlpha(x, y, *cell, src, key, false, false, a);
  } else if (a == 255) {
    if (mask != nullptr) target->DrawMask(x, y, *cell, src, false, false, *mask);
    else target->Draw(x, y, *cell, src, key, false, false);
  } else {
    if (mask != nullptr) target->DrawAddMask(x, y, *cell, src, false, false, *mask, a - 256);
    else target->DrawAdd(x, y, *cell, src, key, false, false, a - 256);
  }
}

void TWdImg::Animate() {
  if (Cells != nullptr && Cells->Step()) Invalidate();
}

void TWdImg::SaveToStream(TKsBigStream& stream) const {
  SaveCommon(stream);
  WriteStreamString(stream, Name);
  WriteStreamByte(stream, Align);
}

void TWdImg::LoadFromStream(TKsBigStream& stream, int32_t version) {
  LoadCommon(stream);
  Name = ReadStreamString(stream);
  Align = ReadByteVal(stream);
}

void TWdImg::Assign(const TWdGlyph& source) {
  TWdReal::Assign(source);
  if (const auto* s = dynamic_cast<const TWdImg*>(&source)) Name = s->Name, Align = s->Align;
}

}  // namespace orba
