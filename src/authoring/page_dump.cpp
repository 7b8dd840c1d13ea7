#include "authoring/page_dump.h"

#include <cmath>
#include <cstdio>

#include "core/streams/stream_encoding.h"
#include "platform/text_convert.h"
#include "script/interp/com_component.h"

namespace orba {

TDumpNode TDumpNode::MakeInt(int64_t v) {
  TDumpNode n;
  n.kind = Kind::Int;
  n.Int = v;
  return n;
}
TDumpNode TDumpNode::MakeBool(bool v) {
  TDumpNode n;
  n.kind = Kind::Bool;
  n.Flag = v;
  return n;
}
TDumpNode TDumpNode::MakeName(std::string v) {
  TDumpNode n;
  n.kind = Kind::Name;
  n.Bytes = std::move(v);
  return n;
}
TDumpNode TDumpNode::MakeText(std::string v) {
  TDumpNode n;
  n.kind = Kind::Text;
  n.Bytes = std::move(v);
  return n;
}
TDumpNode TDumpNode::MakeBytes(std::string v) {
  TDumpNode n;
  n.kind = Kind::Bytes;
  n.Bytes = std::move(v);
  return n;
}
TDumpNode TDumpNode::MakeList() {
  TDumpNode n;
  n.kind = Kind::List;
  return n;
}
TDumpNode TDumpNode::MakeObject() {
  TDumpNode n;
  n.kind = Kind::Object;
  return n;
}
TDumpNode& TDumpNode::Add(const std::string& key, TDumpNode value) {
  Members.push_back(TDumpMember{key, std::move(value)});
  return Members.back().Value;
}

namespace {

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

std::string FloatText(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

std::string Quoted(const std::string& sjis) { return "\"" + SjisToUtf8(sjis) + "\""; }

// The name a reference operand stands for (any other value gives its text).
std::string RefName(const TCustomParam& p) {
  const auto* ref = dynamic_cast<const TParamVar*>(&p);
  return ref != nullptr ? ref->Name : p.GetAsStr();
}

std::string OperandText(const TOpeData& op, size_t i) {
  const TCustomParam& p = *op.Operands[i];
  switch (op.OperandCode(i)) {
    case OPD_INT: return std::to_string(p.GetAsInt());
    case OPD_FLOAT: return FloatText(static_cast<double>(p.GetAsFloat()));
    case OPD_FLAG: return p.GetAsFlag() ? "TRUE" : "FALSE";
    case OPD_STR: return Quoted(p.GetAsStr());
    case OPD_VAR: return SjisToUtf8(RefName(p));
    default:
      return SjisToUtf8(RefName(p)) + "<code " +
             std::to_string(op.OperandCode(i)) + ">";
  }
}

std::string OpText(const TOpeData& op) {
  std::vector<std::string> args;
  for (size_t i = 0; i < op.Operands.size(); ++i) args.push_back(OperandText(op, i));
  auto joined = [&](size_t from) {
    std::string s;
    for (size_t i = from; i < args.size(); ++i) s += (i > from ? ", " : "") + args[i];
    return s;
  };
  std::string rhs;
  const char* text = op.Op < kOperatorCount ? OperatorTexts[op.Op] : "";
  if (op.Op == ocTo && args.size() == 1) {
    rhs = args[0];
  } else if (op.Op == ocFunc) {
    rhs = std::string(op.FuncId < kFuncCount ? FuncNames[op.FuncId] : "?") + "(" + joined(0) + ")";
  } else if (op.Op == ocDimTo && !args.empty()) {
    rhs = args[0] + "[" + joined(1) + "]";
  } else if (text[0] != '\0' && args.size() == 2) {
    rhs = args[0] + " " + text + " " + args[1];
  } else {
    rhs = std::string(op.Op < kOperatorCount ? OperatorNames[op.Op] : "op?") + "(" + joined(0) + ")";
  }
  return SjisToUtf8(op.Dest) + " := " + rhs;
}

TDumpNode OperandNode(const TOpeData& op, size_t i) {
  const TCustomParam& p = *op.Operands[i];
  const uint8_t code = op.OperandCode(i);
  TDumpNode n = TDumpNode::MakeObject();
  n.Add("code", TDumpNode::MakeInt(code));
  switch (code) {
    case OPD_INT: n.Add("int", TDumpNode::MakeInt(p.GetAsInt())); break;
    case OPD_FLOAT: {
      uint8_t raw[10];
      FloatToBytes(p.GetAsFloat(), raw);
      TDumpNode f;
      f.kind = TDumpNode::Kind::Float;
      f.Float = static_cast<double>(p.GetAsFloat());
      n.Add("float", f);
      n.Add("bytes", TDumpNode::MakeBytes(std::string(reinterpret_cast<char*>(raw), 10)));
      break;
    }
    case OPD_FLAG: n.Add("flag", TDumpNode::MakeBool(p.GetAsFlag())); break;
    case OPD_STR: n.Add("str", TDumpNode::MakeText(p.GetAsStr())); break;
    default: n.Add("var", TDumpNode::MakeText(RefName(p))); break;
  }
  return n;
}

// Collects the visited fields of one command.
class TRecordDumper final : public TRecordIO {
 public:
  TRecordDumper(int32_t version, TDumpNode& fields) : TRecordIO(version), fields_(fields) {}

  void Expr(const char* name, TOrbaParser& value, int32_t since) override {
    fields_.Add(name, Stored(since) ? DumpExpression(value) : TDumpNode());
  }
  void Str(const char* name, std::string& value) override {
    fields_.Add(name, TDumpNode::MakeText(value));
  }
  void Int(const char* name, int32_t& value, int32_t since) override {
    fields_.Add(name, Stored(since) ? TDumpNode::MakeInt(value) : TDumpNode());
  }
  void Byte(const char* name, uint8_t& value) override { fields_.Add(name, TDumpNode::MakeInt(value)); }
  void ExprList(const char* name, std::vector<std::unique_ptr<TOrbaParser>>& list, bool) override {
    TDumpNode n = TDumpNode::MakeList();
    for (const auto& e : list) n.Items.push_back(DumpExpression(*e));
    fields_.Add(name, std::move(n));
  }
  void Blob(const char* name, TKsMemoryStream& bytes) override {
    const auto& b = bytes.Bytes();
    fields_.Add(name, TDumpNode::MakeBytes(std::string(b.begin(), b.end())));
  }
  void PropExpr(uint8_t prop_id, TOrbaParser& value) override {
    if (expressions_ == nullptr) expressions_ = &fields_.Add("expressions", TDumpNode::MakeObject());
    TDumpNode e = TDumpNode::MakeObject();
    e.Add("prop", TDumpNode::MakeName(prop_id < kPropCount ? PropNames[prop_id] : "?"));
    TDumpNode ops = DumpExpression(value);
    e.Display = ops.Display;
    e.Add("ops", std::move(ops.Members.front().Value));
    expressions_->Add(std::to_string(prop_id), std::move(e));
  }

 private:
  TDumpNode& fields_;
  TDumpNode* expressions_ = nullptr;
};

void JsonString(std::string& out, const std::string& s) {
  out += '"';
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
}

void ToJson(std::string& out, const TDumpNode& n) {
  switch (n.kind) {
    case TDumpNode::Kind::Null: out += "null"; break;
    case TDumpNode::Kind::Int: out += std::to_string(n.Int); break;
    case TDumpNode::Kind::Bool: out += n.Flag ? "true" : "false"; break;
    case TDumpNode::Kind::Float:
      if (std::isfinite(n.Float)) {
        out += FloatText(n.Float);
      } else {
        JsonString(out, FloatText(n.Float));
      }
      break;
    case TDumpNode::Kind::Name: JsonString(out, n.Bytes); break;
    case TDumpNode::Kind::Text:
    case TDumpNode::Kind::Bytes: JsonString(out, Hex(n.Bytes)); break;
    case TDumpNode::Kind::List:
      out += '[';
      for (size_t i = 0; i < n.Items.size(); ++i) {
        if (i > 0) out += ',';
        ToJson(out, n.Items[i]);
      }
      out += ']';
      break;
    case TDumpNode::Kind::Object:
      out += '{';
      for (size_t i = 0; i < n.Members.size(); ++i) {
        if (i > 0) out += ',';
        JsonString(out, n.Members[i].Key);
        out += ':';
        ToJson(out, n.Members[i].Value);
      }
      out += '}';
      break;
  }
}

std::string ScalarText(const TDumpNode& n) {
  if (!n.Display.empty()) return n.Display;
  switch (n.kind) {
    case TDumpNode::Kind::Null: return "(not stored)";
    case TDumpNode::Kind::Int: return std::to_string(n.Int);
    case TDumpNode::Kind::Bool: return n.Flag ? "TRUE" : "FALSE";
    case TDumpNode::Kind::Float: return FloatText(n.Float);
    case TDumpNode::Kind::Name: return n.Bytes;
    case TDumpNode::Kind::Text: return Quoted(n.Bytes);
    case TDumpNode::Kind::Bytes: return Hex(n.Bytes) + " (" + std::to_string(n.Bytes.size()) + " bytes)";
    default: return "";
  }
}

void FieldsToText(std::string& out, const TDumpNode& fields, const std::string& indent) {
  for (const auto& [key, value] : fields.Members) {
    if (key == "expressions") {
      for (const auto& [id, e] : value.Members) {
        out += indent + e.Members.front().Value.Bytes + " (" + id + ") = " + e.Display + "\n";
      }
    } else if (value.kind == TDumpNode::Kind::List) {
      out += indent + key + " = " + std::to_string(value.Items.size()) + " item(s)\n";
      for (size_t i = 0; i < value.Items.size(); ++i) {
        out += indent + "  [" + std::to_string(i) + "] " + ScalarText(value.Items[i]) + "\n";
      }
    } else {
      out += indent + key + " = " + ScalarText(value) + "\n";
    }
  }
}

}  // namespace

std::string ExpressionToText(const TOrbaParser& e) {
  if (e.Empty()) return "(empty)";
  std::string s;
  for (int32_t i = 0; i < e.Count(); ++i) s += (i > 0 ? "; " : "") + OpText(*e.GetOp(i));
  return s;
}

TDumpNode DumpExpression(const TOrbaParser& e) {
  TDumpNode n = TDumpNode::MakeObject();
  TDumpNode ops = TDumpNode::MakeList();
  for (int32_t i = 0; i < e.Count(); ++i) {
    const TOpeData& op = *e.GetOp(i);
    TDumpNode o = TDumpNode::MakeObject();
    o.Add("op", TDumpNode::MakeInt(op.Op));
    o.Add("dest", TDumpNode::MakeText(op.Dest));
    if (op.Op == ocFunc) o.Add("func_id", TDumpNode::MakeInt(op.FuncId));
    TDumpNode operands = TDumpNode::MakeList();
    for (size_t k = 0; k < op.Operands.size(); ++k) operands.Items.push_back(OperandNode(op, k));
    o.Add("operands", std::move(operands));
    ops.Items.push_back(std::move(o));
  }
  n.Add("ops", std::move(ops));
  n.Display = ExpressionToText(e);
  return n;
}

TDumpNode DumpCommand(TCommand& command, int32_t index) {
  const uint8_t opcode = command.GetOpcode();
  TDumpNode n = TDumpNode::MakeObject();
  n.Add("index", TDumpNode::MakeInt(index));
  n.Add("opcode", TDumpNode::MakeInt(opcode));
  n.Add("opcode_byte", TDumpNode::MakeInt(opcode | command.OpcodeHighBit));
  n.Add("name", TDumpNode::MakeName(OpcodeNames[opcode]));
  n.Add("class", TDumpNode::MakeName(CommandClassName(opcode)));
  n.Add("depth", TDumpNode::MakeInt(command.Depth));
  n.Add("skip", TDumpNode::MakeInt(command.Skip));
  n.Add("continue", TDumpNode::MakeInt(command.Continue));
  n.Add("line", TDumpNode::MakeInt(command.Line));
  TDumpNode& fields = n.Add("fields", TDumpNode::MakeObject());
  TRecordDumper dumper(command.PageVersion(), fields);
  command.Fields(dumper);
  // A component command without any property still lists its (empty) set.
  if (dynamic_cast<TComComponent*>(&command) != nullptr &&
      (fields.Members.empty() || fields.Members.front().Key != "expressions")) {
    fields.Members.insert(fields.Members.begin(), {"expressions", TDumpNode::MakeObject()});
  }
  return n;
}

TDumpNode DumpPage(const TPage& page) {
  TDumpNode n = TDumpNode::MakeObject();
  n.Add("file", TDumpNode::MakeText(page.Name));
  n.Add("version", TDumpNode::MakeInt(page.Version));
  n.Add("result_type", TDumpNode::MakeInt(page.ResultType));
  const bool too_old = page.Version < kOldestPageVersion;
  n.Add("loaded", TDumpNode::MakeBool(!too_old && page.Version <= kNewestPageVersion));
  n.Add("too_old", TDumpNode::MakeBool(too_old));
  TDumpNode masks = TDumpNode::MakeList();
  for (const TPropMask& m : page.PropertyMasks) {
    masks.Items.push_back(TDumpNode::MakeBytes(std::string(m.begin(), m.end())));
  }
  n.Add("masks", std::move(masks));
  TDumpNode commands = TDumpNode::MakeList();
  for (int32_t i = 0; i < page.Commands.Count(); ++i) {
    commands.Items.push_back(DumpCommand(*page.Commands.GetItem(i), i));
  }
  n.Add("commands", std::move(commands));
  return n;
}

std::string DumpToJson(const TDumpNode& node) {
  std::string out;
  ToJson(out, node);
  return out;
}

std::string PageToJson(const TPage& page) { return DumpToJson(DumpPage(page)) + "\n"; }

std::string PageToText(const TPage& page) {
  const TDumpNode n = DumpPage(page);
  std::string out = "page " + SjisToUtf8(page.Name) + "\nversion " + std::to_string(page.Version) +
                    "\nresult type " + std::to_string(page.ResultType) + "\n";
  if (page.Version < kOldestPageVersion) out += "too old: nothing was read\n";
  if (page.Version > kNewestPageVersion) out += "newer than this player: no commands were read\n";
  for (int op = 0; op < kOpcodeCount; ++op) {
    const TPropMask& m = page.PropertyMasks[op];
    if (m == TPropMask{}) continue;
    out += "bitmap " + std::to_string(op) + " " + OpcodeNames[op] + ": " +
           Hex(std::string(m.begin(), m.end())) + "\n";
  }
  const TDumpNode& commands = n.Members.back().Value;
  out += "commands " + std::to_string(commands.Items.size()) + "\n";
  for (const TDumpNode& c : commands.Items) {
    auto get = [&](const char* key) -> const TDumpNode& {
      for (const auto& [k, v] : c.Members)
        if (k == key) return v;
      return c;
    };
    out += std::to_string(get("index").Int) + ": " + get("name").Bytes + " (opcode " +
           std::to_string(get("opcode_byte").Int) + ") depth " + std::to_string(get("depth").Int) +
           " skip " + std::to_string(get("skip").Int) + " continue " +
           std::to_string(get("continue").Int) + " line " + std::to_string(get("line").Int) + "\n";
    FieldsToText(out, get("fields"), "    ");
  }
  return out;
}

}  // namespace orba
