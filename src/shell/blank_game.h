// The player's screen while no game is running in it: a black screen of the
// default size that paints once and then waits to be closed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shell/tick_client.h"

namespace orba {

class TBlankGame : public TTickClient {
 public:
  static constexpr int32_t kWidth = 640;
  static constexpr int32_t kHeight = 480;

  explicit TBlankGame(std::string title);

  int32_t ScreenWidth() const override { return kWidth; }
  int32_t ScreenHeight() const override { return kHeight; }
  std::string Title() const override { return title_; }
  void Present(TVideo& video) override;

 private:
  std::string title_;
  std::vector<uint32_t> screen_;
  bool shown_ = false;
};

}  // namespace orba
