// The tool's batch lines on any text: split into words, turned into arguments for the method
// they name, and called late-bound on the simulated module. Words survive a round trip through
// quoting; arguments come back with their declared types; the only failures are usage errors
// and the automation errors that argument conversion may raise.
#include <cstdint>
#include <string>
#include <vector>

#include "call_format.hpp"
#include "fuzz_support.hpp"
#include "gpio_dll/automation.hpp"
#include "gpio_dll/automation_error.hpp"
#include "gpio_dll/gpio_dll.hpp"
#include "simulated_module.hpp"

namespace gpio_dll::fuzz {
namespace {

using automation::ArgType;

Variant::Type declared(ArgType type) {
  switch (type) {
    case ArgType::Int16:
      return Variant::Type::Int16;
    case ArgType::Int32:
      return Variant::Type::Int32;
    case ArgType::UInt8:
      return Variant::Type::UInt8;
    case ArgType::Text:
      return Variant::Type::Text;
    case ArgType::Bytes:
      break;
  }
  return Variant::Type::Bytes;
}

void check_round_trip(const std::vector<std::string>& words) {
  std::string line;
  for (const auto& word : words) {
    require(word.find('"') == std::string::npos, "no quote inside a word");
    line += "\"" + word + "\" ";
  }
  require(cli::split_words(line) == words, "quoted words split back into themselves");
}

void call_line(const std::string& line) {
  std::vector<std::string> words;
  try {
    words = cli::split_words(line);
  } catch (const cli::UsageError&) {
    return;
  }
  check_round_trip(words);
  if (words.empty()) return;
  const automation::MethodInfo* method = automation::find_method(words[0]);
  // The debug window waits for a person; everything else is called.
  if (method == nullptr || method->name == "ShowDbg") return;
  std::vector<Variant> args;
  try {
    args = cli::parse_arguments(*method, {words.begin() + 1, words.end()});
  } catch (const cli::UsageError&) {
    return;
  }
  require(args.size() == method->arguments.size(), "one argument per declared argument");
  for (std::size_t i = 0; i < args.size(); ++i) {
    const bool bytes = method->arguments[i].type == ArgType::Bytes;
    require(args[i].type() == (bytes ? Variant::Type::Bytes : Variant::Type::Text),
            "arrays as bytes, everything else as text");
  }
  const std::vector<Variant> given = args;
  Variant result;
  try {
    result = automation::Invoke(predeclared_instance(), method->dispid, args);
  } catch (const AutomationError& e) {
    require(e.number() == kOverflow || e.number() == kTypeMismatch,
            "conversion errors only: the method and the count are right");
    return;
  }
  for (std::size_t i = 0; i < args.size(); ++i)
    require(
        method->arguments[i].written ? args[i].type() == declared(method->arguments[i].type)
                                     : args[i] == given[i],
        "the arguments the method writes come back in their declared type, the others as given");
  if (method->result == automation::ResultType::Int32)
    require(result.type() == Variant::Type::Int32 && defined_result(result.to_int32()),
            "a defined result code");
}

}  // namespace
}  // namespace gpio_dll::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static const auto setup = gpio_dll::sim::install_simulated_module();
  (void)setup;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  // A fresh thread per input: its module state starts empty, so an input replays alike.
  gpio_dll::fuzz::on_fresh_thread([&] {
    std::size_t start = 0;
    for (int calls = 0; start <= text.size() && calls < 8; ++calls) {
      std::size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      gpio_dll::fuzz::call_line(text.substr(start, end - start));
      start = end + 1;
    }
  });
  return 0;
}
