// Steps that fail: each run must end within the tick (the tests carry a
// time limit through gtest's process timeout and a tick count), and the next
// command must be started.
#include <gtest/gtest.h>

#include "interp_env.h"

namespace orba::test {
namespace {

// A command that raises in Execute without moving, counting its calls.
class TRaising final : public TCommand {
 public:
  using TCommand::TCommand;
  int32_t Calls = 0;
  uint8_t GetOpcode() const override { return OP_Calc; }
  void Execute(TCallMan*, TPage*&, int32_t&) override {
    ++Calls;
    throw EOrbaError("failed");
  }
};

// Puts a raising command at the end of a page that is loaded from memory.
TRaising& AddRaising(TCallMan& cm, const std::string& page_name) {
  TPage* page = cm.GetPage(page_name, false);
  auto command = std::make_unique<TRaising>(page);
  command->Continue = 1;
  TRaising& result = *command;
  page->Commands.Add(std::move(command));
  return result;
}

TEST(InterpFaults, CommandThatRaisesAfterMovingStillLetsTheNextStart) {
  TInterp t;
  TPageBuilder p;
  // VarNew with an empty name moves on and then raises; the Wait after it
  // must be started, else it would wait for ever with no time set.
  p.VarNew("", PT_INT, "", 0).Wait("30").Log("done");
  t.Start(p);
  EXPECT_EQ(t.TicksUntil("done", 10), 3);
}

TEST(InterpFaults, CommandThatRaisesInPlaceEndsTheMainFlowsTick) {
  TInterp t;
  t.Start(TPageBuilder().Log("a"));
  TRaising& bad = AddRaising(t.Cm, "main.osb");
  t.Tick();
  EXPECT_EQ(std::make_tuple(t.Log(), bad.Calls, int(t.Cm.Continue)), std::make_tuple(std::string("a"), 1, 0));
  t.Tick();  // tried again once per tick
  EXPECT_EQ(bad.Calls, 2);
}

TEST(InterpFaults, CommandThatRaisesInPlaceEndsAHandlersTick) {
  TInterp t;
  t.Put("h.osb", TPageBuilder().Log("h"));
  t.Start(TPageBuilder().Wait("0"));
  TRaising& bad = AddRaising(t.Cm, "h.osb");
  t.Raise("btn", "h.osb:");
  t.Tick();
  EXPECT_EQ(std::make_tuple(t.Log(), bad.Calls, t.Cm.State), std::make_tuple(std::string("h"), 1, int32_t{RS_HANDLER}));
  t.Tick();
  EXPECT_EQ(bad.Calls, 2);
}

TEST(InterpFaults, MissingCurrentPageEndsTheRun) {
  TInterp t;
  t.Cm.CurrentPage = nullptr;
  t.Cm.Continue = 1;
  t.Tick();
  EXPECT_EQ(t.Cm.Continue, 0);
  // Events still run over a main flow without a page.
  t.Put("h.osb", TPageBuilder().Log("h"));
  t.Raise("btn", "h.osb:");
  t.Tick();
  EXPECT_EQ(t.Status(), TStatus("h", RS_MAIN, 0, 0));
}

TEST(InterpFaults, JumpOrCallToAnUnreadablePageLeavesTheCommandBehind) {
  TInterp t;
  t.Pages.Files["bad.osb"] = {0x73};
  t.Start(TPageBuilder().Log("a").Jump("bad.osb", 0).Call("bad.osb", 0, "", {}).PCReset("bad.osb", 0, false).Log("b"));
  t.Tick();
  EXPECT_EQ(t.Status(), TStatus("ab", RS_MAIN, 0, 0));
}

TEST(InterpFaults, TerminateSetsTheQuitFlagAndStays) {
  TInterp t;
  t.Start(TPageBuilder().Log("a").Terminate().Log("never"));
  t.Tick();
  EXPECT_EQ(std::make_tuple(int(QuitFlag), t.Host.Requests, t.Cm.PC), std::make_tuple(1, std::vector<std::string>{"close"}, 1));

  t.Tick();
  EXPECT_EQ(t.Log(), "a");
}

}  // namespace
}  // namespace orba::test
