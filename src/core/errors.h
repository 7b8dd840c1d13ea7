// Exception classes shared by every layer.
//
// Messages are Shift-JIS bytes, as the player shows them; they are converted
// to UTF-8 only where they leave the program (a terminal, a message box).
#pragma once

#include <stdexcept>
#include <string>

namespace orba {

// Base of every error the player raises on purpose.
class EOrbaError : public std::runtime_error {
 public:
  explicit EOrbaError(const std::string& message) : std::runtime_error(message) {}
};

// A stream could not deliver or take the bytes asked for.
class EStreamError : public EOrbaError {
 public:
  using EOrbaError::EOrbaError;
};

// Stored data ended early or holds a count larger than the bytes left.
class EReadError : public EStreamError {
 public:
  EReadError();
  explicit EReadError(const std::string& message) : EStreamError(message) {}
};

class EWriteError : public EStreamError {
 public:
  EWriteError();
  explicit EWriteError(const std::string& message) : EStreamError(message) {}
};

// A file could not be opened or created. Where the system gave its reason
// (errno), the message is the path followed by that reason as strerror words
// it ("/games/a/game.dat: Permission denied"), and SystemError() holds it.
class EFOpenError : public EStreamError {
 public:
  explicit EFOpenError(const std::string& message) : EStreamError(message) {}
  // Path as a person reads it (Shift-JIS, "/" separators).
  EFOpenError(const std::string& path, int system_error);
  // The errno of the failed call; 0 when the message is all there is.
  int SystemError() const { return system_error_; }

 private:
  int system_error_ = 0;
};

// The system's words for an errno, as strerror gives them, in Shift-JIS
// (the words follow the locale's messages, which need not be ASCII).
std::string SystemReason(int system_error);

// Whether the errno of a failed open or lookup says that no file is there: a
// name or folder that does not exist, or a link, a device or a socket in the
// place of a file (which the player never opens). Such a failure is "no
// file" to a game; any other (no descriptor left, no access, a failing disk)
// is raised with its reason.
bool NamesNoFile(int system_error);

// zlib could not pack the data.
class EZCompressionError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

// Packed data that is damaged, ends early, or would unpack beyond the bound.
class EZDecompressionError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

}  // namespace orba
