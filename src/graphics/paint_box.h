// A control that shows one TDIB at its natural size, centred, stretched to
// the control, or shrunk to fit; it paints into a target bitmap.
#pragma once

#include <cstdint>

#include "core/streams/stream_encoding.h"
#include "graphics/dib.h"

namespace orba {

class TCustomDXPaintBox {
 public:
  TCustomDXPaintBox() = default;
  virtual ~TCustomDXPaintBox() = default;

  bool AutoStretch() const { return auto_stretch_; }
  bool Center() const { return center_; }
  bool KeepAspect() const { return keep_aspect_; }
  bool Stretch() const { return stretch_; }
  int32_t ViewWidth() const { return view_width_; }
  int32_t ViewHeight() const { return view_height_; }
  void SetAutoStretch(bool v) { Change(auto_stretch_, v); }
  void SetCenter(bool v) { Change(center_, v); }
  void SetKeepAspect(bool v) { Change(keep_aspect_, v); }
  void SetStretch(bool v) { Change(stretch_, v); }
  void SetViewWidth(int32_t v) { Change(view_width_, v < 0 ? 0 : v); }
  void SetViewHeight(int32_t v) { Change(view_height_, v < 0 ? 0 : v); }

  TDIB& DIB() { return dib_; }
  // Shares the other bitmap's image.
  void SetDIB(const TDIB& source);
  TPaletteHandle GetPalette() { return dib_.GetPalette(); }

  // Where the bitmap is shown in a client area of the given size; an empty
  // rectangle for an empty bitmap.
  TRect DrawRect(int32_t client_width, int32_t client_height) const;
  // Paints the bitmap into a client-sized target (nothing when empty).
  void Paint(TDIB& client);

  int32_t Left = 0, Top = 0, Width = 105, Height = 105;
  // Counts the repaints asked for by property changes.
  int32_t InvalidateCount = 0;

 private:
  template <typename T>
  void Change(T& field, T value) {
    if (field == value) return;
    field = value;
    ++InvalidateCount;
  }

  bool auto_stretch_ = false, center_ = false, keep_aspect_ = false, stretch_ = false;
  int32_t view_width_ = 0, view_height_ = 0;
  TDIB dib_;
};

class TDXPaintBox : public TCustomDXPaintBox {};

}  // namespace orba
