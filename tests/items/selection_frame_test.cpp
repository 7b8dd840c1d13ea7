// The selection frame of a painted control: two pixels of the 2 x 2
// selection pattern along each side, each side's pattern anchored to its
// own corner.
#include <gtest/gtest.h>

#include <string>

#include "items/base_list.h"
#include "items/box.h"
#include "items/orba_globals.h"

namespace orba {
namespace {

// A box whose frame can be switched on.
class TFramedBox final : public TOrbaBox {
 public:
  using TOrbaBox::TOrbaBox;
  void Frame() { SetSelFrame(true); }
};

// The box (2, 1)-(9, 8), 7 x 7: row by row, 'W' white, 'k' black of the
// pattern (white where column and row within the band are both even or
// both odd), '.' the box's own grey. The bands are filled top, bottom,
// left, right, later ones over the corners: the bottom band (rows 6, 7)
// restarts the pattern at its own corner, the left band (columns 2, 3)
// runs from row 1 down, the right band (columns 7, 8) starts white at
// (7, 1), so the corners where bands meet out of phase differ from the top
// band's run.
TEST(SelectionFrame, TwoPixelsOfThePatternAnchoredToEachSide) {
  InitOrbaGlobals();
  {
    TOrbaBaseList m;
    m.SetWidth(12);
    m.SetHeight(10);
    auto* box = NewOrbaObject<TFramedBox>(&m);
    box->SetParent(m.ActiveBase());
    box->SetBounds(2, 1, 7, 7);
    box->SetColor(0x404040);
    box->Frame();
    m.ActiveBase()->InvalidateAll();
    m.Draw();
    std::string rows;
    for (int32_t y = 1; y < 8; ++y) {
      for (int32_t x = 2; x < 9; ++x) {
        const uint32_t p = m.Composition.GetPixel(x, y) & 0xFFFFFF;
        rows += p == 0xFFFFFF ? 'W' : p == 0 ? 'k' : '.';
      }
      rows += '\n';
    }
    EXPECT_EQ(rows,
              "WkWkWWk\n"
              "kWkWkkW\n"
              "Wk...Wk\n"
              "kW...kW\n"
              "Wk...Wk\n"
              "kWWkWkW\n"
              "WkkWkWk\n");
  }
  DoneOrbaGlobals();
}

}  // namespace
}  // namespace orba
