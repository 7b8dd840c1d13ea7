// Listings of a loaded page: every command with every field of its record,
// as JSON (texts and bytes as hex of their Shift-JIS bytes) for tools and
// tests, or as readable text (texts converted to UTF-8) for people.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "script/interp/page.h"

namespace orba {

struct TDumpMember;

// A tree of listed values.
struct TDumpNode {
  enum class Kind { Null, Int, Bool, Float, Name, Text, Bytes, List, Object };
  Kind kind = Kind::Null;
  int64_t Int = 0;
  bool Flag = false;
  double Float = 0;
  std::string Bytes;    // Name: ASCII; Text: Shift-JIS; Bytes: raw
  std::string Display;  // a readable one-line form (expressions), when set
  std::vector<TDumpNode> Items;
  std::vector<TDumpMember> Members;  // an object's named values, in order

  static TDumpNode MakeInt(int64_t v);
  static TDumpNode MakeBool(bool v);
  static TDumpNode MakeName(std::string v);
  static TDumpNode MakeText(std::string v);
  static TDumpNode MakeBytes(std::string v);
  static TDumpNode MakeList();
  static TDumpNode MakeObject();
  TDumpNode& Add(const std::string& key, TDumpNode value);
};

struct TDumpMember {
  std::string Key;
  TDumpNode Value;
};

TDumpNode DumpExpression(const TOrbaParser& e);
TDumpNode DumpCommand(TCommand& command, int32_t index);
TDumpNode DumpPage(const TPage& page);

std::string DumpToJson(const TDumpNode& node);
std::string PageToJson(const TPage& page);
std::string PageToText(const TPage& page);
// One line per operation: "dest := left op right" and the like.
std::string ExpressionToText(const TOrbaParser& e);

}  // namespace orba
