#include "support/test_support.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <utility>

#include "core/files/vr_file.h"

namespace orba::test {

TempDir::TempDir() {
  char tmpl[] = "/tmp/orba-test-XXXXXX";
  if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::string digits;
  for (char c : hex)
    if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < digits.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  return out;
}

std::string ToHex(const std::vector<uint8_t>& bytes) {
  std::string out;
  char buf[4];
  for (uint8_t b : bytes) {
    std::snprintf(buf, sizeof buf, " %02x", b);
    out += buf;
  }
  return out.empty() ? out : out.substr(1);
}

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::string CaseName(const std::string& description) {
  std::string name;
  bool word_start = true;
  for (const char c : description) {
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!alnum) {
      word_start = true;
      continue;
    }
    name += word_start && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    word_start = false;
  }
  return name;
}

std::string IndexedCaseName(size_t index, const std::string& text) {
  // Long enough to tell a case by, short enough for a test list.
  constexpr size_t kWords = 32;
  const std::string words = CaseName(text).substr(0, kWords);
  return "Case" + std::to_string(index) + (words.empty() ? "" : "_" + words);
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

CommandResult RunCommand(const std::vector<std::string>& argv) {
  CommandResult result;
  int fds[2];
  if (pipe(fds) != 0) return result;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 1);
    close(fds[0]);
    close(fds[1]);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(fds[1]);
  char buf[65536];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0) result.output.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  result.peak_rss_kb = usage.ru_maxrss;
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

CommandResult RunHeedingPermissions(const std::vector<std::string>& argv) {
  std::vector<std::string> command{"sh", "-c", "exec \"$@\" 2>&1", "sh"};
  if (::geteuid() == 0) command.insert(command.end(), {"setpriv", "--bounding-set=-dac_override,-dac_read_search"});
  command.insert(command.end(), argv.begin(), argv.end());
  return RunCommand(command);
}

std::string TestsPath(const std::string& relative) { return std::string(ORBA_TESTS_DIR) + "/" + relative; }

namespace {
// Where an entry's stored bytes lie in its package file: (offset, size).
std::optional<std::pair<int64_t, int64_t>> StoredEntryRange(const std::string& archive, const std::string& name) {
  TVrFileCollection c;
  c.Open(archive, true);
  const TVrFile* entry = c.Find(name);
  if (entry == nullptr) return std::nullopt;
  return std::make_pair(entry->Offset, entry->Size);
}
}  // namespace

std::vector<uint8_t> StoredEntryBytes(const std::string& archive, const std::string& name) {
  const auto range = StoredEntryRange(archive, name);
  if (!range) return {};
  const std::vector<uint8_t> bytes = ReadFileBytes(archive);
  return std::vector<uint8_t>(bytes.begin() + range->first, bytes.begin() + range->first + range->second);
}

bool DamageStoredEntry(const std::string& archive, const std::string& name) {
  const auto range = StoredEntryRange(archive, name);
  if (!range) return false;
  std::vector<uint8_t> bytes = ReadFileBytes(archive);
  bytes[static_cast<size_t>(range->first + range->second / 2)] ^= 0x55;
  WriteFileBytes(archive, bytes);
  return true;
}

std::string PathNearTheLimit(const std::string& base, size_t length) {
  constexpr size_t kLongestName = 200;
  std::string path = base;
  std::filesystem::create_directories(path);
  while (length - path.size() - 1 > kLongestName) {
    path += "/" + std::string(kLongestName, 'd');
    std::filesystem::create_directory(path);
  }
  return path + "/" + std::string(length - path.size() - 1, 'n');
}

CommandResult RunPython(const std::string& script, const std::vector<std::string>& args) {
  std::vector<std::string> argv{ORBA_PYTHON, TestsPath(script)};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunCommand(argv);
}

CommandResult RunOrbaTool(const std::vector<std::string>& args) {
  std::vector<std::string> argv{ORBA_TOOL_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  return RunCommand(argv);
}

}  // namespace orba::test
