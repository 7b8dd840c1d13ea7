// orbatool page asm: assembles a page listing into a page file (".osb").
#include <string>
#include <vector>

#include "authoring/page_asm.h"
#include "core/files/disk_path.h"
#include "orbatool.h"
#include "platform/text_convert.h"

namespace orbatool {

int PageAsm(const std::vector<std::string>& args) {
  std::string source, out;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "-o" && i + 1 < args.size()) {
      out = args[++i];
    } else if (source.empty() && args[i] != "-o") {
      source = args[i];
    } else {
      source.clear();
      break;
    }
  }
  if (source.empty() || out.empty()) BadUsage();
  const std::string source_sjis = orba::Utf8ToSjis(source);
  const std::string out_sjis = orba::Utf8ToSjis(out);
  // The page calls itself by the name of the file it is written to.
  const std::string page_name = out_sjis.substr(orba::SjisFileNameStart(out_sjis));
  const orba::TPageListing listing =
      orba::ParsePageListing(orba::LoadUtf8TextAsSjis(source_sjis), source_sjis, page_name);
  orba::AssemblePage(listing)->SaveToFile(out_sjis);
  return 0;
}

}  // namespace orbatool
