// orba: the game player.
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
    std::printf(
        "usage: orba [--headless [--ticks N] [--frame-ms MS] [--trace FILE|-]\n"
        "             [--screenshot FILE.png] [--input FILE]] GAME\n"
        "GAME is a folder holding game.dat or the game's files, a package file,\n"
        "or a Windows game's program file with its package appended.\n");
    return argc < 2 ? 2 : 0;
  }
  std::fprintf(stderr, "orba: playing games is not available yet\n");
  return 1;
}
