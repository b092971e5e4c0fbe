#include "confirm.hpp"

#include <algorithm>
#include <array>
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
    tool.print_json({{"command", command}, {"result", "declined"}, {"message", text}});
  return kExitUsage;
}

bool method_writes(std::string_view method) {
  static constexpr std::array<std::string_view, 14> kWriting = {
      "GPIO_SendSMBusByte",  "GPIO_WriteSMBusByte",
      "GPIO_WriteSMBusWord", "GPIO_WriteSMBusBlock",
      "GPIO_ProcessCall",    "GPIO_WriteReadSMBusBlock",
      "GPIO_WriteI2CBlock",  "GPIO_WriteReadI2CBlock",
      "GPIO_SetP0Line",      "GPIO_ReadWriteP0Line",
      "GPIO_SetP1Line",      "GPIO_SetPMBusLine",
      "GPIO_FW_EEP_Write",   "GPIO_DMA"};
  return std::find(kWriting.begin(), kWriting.end(), method) != kWriting.end();
}

}  // namespace gpio_dll::cli
