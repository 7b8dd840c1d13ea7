// The box item: a rectangle filled with a colour and framed with a border,
// drawn opaque, blended or additive, optionally animated by a motion file,
// and optionally trailing afterimages (faded copies left behind while it
// moves). Also the storage object of the cabinet commands.
#pragma once

#include "items/orba_object.h"

namespace orba {

class TOrbaBox : public TOrbaControl {
 public:
  explicit TOrbaBox(TOrbaBaseList* manager) : TOrbaControl(manager) {}

  int32_t BorderWidth = 0;
  int32_t BorderColor = 0;
  int32_t Alpha = 255;
  std::string OnIdle, Source, OnPlayEnd;
  bool Repeat = false, AutoScrap = false, Paused = false;
  int32_t BlurSpan = 0, BlurDelay = 0, BlurElapsed = 0;
  TRect BlurRect;  // Left, Top, Width, Height when the last afterimage was taken
  int32_t BlurBorder = 0;

  uint8_t GetCompoType() const override { return CT_BOX; }
  int32_t GetBorderWidth() const override { return BorderWidth; }
  int32_t GetBorderColor() const override { return BorderColor; }
  int32_t GetAlpha() const override { return Alpha; }
  std::string GetOnIdle() const override { return OnIdle; }
  std::string GetSource() const override { return Source; }
  std::string GetOnPlayEnd() const override { return OnPlayEnd; }
  bool GetRepeat() const override { return Repeat; }
  bool GetAutoScrap() const override { return AutoScrap; }
  bool GetPaused() const override { return Paused; }
  int32_t GetBlurSpan() const override { return BlurSpan; }
  int32_t GetBlurDelay() const override { return BlurDelay; }
  void SetBorderWidth(int32_t v) override;
  void SetBorderColor(int32_t v) override;
  void SetAlpha(int32_t v) override;
  void SetOnIdle(std::string v) override { OnIdle = std::move(v); }
  void SetOnPlayEnd(std::string v) override { OnPlayEnd = std::move(v); }
  void SetSource(std::string v) override { ChangeFilmSource(Source, std::move(v)); }
  void SetRepeat(bool v) override { ChangeMotionRepeat(Repeat, v); }
  void SetAutoScrap(bool v) override { AutoScrap = v; }
  void SetPaused(bool v) override { Paused = v; }
  void SetBlurSpan(int32_t v) override;
  void SetBlurDelay(int32_t v) override { BlurDelay = v; }

  void Draw() override;
  bool OnlyPaints() const override { return true; }
  bool PaintsOver(const TRect& area) const override;
  bool Idle() override;
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;

 private:
  void TakeBlurSnapshot();
  bool MovedSinceSnapshot() const;
};

// A frame of Width pixels or a fill of R in Color (0x00BBGGRR) at Alpha:
// blended below 255, opaque at 255, additive with the colour scaled by
// Alpha - 256 above.
enum class TPaint { Frame, Fill };
void PaintAlphaRect(TCustomDIBX& s, TPaint what, const TRect& r, int32_t width, int32_t color, int32_t alpha);

// One tick of an afterimage's fade: Elapsed grows by the last tick's length;
// true once it reaches Delay (the afterimage is then freed), otherwise Alpha
// is StartAlpha less its share of (StartAlpha mod 256), rounded: a linear
// fade to nothing over Delay milliseconds.
bool FadeAfterimage(int32_t& elapsed, int32_t delay, int32_t start_alpha, int32_t& alpha);

// An afterimage: a copy of an item left behind where the item was, fading
// from StartAlpha to nothing over Delay milliseconds and then freed. It is
// not part of the saved scene and sorts below its source, fainter ones
// first.
template <class TItem>
class TOrbaAfterimage : public TItem {
 public:
  using TItem::TItem;
  int32_t Elapsed = 0;
  int32_t Delay = 0;
  int32_t StartAlpha = 0;
  TObjectHandle SourceItem;

  uint8_t GetCompoType() const override { return CT_NONE; }
  int32_t GetDelay() const override { return Delay; }
  void SetDelay(int32_t v) override { Delay = v; }
  bool IsAfterimage() const override { return true; }
  bool IsAfterimageOf(const TOrbaObject* source) const override {
    return source != nullptr && source->Serial == SourceItem.Id;
  }
  // The item's own tick, then one step of the fade.
  bool Idle() override {
    const bool answer = TItem::Idle();
    if (Ended()) return true;
    int32_t alpha = this->GetAlpha();
    if (FadeAfterimage(Elapsed, Delay, StartAlpha, alpha)) return true;
    this->SetAlpha(alpha);
    return answer;
  }

 protected:
  // True when the afterimage must go before its time.
  virtual bool Ended() const { return false; }
};

// An afterimage of a box.
class TOrbaBlurBox final : public TOrbaAfterimage<TOrbaBox> {
 public:
  using TOrbaAfterimage::TOrbaAfterimage;
};

// A storage object of the cabinet commands: never drawn nor hit; objects
// below it are not idled.
class TOrbaCabinet final : public TOrbaControl {
 public:
  explicit TOrbaCabinet(TOrbaBaseList* manager) : TOrbaControl(manager) {}
  uint8_t GetCompoType() const override { return CT_CABINET; }
  bool GetVisible() const override { return false; }
  bool IsCabinet() const override { return true; }
  void Draw() override {}
};

}  // namespace orba
