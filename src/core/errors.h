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

// A file could not be opened or created.
class EFOpenError : public EStreamError {
 public:
  explicit EFOpenError(const std::string& message) : EStreamError(message) {}
};

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
