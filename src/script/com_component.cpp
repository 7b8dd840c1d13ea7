#include "script/com_component.h"

#include "script/page.h"

namespace orba {

TComComponent::TComComponent(TPage* page, uint8_t opcode) : TCommand(page) {
  if (page == nullptr) return;
  const auto& mask = page->PropertyMasks.at(opcode & 0x7F);
  for (int id = 0; id < kPropCount; ++id) {
    if ((mask[id / 8] >> (id % 8)) & 1) Expressions[id] = std::make_unique<TOrbaParser>();
  }
}

void TComComponent::Fields(TRecordIO& io) {
  for (int id = 0; id < kPropCount; ++id) {
    if (Expressions[id]) io.PropExpr(static_cast<uint8_t>(id), *Expressions[id]);
  }
}

void TComCabinet::Fields(TRecordIO& io) {
  TComComponent::Fields(io);
  io.Expr("Invert", Invert);
  io.ExprList("Names", Names, true);
}

}  // namespace orba
