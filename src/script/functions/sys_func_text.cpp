// Text functions: conversion between numbers and text, byte- and
// character-indexed substrings, comparison, search, case and width, paths.
#include <algorithm>

#include "core/files/path_utils.h"
#include "core/strings/sjis_case.h"
#include "core/strings/sjis_string.h"
#include "core/strings/text_utils.h"
#include "script/functions/sys_func_args.h"
#include "script/values/param_text.h"
#include "script/values/value_room.h"

namespace orba {

namespace {

std::string BadFormatMessage(const std::string& format) {
  // 書式文字列 '%s' は正しくないか引数の型と一致しません
  return "\x8f\x91\x8e\xae\x95\xb6\x8e\x9a\x97\xf1 '" + format +
         "' \x82\xcd\x90\xb3\x82\xb5\x82\xad\x82\xc8\x82\xa2\x82\xa9\x88\xf8\x90\x94\x82\xcc\x8c^\x82\xc6\x88\xea"
         "\x92v\x82\xb5\x82\xdc\x82\xb9\x82\xf1";
}

// Digits put in front of Digits to reach at least Width, capped.
std::string PadLeft(const std::string& digits, int64_t width) {
  width = std::min<int64_t>(width, kMaxFormatDigits);
  if (width <= static_cast<int64_t>(digits.size())) return digits;
  return std::string(static_cast<size_t>(width) - digits.size(), '0') + digits;
}

// "%." + Digits + "d" applied to Value.
std::string FormatWithDigits(int32_t value, const std::string& digits) {
  const std::string format = "%." + digits + "d";
  if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    throw EScriptError(BadFormatMessage(format));
  }
  int64_t width = 0;
  for (char c : digits) width = std::min<int64_t>(width * 10 + (c - '0'), kMaxFormatDigits);
  const int64_t v = value;
  const std::string magnitude = std::to_string(v < 0 ? -v : v);
  return (v < 0 ? "-" : "") + PadLeft(magnitude, width);
}

std::string IntToHexText(int32_t value, int32_t digits) {
  static const char kHex[] = "0123456789ABCDEF";
  uint32_t v = static_cast<uint32_t>(value);
  std::string out;
  do {
    out.insert(out.begin(), kHex[v & 15u]);
    v >>= 4;
  } while (v != 0);
  return PadLeft(out, digits);
}

int32_t Len(const std::string& s) { return static_cast<int32_t>(std::min<size_t>(s.size(), INT32_MAX)); }

// Byte-indexed Copy: Index below 1 counts as 1; past the end, or a negative
// count, gives "".
std::string CopyBytes(const std::string& s, int32_t index, int64_t count) {
  if (index < 1) index = 1;
  if (index > Len(s) || count < 0) return std::string();
  return s.substr(static_cast<size_t>(index - 1), static_cast<size_t>(std::min<int64_t>(count, Len(s) - index + 1)));
}

std::string DeleteBytes(const std::string& s, int32_t index, int64_t count) {
  if (index < 1 || index > Len(s) || count <= 0) return s;
  std::string out = s;
  out.erase(static_cast<size_t>(index - 1), static_cast<size_t>(std::min<int64_t>(count, Len(s) - index + 1)));
  return out;
}

std::string InsertBytes(const std::string& source, const std::string& s, int32_t index) {
  const size_t at = index < 1 ? 0 : std::min<size_t>(static_cast<size_t>(index - 1), s.size());
  std::string out = s;
  out.insert(at, source);
  return out;
}

int32_t CompareBytes(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const int x = static_cast<uint8_t>(a[i]), y = static_cast<uint8_t>(b[i]);
    if (x != y) return x - y;
  }
  return static_cast<int32_t>(static_cast<int64_t>(a.size()) - static_cast<int64_t>(b.size()));
}

// Single-byte letters change case; double-byte characters stay as they are.
std::string ChangeCase(const std::string& s, bool upper) {
  std::string out = s;
  for (size_t i = 0; i < out.size(); ++i) {
    const uint8_t c = static_cast<uint8_t>(out[i]);
    if (IsSjisLeadByte(c)) {
      ++i;
    } else if (upper && c >= 'a' && c <= 'z') {
      out[i] = static_cast<char>(c - 32);
    } else if (!upper && c >= 'A' && c <= 'Z') {
      out[i] = static_cast<char>(c + 32);
    }
  }
  return out;
}

std::string FixStr(const std::string& s) {
  const int32_t n = Len(s);
  if (n < 2 || !IsSjisLeadByte(static_cast<uint8_t>(s[static_cast<size_t>(n - 1)]))) return s;
  const bool before_is_lead = IsSjisLeadByte(static_cast<uint8_t>(s[static_cast<size_t>(n - 2)]));
  if (!before_is_lead || IsTrailByte(s, n - 1)) return s.substr(0, static_cast<size_t>(n - 1));
  return s;
}

// Kind of byte I (0-based): 0 single, 1 lead, 2 trail.
int ByteKind(const std::string& s, size_t i) {
  size_t k = 0;
  for (;;) {
    const size_t len = IsSjisLeadByte(static_cast<uint8_t>(s[k])) && k + 1 < s.size() ? 2 : 1;
    if (i < k + len) return len == 1 ? (IsSjisLeadByte(static_cast<uint8_t>(s[k])) ? 1 : 0) : (i == k ? 1 : 2);
    k += len;
  }
}

// Offset of the last single-byte path delimiter ("\" or ":"), or npos.
size_t LastPathDelimiter(const std::string& path) {
  size_t last = std::string::npos;
  for (size_t i = 0; i < path.size();) {
    const bool lead = IsSjisLeadByte(static_cast<uint8_t>(path[i])) && i + 1 < path.size();
    if (!lead && (path[i] == '\\' || path[i] == ':')) last = i;
    i += lead ? 2 : 1;
  }
  return last;
}

// Offset of the extension's "." after the last delimiter, or npos.
size_t ExtensionStart(const std::string& path) {
  const size_t delimiter = LastPathDelimiter(path);
  const size_t from = delimiter == std::string::npos ? 0 : delimiter + 1;
  const size_t dot = SjisFindByte(path, '.', 0);
  if (dot == std::string::npos) return dot;
  size_t last = std::string::npos;
  for (size_t at = dot; at != std::string::npos; at = SjisFindByte(path, '.', at + 1)) {
    if (at >= from) last = at;
  }
  return last;
}

std::string StringOfChar(const std::string& s, int32_t n) {
  if (n <= 0 || s.empty()) return std::string();
  if (n > kMaxTextResult / static_cast<int64_t>(s.size())) CheckTextLength(kMaxTextResult + 1);
  ClaimValueRoom(int64_t{n} * static_cast<int64_t>(s.size()));
  std::string out;
  out.reserve(static_cast<size_t>(n) * s.size());
  for (int32_t i = 0; i < n; ++i) out += s;
  return out;
}

std::string StringReplace(const std::string& s, const std::string& old_text, const std::string& new_text, bool all,
                          bool ignore_case) {
  if (old_text.empty()) return s;
  const std::string hay = ignore_case ? ChangeCase(s, true) : s;
  const std::string needle = ignore_case ? ChangeCase(old_text, true) : old_text;
  std::string out;
  size_t from = 0;
  for (;;) {
    const size_t at = hay.find(needle, from);
    if (at == std::string::npos) break;
    CheckTextLength(static_cast<int64_t>(out.size() + (at - from) + new_text.size()));
    out.append(s, from, at - from);
    out += new_text;
    from = at + needle.size();
    if (!all) break;
  }
  out.append(s, from, std::string::npos);
  return out;
}

}  // namespace

void CallTextFunc(TCustomParam& result, uint8_t id, TFuncArgs args) {
  const TFuncArgReader a(args);
  switch (id) {
    case FN_IntToStr:
      SetTextResult(result, a.Has(1) ? FormatWithDigits(a.Int(0), a.Str(1)) : IntToText(a.Int(0)));
      break;
    case FN_IntToHex: SetTextResult(result, IntToHexText(a.Int(0), a.Int(1))); break;
    case FN_Length: result.SetAsInt(Len(a.Str(0))); break;
    case FN_JLength: result.SetAsInt(JLength(a.Str(0))); break;
    case FN_Copy: {
      const std::string s = a.Str(0);
      SetTextResult(result, CopyBytes(s, a.Int(1), a.Has(2) ? a.Int(2) : static_cast<int64_t>(s.size())));
      break;
    }
    case FN_JCopy: {
      const std::string s = a.Str(0);
      SetTextResult(result, JCopy(s, a.Int(1), a.Has(2) ? a.Int(2) : Len(s)));
      break;
    }
    case FN_Delete: {
      TCustomParam& var = a.At(0);
      const std::string s = var.GetAsStr();
      SetTextResult(var, DeleteBytes(s, a.Int(1), a.Has(2) ? a.Int(2) : static_cast<int64_t>(s.size())));
      break;
    }
    case FN_JDelete: {
      TCustomParam& var = a.At(0);
      std::string s = var.GetAsStr();
      JDelete(s, a.Int(1), a.Has(2) ? a.Int(2) : JLength(s));
      SetTextResult(var, s);
      break;
    }
    case FN_Insert: {
      TCustomParam& var = a.At(1);
      SetTextResult(var, InsertBytes(a.Str(0), var.GetAsStr(), a.Int(2)));
      break;
    }
    case FN_JInsert: {
      TCustomParam& var = a.At(1);
      std::string s = var.GetAsStr();
      JInsert(a.Str(0), s, a.Int(2));
      SetTextResult(var, s);
      break;
    }
    case FN_CompareStr: result.SetAsInt(CompareBytes(a.Str(0), a.Str(1))); break;
    case FN_CompareText: {
      const int c = SjisCompareText(a.Str(0), a.Str(1));
      result.SetAsInt(c < 0 ? -1 : c > 0 ? 1 : 0);
      break;
    }
    case FN_Pos: {
      const std::string sub = a.Str(0), s = a.Str(1);
      const size_t at = sub.empty() ? std::string::npos : s.find(sub);
      result.SetAsInt(at == std::string::npos ? 0 : static_cast<int32_t>(at + 1));
      break;
    }
    case FN_JPos: result.SetAsInt(JPos(a.Str(0), a.Str(1))); break;
    case FN_Trim: SetTextResult(result, TrimControls(a.Str(0))); break;
    case FN_JTrim: SetTextResult(result, JTrim(a.Str(0))); break;
    case FN_FixStr: SetTextResult(result, FixStr(a.Str(0))); break;
    case FN_LowerCase: SetTextResult(result, ChangeCase(a.Str(0), false)); break;
    case FN_UpperCase: SetTextResult(result, ChangeCase(a.Str(0), true)); break;
    case FN_ExtractFilePath: {
      const std::string path = a.Str(0);
      const size_t at = LastPathDelimiter(path);
      SetTextResult(result, at == std::string::npos ? std::string() : path.substr(0, at + 1));
      break;
    }
    case FN_ExtractFileName: {
      const std::string path = a.Str(0);
      const size_t at = LastPathDelimiter(path);
      SetTextResult(result, at == std::string::npos ? path : path.substr(at + 1));
      break;
    }
    case FN_ExtractFileExt: {
      const std::string path = a.Str(0);
      const size_t at = ExtensionStart(path);
      SetTextResult(result, at == std::string::npos ? std::string() : path.substr(at));
      break;
    }
    case FN_IsPathDelimiter: result.SetAsFlag(IsPathDelimiter(a.Str(0), a.Int(1))); break;
    case FN_AddBackSlash: SetTextResult(result, AddBackSlash(a.Str(0))); break;
    case FN_ChangeFileExt: {
      const std::string path = a.Str(0);
      const size_t at = ExtensionStart(path);
      SetTextResult(result, (at == std::string::npos ? path : path.substr(0, at)) + a.Str(1));
      break;
    }
    case FN_IsDelimiter: {
      const std::string delimiters = a.Str(0), s = a.Str(1);
      const int32_t index = a.Int(2);
      bool found = false;
      if (index >= 1 && index <= Len(s) && ByteKind(s, static_cast<size_t>(index - 1)) == 0) {
        found = delimiters.find(s[static_cast<size_t>(index - 1)]) != std::string::npos;
      }
      result.SetAsFlag(found);
      break;
    }
    case FN_StringOfChar: SetTextResult(result, StringOfChar(a.Str(0), a.Int(1))); break;
    case FN_StringReplace:
      SetTextResult(result, StringReplace(a.Str(0), a.Str(1), a.Str(2), a.FlagOr(3, false), a.FlagOr(4, false)));
      break;
    case FN_HanToZen: SetTextResult(result, HanToZen(a.Str(0))); break;
    case FN_ZenToHan: SetTextResult(result, ZenToHan(a.Str(0))); break;
    case FN_AddDelimiter: {
      const std::string s = a.Str(1);
      SetTextResult(result, s.empty() ? s : s + a.Str(0));
      break;
    }
    case FN_StrToIntDef: {
      int32_t v = 0;
      result.SetAsInt(TryTextToInt(a.Str(0), v) ? v : a.Int(1));
      break;
    }
    case FN_StrToFloatDef: {
      long double v = 0.0L;
      bool ok = false;
      try {
        ok = TryTextToFloat(a.Str(0), v);
      } catch (const std::exception&) {
        ok = false;
      }
      result.SetAsFloat(ok ? v : a.Float(1));
      break;
    }
    case FN_Chr: SetTextResult(result, std::string(1, static_cast<char>(static_cast<uint32_t>(a.Int(0)) & 0xFFu))); break;
    case FN_Ord: {
      const std::string s = a.Str(0);
      result.SetAsInt(s.empty() ? 0 : static_cast<uint8_t>(s[0]));
      break;
    }
    default: break;
  }
}

}  // namespace orba
