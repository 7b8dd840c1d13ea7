#include "script/interp/com_component.h"

#include "script/interp/call_man.h"
#include "script/interp/com_run.h"
#include "script/interp/page.h"

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

void TComComponent::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  ++pc;
  const TObjectHandle item = run_state->Objects().CreateItem(*this);
  if (auto* menu = dynamic_cast<TComMenu*>(this)) menu->MenuItem = item;
}

void TComCabinet::Execute(TCallMan* run_state, TPage*& page, int32_t& pc) {
  ++pc;
  TCallMan& rs = *run_state;
  std::string name;
  if (Expressions[PR_NAME]) name = EvalStr(*Expressions[PR_NAME], rs);
  const bool save = GetOpcode() == OP_SaveCabinet;
  // Loading needs an existing cabinet; it is looked up before anything runs.
  if (!save && name.empty()) return;
  const bool invert = EvalCondition(Invert, rs);
  std::vector<std::string> names;
  std::vector<bool> valid;
  for (auto& expression : Names) {
    const TCustomParam* value = Evaluate(*expression, rs);
    names.push_back(value != nullptr ? value->GetAsStr() : std::string());
    valid.push_back(value != nullptr);
  }
  rs.Objects().MoveCabinet(name, save, invert, names, valid);
}

void TComCabinet::Fields(TRecordIO& io) {
  TComComponent::Fields(io);
  io.Expr("Invert", Invert);
  io.ExprList("Names", Names, true);
}

}  // namespace orba
