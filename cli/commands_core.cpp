// identify, list, message, call and batch.
#include <iostream>

#include "commands.hpp"
#include "confirm.hpp"
#include "file_access.hpp"

namespace gpio_dll::cli {

int run_identify(Tool& tool, Args& args) {
  expect_count(args, 0, "gpio-dll identify");
  std::string fw, vendor, product;
  const std::int32_t result = tool.dll().GPIO_FW_VER_Read(fw, vendor, product);
  const std::string reason = tool.identification_reason(result);
  // Without a module the identifiers that discovery read last are another device's, or "0000"
  // for a node that could not be opened: none are given then.
  if (result == NO_DEV_DETECTED) {
    vendor.clear();
    product.clear();
  }
  const Json fields = {
      {"firmware", json_text(fw)}, {"vendor", json_text(vendor)}, {"product", json_text(product)}};
  return tool.finish("identify", result, fields,
                     "firmware: " + fw + "\nvendor:   " + vendor + "\nproduct:  " + product,
                     reason);
}

int run_list(Tool& tool, Args& args) {
  expect_count(args, 0, "gpio-dll list");
  const auto devices = platform::list_devices();
  Json items = Json::array();
  std::string text;
  for (const auto& d : devices) {
    const std::string ids =
        d.opened ? identifier(d.vendor_id) + ":" + identifier(d.product_id) : "????:????";
    text += d.path + "  " + ids + (d.is_module ? "  module" : "") +
            (d.opened ? "" : "  (cannot open: " + d.open_error + ")") +
            (d.serial_number.empty() ? "" : "  serial " + d.serial_number) +
            (d.product_name.empty() ? "" : "  \"" + d.product_name + "\"") + "\n";
    Json item = {{"path", json_text(d.path)},
                 {"vendor", identifier(d.vendor_id)},
                 {"product", identifier(d.product_id)},
                 {"module", d.is_module},
                 {"opened", d.opened},
                 {"serial", json_text(d.serial_number)},
                 {"name", json_text(d.product_name)}};
    if (!d.opened) item["reason"] = json_text(d.open_error);
    items.push_back(std::move(item));
  }
  if (tool.options().json)
    tool.print_json({{"command", "list"},
                     {"result", OK},
                     {"message", tool.message(OK)},
                     {"devices", std::move(items)}});
  else
    std::cout << text;
  return kExitOk;
}

int run_debug_window(Tool& tool, Args& args) {
  expect_count(args, 0, "gpio-dll debug-window");
  if (!debug_window::on_display()) {
#ifdef _WIN32
    throw UsageError{"no desktop: the debug window needs an interactive session"};
#else
    throw UsageError{"the debug window cannot be shown: " + debug_window::headless_reason()};
#endif
  }
  std::string none;
  tool.dll().ShowDbg(none);
  debug_window::wait_until_closed();
  return kExitOk;
}

int run_message(Tool& tool, Args& args) {
  expect_count(args, 1, "gpio-dll message CODE");
  const auto code = static_cast<std::int32_t>(parse_number(args[0], INT32_MIN, INT32_MAX, "CODE"));
  const std::string message = tool.message(code);
  if (tool.options().json)
    tool.print_json({{"command", "message"}, {"result", OK}, {"message", message}, {"code", code}});
  else
    std::cout << message << "\n";
  return kExitOk;
}

namespace {

// The longest line a batch reads: a call's longest argument is an EEPROM image of 8192 bytes,
// 16,384 hex digits (24,575 with blanks between the bytes).
constexpr std::size_t kLongestCallLine = 64 * 1024;

// Calls one method and prints it; false when the call failed (a result code other than OK, or
// an automation error). A batch's objects start with the line's number (`line` > 0).
bool call_and_print(Tool& tool, const std::string& name, const Args& words, int line = 0) {
  const automation::MethodInfo* method = automation::find_method(name);
  if (method == nullptr) throw UsageError{"no method " + name};
  CallOutcome outcome;
  outcome.method = method;
  outcome.args = parse_arguments(*method, words);
  try {
    outcome.result = automation::Invoke(tool.dll(), method->dispid, outcome.args);
  } catch (const AutomationError& e) {
    outcome.automation_failed = true;
    outcome.automation_error = e.number();
    outcome.automation_message = AutomationError::description(e.number());
  }
  bool ok = !outcome.automation_failed;
  std::string message;
  std::string reason;
  std::string meaning;
  if (ok && method->result == automation::ResultType::Int32) {
    const std::int32_t code = outcome.result.to_int32();
    message = tool.message(code);
    ok = code == OK;
    reason = std::string(method->name) == "GPIO_FW_VER_Read" ? tool.identification_reason(code)
                                                             : failure_reason(code);
    meaning = result_meaning(code, -1);
  }
  if (tool.options().json) {
    const Json call = format_json(outcome, message);
    Json json = line > 0 ? Json{{"line", line}} : Json::object();
    for (const auto& [key, value] : call.items())
      json[key] = value;
    if (!meaning.empty()) json["meaning"] = meaning;
    if (!reason.empty()) json["reason"] = json_text(reason);
    tool.print_json(json);
  } else {
    std::cout << format_text(outcome, message);
  }
  std::cout.flush();
  if (outcome.automation_failed)
    tool.error("automation error " + std::to_string(outcome.automation_error) + ": " +
               outcome.automation_message);
  else if (!ok)
    tool.error(outcome.result.to_text() + ": " + message +
               (meaning.empty() ? "" : " (" + meaning + ")"));
  if (!reason.empty()) tool.error(reason);
  return ok;
}

// Asks before a method that writes, once its arguments are known to be usable.
bool confirm_call(const Tool& tool, const std::string& name, const Args& words) {
  const automation::MethodInfo* method = automation::find_method(name);
  if (method == nullptr) throw UsageError{"no method " + name};
  parse_arguments(*method, words);
  // The table's spelling: a name is found whatever its case.
  const std::string canonical(method->name);
  return !method_writes(canonical) ||
         confirm(tool, "call " + canonical + ", which writes to a device or the module");
}

}  // namespace

int run_call(Tool& tool, Args& args) {
  if (args.empty()) throw UsageError{"usage: gpio-dll call METHOD [ARG...]"};
  const std::string name = args[0];
  const Args words(args.begin() + 1, args.end());
  // Usage errors and the question first, so that neither reaches the module.
  if (!confirm_call(tool, name, words)) return declined(tool, "call");
  if (tool.options().identify_first) {
    int status = kExitOk;
    if (!tool.identify(status)) return status;
  }
  return call_and_print(tool, name, words) ? kExitOk : kExitResult;
}

int run_batch(Tool& tool, Args& args) {
  expect_count(args, 0, "gpio-dll batch < CALLS");
  bool all_ok = true;
  bool usage_failed = false;
  std::string line;
  int number = 0;
  while (true) {
    try {
      if (!read_line(line, kLongestCallLine)) break;
    } catch (const UsageError& e) {
      throw UsageError{"line " + std::to_string(number + 1) + ": " + e.message +
                       " (the batch stops here)"};
    }
    ++number;
    std::string method;
    try {
      Args words = split_words(line);
      if (words.empty() || words[0].starts_with("#")) continue;
      const std::string name = words[0];
      const Args method_words(words.begin() + 1, words.end());
      method = name;
      // A declined call ends the batch: the calls after it may rely on it.
      if (!confirm_call(tool, name, method_words)) return declined(tool, "batch");
      all_ok = call_and_print(tool, name, method_words, number) && all_ok;
    } catch (const UsageError& e) {
      tool.error("line " + std::to_string(number) + ": " + e.message);
      // Every call line gets its object, so that the objects can be matched with the lines.
      if (tool.options().json) {
        Json json = {{"line", number}};
        if (!method.empty()) json["method"] = json_text(method);
        json["result"] = "usage";
        json["message"] = json_text(e.message);
        tool.print_json(json);
      }
      usage_failed = true;
    }
  }
  if (usage_failed) return kExitUsage;
  return all_ok ? kExitOk : kExitResult;
}

}  // namespace gpio_dll::cli
