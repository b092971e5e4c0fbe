#include "serve_arguments.hpp"

#include <cstdint>
#include <optional>

#include "parse_number.hpp"

namespace gpio_dll::sim {

const char* const kServeUsage =
    "Usage: gpio-dll-sim serve [OPTIONS]\n"
    "Serve the simulated USB-GPIO module as a hidraw device, through FUSE.\n"
    "\n"
    "The simulated module (vendor 0x0451, product 0x5F00, with a smart battery at 0x0B and an\n"
    "I2C EEPROM at 0x50 on its bus) is served as DIR/dev/hidraw0, with a sysfs-like tree at\n"
    "DIR/sys/class/hidraw, until SIGTERM, SIGINT or SIGHUP. Point gpio-dll at it with\n"
    "--hidraw-dir DIR (or GPIO_DLL_HIDRAW_DIR=DIR; every module, --serial picks one) or\n"
    "--device DIR/dev/hidraw0, or bind the two over /dev/hidraw0 and /sys/class/hidraw.\n"
    "Serving needs /dev/fuse, and fusermount3.\n"
    "\n"
    "Options:\n"
    "  --fw FW             the firmware generation: 1.0.10, or 2.0.19 (the default)\n"
    "  --allow-unknown-fw  serve any other version text given with --fw, such as 3.0.0\n"
    "                      (hosts refuse such a module with result 133)\n"
    "  --serial SN         the serial number (HID unique id), SIM0001 by default\n"
    "  --modules N         serve N modules (1 to 64) as DIR/dev/hidraw0 to hidrawN-1, each\n"
    "                      with its own state; serial numbers SN-1 to SN-N, or SIM0001 to\n"
    "                      SIM000N without --serial\n"
    "  --mount DIR         serve at DIR (made if missing, and then removed again); a new\n"
    "                      folder under /tmp by default. A folder where a file system is\n"
    "                      mounted already is refused.\n"
    "  --retries N         answer the first N version queries (0 to 1000) with 0.0.10\n"
    "  --answer-delay MS   send each answer MS milliseconds (0 to 1000) after its request\n"
    "  --verbose           FUSE's debug output on standard error\n"
    "  -h, --help          this text\n"
    "  -V, --version       the program's version\n"
    "\n"
    "Faults and battery registers are set with one command per write to DIR/control (module\n"
    "0's) or, with more than one module, to DIR/control-hidrawK (module K's). Numbers are\n"
    "decimal or 0x hex. A command that is unknown or cannot be carried out fails its write\n"
    "(the shell says only \"write error: Invalid argument\") and changes nothing. Reading\n"
    "the control file (cat DIR/control) gives the last command's outcome: \"ok: COMMAND\",\n"
    "or \"refused: COMMAND: REASON\" with the reason the command was refused, for example\n"
    "\"refused: word 0x0d 70000: VALUE out of range (0 to 65535): 70000\".\n"
    "\n"
    "Control commands:\n"
    "  silent               answer nothing from now on\n"
    "  answer               answer again\n"
    "  silent-after N       answer N more requests, then nothing\n"
    "  fail N STATUS        answer the N-th request from now with STATUS\n"
    "  stuck SDA SCL        hold the lines low (1) or let them go (0)\n"
    "  wrong-pec 0|1        the battery sends wrong PEC bytes (1) or right ones (0)\n"
    "  word REG VALUE       set a battery word register\n"
    "  block REG HEX        set a battery block register (its bytes in hex, at most 255)\n"
    "  answer-delay MS      send each answer MS milliseconds (0 to 1000) after its request\n"
    "  open-error ERRNO     opening the node fails with ERRNO (0: opens work)\n"
    "  descriptor-size N    what HIDIOCGRDESCSIZE answers\n"
    "  descriptor-length N  the size HIDIOCGRDESC writes back\n"
    "  report-length N      each read() hands over exactly N bytes\n"
    "  kernel               the node behaves as the kernel's hidraw again\n"
    "\n"
    "Exit status: 0 after a signal to stop, 1 on bad arguments or when it cannot mount.\n";

namespace {

constexpr std::size_t kLongestSerial = 60;  // SN-64 still fits the kernel's 64-byte HID_UNIQ

std::int64_t number_of(const std::string& option, const std::string& word, std::int64_t min,
                       std::int64_t max) {
  try {
    return parse::parse_number(word, min, max);
  } catch (const parse::ParseError& e) {
    throw UsageError(option + " " + e.what());
  }
}

void check_firmware(const std::string& version, bool unknown_allowed) {
  std::uint8_t numbers[3];
  try {
    parse_version(version, numbers);
  } catch (const std::invalid_argument&) {
    throw UsageError("--fw " + version +
                     ": not a version text (three numbers from 0 to 255, such as 2.0.19)");
  }
  if (!unknown_allowed && !is_known_firmware(version))
    throw UsageError("--fw " + version +
                     ": not a known firmware generation (1.0.10 or 2.0.19); add "
                     "--allow-unknown-fw to serve it anyway");
}

void check_serial(const std::string& serial) {
  if (serial.empty()) throw UsageError("--serial: empty");
  if (serial.size() > kLongestSerial)
    throw UsageError("--serial " + serial + ": longer than " + std::to_string(kLongestSerial) +
                     " characters");
  for (char c : serial)
    if (c < 0x21 || c > 0x7E)
      throw UsageError("--serial " + serial +
                       ": only printable ASCII without blanks can be a serial number");
}

}  // namespace

bool is_known_firmware(const std::string& version) {
  return version == "1.0.10" || version == "2.0.19";
}

ServeArguments parse_serve_arguments(const std::vector<std::string>& args) {
  ServeArguments parsed;
  bool command_given = false;
  bool unknown_fw_allowed = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string word = args[i];
    if (word == "-h" || word == "--help") {
      parsed.action = ServeArguments::Action::kHelp;
      return parsed;
    }
    if (word == "-V" || word == "--version") {
      parsed.action = ServeArguments::Action::kVersion;
      return parsed;
    }
    // The command, serve, may stand anywhere among its options.
    if (!command_given && !word.starts_with("-")) {
      if (word != "serve") throw UsageError("unknown command " + word + " (see --help)");
      command_given = true;
      continue;
    }
    // --option VALUE or --option=VALUE.
    std::optional<std::string> attached;
    if (const auto equals = word.find('='); word.starts_with("--") && equals != std::string::npos) {
      attached = word.substr(equals + 1);
      word.resize(equals);
    }
    const auto value = [&]() -> std::string {
      if (attached) return *attached;
      if (i + 1 >= args.size()) throw UsageError(word + " needs a value (see --help)");
      return args[++i];
    };
    const auto no_value = [&] {
      if (attached) throw UsageError(word + " takes no value");
    };
    if (word == "--fw") {
      parsed.config.firmware_version = value();
    } else if (word == "--allow-unknown-fw") {
      no_value();
      unknown_fw_allowed = true;
    } else if (word == "--serial") {
      parsed.config.serial_number = value();
      check_serial(parsed.config.serial_number);
      parsed.serial_given = true;
    } else if (word == "--modules") {
      parsed.modules = static_cast<int>(number_of(word, value(), 1, 64));
    } else if (word == "--mount") {
      parsed.options.mount_dir = value();
      if (parsed.options.mount_dir.empty()) throw UsageError("--mount: empty folder name");
    } else if (word == "--retries") {
      parsed.config.retry_answers = static_cast<int>(number_of(word, value(), 0, 1000));
    } else if (word == "--answer-delay") {
      parsed.config.answer_delay_ms =
          static_cast<std::uint32_t>(number_of(word, value(), 0, kLongestAnswerDelayMs));
    } else if (word == "--verbose") {
      no_value();
      parsed.options.verbose = true;
    } else {
      throw UsageError(word.starts_with("-") ? "unknown option " + word + " (see --help)"
                                             : "unexpected argument " + word + " (see --help)");
    }
  }
  if (!command_given) throw UsageError("no command given (gpio-dll-sim serve; see --help)");
  check_firmware(parsed.config.firmware_version, unknown_fw_allowed);
  return parsed;
}

}  // namespace gpio_dll::sim
