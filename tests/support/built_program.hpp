// How the tests start the build's own programs (gpio-dll, gpio-dll-sim): directly, or in a cross
// build through the emulator that runs them (GPIO_DLL_EMULATOR, such as "qemu-aarch64 -L /"),
// since the machine cannot start them by itself.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#ifndef GPIO_DLL_EMULATOR
#define GPIO_DLL_EMULATOR ""
#endif

namespace gpio_dll::testing {

// The command line that runs `program` with `args`: the emulator's words first in a cross build.
// Its first word is looked up on PATH (execvp).
inline std::vector<std::string> built_program_argv(const std::string& program,
                                                   const std::vector<std::string>& args = {}) {
  std::vector<std::string> argv;
  std::istringstream words(GPIO_DLL_EMULATOR);
  for (std::string word; words >> word;)
    argv.push_back(word);
  argv.push_back(program);
  argv.insert(argv.end(), args.begin(), args.end());
  return argv;
}

// `program` as the start of a /bin/sh command line.
inline std::string built_program_command(const std::string& program) {
  const std::string emulator = GPIO_DLL_EMULATOR;
  return emulator.empty() ? program : emulator + " " + program;
}

}  // namespace gpio_dll::testing
