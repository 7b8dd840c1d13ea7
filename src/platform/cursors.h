// The look of the mouse pointer over the game's window: the system's arrow
// or a colour cursor loaded from a game's cursor file. The SDL back end
// shows it; the headless one records which cursor is shown and names each
// change in the trace. Window thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orba {

// The largest cursor the platform shows, either side; a cursor file whose
// picture is larger is refused before its pixels are made.
inline constexpr int32_t kMaxCursorSide = 256;

struct TCursorImage {
  std::string Name;  // the file name it came from (Shift-JIS)
  int32_t Width = 0, Height = 0;
  std::vector<uint8_t> Rgba;  // 4 x Width x Height, rows top down
  int32_t HotX = 0, HotY = 0;
};

class TCursorService {
 public:
  virtual ~TCursorService() = default;
  virtual void ShowCustom(const TCursorImage& image) = 0;
  virtual void ShowDefault() = 0;
};

// The service in use; until one is installed, one that shows nothing.
TCursorService& Cursors();
// Installs a service (nullptr restores the one that shows nothing) and
// returns the previous one.
std::shared_ptr<TCursorService> SetCursorService(std::shared_ptr<TCursorService> service);

}  // namespace orba
