#include "confirm.hpp"

#include <iostream>

#include "terminal.hpp"

namespace gpio_dll::cli {

bool confirm(const Tool& tool, const std::string& what) {
  if (tool.options().yes || !stdin_is_terminal()) return true;
  std::cerr << "WARNING! This will " << what << ".\nContinue? [Y/n] " << std::flush;
  std::string answer;
  if (!std::getline(std::cin, answer)) return false;
  return answer.empty() || answer[0] == 'y' || answer[0] == 'Y';
}

int declined(const Tool& tool, const std::string& command) {
  const std::string text = "aborting on user request";
  tool.error(text);
  if (tool.options().json)
    tool.print_json({{"command", command}, {"result", "usage"}, {"message", text}});
  return kExitUsage;
}

}  // namespace gpio_dll::cli
