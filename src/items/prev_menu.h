// The preview menu: a menu of image buttons described by a preview-menu
// file. Each button is a child image item whose picture follows its state
// (normal, hovered, chosen, disabled, selected in a radio group); a button
// may show a sub-image beside it. Hover and choice are reported through
// events and "@SelStr"/"@SelIndex", and every picture the buttons can show
// is loaded ahead into the picture cache.
//
// Preview-menu files are not read by this build: the reader refuses every
// file with the unsupported-format error and the menu stays empty.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "items/anim_image.h"
#include "items/orba_object.h"

namespace orba {

class TBrixItem;
class TOrbaPrevMenu;

// One button of a button set: its position, its 19 pictures by role (see
// TOrbaPrevMenu), caption, selection group (0: a push button) and the place
// of its sub-image.
struct TContSelButton {
  int32_t X = 0, Y = 0;
  std::array<std::string, 19> Files;
  std::string Caption;
  int32_t Group = 0;
  bool CaptureMask = false;
  std::string Cursor;
  int32_t SubLeft = 0, SubTop = 0;
  int32_t GetSubLeft() const { return SubLeft; }
  int32_t GetSubTop() const { return SubTop; }
};

struct TContSelList {
  int32_t Width = 0, Height = 0;
  std::vector<TContSelButton> Buttons;
  int32_t GetButtonCount() const { return static_cast<int32_t>(Buttons.size()); }
  const TContSelButton& GetButton(int32_t index) const { return Buttons.at(static_cast<size_t>(index)); }
};

// The kind of a preview-menu file, as an error of reading names it.
inline constexpr char kPrevMenuKind[] = "OrbaPreviewMenu";

// Reads the preview-menu file Name: raises EFilmError with
// kPrevMenuKind + ":" + kMsgUnsupportedFormat; the menu that traces it
// names the file.
[[noreturn]] TContSelList LoadPrevMenu(const std::string& name);
// The reader the menus use (LoadPrevMenu unless a test sets another).
using TPrevMenuReader = TContSelList (*)(const std::string& name);
void SetPrevMenuReader(TPrevMenuReader reader);

// A button's picture (or a sub-image): an animated image that tells its
// menu when a picture played once has ended.
class TOrbaPrevImages final : public TOrbaImages {
 public:
  using TOrbaImages::TOrbaImages;
  TOrbaPrevMenu* Menu = nullptr;
  int32_t Button = -1;
  bool Sub = false;
  int32_t Picture = -1;  // the role shown, -1 none
  bool Reported = false;
  // Shows picture Role of the button's record (nothing when it is empty),
  // looping or once.
  void Show(const std::string& file, int32_t role, bool loop);
  bool Idle() override;
};

class TOrbaPrevMenu final : public TOrbaControl {
 public:
  explicit TOrbaPrevMenu(TOrbaBaseList* manager) : TOrbaControl(manager) {}
  void Create() override;
  ~TOrbaPrevMenu() override;

  std::string Source;
  bool Paused = false, AutoScrap = false, RClickScrap = false;
  std::string OnSelect, OnIdle, OnMapIn, OnMapOut, OnPlayEnd;
  std::vector<TContSelButton> Records;
  // Per button: its image item (a child of the menu) and the sub-image shown,
  // held by handle so that an item deleted by a script is noticed.
  std::vector<TObjectHandle> Items, SubImages;
  std::vector<std::string> Files;           // upper-cased names loaded ahead
  std::vector<TBrixItem*> Entries;
  int32_t HoverButton = -1, PressButton = -1, PendingAnims = 0;
  std::vector<uint8_t> Enabled, ItemVisible, Selected;

  uint8_t GetCompoType() const override { return CT_PREVMENU; }
  std::string GetSource() const override { return Source; }
  void SetSource(std::string v) override;
  bool GetPaused() const override { return Paused; }
  void SetPaused(bool v) override { Paused = v; }
  bool GetAutoScrap() const override { return AutoScrap; }
  void SetAutoScrap(bool v) override { AutoScrap = v; }
  bool GetRClickScrap() const override { return RClickScrap; }
  void SetRClickScrap(bool v) override { RClickScrap = v; }
  std::string GetOnSelect() const override { return OnSelect; }
  void SetOnSelect(std::string v) override { OnSelect = std::move(v); }
  std::string GetOnIdle() const override { return OnIdle; }
  void SetOnIdle(std::string v) override { OnIdle = std::move(v); }
  std::string GetOnMapIn() const override { return OnMapIn; }
  void SetOnMapIn(std::string v) override { OnMapIn = std::move(v); }
  std::string GetOnMapOut() const override { return OnMapOut; }
  void SetOnMapOut(std::string v) override { OnMapOut = std::move(v); }
  std::string GetOnPlayEnd() const override { return OnPlayEnd; }
  void SetOnPlayEnd(std::string v) override { OnPlayEnd = std::move(v); }
  int32_t GetCount() const override { return ButtonCount(); }
  std::string GetText() const override;

  bool GetItemEnabled(int32_t index) const override;
  void SetItemEnabled(int32_t index, bool value) override;
  bool GetItemVisible(int32_t index) const override;
  void SetItemVisible(int32_t index, bool value) override;
  bool GetItemSelected(int32_t index) const override;
  void SetItemSelected(int32_t index, bool value) override;
  int32_t GetItemGroupIndex(int32_t index) const override;
  int32_t IndexOfButton(const std::string& name) const override;

  // Builds the buttons of a button set (what loading a file does after the
  // reader).
  void SetButtons(const TContSelList& list);
  // Loads a file ahead into the picture cache; a film's track files are
  // followed instead (each film once).
  void AddFile(const std::string& name);
  // The button's image item and sub-image; nullptr when there is none.
  TOrbaPrevImages* Item(int32_t button) const;
  TOrbaPrevImages* SubImage(int32_t button) const;
  void SetHover(int32_t button);
  void Choose(int32_t button);
  // A button picture or sub-image played once has ended.
  void AnimationEnded(TOrbaPrevImages& item);

  TOrbaObject* HitTest(TPoint p, uint32_t mask) override;
  std::string GetCurrentCursor() const override;
  void DoMouseMove() override;
  void DoMouseOut() override;
  void DoLButtonDown() override;
  void DoLButtonUp() override;
  void DoRButtonDown() override;
  void DoKeyRepeat() override;
  bool HandleRClickScrap() override;
  void SaveToStream(TKsBigStream& stream) const override;
  void LoadFromStream(TKsBigStream& stream, int32_t version) override;

 private:
  int32_t ButtonCount() const { return static_cast<int32_t>(Records.size()); }
  bool Valid(int32_t i) const { return i >= 0 && i < ButtonCount(); }
  TOrbaPrevImages* Held(TObjectHandle handle) const;
  // A new button item or sub-image of Button at (X, Y), named internally.
  TOrbaPrevImages* NewPart(int32_t button, int32_t x, int32_t y, bool sub);
  const std::string& File(int32_t button, int32_t role) const;
  bool Has(int32_t button, int32_t role) const { return !File(button, role).empty(); }
  void Dress(int32_t button, int32_t role, bool loop);
  // The button's resting picture: 12 when selected, else 0 when enabled, else 4.
  void DressResting(int32_t button);
  // Dresses the button in the first of Roles that it has a picture for; the
  // last role is taken in any case.
  void DressFirst(int32_t button, const std::vector<int32_t>& roles);
  // The pictures and event of the pointer entering (In) or leaving a button.
  void DressHover(int32_t button, bool in);
  void ShowSub(int32_t button, int32_t role, bool loop, int32_t priority);
  void ReportPlayEnd();
  // The first button item, in list order, under the pointer; -1 none.
  int32_t ButtonUnderPointer() const;
  void ClearButtons();
  void SetSelection(const std::string& caption, int32_t index);
  TArrayString Args(int32_t button) const;
};

void RegisterPrevMenuItem();

}  // namespace orba
