#include "script/functions/sys_func_file.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "core/errors.h"
#include "core/files/atomic_file.h"
#include "core/files/disk_path.h"
#include "core/files/file_access.h"
#include "core/files/path_utils.h"
#include "core/files/vr_file_manager.h"
#include "core/files/write_budget.h"
#include "core/strings/sjis_case.h"
#include "core/system/desktop.h"
#include "core/system/trace.h"
#include "core/vocab/vocab.h"
#include "platform/dialogs.h"
#include "platform/file_dialogs.h"
#include "platform/host.h"
#include "platform/text_convert.h"
#include "platform/screen_manager.h"
#include "script/functions/folder_chooser.h"
#include "script/functions/sys_func_args.h"
#include "script/save/save_data.h"

namespace orba {

namespace {

// Calls Line with each line of Text (SplitTextLines' rule) until it answers
// false.
template <typename Line>
void EachTextLine(std::string_view text, Line line) {
  text = text.substr(0, text.find('\0'));  // a zero byte ends the text
  const size_t end = text.size();
  size_t start = 0;
  while (start < end) {
    size_t i = start;
    while (i < end && text[i] != '\r' && text[i] != '\n') ++i;
    if (!line(text.substr(start, i - start))) return;
    if (i < end && text[i] == '\r') {
      ++i;
      if (i < end && text[i] == '\n') ++i;
    } else if (i < end) {
      ++i;  // LF
    }
    start = i;
  }
}

}  // namespace

std::vector<std::string_view> SplitTextLineViews(std::string_view text, size_t max_lines) {
  // Counted first, so that the list is made once at its size and a text of
  // too many lines costs no list at all beyond the limit.
  size_t count = 0;
  EachTextLine(text, [&](std::string_view) { return ++count <= max_lines; });
  std::vector<std::string_view> lines;
  lines.reserve(count);
  EachTextLine(text, [&](std::string_view line) {
    lines.push_back(line);
    return lines.size() < count;
  });
  return lines;
}

std::vector<std::string> SplitTextLines(const std::string& text) {
  const std::vector<std::string_view> views = SplitTextLineViews(text);
  return std::vector<std::string>(views.begin(), views.end());
}

bool TGameText::Load(TGameFileSource& files, const std::string& name) {
  bytes_.clear();
  lines_.clear();
  refused_ = false;
  if (!files.FileAvailable(name)) return false;
  try {
    bytes_ = files.LoadFile(name, kMaxGameTextBytes);
  } catch (const EFileTooLarge& e) {
    TraceOnce("text file refused: " + SjisToUtf8(e.what()));
    refused_ = true;
    return false;
  }
  if (bytes_.empty()) return false;
  const std::string_view text(reinterpret_cast<const char*>(bytes_.data()), bytes_.size());
  std::vector<std::string_view> lines = SplitTextLineViews(text, kMaxGameTextLines);
  if (lines.size() > kMaxGameTextLines) {
    TellRefusal("text file refused: " + SjisToUtf8(name) + ": more than " + std::to_string(kMaxGameTextLines) +
                " lines");
    bytes_ = std::vector<uint8_t>();
    refused_ = true;
    return false;
  }
  lines_ = std::move(lines);
  return true;
}

namespace {

bool HasPrefix(const std::string& name, const char* prefix) {
  const size_t n = std::strlen(prefix);
  return name.size() >= n && SjisSameText(name.substr(0, n), prefix);
}

size_t CharLen(const std::string& s, size_t i) {
  return IsSjisLeadByte(static_cast<uint8_t>(s[i])) && i + 1 < s.size() ? 2 : 1;
}

// One character of Name against a "[...]" set starting after the "["; the
// position after the "]", or npos for a set without its end.
size_t MatchSet(const std::string& ch, const std::string& mask, size_t m, bool& matched) {
  bool negate = false;
  if (m < mask.size() && mask[m] == '!') {
    negate = true;
    ++m;
  }
  matched = false;
  while (m < mask.size() && mask[m] != ']') {
    const std::string lo = mask.substr(m, CharLen(mask, m));
    m += lo.size();
    std::string hi = lo;
    if (m + 1 < mask.size() && mask[m] == '-' && mask[m + 1] != ']') {
      hi = mask.substr(m + 1, CharLen(mask, m + 1));
      m += 1 + hi.size();
    }
    matched = matched || (lo <= ch && ch <= hi);
  }
  if (m >= mask.size()) return std::string::npos;
  matched = matched != negate;
  return m + 1;
}

// Whether the character of Name at N matches the mask item at M ("?", a
// "[...]" set or a literal character); M moves past the item when it does.
bool MatchOne(const std::string& name, size_t n, const std::string& mask, size_t& m) {
  const std::string ch = name.substr(n, CharLen(name, n));
  if (mask[m] == '?') {
    ++m;
    return true;
  }
  if (mask[m] == '[') {
    bool matched = false;
    const size_t next = MatchSet(ch, mask, m + 1, matched);
    if (next == std::string::npos || !matched) return false;
    m = next;
    return true;
  }
  const size_t len = CharLen(mask, m);
  if (mask.compare(m, len, ch) != 0) return false;
  m += len;
  return true;
}

// Every mask item but "*" takes exactly one character, so when the items
// after a star fail, only the last star need take one more character and
// the match go on from there: no earlier star can do better. That keeps the
// time linear in the name for each star, where trying every split of the
// name between the stars grows with its length to the power of their number.
bool MatchFrom(const std::string& name, const std::string& mask, int64_t& steps) {
  size_t n = 0, m = 0;
  size_t star_m = std::string::npos, star_n = 0;  // after the last star; where its run of characters ends
  while (n < name.size()) {
    ++steps;
    if (m < mask.size() && mask[m] == '*') {
      star_m = ++m;
      star_n = n;
    } else if (m < mask.size() && MatchOne(name, n, mask, m)) {
      n += CharLen(name, n);
    } else if (star_m != std::string::npos) {
      star_n += CharLen(name, star_n);
      n = star_n;
      m = star_m;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

// The file-name part of a packaged name that may be written into a folder:
// empty when it would name the folder itself or its parent.
std::string SafeFileName(const std::string& name) {
  const std::string file = name.substr(SjisFileNameStart(name));
  if (file.empty() || file == "." || file == "..") return std::string();
  return file;
}

// The whole content of a mounted entry.
std::vector<uint8_t> EntryBytes(TVrFile& entry) {
  TKsMemoryStream content;
  entry.Owner().ReadEntry(content, entry.Name());
  return content.TakeBytes();
}

// Answers of the overwrite question, by the index of its button.
enum TOverwriteAnswer { kYes = 0, kNo = 1, kCancel = 2, kNoToAll = 3, kYesToAll = 4 };

TOverwriteAnswer AskOverwrite(const std::string& target, bool several) {
  TDialogRequest request;
  request.Title = "\x8am\x94" "F";  // 確認
  // "%s\r\n\r\n既に同名のファイルが存在します。上書きしますか？"
  // The path as this system writes it: a game's "\" separators as "/".
  request.Text = SlashSeparators(target) +
                 "\r\n\r\n\x8a\xf9\x82\xc9\x93\xaf\x96\xbc\x82\xcc\x83t\x83@\x83" "C\x83\x8b\x82\xaa\x91\xb6\x8d\xdd"
                 "\x82\xb5\x82\xdc\x82\xb7\x81" "B\x8f\xe3\x8f\x91\x82\xab\x82\xb5\x82\xdc\x82\xb7\x82\xa9\x81H";
  request.Buttons = TDialogButtons::Custom;
  request.Labels = {"\x82\xcd\x82\xa2(&Y)", "\x82\xa2\x82\xa2\x82\xa6(&N)"};  // はい いいえ
  if (several) {
    request.Labels.push_back("\x83L\x83\x83\x83\x93\x83Z\x83\x8b");                      // キャンセル
    request.Labels.push_back("\x82\xb7\x82\xd7\x82\xc4\x82\xa2\x82\xa2\x82\xa6(&O)");  // すべていいえ
    request.Labels.push_back("\x82\xb7\x82\xd7\x82\xc4\x82\xcd\x82\xa2(&A)");          // すべてはい
  }
  const TDialogResult r = MessageBoxes().Show(request);
  switch (r.Answer) {
    case TDialogAnswer::Custom:
      if (r.CustomIndex >= 0 && r.CustomIndex < static_cast<int>(request.Labels.size())) {
        return static_cast<TOverwriteAnswer>(r.CustomIndex);
      }
      return several ? kCancel : kNo;
    case TDialogAnswer::Yes:
    case TDialogAnswer::Ok: return kYes;
    case TDialogAnswer::Cancel: return several ? kCancel : kNo;
    default: return kNo;
  }
}

// The real path (Shift-JIS) of the existing folder Name names, when the
// game may read it; "" otherwise.
std::string OpenableFolder(const std::string& name) {
  if (name.empty()) return std::string();
  const std::unique_ptr<TDiskWalk> walk = WalkForGame(name, TFileAccess::Read);
  if (!walk || walk->End() != TWalkEnd::Found || !S_ISDIR(walk->EntryStat().st_mode)) return std::string();
  return SjisOfDiskPath(walk->RealPath());
}

}  // namespace

bool TSaveDataSlots::WriteSaveFile(const std::string& name, const std::vector<uint8_t>& data) {
  if (file_.Damaged()) return false;
  return file_.UpdateEntry(
      name, [&data](TKsBigStream& s) { s.WriteBuffer(data.data(), static_cast<int64_t>(data.size())); }, false);
}

std::string TSaveDataSlots::GetSaveCaption(int32_t slot) { return file_.GetSaveCaption(slot); }

std::vector<std::pair<std::string, int32_t>> TSaveDataSlots::SaveCaptions() {
  std::vector<std::pair<std::string, int32_t>> out;
  for (const TSaveCaption& c : file_.Captions()) out.emplace_back(c.Caption, c.Slot);
  return out;
}

bool IsMemoryFileName(const std::string& name) { return HasPrefix(name, "mem:") || IsSaveFileName(name); }

bool MatchesMask(const std::string& name, const std::string& mask, int64_t* steps) {
  int64_t taken = 0;
  const bool matched = MatchFrom(SjisUpperCase(name), SjisUpperCase(mask), taken);
  if (steps != nullptr) *steps += taken;
  return matched;
}

bool TFileFuncService::CopyFile(const std::string& source, const std::string& dest) {
  if (!IsMemoryFileName(source)) return false;
  TVrFile* from = files_.FindEntry(source);
  if (from == nullptr) return false;
  // Read the source before the destination is emptied: they may be one
  // entry.
  if (!WriteMemoryFile(dest, EntryBytes(*from))) return false;
  VrCacheRemove(files_, dest);
  return true;
}

bool TFileFuncService::WriteMemoryFile(const std::string& name, const std::vector<uint8_t>& data) {
  TVrFile* to = files_.FindEntry(name);
  if (to == nullptr) {
    if (files_.CollectionCount() == 0) return false;
    to = files_.GetCollection(0)->AddEntry(name);
  }
  to->Data = std::make_unique<TKsMemoryStream>(data);
  return !IsSaveFileName(name) || (save_files_ != nullptr && save_files_->WriteSaveFile(name, data));
}

bool TFileFuncService::ChooseFolder(std::string& folder) {
  TSHBrowseForFolderEx chooser;
  chooser.ShowStyle = ssCenterScreen;
  if (!chooser.Execute()) return false;
  folder = AddPathDelimiter(chooser.FolderName);
  if (folder.empty()) folder = "\\";
  // The player chose it: the game may read and write there from now on.
  const std::string opened = AllowFileRoot(folder, TAccessRoot::Chosen);
  if (!opened.empty() && FolderChosen) FolderChosen(opened);
  // HOME or "/" never opens to the game, but the person chose it for the
  // files ExtractFile names: those alone are written there, in this run.
  if (opened.empty()) {
    if (const std::optional<std::string> real = RealFolder(folder)) unopened_choices_.push_back(*real);
  }
  return true;
}

std::optional<std::string> TFileFuncService::RealFolder(const std::string& folder) {
  char real[PATH_MAX];
  if (::realpath(DiskPathForCreate(folder).c_str(), real) == nullptr) return std::nullopt;
  return std::string(real);
}

int TFileFuncService::OpenUnopenedChoice(const std::string& folder) const {
  if (unopened_choices_.empty()) return -1;
  const std::optional<std::string> real = RealFolder(folder);
  if (!real || std::find(unopened_choices_.begin(), unopened_choices_.end(), *real) == unopened_choices_.end())
    return -1;
  return ::open(real->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

namespace {

// The file Name (Shift-JIS, no folder) in a folder the person chose and the
// game may not open: its name there (an existing entry matched as the file
// layer matches names) and whether one exists.
struct TChosenEntry {
  std::string Name;
  bool Exists = false;
  bool Writable = true;  // nothing but a file or a link (replaced itself) is written over
};

// Closes a descriptor (when there is one) on leaving the scope.
struct TFdCloser {
  explicit TFdCloser(int fd) : Fd(fd) {}
  ~TFdCloser() {
    if (Fd >= 0) ::close(Fd);
  }
  TFdCloser(const TFdCloser&) = delete;
  TFdCloser& operator=(const TFdCloser&) = delete;
  int Fd;
};

TChosenEntry ChosenEntry(int folder_fd, const std::string& name) {
  const std::optional<std::string> match = MatchDiskEntryAt(folder_fd, name);
  TChosenEntry entry{match.value_or(SjisToUtf8(name))};
  struct stat st {};
  if (match && ::fstatat(folder_fd, match->c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    entry.Exists = true;
    entry.Writable = S_ISREG(st.st_mode) || S_ISLNK(st.st_mode);
  }
  return entry;
}

}  // namespace

bool TFileFuncService::ExtractFile(const TCustomParam& names, bool confirm, const std::string* folder) {
  std::string dest;
  if (folder != nullptr) {
    dest = AddPathDelimiter(*folder);
    // A relative folder lies in the game's folder, where the game was made
    // to run.
    if (!dest.empty() && !IsSjisPathDelimiter(dest, 0) && !files_.OverrideFolder.empty())
      dest = files_.OverrideFolder + dest;
  } else if (!ChooseFolder(dest)) {
    return false;
  }
  // A folder the person chose that stays shut to the game (HOME, "/"): the
  // named files are written in it, held open, and nothing else there.
  const int chosen_fd = OpenUnopenedChoice(dest);
  const TFdCloser close_chosen(chosen_fd);
  // Otherwise written at the real place Dest leads to, when the game may
  // write there; its missing folders are made one inside the other.
  if (chosen_fd < 0 && (dest.empty() || !MakeGameFolders(dest))) return false;
  const int32_t count = names.GetCount();
  const bool several = count > 1;
  bool no_to_all = false, written = false;
  for (int32_t i = 0; i < count; ++i) {
    const std::string e = names.GetStrItem(i);
    std::vector<std::string> candidates;
    if (e.find_first_of("*?") != std::string::npos) {
      const std::string mask = e.substr(SjisFileNameStart(e));
      std::vector<std::string> listed;
      files_.ListFiles(SjisExtractFilePath(e), listed);
      for (const std::string& f : listed) {
        if (MatchesMask(f.substr(SjisFileNameStart(f)), mask)) candidates.push_back(f);
      }
    } else {
      candidates.push_back(e);
    }
    for (const std::string& f : candidates) {
      const std::string file = SafeFileName(f);
      if (file.empty() || !files_.Exists(f)) continue;
      const std::string target = dest + file;
      const TChosenEntry chosen = chosen_fd >= 0 ? ChosenEntry(chosen_fd, file) : TChosenEntry{};
      if (!chosen.Writable) continue;
      if (confirm && (chosen_fd >= 0 ? chosen.Exists : DiskFileExists(target))) {
        if (no_to_all) continue;
        const TOverwriteAnswer answer = AskOverwrite(target, several);
        if (answer == kNo) continue;
        if (answer == kNoToAll) {
          no_to_all = true;
          continue;
        }
        if (answer == kCancel) break;
        if (answer == kYesToAll) confirm = false;
      }
      if (chosen_fd >= 0) {
        TKsMemoryStream content;
        files_.LoadToStream(content, f);
        if (!ChargeGameWrite(target, static_cast<int64_t>(content.Bytes().size()))) throw EWriteError();
        const TReplaceResult r = ReplaceFileWholeAt(chosen_fd, chosen.Name, content.Bytes().data(), content.Bytes().size());
        if (r != TReplaceResult::Replaced) Trace("file not written: " + SjisToUtf8(target));
        written = written || r == TReplaceResult::Replaced;
        continue;
      }
      // Each file is written through the folder its own walk checked.
      const TWritePlace write_at = GameWritePlace(target);
      if (write_at.Refused()) continue;
      // Copied piece by piece: a large source is never held whole. One
      // too large (traced) is passed over as a missing one is.
      try {
        WriteGameFileFrom(write_at, [this, &f](TKsBigStream& out) { files_.LoadToStream(out, f, kMaxExtractFileBytes); });
      } catch (const EFileTooLarge&) {
        continue;
      }
      written = true;
    }
  }
  return written;
}

void TFileFuncService::CallSysFunc(TCustomParam& result, uint8_t id, TFuncArgs args) {
  const TFuncArgReader a(args);
  switch (id) {
    case FN_FileExists: {
      const std::string name = a.Str(0);
      result.SetAsFlag(!name.empty() && files_.Exists(name));
      break;
    }
    case FN_LoadTextFile: {
      TGameText text;
      if (!text.Load(game_files_, a.Str(1)) || text.Lines().empty()) break;
      const std::vector<std::string_view>& lines = text.Lines();
      TCustomParam& target = a.At(0);
      target.SetDims({static_cast<int32_t>(lines.size())});
      for (size_t i = 0; i < lines.size(); ++i) target.SetStrItem(static_cast<int32_t>(i), std::string(lines[i]));
      result.SetAsFlag(true);
      break;
    }
    case FN_GetSaveCaption:
      if (SaveSlots != nullptr) result.SetAsStr(SaveSlots->GetSaveCaption(a.Int(0)));
      break;
    case FN_ListSaveCaption: {
      const auto captions =
          SaveSlots != nullptr ? SaveSlots->SaveCaptions() : std::vector<std::pair<std::string, int32_t>>();
      const int32_t n = static_cast<int32_t>(captions.size());
      // An array cannot have 0 elements: without slots the arrays stay as
      // they are and only the count answers.
      if (n > 0 && a.Has(0)) {
        a.At(0).SetDims({n});
        for (int32_t i = 0; i < n; ++i) a.At(0).SetStrItem(i, captions[static_cast<size_t>(i)].first);
      }
      if (n > 0 && a.Has(1)) {
        a.At(1).SetDims({n});
        for (int32_t i = 0; i < n; ++i) a.At(1).SetIntItem(i, captions[static_cast<size_t>(i)].second);
      }
      result.SetAsInt(n);
      break;
    }
    case FN_CopyFile:
      result.SetAsFlag(CopyFile(a.Str(0), a.Str(1)));
      break;
    case FN_ExtractFile: {
      const std::string folder = a.StrOr(2, std::string());
      result.SetAsFlag(ExtractFile(a.At(0), a.FlagOr(1, true), a.Has(2) ? &folder : nullptr));
      break;
    }
    case FN_SelectOpenFile:
    case FN_SelectSaveFile: {
      TFileDialogRequest request;
      const bool open = id == FN_SelectOpenFile;
      request.Kind = open ? TFileDialogKind::Open : TFileDialogKind::Save;
      request.Filter = a.StrOr(1, std::string());
      request.FileMustExist = open;
      request.OverwritePrompt = !open;
      const std::optional<std::string> chosen = FileDialogs().Show(request);
      if (!chosen) break;
      // The player chose this one file, not its folder: it alone opens.
      AllowFileRoot(*chosen, TAccessRoot::Single);
      a.At(0).SetAsStr(*chosen);
      result.SetAsFlag(true);
      break;
    }
    case FN_SelectDirectory: {
      std::string folder;
      if (!ChooseFolder(folder)) break;
      a.At(0).SetAsStr(folder);
      result.SetAsFlag(true);
      break;
    }
    case FN_SaveScreen:
      result.SetAsFlag(SaveScreen(a.Str(0), a.Has(1) ? a.Int(1) : 0, a.Has(2) ? a.Int(2) : 0, a.FlagOr(3, false),
                                  a.Has(4) ? a.Int(4) : 0));
      break;
    case FN_SetWallPaper:
      result.SetAsFlag(SetWallPaper(a.Str(0), a.Int(1)));
      break;
    case FN_GetDisplayMode: {
      const TScreenManager* screen = ScreenManager();
      const int32_t index = a.Int(0);
      if (screen == nullptr || index < 0 || index >= screen->GetModeCount()) break;
      const TDisplayMode& mode = screen->GetMode(index);
      a.At(1).SetAsInt(mode.Width);
      a.At(2).SetAsInt(mode.Height);
      a.At(3).SetAsInt(mode.Bits);
      a.At(4).SetAsInt(mode.Rate);
      result.SetAsFlag(true);
      break;
    }
    case FN_OpenUrl: {
      // Only a web address or a folder the game may read reaches the
      // desktop: anything else could name a program, a file or an option of
      // the opener. An address goes percent-encoded, a folder by its real
      // path, which starts with "/".
      const std::string target = a.Str(0);
      std::string opened = DesktopUrl(target);
      if (opened.empty()) opened = OpenableFolder(target);
      if (opened.empty()) {
        Trace("url refused: " + SjisToUtf8(target));
        break;
      }
      if (ShellOpen) {
        ShellOpen(opened);
      } else {
        Host().OpenOnDesktop(SjisToUtf8(opened));
      }
      break;
    }
    default:
      break;
  }
}

}  // namespace orba
