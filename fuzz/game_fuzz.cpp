// The whole player over a small game made from the input: settings, a few
// pages of commands (from templates of the command vocabulary with their
// fields) whose expressions call the built-in functions of the vocabulary
// with values from a pool (names of the game's pictures and sounds, in-memory
// and save files, paths that climb out of the game's folder, addresses, the
// names of what the sandbox planted), a picture and a sound of the seed set
// and one picture of the input's own bytes. The game is built with the game
// builder (as loose files, or as a package when the package's next volume
// is planted); the sandbox plants links to canaries, FIFOs, a device link,
// a font folder and long names in its folder, and may take HOME's desktop
// and documents away (game_fuzz_sandbox.h); the game is played headless for a
// bounded number of ticks with input, script events, saves and loads of its
// own slots. Then nothing may have happened outside its folders: no canary
// read or written, no file written outside the game's folder, its data
// folder and the temporary folder (not the desktop, not the documents), nothing added
// to the current folder, and only web and mail addresses (or the game's own
// folders) may have reached the desktop.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <cstdio>
#include <utility>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/game_clock.h"
#include "core/system/desktop.h"
#include "core/vocab/vocab.h"
#include "fuzz_support.h"
#include "game_fuzz_http.h"
#include "game_fuzz_local_net.h"
#include "game_fuzz_pictures.h"
#include "game_fuzz_sandbox.h"
#include "platform/dialogs.h"
#include "platform/headless/fake_clock.h"
#include "platform/headless/memory_audio.h"
#include "platform/headless/memory_video.h"
#include "platform/headless/recorded_cursors.h"
#include "platform/headless/scripted_input.h"
#include "platform/headless/silent_dialogs.h"
#include "platform/headless/single_mode_screen.h"
#include "platform/linux/freetype_fonts.h"
#include "platform/linux/host_linux.h"
#include "platform/linux/registry_linux.h"
#include "platform/screen_manager.h"
#include "script/interp/call_man.h"
#include "script/interp/run_loop_events.h"
#include "shell/game_client.h"
#include "shell/shell_runner.h"

namespace orba::fuzz {
// game_fuzz_build.cpp: builds the game of Source into the folder Out, its
// files loose or as the package "game.dat" there; false when the builder
// refuses the sources.
bool BuildFuzzGame(const std::string& source_dir, const std::string& out, bool package);
}  // namespace orba::fuzz

namespace {

namespace fs = std::filesystem;

// At most this many ticks per game; each tick runs at most kStepBudget steps.
constexpr int kMaxTicks = 24;
constexpr int32_t kStepBudget = 2000;
constexpr int32_t kTimeBudgetMs = 20;
constexpr int kMaxPages = 4;
constexpr int kMaxLines = 14;
// The plants the generator's first bytes choose; the later ones come from
// its last byte.
constexpr int kFirstPlantBits = 14;
constexpr uint32_t kFirstPlants = (1u << kFirstPlantBits) - 1;
// The desktop as the Linux host answers it, but addresses and wallpapers
// are only recorded: a fuzzer starts no programs.
class TFuzzHost : public orba::TLinuxHost {
 public:
  bool SetDesktopWallpaper(const std::string&, orba::TWallpaperStyle) override { return true; }
  bool OpenOnDesktop(const std::string& target) override {
    Opened.push_back(target);
    return true;
  }
  std::vector<std::string> Opened;
};

// Message boxes answered as the headless player answers them: the first
// button, but OK and Cancel boxes Cancel and OK in turn, so that a request
// for a disc is given up.
class TTurnMessageBoxes : public orba::TMessageBoxService {
 public:
  orba::TDialogResult Show(const orba::TDialogRequest& request) override {
    if (request.Buttons != orba::TDialogButtons::OkCancel) return orba::FirstButtonAnswer(request.Buttons);
    cancel_next_ = !cancel_next_;
    return orba::TDialogResult{cancel_next_ ? orba::TDialogAnswer::Cancel : orba::TDialogAnswer::Ok};
  }

 private:
  bool cancel_next_ = false;
};

struct TSandbox;
TSandbox& Sandbox();

// The folders of one fuzzing process (orba::fuzz::TGameSandbox: HOME with
// its desktop, documents and hidden folders, the temporary folder, the
// game's sources, the game, the canaries) and the desktop the player sees.
struct TSandbox {
  TSandbox() : Folders(MakeRoot()) {
    const fs::path root = Folders.Root();
    ::setenv("HOME", Folders.Home().c_str(), 1);
    ::setenv("XDG_DATA_HOME", (Folders.Home() / ".local/share").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (Folders.Home() / ".config").c_str(), 1);
    ::setenv("TMPDIR", (root / "tmp").c_str(), 1);
    ::unsetenv("ORBA_SEARCH_FOLDERS");
    // The current folder stays libFuzzer's (its corpus and artifact paths
    // may be relative): a name relative to it must add nothing there.
    CurrentEntries = Entries(fs::current_path());
    std::atexit([] { std::error_code ec; fs::remove_all(Sandbox().Folders.Root(), ec); });
    host = std::make_shared<TFuzzHost>();
    orba::SetHostServices(host);
    orba::SetRegistry(std::make_shared<orba::TLinuxRegistry>());
    // Text is drawn with the installed fonts and the game's own, which the
    // player looks for in the game's font folder at start-up.
    orba::SetFontEngine(std::make_shared<orba::TFreeTypeFonts>());
    orba::InstallSilentDialogs();
    orba::SetMessageBoxService(std::make_shared<TTurnMessageBoxes>());
  }
  static fs::path MakeRoot() {
    // Before the sandbox starts its threads, so that they and every thread
    // the games start share the private network.
    orba::fuzz::EnterPrivateNetwork();
    orba::fuzz::InstallSandboxHttpClient();
    // Named for this process, so that a later run can tell when it is gone
    // and remove it; the folders of runs that ended without their exit
    // handlers go first.
    try {
      return orba::fuzz::MakeSandboxRoot("/tmp");
    } catch (const std::runtime_error& e) {
      std::fprintf(stderr, "game fuzz: no sandbox folder: %s\n", e.what());
      std::abort();
    }
  }
  // Stops the run on anything the game did outside its folders: a canary
  // read or written, a file written outside, a file added to the current
  // folder, an address other than the web's or mail's (or a folder of the
  // game's) given to the desktop.
  void CheckNothingEscaped() {
    const std::vector<std::string> findings = Folders.Findings();
    for (const std::string& finding : findings) std::fprintf(stderr, "game fuzz: %s\n", finding.c_str());
    if (!findings.empty()) __builtin_trap();
    if (Entries(fs::current_path()) != CurrentEntries) {
      std::fprintf(stderr, "game fuzz: a file escaped into the current folder\n");
      __builtin_trap();
    }
    for (const std::string& target : host->Opened) {
      const bool mail_query = target.rfind("mailto:", 0) == 0 && target.find('?') != std::string::npos;
      if ((orba::IsDesktopUrl(target) && !mail_query) || Folders.MayOpenFolder(target)) continue;
      std::fprintf(stderr, "game fuzz: the desktop was asked to open %s\n", target.c_str());
      __builtin_trap();
    }
    host->Opened.clear();
    for (const std::string& address : orba::fuzz::TakeLocalConnections()) {
      std::fprintf(stderr, "game fuzz: a download connected to %s, an address of this machine\n", address.c_str());
      __builtin_trap();
    }
  }

  // The names in a folder, but libFuzzer's own findings and the logs of its
  // -jobs workers.
  static std::vector<std::string> Entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
      const std::string name = entry.path().filename().string();
      bool finding = false;
      for (const char* kind : {"crash-", "slow-unit-", "leak-", "timeout-", "oom-", "fuzz-"})
        finding = finding || name.rfind(kind, 0) == 0;
      if (!finding) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  orba::fuzz::TGameSandbox Folders;
  std::vector<std::string> CurrentEntries;
  std::shared_ptr<TFuzzHost> host;
};

// Made once and kept to the end, when its folders go.
TSandbox& Sandbox() {
  static TSandbox* const sandbox = new TSandbox;
  return *sandbox;
}

// Values the expressions draw from: numbers, the game's files and objects,
// in-memory and save files, climbs out of the folder, addresses.
const char* const kTexts[] = {
    "\"pic.bmp\"", "\"own.bmp\"", "\"tone.wav\"", "\"main.osb\"", "\"p1.osb\"", "\"mem:m.brx\"", "\"save:s.brx\"",
    "\"shot.brx\"", "\"..\\\\..\\\\up.brx\"", "\"../up.txt\"", "\"sub\\\\..\\\\..\\\\x.txt\"", "\"/etc/passwd\"",
    "\"*.bmp\"", "\"b\"", "\"m\"", "\"\"", "\"http://example.com/\"", "\"mailto:a@example.com\"",
    "\"httpevil:--help\"", "\"ftp://x/\"", "\"..\\\\..\"", "\"\x82\xa0\"", "\"x\"", "v0", "v1", "v2", "s0", "a0",
    "0", "1", "-1", "2", "7", "100", "65535", "2147483647", "0.5", "TRUE", "FALSE", "@TickCount", "@SelIndex",
    "@ParamCount", "@ScrWidth", "\"link.txt\"", "\"linkdir\\\\inner.txt\"", "\"inlink.txt\"", "\"save.dat\"",
    "\"*a*a*a*a*a*a*a*a*a*c\"", "\"*?*?*?*?*?*?*?*?*?*a?\"", "\"OrbaLeak\"",
};
// What the sandbox plants in the game folder (orba::fuzz::TPlant), as the
// script names it, and names of files and folders beside and below them.
const char* const kPlanted[] = {
    "link.txt", "linkdir\\\\inner.txt", "linkdir", "linkdir\\\\new.txt", "ssh\\\\id_rsa", "ssh", "dangling.txt",
    "fifo.txt", "zero.txt", "inlink\\\\inside.txt", "inlink", "inlink.txt", "shot.brx", "save.dat", "own.bmp",
    "movie.avi", "list.m3u8", "dl\\\\pic.bmp", "dl", "new.txt", "game.001", "save.001", "fonts\\\\out.ttf",
    "fonts\\\\fifo.ttf", "fonts\\\\outdir\\\\inner.txt", "fonts\\\\home\\\\.bashrc", "fonts",
    "*a*a*a*a*a*a*a*a*a*c", "*?*?*?*?*?*?*?*?*?*a?", "wide.brx", "bits.brx", "over.brx", "sparse.brx",
    "progressive.brx", "layers.brx", "big.cur", "big.bmp",
    "nested.txt", "deep.txt", "calls.txt", "grow.avi", "long.txt", "rows.txt", "growth.txt",
};
// Titles of the generated games: some would climb out of the player's
// data folder if taken as they stand.
const char* const kTitles[] = {"fuzz", "a\x81/..", "..", "\x81\\..\x81\\..", "t\x81:"};
// Folders for ExtractFile and the like, made from HOME at run time.
const char* const kFolders[] = {"/.config/autostart", "/Desktop/manual", "/Desktop/../.local/share/x",
                                "/Documents", "/../escaped", "/.ssh"};

std::string Value(FuzzedDataProvider& in, int depth);

// A call of one built-in function of the vocabulary with its argument count.
std::string Call(FuzzedDataProvider& in, int depth) {
  const size_t id = in.ConsumeIntegralInRange<size_t>(0, orba::kFuncCount - 1);
  const int least = orba::FuncMinArgs[id];
  const int most = orba::FuncMaxArgs[id] < 0 ? least + 3 : orba::FuncMaxArgs[id];
  const int n = in.ConsumeIntegralInRange<int>(least, std::max(least, most));
  std::string text = std::string(orba::FuncNames[id]) + "(";
  for (int i = 0; i < n; ++i) text += (i > 0 ? ", " : "") + Value(in, depth + 1);
  return text + ")";
}

std::string Value(FuzzedDataProvider& in, int depth) {
  switch (depth < 3 ? in.ConsumeIntegralInRange<int>(0, 5) : 0) {
    case 0:
    case 1: return in.PickValueInArray(kTexts);
    case 2: return "home ++ \"" + std::string(in.PickValueInArray(kFolders)) + "\"";
    case 3: return Value(in, depth + 1) + " ++ " + Value(in, depth + 1);
    case 4: return Value(in, depth + 1) + " + " + Value(in, depth + 1);
    default: return Call(in, depth);
  }
}

std::string Var(FuzzedDataProvider& in) {
  static const char* const kVars[] = {"v0", "v1", "v2", "s0", "a0"};
  return in.PickValueInArray(kVars);
}

std::string Page(FuzzedDataProvider& in) { return "p" + std::to_string(in.ConsumeIntegralInRange<int>(1, 3)) + ".osb"; }

std::string Small(FuzzedDataProvider& in, int most) { return std::to_string(in.ConsumeIntegralInRange<int>(0, most)); }

std::string Object(FuzzedDataProvider& in) {
  static const char* const kNames[] = {"\"b\"", "\"i\"", "\"m\"", "\"t\"", "\"c\"", "\"s\""};
  return in.PickValueInArray(kNames);
}

std::string Planted(FuzzedDataProvider& in) { return "\"" + std::string(in.PickValueInArray(kPlanted)) + "\""; }

// A file function, a picture or a movie on a name of what the sandbox
// planted in the game folder.
std::string PlantedUse(FuzzedDataProvider& in) {
  // The masks of many stars meet the planted names of 240 letters.
  static const char* const kGameFiles[] = {"\"pic.bmp\"", "\"tone.wav\"", "\"own.bmp\"", "\"*a*a*a*a*a*a*a*a*a*c\"",
                                           "\"*?*?*?*?*?*?*?*?*?*a?\""};
  const std::string name = Planted(in);
  switch (in.ConsumeIntegralInRange<int>(0, 9)) {
    case 0: return "Calc Expression={v2 = LoadTextFile(a0, " + name + ") ++ a0[0] ++ Calc(a0[0])}";
    case 1: return "Calc Expression={v2 = FileExists(" + name + ")}";
    case 2: return "Calc Expression={v2 = DBCreateTable(\"t\", FALSE) ++ DBLoadTsvFile(" + name + ")}";
    case 3: return "Calc Expression={v2 = SaveScreen(" + name + ")}";
    case 4:
      return "Calc Expression={v2 = ExtractFile(" + std::string(in.PickValueInArray(kGameFiles)) + ", " +
             (in.ConsumeBool() ? "TRUE" : "FALSE") + ", " + name + ")}";
    case 5: return "Calc Expression={v2 = CopyFile(" + name + ", " + Planted(in) + ")}";
    case 6: return "Calc Expression={v2 = SetWallPaper(" + name + ", 0)}";
    case 7: return "Calc Expression={v2 = OpenUrl(" + name + ")}";
    case 8: return "Movie Name=\"v\" Source=" + name + " Overlay=FALSE";
    default: return "ImgNew Name=" + Object(in) + " Source=" + name;
  }
}

// One command line from the templates, with its fields drawn from the input.
std::string Command(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange<int>(0, 23)) {
    case 22:
    case 23: return PlantedUse(in);
    case 0:
    case 1:
    case 2: return "Calc Expression={" + Var(in) + " = " + Value(in, 0) + "}";
    case 3: return "Calc Expression={" + Call(in, 0) + "}";
    case 4:
      return "BoxNew Name=" + Object(in) + " Left=" + Small(in, 60) + " Top=" + Small(in, 40) + " Width=" +
             Small(in, 64) + " Height=" + Small(in, 48) + " Color=" + Small(in, 16777215);
    case 5: return "ImgNew Name=" + Object(in) + " Source=\"" + (in.ConsumeBool() ? "pic.bmp" : "own.bmp") + "\" Left=" +
                   Small(in, 40) + " Top=" + Small(in, 30);
    case 6: return "Sound Name=" + Object(in) + " Source=\"tone.wav\" OnPlayEnd=\"" + Page(in) + "\"";
    case 7: return "Wait Time=" + Small(in, 100);
    case 8: return "GameSave Slot=" + Small(in, 3) + " Caption={\"c\" ++ " + Value(in, 1) + "}";
    case 9: return "GameLoad Slot=" + Small(in, 3);
    case 10: return "Call PageName=" + Page(in) + " Arguments={" + Value(in, 1) + "; " + Value(in, 1) + "} ResultVar=v2";
    case 11: return "Jump PageName=" + Page(in);
    case 12: return "Exit Condition={" + Value(in, 1) + "}";
    case 13: return "VarNew Name=" + Var(in) + " Type=" + (in.ConsumeBool() ? "int" : "str") + " Scope=" +
                    Small(in, 3) + " Initial={" + Value(in, 1) + "}";
    case 14: return "ObjDel ObjectName=" + Object(in);
    case 15: return "SetProp ObjectName=" + Object(in) + " PropId=" + Small(in, 130) + " Value={" + Value(in, 1) + "}";
    case 16: return "Timer Name=\"t\" Delay=" + Small(in, 60) + " OnNotify=\"" + Page(in) + "\"";
    case 17: {
      // The game's own face (which the sandbox never plants), a face only
      // a canary holds, an installed one.
      static const char* const kFaces[] = {"", "OrbaBlock", "OrbaLeak", "IPAGothic"};
      return "Caption Name=\"c\" Left=0 Top=0 Text={" + Value(in, 1) + "} FontHeight=" + Small(in, 20) +
             " FontName=\"" + in.PickValueInArray(kFaces) + "\"";
    }
    case 18:
      return "Button Name=" + Object(in) + " Source=\"pic.bmp\" Left=" + Small(in, 40) + " Top=" + Small(in, 30) +
             " OnNotify=\"" + Page(in) + "\"";
    case 19:
      return "WhileInit Init={v0 = 0}\nWhile Condition={v0 < " + Small(in, 5) + "}\n  Calc Expression={" +
             Var(in) + " = " + Value(in, 1) + "}\nWhileLoop Step={v0 = v0 + 1}";
    case 20: return "If Condition={" + Value(in, 1) + "}\n  Calc Expression={" + Call(in, 0) + "}\nElse\n  Exit";
    default: return "Flip Kind=" + Small(in, 3) + " Time=" + Small(in, 60);
  }
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A 2 x 2 picture of 24 bits per pixel.
std::string Bitmap() {
  const unsigned char bmp[] = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 2, 0,
                               0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                               0, 0, 0, 0, 0, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 0, 0};
  return std::string(reinterpret_cast<const char*>(bmp), sizeof bmp);
}

// 8 samples of 8-bit mono sound at 8000 Hz.
std::string Wave() {
  const unsigned char wav[] = {'R', 'I', 'F', 'F', 44, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0,
                               0, 0, 1, 0, 1, 0, 0x40, 0x1f, 0, 0, 0x40, 0x1f, 0, 0, 1, 0, 8, 0, 'd', 'a',
                               't', 'a', 8, 0, 0, 0, 128, 200, 255, 200, 128, 50, 0, 50};
  return std::string(reinterpret_cast<const char*>(wav), sizeof wav);
}

// What an input's first lines ask for, each line optional: a game of the
// tree to start from ("GAME:NAME": tests/games/NAME, or the demo for
// "demo"), what the sandbox plants ("PLANT:" and a hexadecimal mask of
// orba::fuzz::TPlant bits; without it the generator's bytes choose), how
// the game is named ("NAMED:/" with a trailing "/", "NAMED:" without), and
// script lines of the input's own ("> " and the line) that open the first
// generated page. The generator's bytes follow.
struct THead {
  fs::path Seed;
  std::optional<uint64_t> Plants;
  std::optional<bool> Slash;  // "NAMED:/" or "NAMED:": the game named with a trailing "/" or without
  std::string Lines;
};

THead ReadHead(const uint8_t*& data, size_t& size) {
  THead head;
  for (;;) {
    const char* text = reinterpret_cast<const char*>(data);
    const char* end = static_cast<const char*>(std::memchr(text, '\n', size));
    if (end == nullptr) break;
    const std::string line(text, end);
    if (line.rfind("GAME:", 0) == 0) {
      const std::string name = line.substr(5);
      const fs::path root(ORBA_SOURCE_DIR);
      const fs::path folder = name == "demo" ? root / "examples/demo" : root / "tests/games" / name;
      if (!name.empty() && name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_") == std::string::npos &&
          fs::exists(folder / "orba.opb.txt"))
        head.Seed = folder;
    } else if (line.rfind("PLANT:", 0) == 0) {
      head.Plants = static_cast<uint64_t>(std::strtoull(line.c_str() + 6, nullptr, 16)) & orba::fuzz::kPlantAll;
    } else if (line == "NAMED:/" || line == "NAMED:") {
      head.Slash = line == "NAMED:/";
    } else if (line.rfind("> ", 0) == 0) {
      head.Lines += line.substr(2) + "\n";
    } else {
      break;
    }
    data += line.size() + 1;
    size -= line.size() + 1;
  }
  return head;
}

// Writes the game's sources from the input, over a game of the tree when
// the head names one: its settings get the generated variables, its start
// page calls the first generated page last. The head's own lines open the
// first generated page.
void WriteSources(FuzzedDataProvider& in, const fs::path& src, const fs::path& home, const THead& head) {
  for (const auto& entry : fs::directory_iterator(src)) fs::remove_all(entry.path());
  const fs::path& seed = head.Seed;
  std::string settings, start;
  if (!seed.empty()) {
    fs::copy(seed, src, fs::copy_options::recursive);
    std::ifstream old(src / "orba.opb.txt", std::ios::binary);
    settings.assign(std::istreambuf_iterator<char>(old), std::istreambuf_iterator<char>());
    settings += "\n";
  } else {
    settings = "Title = " + std::string(in.PickValueInArray(kTitles)) +
               "\nWidth = " + std::to_string(in.ConsumeIntegralInRange<int>(1, 96)) +
               "\nHeight = " + std::to_string(in.ConsumeIntegralInRange<int>(1, 64)) +
               "\nStartPage = main.osb\nWriteSaveData = " + (in.ConsumeBool() ? "1" : "0") + "\n";
    if (in.ConsumeBool()) settings += "ExitPage = p3.osb\n";
  }
  settings += "Var v0 int 0\nVar v1 int 3\nVar v2 str\nVar s0 str x\nVar a0 str\nVar home str " + home.string() + "\n";
  WriteFile(src / "orba.opb.txt", settings);
  for (int p = 0; p < kMaxPages; ++p) {
    std::string page = p == 0 ? head.Lines : std::string();
    const int lines = in.ConsumeIntegralInRange<int>(1, kMaxLines);
    for (int l = 0; l < lines; ++l) page += Command(in) + "\n";
    if (p == 0 && !seed.empty()) {
      // The seed's own start page runs first, then jumps to the generated
      // one.
      std::ifstream old(src / "main.osb.txt", std::ios::binary);
      const std::string own((std::istreambuf_iterator<char>(old)), std::istreambuf_iterator<char>());
      old.close();
      if (!own.empty()) WriteFile(src / "main.osb.txt", own + (own.back() == '\n' ? "" : "\n") + "Jump PageName=p0.osb\n");
      WriteFile(src / "p0.osb.txt", page);
      continue;
    }
    WriteFile(src / (p == 0 ? "main.osb.txt" : "p" + std::to_string(p) + ".osb.txt"), page);
  }
  // Pages that grow the script without end, for the input's own lines to
  // call: a page calling itself, and PushVar of the planted growth.txt
  // (kPlantScriptGrowth) again and again. The generator never picks them,
  // so the bytes of older inputs make the games they always made.
  WriteFile(src / "deep.osb.txt", "Calc Expression={v0 = v0 + 1}\nCall PageName=deep.osb\n");
  WriteFile(src / "grow.osb.txt",
            "Calc Expression={v2 = LoadTextFile(a0, \"growth.txt\")}\nWhileInit Init={v1 = 0}\n"
            "While Condition={v1 < 200}\n  Calc Expression={PushVar(\"a0\")}\nWhileLoop Step={v1 = v1 + 1}\n");
  WriteFile(src / "pic.bmp", Bitmap());
  WriteFile(src / "tone.wav", Wave());
  WriteFile(src / "own.bmp", in.ConsumeBytesAsString(in.ConsumeIntegralInRange<size_t>(0, 256)));
}

// Input and script events for the ticks, in tick order: clicks, keys,
// moves, events that call the game's pages (which save and load its slots).
void WriteScripts(FuzzedDataProvider& in, int ticks, std::string& input, std::string& events) {
  static const char* const kInput[] = {"lbutton down 5 5", "lbutton up 5 5", "mouse move 10 10", "rbutton down 1 1",
                                       "key down 13", "key up 13", "wheel up 2", "focus lost", "focus gained",
                                       "close"};
  std::vector<std::pair<int, std::string>> inputs, calls;
  const int n = in.ConsumeIntegralInRange<int>(0, 8);
  for (int i = 0; i < n; ++i) {
    const int tick = in.ConsumeIntegralInRange<int>(1, ticks);
    if (in.ConsumeBool())
      inputs.emplace_back(tick, in.PickValueInArray(kInput));
    else
      calls.emplace_back(tick, "event " + Page(in) + (in.ConsumeBool() ? " b" : ""));
  }
  std::stable_sort(inputs.begin(), inputs.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::stable_sort(calls.begin(), calls.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [tick, line] : inputs) input += "tick " + std::to_string(tick) + ": " + line + "\n";
  for (const auto& [tick, line] : calls) events += "tick " + std::to_string(tick) + ": " + line + "\n";
}

}  // namespace

// A quarantine of 16 MB, not the sanitizer's 256 MB: the freed blocks it
// keeps stay resident and count against the process's memory limit
// (-rss_limit_mb=1024 of run.sh and the regression test), which a game
// that frees large pictures and texts would pass with its live heap well
// below. ASAN_OPTIONS may still set another.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=16"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TSandbox& sandbox = Sandbox();
  orba::fuzz::TGameSandbox& folders = sandbox.Folders;
  const THead head = ReadHead(data, size);
  FuzzedDataProvider in(data, size);
  uint64_t plants = head.Plants ? *head.Plants : in.ConsumeIntegral<uint16_t>() & kFirstPlants;
  const int ticks = in.ConsumeIntegralInRange<int>(1, kMaxTicks);
  std::string input, events;
  WriteScripts(in, ticks, input, events);
  WriteSources(in, folders.Sources(), folders.Home(), head);
  // Drawn last, so that an input that ends before (as every kept regression
  // did when they came) plants and names its game as it always has: the
  // game named with a trailing "/" or without, and the later plants.
  const auto last = in.ConsumeIntegral<uint8_t>();
  const bool slash = head.Slash ? *head.Slash : (last & 1) != 0;
  if (!head.Plants) plants |= (static_cast<uint64_t>(last >> 1) << kFirstPlantBits) & orba::fuzz::kPlantAll;
  // The plants past those of the last byte, from one more (none for an
  // input that ended before it).
  const auto later = in.ConsumeIntegral<uint8_t>();
  if (!head.Plants) plants |= (static_cast<uint64_t>(later) << (kFirstPlantBits + 7)) & orba::fuzz::kPlantAll;
  // And the plants past those, from one more again.
  const auto latest = in.ConsumeIntegral<uint8_t>();
  if (!head.Plants) plants |= (static_cast<uint64_t>(latest) << (kFirstPlantBits + 15)) & orba::fuzz::kPlantAll;
  const fs::path game = folders.Game();
  fs::remove_all(game);
  // A package game, so that its next volume planted beside it is one, its
  // start-up files planted beside it are links that the player must not
  // take for its own, and it can be moved into the downloads folder.
  const bool package = (plants & (orba::fuzz::kPlantNextVolumeLink | orba::fuzz::kPlantStartupLinks |
                                  orba::fuzz::kPlantDownloadedPackage)) != 0;
  if (!orba::fuzz::BuildFuzzGame(folders.Sources().string(), game.string(), package)) return 0;
  folders.Plant(plants);
  folders.StartWatching();
  orba::fuzz::Refused([&] {
    orba::TScriptedInput scripted;
    scripted = orba::TScriptedInput::FromText(input);
    orba::TFakeClock clock;
    const auto audio = std::make_shared<orba::TMemoryAudio>();
    orba::SetAudioOutput(audio);
    orba::TMemoryVideo video;
    orba::SetScreenManager(std::make_shared<orba::TSingleModeScreen>(video));
    orba::SetCursorService(std::make_shared<orba::TRecordedCursors>());
    orba::TCallMan::StepBudget = kStepBudget;
    orba::TCallMan::TimeBudgetMs = kTimeBudgetMs;
    {
      const fs::path played = folders.GameToPlay(plants);
      const bool folder = played == game;
      orba::TGameClient client(played.string() + (slash && folder ? "/" : ""), orba::TScriptedEvents::Parse(events));
      client.SetRandomSeed(0);
      orba::TShellRunner runner(clock, video, scripted, client);
      if (runner.StartUp()) {
        if ((plants & orba::fuzz::kPlantHttpFlood) != 0) orba::fuzz::PlantHttpFlood();
        if ((plants & orba::fuzz::kPlantLocalAddresses) != 0) orba::fuzz::PlantLocalAddresses();
        orba::RunSteps(runner, clock, ticks, 15);
      }
      runner.ShutDown();
      if ((plants & (orba::fuzz::kPlantHttpFlood | orba::fuzz::kPlantLocalAddresses)) != 0)
        orba::fuzz::AwaitHttpQuiet();
    }
    orba::SetCursorService(nullptr);
    orba::SetScreenManager(nullptr);
    orba::SetAudioOutput(nullptr);
    orba::ResetPlayerGlobals();
  });
  sandbox.CheckNothingEscaped();
  fs::remove_all(game);
  folders.Reset();
  return 0;
}
