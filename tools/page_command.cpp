// orbatool page: listings of compiled script pages (".osb").
#include <cstdio>
#include <string>
#include <vector>

#include "authoring/page_dump.h"
#include "core/streams/big_stream.h"
#include "orbatool.h"
#include "platform/text_convert.h"
#include "script/interp/page.h"

namespace orbatool {
// orbatool page asm (tools/asm_command.cpp).
int PageAsm(const std::vector<std::string>& args);
}  // namespace orbatool

namespace {

constexpr char kUsage[] =
    "usage: orbatool page dump [--json] FILE.osb\n"
    "       orbatool page asm FILE.osb.txt -o FILE.osb\n"
    "  dump lists every command of the page with every field of its record.\n"
    "  --json prints the same as JSON, texts and bytes as hex of their Shift-JIS bytes.\n"
    "  asm assembles a page listing (see docs/page-assembler.md).\n";

// Records the warning of a page that is too old instead of showing it.
class TToolPageHost final : public orba::TPageHost {
 public:
  std::string warning;
  void PageTooOld(const std::string& caption, const std::string& text) override { warning = text; }
};

int PageCommand(const std::vector<std::string>& args) {
  if (!args.empty() && args[0] == "asm") return orbatool::PageAsm(args);
  if (args.empty() || args[0] != "dump") {
    orbatool::BadUsage();
  }
  bool json = false;
  std::string file;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--json") {
      json = true;
    } else if (file.empty()) {
      file = args[i];
    } else {
      orbatool::BadUsage();
    }
  }
  if (file.empty()) {
    orbatool::BadUsage();
  }
  TToolPageHost host;
  orba::SetPageHost(&host);
  struct Restore {
    ~Restore() { orba::SetPageHost(nullptr); }
  } restore;
  orba::TPage page;
  page.LoadFromFile(orba::Utf8ToSjis(file));
  const std::string out = json ? orba::PageToJson(page) : orba::PageToText(page);
  std::fwrite(out.data(), 1, out.size(), stdout);
  if (!host.warning.empty() && !json) {
    std::printf("warning: %s\n", orba::SjisToUtf8(host.warning).c_str());
  }
  return 0;
}

orbatool::OrbaToolCommand page_command("page", "list or assemble the commands of a script page", kUsage,
                                             PageCommand);

}  // namespace
