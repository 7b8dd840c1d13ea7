#include "authoring/game_builder.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>

#include "authoring/page_asm.h"
#include "core/files/disk_path.h"
#include "core/files/list_files.h"
#include "core/files/vr_file.h"
#include "core/strings/sjis_case.h"
#include "platform/text_convert.h"

namespace orba {

namespace {

bool EndsWithNoCase(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() && SjisSameText(s.substr(s.size() - suffix.size()), suffix);
}

// Reads the settings text line by line.
class TSettingsParser {
 public:
  explicit TSettingsParser(const std::string& file) : file_(file) {}

  TProjectSetting Parse(const std::string& text) {
    TProjectSetting s;
    int32_t line_no = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
      size_t end = text.find('\n', pos);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(pos, end - pos);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      pos = end + 1;
      line_ = ++line_no;
      line = TrimSpaces(line);
      if (line.empty() || line[0] == '#') continue;
      Line(s, line);
    }
    return s;
  }

 private:
  std::string file_;
  int32_t line_ = 0;

  [[noreturn]] void Fail(const std::string& text) const { throw EAsmError(file_, line_, text); }

  int32_t Int(const std::string& v) const {
    int32_t n = 0;
    if (!ParseInt32(v, n)) Fail("\"" + v + "\" is not a number");
    return n;
  }
  uint8_t Flag(const std::string& v) const {
    if (v == "1" || v == "TRUE") return 1;
    if (v == "0" || v == "FALSE") return 0;
    Fail("\"" + v + "\" is not 0, 1, TRUE or FALSE");
  }

  // "Var NAME TYPE VALUE" and "Folder FOLDER DISC".
  void Listed(TProjectSetting& s, const std::string& word, const std::string& rest) {
    if (word == "Folder") {
      // The disc is the last word; the folder (quoted when it holds blanks)
      // is all before it.
      const size_t last = rest.find_last_of(" \t");
      if (last == std::string::npos) Fail("expected \"Folder FOLDER DISC\"");
      s.FolderDisks.Add(UnquoteText(TrimSpaces(rest.substr(0, last))), Int(rest.substr(last + 1)));
      return;
    }
    const size_t sp = rest.find_first_of(" \t");
    const std::string first = rest.substr(0, sp);
    const std::string tail = sp == std::string::npos ? "" : TrimSpaces(rest.substr(sp));
    if (first.empty()) Fail(word + " needs a name");
    TInitialVar var;
    var.Name = first;
    const size_t sp2 = tail.find_first_of(" \t");
    const std::string type = tail.substr(0, sp2);
    const std::string value = sp2 == std::string::npos ? "" : TrimSpaces(tail.substr(sp2));
    if (type == "int") {
      var.Type = PT_INT;
      var.IntValue = value.empty() ? 0 : Int(value);
    } else if (type == "float") {
      var.Type = PT_FLOAT;
      if (!value.empty()) {
        char* stop = nullptr;
        var.FloatValue = std::strtold(value.c_str(), &stop);
        if (stop != value.c_str() + value.size()) Fail("\"" + value + "\" is not a number");
      }
    } else if (type == "bool") {
      var.Type = PT_BOOL;
      var.FlagValue = value.empty() ? 0 : Flag(value);
    } else if (type == "str") {
      var.Type = PT_STR;
      var.StrValue = UnquoteText(value);
    } else {
      Fail("the type of a Var is int, float, bool or str");
    }
    s.InitialVars.push_back(std::move(var));
  }

  void Line(TProjectSetting& s, const std::string& line) {
    const size_t sp = line.find_first_of(" \t");
    const std::string first = line.substr(0, sp);
    if (first == "Var" || first == "Folder") {
      Listed(s, first, sp == std::string::npos ? "" : TrimSpaces(line.substr(sp)));
      return;
    }
    const size_t eq = line.find('=');
    if (eq == std::string::npos) Fail("expected \"Key = value\"");
    const std::string key = TrimSpaces(line.substr(0, eq));
    const std::string value = TrimSpaces(line.substr(eq + 1));
    const std::string text = UnquoteText(value);
    struct TStrKey {
      const char* Name;
      std::string TProjectSetting::*Field;
    };
    static const TStrKey kStrKeys[] = {
        {"Title", &TProjectSetting::Title},           {"StartPage", &TProjectSetting::StartPage},
        {"ExitPage", &TProjectSetting::ExitPage},     {"RegistryKey", &TProjectSetting::RegistryKey},
        {"StreamedExtensions", &TProjectSetting::StreamedExtensions},
        {"DiskPrompt", &TProjectSetting::DiskPrompt}, {"QuitText", &TProjectSetting::QuitText},
    };
    struct TIntKey {
      const char* Name;
      int32_t TProjectSetting::*Field;
    };
    static const TIntKey kIntKeys[] = {
        {"Width", &TProjectSetting::Width},
        {"Height", &TProjectSetting::Height},
        {"ScreenParam1", &TProjectSetting::ScreenParam1},
        {"ScreenParam2", &TProjectSetting::ScreenParam2},
        {"ImageCode", &TProjectSetting::ImageCode},
    };
    struct TFlagKey {
      const char* Name;
      uint8_t TProjectSetting::*Field;
    };
    static const TFlagKey kFlagKeys[] = {
        {"WriteSaveData", &TProjectSetting::WriteSaveData},
        {"SleepBetweenTicks", &TProjectSetting::SleepBetweenTicks},
        {"PauseWhenInactive", &TProjectSetting::PauseWhenInactive},
        {"Reserved", &TProjectSetting::Reserved},
    };
    for (const TStrKey& k : kStrKeys) {
      if (SjisSameText(key, k.Name)) return void(s.*k.Field = text);
    }
    for (const TIntKey& k : kIntKeys) {
      if (SjisSameText(key, k.Name)) return void(s.*k.Field = Int(text));
    }
    for (const TFlagKey& k : kFlagKeys) {
      if (SjisSameText(key, k.Name)) return void(s.*k.Field = Flag(text));
    }
    Fail("unknown setting \"" + key + "\"");
  }
};

const TGameEntry* FindEntry(const std::vector<TGameEntry>& entries, const std::string& name) {
  const std::string wanted = BackSlashSeparators(name);
  for (const TGameEntry& e : entries) {
    if (SjisSameText(e.Name, wanted)) return &e;
  }
  return nullptr;
}

}  // namespace

TProjectSetting ParseSettingsText(const std::string& text, const std::string& file_name) {
  TProjectSetting s = TSettingsParser(file_name).Parse(text);
  if (s.StartPage.empty()) throw EAsmError(file_name, 0, "StartPage is not set");
  return s;
}

TGameBuild BuildGame(const std::string& source_dir, const std::string& skip) {
  TGameBuild game;
  game.SourceDir = AddPathDelimiter(source_dir);
  if (!DiskFolderExists(game.SourceDir)) throw EOrbaError(source_dir + ": no such folder");
  std::vector<std::string> files;
  ListFiles(game.SourceDir, faReadOnly | faArchive, true, "", false, false, true, files, true);

  // The package being written into the folder is no file of the game.
  const std::optional<std::string> skip_disk = skip.empty() ? std::nullopt : FindDiskPath(skip);
  auto skipped = [&skip_disk](const std::string& path) {
    if (!skip_disk) return false;
    const std::optional<std::string> disk = FindDiskPath(path);
    std::error_code ec;
    return disk && std::filesystem::equivalent(*disk, *skip_disk, ec);
  };
  std::vector<std::string> names;
  for (const std::string& path : files) {
    if (skipped(path)) continue;
    names.push_back(BackSlashSeparators(path.substr(game.SourceDir.size())));
  }

  // Page listings first, all of them, so that labels resolve across pages.
  std::vector<TPageListing> listings;
  std::unique_ptr<TProjectSetting> settings;
  for (const std::string& name : names) {
    const std::string source = game.SourceDir + name;
    if (SjisSameText(name, kSettingsSourceName)) {
      settings = std::make_unique<TProjectSetting>(ParseSettingsText(LoadUtf8TextAsSjis(source), source));
    } else if (EndsWithNoCase(name, kPageSourceSuffix)) {
      const std::string page_name = name.substr(0, name.size() - 4);  // without ".txt"
      listings.push_back(ParsePageListing(LoadUtf8TextAsSjis(source), source, page_name));
    } else {
      game.Entries.push_back(TGameEntry{name, false, {}});
    }
  }
  if (!settings) throw EOrbaError(game.SourceDir + kSettingsSourceName + ": no settings file");

  const TListingLookup others = [&listings](const std::string& page) -> const TPageListing* {
    for (const TPageListing& l : listings) {
      if (SjisSameText(l.PageName, BackSlashSeparators(page))) return &l;
    }
    return nullptr;
  };
  std::vector<TGameEntry> built;
  {
    TKsMemoryStream stream;
    settings->SaveToStream(stream);
    built.push_back(TGameEntry{kSettingsFileName, true, stream.TakeBytes()});
  }
  for (const TPageListing& l : listings) {
    std::unique_ptr<TPage> page = AssemblePage(l, others);
    TKsMemoryStream stream;
    page->SaveToStream(stream);
    built.push_back(TGameEntry{l.PageName, true, stream.TakeBytes()});
  }
  for (TGameEntry& e : built) {
    if (FindEntry(game.Entries, e.Name) != nullptr) {
      throw EOrbaError(game.SourceDir + e.Name + ": the folder holds this file and its source");
    }
    game.Entries.push_back(std::move(e));
  }
  std::sort(game.Entries.begin(), game.Entries.end(),
            [](const TGameEntry& a, const TGameEntry& b) { return a.Name < b.Name; });

  for (const std::string& page : {settings->StartPage, settings->ExitPage}) {
    if (!page.empty() && FindEntry(game.Entries, page) == nullptr) {
      throw EOrbaError(game.SourceDir + kSettingsSourceName + ": the page \"" + page + "\" is not in the game");
    }
  }
  return game;
}

void WriteGamePackage(const TGameBuild& game, const std::string& out) {
  TVrFileCollection c;
  c.BasePath = game.SourceDir;
  for (const TGameEntry& e : game.Entries) {
    if (!e.Built) {
      c.AddItem(e.Name);
      continue;
    }
    TVrFile* f = c.AddEntry(e.Name);
    if (!e.Bytes.empty()) f->Data->WriteBuffer(e.Bytes.data(), static_cast<int64_t>(e.Bytes.size()));
    f->Data->SetPosition(0);
  }
  // Written under another name and moved over Out only when complete.
  if (!c.SaveToFileSafely(out)) throw EOrbaError(out + ": some files could not be written; nothing was replaced");
}

void WriteGameFolder(const TGameBuild& game, const std::string& out) {
  for (const TGameEntry& e : game.Entries) {
    std::string relative;
    for (const std::string& part : SplitSjisPath(e.Name)) relative += (relative.empty() ? "" : "/") + part;
    const std::string target = out + (out.empty() || out.back() == '/' ? "" : "/") + relative;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(SjisToUtf8(target)).parent_path(), ec);
    TKsMemoryStream content;
    if (e.Built) {
      content.MutableBytes() = e.Bytes;
    } else {
      const TDiskFileName source(game.SourceDir + e.Name);
      content.LoadFromFile(source.StreamName());
    }
    content.SaveToFile(target);
  }
}

}  // namespace orba
