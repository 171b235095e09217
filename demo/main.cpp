// mirrox-demo: the helper that scripts/demo drives against one installation of Mirrox.
#include <charconv>
#include <iostream>
#include <string_view>

#include "demo/demo_commands.h"

namespace {

constexpr std::string_view kUsage =
    "usage: mirrox-demo prepare DIR      install change capture at every object's site\n"
    "       mirrox-demo add-rows DIR N   add round N of new rows at every object's site\n"
    "       mirrox-demo show DIR [ROWS]  row counts and the latest ROWS rows (default 3) of the\n"
    "                                    local databases\n"
    "DIR is the directory of the installation's mirrox and mirrox.ini.\n";

bool readInt(std::string_view text, int& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << kUsage;
    return 2;
  }
  const std::string_view command = argv[1];
  const std::filesystem::path dir = argv[2];
  if (command == "prepare" && argc == 3) return mirrox::demo::prepareSites(dir, std::cout);
  if (command == "add-rows" && argc == 4) {
    int round = 0;
    if (readInt(argv[3], round)) return mirrox::demo::addSiteRows(dir, round, std::cout);
  }
  if (command == "show" && (argc == 3 || argc == 4)) {
    int rows = 3;
    if (argc == 3 || (readInt(argv[3], rows) && rows >= 0))
      return mirrox::demo::showLocalDatabases(dir, rows, std::cout);
  }
  std::cerr << kUsage;
  return 2;
}
