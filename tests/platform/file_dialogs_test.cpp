// File dialogs: filter texts, the scripted back end, and the desktop back
// end's command lines and child process (with stand-in dialog programs).
#include "platform/file_dialogs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "core/system/trace.h"
#include "platform/headless/scripted_file_dialogs.h"
#include "platform/headless/silent_dialogs.h"
#include "platform/linux/file_dialogs_linux.h"
#include "support/test_support.h"

namespace orba {
namespace {

void WriteScript(const std::string& path, const std::string& body) {
  std::ofstream(path) << "#!/bin/sh\n" << body;
  chmod(path.c_str(), 0755);
}

// Sets an environment variable for the life of the object.
struct ScopedEnv {
  ScopedEnv(const char* name, const std::string& value)
      : name_(name), had_(std::getenv(name) != nullptr), old_(had_ ? std::getenv(name) : "") {
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() { had_ ? setenv(name_, old_.c_str(), 1) : unsetenv(name_); }
  const char* name_;
  bool had_;
  std::string old_;
};

TEST(FileDialogs, FilterPairs) {
  const auto f = ParseDialogFilter("Text (*.txt)|*.txt;*.log|All|*.*|Dangling");
  using TPairs = std::vector<std::pair<std::string, std::vector<std::string>>>;
  EXPECT_EQ(f, (TPairs{{"Text (*.txt)", {"*.txt", "*.log"}}, {"All", {"*.*"}}}));
  EXPECT_TRUE(ParseDialogFilter("").empty() && ParseDialogFilter("Nothing|").empty());
}

TEST(FileDialogs, ScriptedQueueAndCancelledDefault) {
  auto scripted = std::make_shared<TScriptedFileDialogs>();
  auto previous = SetFileDialogService(scripted);
  scripted->Push(std::string("C:\\a.txt"));
  scripted->Push(std::nullopt);
  TFileDialogRequest r;
  r.Title = "t";
  EXPECT_EQ(FileDialogs().Show(r), std::optional<std::string>("C:\\a.txt"));
  EXPECT_EQ(FileDialogs().Show(r), std::nullopt);
  EXPECT_EQ(FileDialogs().Show(r), std::nullopt);  // empty queue: cancelled
  EXPECT_EQ(scripted->Shown().size(), 3u);
  SetFileDialogService(std::make_shared<TCancelledFileDialogs>());
  EXPECT_EQ(FileDialogs().Show(r), std::nullopt);
  SetFileDialogService(previous);
}

TEST(FileDialogs, DesktopCommandLines) {
  TFileDialogRequest r;
  r.Kind = TFileDialogKind::Save;
  r.Title = "\x95\xdb\x91\xb6";  // 保存
  r.Filter = "Data|*.dat;*.bin";
  r.InitialFolder = "/tmp\\x";
  r.OverwritePrompt = true;
  EXPECT_EQ(DesktopDialogArgs(TDialogTool::Zenity, r),
            (std::vector<std::string>{"zenity", "--file-selection", "--save", "--confirm-overwrite",
                                      "--title=\xe4\xbf\x9d\xe5\xad\x98", "--filename=/tmp/x/",
                                      "--file-filter=Data | *.dat *.bin"}));
  EXPECT_EQ(DesktopDialogArgs(TDialogTool::KDialog, r),
            (std::vector<std::string>{"kdialog", "--title", "\xe4\xbf\x9d\xe5\xad\x98", "--getsavefilename",
                                      "/tmp/x/", "*.dat *.bin|Data"}));
  r.Kind = TFileDialogKind::Folder;
  r.Title.clear();
  EXPECT_EQ(DesktopDialogArgs(TDialogTool::Zenity, r),
            (std::vector<std::string>{"zenity", "--file-selection", "--directory", "--filename=/tmp/x/"}));
  EXPECT_EQ(DesktopDialogArgs(TDialogTool::KDialog, r),
            (std::vector<std::string>{"kdialog", "--getexistingdirectory", "/tmp/x/"}));
  EXPECT_TRUE(DesktopDialogArgs(TDialogTool::None, r).empty());
}

TEST(FileDialogs, ChildProcessWithoutShell) {
  test::TempDir dir;
  const std::string echo = dir / "echo_args";
  WriteScript(echo, "for a in \"$@\"; do printf '%s\\n' \"$a\"; done\necho noise >&2\n");
  WriteScript(dir / "fails", "echo partial\nexit 3\n");
  // Arguments reach the program as they are: no word splitting, no
  // expansion, no command separators.
  EXPECT_EQ(RunDialogProgram({echo, "a b", "$HOME", "x; rm -rf y", "`z`"}),
            std::optional<std::string>("a b\n$HOME\nx; rm -rf y\n`z`\n"));
  EXPECT_EQ(RunDialogProgram({dir / "fails"}), std::nullopt);
  EXPECT_EQ(RunDialogProgram({dir / "missing"}), std::nullopt);
  EXPECT_EQ(RunDialogProgram({}), std::nullopt);
}

TEST(FileDialogs, DesktopDialogsFindZenity) {
  test::TempDir dir;
  // A stand-in zenity answering a UTF-8 path (あ.txt), or cancelling (exit 1)
  // for a folder dialog.
  WriteScript(dir / "zenity",
              "case \"$*\" in *--directory*) exit 1;; esac\nprintf '/tmp/\\343\\201\\202.txt\\n'\n");
  {
    ScopedEnv path("PATH", dir.path());
    ScopedEnv display("DISPLAY", ":42");
    ASSERT_EQ(FindDialogTool(), TDialogTool::Zenity);
    TDesktopFileDialogs dialogs;
    TFileDialogRequest r;
    EXPECT_EQ(dialogs.Show(r), std::optional<std::string>("/tmp/\x82\xa0.txt"));
    r.Kind = TFileDialogKind::Folder;
    EXPECT_EQ(dialogs.Show(r), std::nullopt);
  }
  {
    ScopedEnv path("PATH", dir.path());
    ScopedEnv display("DISPLAY", "");
    ScopedEnv wayland("WAYLAND_DISPLAY", "");
    EXPECT_EQ(FindDialogTool(), TDialogTool::None);
    TDesktopFileDialogs dialogs;
    EXPECT_EQ(dialogs.Show(TFileDialogRequest{}), std::nullopt);
  }
}

// A chooser that cannot come up answers "cancelled" to the game, and the
// trace says why, for each reason.
TEST(FileDialogs, NoChooserIsTracedWithItsReason) {
  test::TempDir empty;
  const struct {
    const char* display;
    const char* reason;
  } cases[] = {{"", "there is no display"}, {":42", "neither zenity nor kdialog is installed"}};
  for (const auto& c : cases) {
    ScopedEnv path("PATH", empty.path());
    ScopedEnv display("DISPLAY", c.display);
    ScopedEnv wayland("WAYLAND_DISPLAY", "");
    std::vector<std::string> lines;
    SetTraceSink([&lines](const std::string& line) { lines.push_back(line); });
    TDesktopFileDialogs dialogs;
    EXPECT_EQ(dialogs.Show(TFileDialogRequest{}), std::nullopt);
    SetTraceSink(nullptr);
    ASSERT_EQ(lines.size(), 1u) << c.display;
    EXPECT_NE(lines[0].find(std::string("file chooser: none can be shown (") + c.reason + ")"), std::string::npos)
        << lines[0];
  }
}

}  // namespace
}  // namespace orba
