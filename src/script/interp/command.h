// The base of the 61 script commands, the visitor that reads, writes and
// lists their records, the command list of a page and the command factory.
//
// A command record in a page file carries no length: the common header
// (Depth, Skip, Continue, Line) and then the fields of the command class, in
// an order and with page-version gates fixed per class. Each class lists its
// fields once, in Fields(), and the same list drives reading, writing and
// the readable dump.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/streams/big_stream.h"
#include "script/expr/parser_record.h"
#include "script/interp/page_versions.h"

namespace orba {

class TPage;
class TCallMan;  // the interpreter's run state
class TRecordIO;

class TCommand {
 public:
  explicit TCommand(TPage* page) : Page(page) {}
  TCommand(const TCommand&) = delete;
  TCommand& operator=(const TCommand&) = delete;
  virtual ~TCommand() = default;

  TPage* Page;
  uint8_t Continue = 0;
  uint8_t Skip = 0;
  int32_t Line = 0;
  int32_t Depth = 0;
  // Bit 7 of the stored opcode byte: ignored by the player, kept so that a
  // page is written back as it was read.
  uint8_t OpcodeHighBit = 0;

  // The virtual operations, in slot order.
  virtual uint8_t GetOpcode() const = 0;
  virtual bool GetContinue() const { return Continue != 0; }
  virtual bool GetSkip() const { return Skip != 0; }
  virtual void SetSkip(bool value) { Skip = value ? 1 : 0; }
  virtual bool GetEventLock() const { return false; }
  // (slot 5, Create, is the constructor)
  virtual bool MatchLabel(const std::string& name) const { return false; }
  // Reads the common header, then the class's fields.
  virtual void LoadFromStream(TKsBigStream& stream);
  // Run-time operations, overridden by each command that does something when
  // it runs: here Start, SaveState, RestoreState and Abort do nothing and
  // Execute only steps past the command.
  virtual void Start(TCallMan* run_state) {}
  virtual void Execute(TCallMan* run_state, TPage*& page, int32_t& pc) { ++pc; }
  virtual void SaveState(std::unique_ptr<TKsMemoryStream>& stream) {}
  virtual void RestoreState(TKsBigStream& stream) {}
  virtual void Abort() {}
  virtual bool GetYield() const { return false; }

  // The inverse of LoadFromStream (without the opcode byte).
  void SaveToStream(TKsBigStream& stream) const;
  // Lists the class's own fields, after the common header.
  virtual void Fields(TRecordIO& io) {}

  // The page version that decides which fields the record stores.
  int32_t PageVersion() const;
};

// Visits the fields of a command record. `since` is the first page version
// whose records store the field; below it a reader leaves the field as it is
// (an empty expression, 0) and a writer skips it.
class TRecordIO {
 public:
  explicit TRecordIO(int32_t version) : Version(version) {}
  virtual ~TRecordIO() = default;
  int32_t Version;

  bool Stored(int32_t since) const { return Version >= since; }

  virtual void Expr(const char* name, TOrbaParser& value, int32_t since = 0) = 0;
  virtual void Str(const char* name, std::string& value) = 0;
  virtual void Int(const char* name, int32_t& value, int32_t since = 0) = 0;
  virtual void Byte(const char* name, uint8_t& value) = 0;
  // A count, then that many expressions; the count is a signed or an
  // unsigned 32-bit integer, as the record stores it.
  virtual void ExprList(const char* name, std::vector<std::unique_ptr<TOrbaParser>>& list,
                        bool unsigned_count) = 0;
  // An int32 byte count, then the bytes.
  virtual void Blob(const char* name, TKsMemoryStream& bytes) = 0;
  // One property expression of an object-creating command.
  virtual void PropExpr(uint8_t prop_id, TOrbaParser& value) = 0;
};

class TRecordReader final : public TRecordIO {
 public:
  TRecordReader(TKsBigStream& stream, int32_t version) : TRecordIO(version), stream_(stream) {}
  void Expr(const char* name, TOrbaParser& value, int32_t since) override;
  void Str(const char* name, std::string& value) override;
  void Int(const char* name, int32_t& value, int32_t since) override;
  void Byte(const char* name, uint8_t& value) override;
  void ExprList(const char* name, std::vector<std::unique_ptr<TOrbaParser>>& list,
                bool unsigned_count) override;
  void Blob(const char* name, TKsMemoryStream& bytes) override;
  void PropExpr(uint8_t prop_id, TOrbaParser& value) override;

 private:
  TKsBigStream& stream_;
};

class TRecordWriter final : public TRecordIO {
 public:
  TRecordWriter(TKsBigStream& stream, int32_t version) : TRecordIO(version), stream_(stream) {}
  void Expr(const char* name, TOrbaParser& value, int32_t since) override;
  void Str(const char* name, std::string& value) override;
  void Int(const char* name, int32_t& value, int32_t since) override;
  void Byte(const char* name, uint8_t& value) override;
  void ExprList(const char* name, std::vector<std::unique_ptr<TOrbaParser>>& list,
                bool unsigned_count) override;
  void Blob(const char* name, TKsMemoryStream& bytes) override;
  void PropExpr(uint8_t prop_id, TOrbaParser& value) override;

 private:
  TKsBigStream& stream_;
};

// A page's commands in file order; it owns them.
class TComList {
 public:
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  TCommand* GetItem(int32_t index) const { return items_.at(static_cast<size_t>(index)).get(); }
  void Add(std::unique_ptr<TCommand> command) { items_.push_back(std::move(command)); }
  void Clear() { items_.clear(); }
  void Swap(TComList& other) { items_.swap(other.items_); }

 private:
  std::vector<std::unique_ptr<TCommand>> items_;
};

// Creates the command class of (opcode and 0x7F); 61 and above raise
// "不正なコマンド".
std::unique_ptr<TCommand> CreateCommand(TPage* page, uint8_t opcode);

// The class name of an opcode's command ("TComIf" ...), for listings.
const char* CommandClassName(uint8_t opcode);

// "不正なコマンド"
inline constexpr char kMsgBadCommand[] = "\x95\x73\x90\xb3\x82\xc8\x83\x52\x83\x7d\x83\x93\x83\x68";

// The running-state header "orba100" that commands write before their state.
// State without the header (version 0) lacks the flags added with it: the
// wait's hold flag, a held object's event lock, the flip's two flags.
inline constexpr int32_t kCommandStateFlagsVersion = 100;
void WriteVersionHeader(TKsBigStream& stream);
// Reads 7 bytes; "orba" and three digits give their value (0 when they are
// no number); anything else puts the position back and gives 0.
int32_t ReadVersionHeader(TKsBigStream& stream);

}  // namespace orba
