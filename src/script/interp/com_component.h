// The object-creating commands and the cabinet commands. Each holds one
// compiled expression per property id that the property bitmap of its opcode
// in its page carries; the record is exactly those expressions, in ascending
// property id order (the cabinet commands add their Invert and name
// expressions).
//
// When they run, the object manager creates the item and applies the
// expressions (object_services.h).
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "core/vocab/vocab.h"
#include "script/interp/com_flow.h"
#include "script/interp/object_services.h"

namespace orba {

class TComComponent : public TCommand {
 public:
  // Creates an empty expression for every property id whose bit is set in
  // the page's bitmap of `opcode` (ids 165 to 167 of the bitmap are never
  // looked at). Without a page no expression exists.
  TComComponent(TPage* page, uint8_t opcode);

  std::array<std::unique_ptr<TOrbaParser>, kPropCount> Expressions;

  void Fields(TRecordIO& io) override;
  // Steps past the command and has the object manager create its item.
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
};

class TComControl : public TComComponent {
 public:
  using TComComponent::TComComponent;
};

#define ORBA_COMPONENT_COMMAND(cls, base, op)          \
  class cls final : public base {                      \
   public:                                             \
    explicit cls(TPage* page) : base(page, op) {}      \
    ORBA_OPCODE_OF(op)                                 \
  };

ORBA_COMPONENT_COMMAND(TComBoxNew, TComControl, OP_BoxNew)
ORBA_COMPONENT_COMMAND(TComImgNew, TComControl, OP_ImgNew)
ORBA_COMPONENT_COMMAND(TComMesNew, TComControl, OP_MesNew)
ORBA_COMPONENT_COMMAND(TComMovie, TComControl, OP_Movie)
ORBA_COMPONENT_COMMAND(TComCinema, TComControl, OP_Cinema)
ORBA_COMPONENT_COMMAND(TComCaption, TComControl, OP_Caption)
ORBA_COMPONENT_COMMAND(TComBtnNew, TComControl, OP_Button)
ORBA_COMPONENT_COMMAND(TComParticleNew, TComControl, OP_ParticleNew)
ORBA_COMPONENT_COMMAND(TComFireNew, TComControl, OP_FireNew)
ORBA_COMPONENT_COMMAND(TComEditNew, TComControl, OP_EditNew)
ORBA_COMPONENT_COMMAND(TComMemoNew, TComControl, OP_MemoNew)
ORBA_COMPONENT_COMMAND(TComMapImgNew, TComControl, OP_MapImgNew)
ORBA_COMPONENT_COMMAND(TComWaveNew, TComControl, OP_WaveNew)
ORBA_COMPONENT_COMMAND(TComTileNew, TComControl, OP_TileNew)
ORBA_COMPONENT_COMMAND(TComSliderNew, TComControl, OP_SliderNew)
ORBA_COMPONENT_COMMAND(TComScrollbarNew, TComControl, OP_ScrollbarNew)
ORBA_COMPONENT_COMMAND(TComGaugeNew, TComControl, OP_GaugeNew)
ORBA_COMPONENT_COMMAND(TComCGCaption, TComControl, OP_CGCaption)
ORBA_COMPONENT_COMMAND(TComPrevMenuNew, TComControl, OP_PrevMenuNew)
ORBA_COMPONENT_COMMAND(TComSound, TComComponent, OP_Sound)

// The timer command hands its new timer item to the object manager.
class TComTimer final : public TComComponent {
 public:
  explicit TComTimer(TPage* page) : TComComponent(page, OP_Timer) {}
  ORBA_OPCODE_OF(OP_Timer)
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
};

// The menu command also remembers the menu item it created last.
class TComMenu final : public TComControl {
 public:
  explicit TComMenu(TPage* page) : TComControl(page, OP_Menu) {}
  ORBA_OPCODE_OF(OP_Menu)
  TObjectHandle MenuItem;
};

// SaveCabinet and LoadCabinet: the property expressions (the built-in
// bitmap holds PR_NAME only), then Invert and an unsigned count of name
// expressions.
class TComCabinet : public TComComponent {
 public:
  using TComComponent::TComComponent;
  TOrbaParser Invert;
  std::vector<std::unique_ptr<TOrbaParser>> Names;
  void Fields(TRecordIO& io) override;
  void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) override;
};

ORBA_COMPONENT_COMMAND(TComCabinetSave, TComCabinet, OP_SaveCabinet)
ORBA_COMPONENT_COMMAND(TComCabinetLoad, TComCabinet, OP_LoadCabinet)

#undef ORBA_COMPONENT_COMMAND

}  // namespace orba
