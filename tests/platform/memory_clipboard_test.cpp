// The player's own clipboard: formats by name, blocks with their locks,
// what the clipboard owns, and the calls a test makes fail.
#include "platform/memory_clipboard.h"

#include <gtest/gtest.h>

namespace orba {
namespace {

TEST(MemoryClipboard, FormatsAreNumberedByNameFromTheRegisteredRange) {
  TMemoryClipboard clip;
  const TClipFormat gif = clip.RegisterFormat("GIF Image");
  EXPECT_GE(gif, kFirstRegisteredFormat);
  EXPECT_EQ(clip.RegisterFormat("GIF Image"), gif);
  EXPECT_NE(clip.RegisterFormat("Other"), gif);
  EXPECT_EQ(clip.RegisterFormat(""), 0u);
  clip.Fail(TClipboardCall::RegisterFormat);
  EXPECT_EQ(clip.RegisterFormat("New"), 0u);
}

TEST(MemoryClipboard, BlocksAreZeroFilledAndCountTheirLocks) {
  TMemoryClipboard clip;
  const TDataBlock block = clip.AllocBlock(5);
  ASSERT_NE(block, 0u);
  EXPECT_EQ(clip.BlockSize(block), 5u);
  uint8_t* bytes = clip.LockBlock(block);
  ASSERT_NE(bytes, nullptr);
  EXPECT_EQ(bytes[0] | bytes[4], 0);
  EXPECT_EQ(clip.LockBlock(block), bytes);
  EXPECT_EQ(clip.LocksHeld(), 2);
  EXPECT_TRUE(clip.UnlockBlock(block));
  EXPECT_TRUE(clip.UnlockBlock(block));
  EXPECT_FALSE(clip.UnlockBlock(block));
  clip.FreeBlock(block);
  EXPECT_EQ(clip.LockBlock(block), nullptr);
  EXPECT_EQ(clip.BlockSize(block), 0u);
  EXPECT_EQ(clip.AllocBlock(TMemoryClipboard::kMaxBlockSize + 1), 0u);
}

// Writing and reading need the clipboard open; a set block becomes the
// clipboard's (FreeBlock leaves it), a replaced one and Empty free theirs.
TEST(MemoryClipboard, TheClipboardOwnsWhatIsSetOnIt) {
  TMemoryClipboard clip;
  const TDataBlock a = clip.AllocBlock(1), b = clip.AllocBlock(2);
  EXPECT_EQ(clip.SetData(8, a), 0u);
  ASSERT_TRUE(clip.Open());
  EXPECT_FALSE(clip.Open());
  EXPECT_EQ(clip.SetData(8, a), a);
  clip.FreeBlock(a);
  EXPECT_EQ(clip.GetData(8), a);
  EXPECT_EQ(clip.BlockSize(a), 1u);
  EXPECT_EQ(clip.SetData(8, b), b);
  EXPECT_EQ(clip.BlockSize(a), 0u);
  EXPECT_EQ(clip.GetData(9), 0u);
  ASSERT_TRUE(clip.Close());
  EXPECT_EQ(clip.GetData(8), 0u);
  ASSERT_TRUE(clip.Open());
  EXPECT_TRUE(clip.Empty());
  EXPECT_EQ(clip.LiveBlocks(), 0u);
  EXPECT_TRUE(clip.Formats().empty());
  EXPECT_TRUE(clip.Close());
}

// Each call made to fail fails alone and leaves what was there.
TEST(MemoryClipboard, AFailedCallChangesNothing) {
  TMemoryClipboard clip;
  const TDataBlock held = clip.AllocBlock(3), spare = clip.AllocBlock(1);
  ASSERT_TRUE(clip.Open());
  ASSERT_EQ(clip.SetData(8, held), held);
  clip.Fail(TClipboardCall::SetData);
  EXPECT_EQ(clip.SetData(9, spare), 0u);
  EXPECT_EQ(clip.BlockSize(spare), 1u);  // still the caller's
  clip.Fail(TClipboardCall::GetData);
  EXPECT_EQ(clip.GetData(8), 0u);
  clip.Fail(TClipboardCall::Empty);
  EXPECT_FALSE(clip.Empty());
  clip.Fail(TClipboardCall::Close);
  EXPECT_FALSE(clip.Close());
  EXPECT_TRUE(clip.IsOpen());
  clip.Fail(TClipboardCall::AllocBlock);
  EXPECT_EQ(clip.AllocBlock(1), 0u);
  clip.Fail(TClipboardCall::LockBlock);
  EXPECT_EQ(clip.LockBlock(held), nullptr);
  for (TClipboardCall call : {TClipboardCall::SetData, TClipboardCall::GetData, TClipboardCall::Empty,
                              TClipboardCall::Close, TClipboardCall::AllocBlock, TClipboardCall::LockBlock})
    clip.Fail(call, false);
  EXPECT_EQ(clip.GetData(8), held);
  EXPECT_EQ(clip.Formats(), std::set<TClipFormat>{8});
  ASSERT_TRUE(clip.Close());
  clip.Fail(TClipboardCall::Open);
  EXPECT_FALSE(clip.Open());
  EXPECT_FALSE(clip.IsOpen());
}

// The player's own clipboard answers until a program installs another.
TEST(MemoryClipboard, ClipboardIsThePlayersOwnUntilAnotherIsInstalled) {
  TClipboard& own = Clipboard();
  auto installed = std::make_shared<TMemoryClipboard>();
  EXPECT_EQ(SetClipboard(installed), nullptr);
  EXPECT_EQ(&Clipboard(), installed.get());
  EXPECT_EQ(SetClipboard(nullptr), installed);
  EXPECT_EQ(&Clipboard(), &own);
}

}  // namespace
}  // namespace orba
