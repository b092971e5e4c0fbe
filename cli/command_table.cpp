#include <algorithm>
#include <string>

#include "commands.hpp"
#include "gpio_dll/automation.hpp"

namespace gpio_dll::cli {

std::string full_help(const Command& command) {
  std::string text = command.help;
  if (!(command.flags & kFlagMethodWords)) return text;
  // The names METHOD takes, in interface order, three to a line (bash completion offers them).
  text += "\nMethods:\n";
  const auto methods = automation::method_table();
  for (std::size_t i = 0; i < methods.size(); ++i) {
    std::string name(methods[i].name);
    const bool last_in_line = i % 3 == 2 || i + 1 == methods.size();
    if (!last_in_line) name.resize(std::max<std::size_t>(name.size() + 2, 26), ' ');
    text += (i % 3 == 0 ? "  " : "") + name + (last_in_line ? "\n" : "");
  }
  return text;
}

const std::vector<Command>& commands() {
  static const std::vector<Command> table = {
      {"list", "the HID devices present, modules marked",
       "Usage: gpio-dll list\n"
       "Lists every HID device the platform reports: path, vendor:product, and \"module\"\n"
       "for the bridge module (0451:5F00), with its serial number and name.\n",
       true, run_list},
      {"identify", "find the module and read its firmware version",
       "Usage: gpio-dll identify\n"
       "Runs GPIO_FW_VER_Read: finds the module and prints its firmware version, vendor\n"
       "and product identifiers.\n",
       true, run_identify},
      {"scan", "probe addresses and print a grid (i2cdetect)",
       "Usage: gpio-dll scan [FIRST LAST]\n"
       "  FIRST, LAST  the addresses to probe (default 0x03 to 0x77)\n"
       "Probes each address with a receive byte and prints an i2cdetect grid: the address\n"
       "where a device answered, -- where none did.\n",
       true, run_scan},
      {"smbus", "SMBus transactions (i2cget, i2cset)",
       "Usage: gpio-dll smbus [-y] [--pec] OPERATION ADDRESS [ARGS...] [p]\n"
       "  send-byte ADDRESS DATA          receive-byte ADDRESS\n"
       "  write-byte ADDRESS CMD DATA     read-byte ADDRESS CMD\n"
       "  write-word ADDRESS CMD WORD     read-word ADDRESS CMD\n"
       "  write-block ADDRESS CMD BYTE... read-block ADDRESS CMD\n"
       "  process-call ADDRESS CMD WORD   block-process-call ADDRESS CMD BYTE...\n"
       "  ADDRESS is the 7-bit address (0x03 to 0x77)\n"
       "  --pec, or a final 'p', asks for packet error checking\n"
       "  -y  no confirmation before a write (asked only on a terminal)\n"
       "Reads print 0x%02x, words 0x%04x, blocks as bytes.\n",
       true, run_smbus, kFlagPec},
      {"i2c", "I2C block transactions",
       "Usage: gpio-dll i2c [-y] OPERATION ADDRESS CMD [ARGS...]\n"
       "  write ADDRESS CMD BYTE...             the command byte, then the bytes\n"
       "  read ADDRESS CMD COUNT                the command byte, then read COUNT bytes\n"
       "  write-read ADDRESS CMD COUNT BYTE...  write CMD and the bytes, then read COUNT\n"
       "The largest COUNT and number of bytes depend on the module's firmware; a request\n"
       "above them is refused before it is sent.\n",
       true, run_i2c},
      {"transfer", "combined I2C messages (i2ctransfer)",
       "Usage: gpio-dll transfer [-y] DESC [DATA...] [DESC [DATA...]]\n"
       "  DESC is {r|w}LENGTH[@ADDRESS]; a write is followed by LENGTH data bytes, and\n"
       "  ADDRESS (7-bit) is needed on the first message, later ones keep it; a suffix on\n"
       "  a data byte fills the rest of the message from it: = the same value, + counting\n"
       "  up, - counting down (w5@0x50 0x10 0x00+ writes 10 00 01 02 03)\n"
       "  Examples: transfer w2@0x50 0x00 0x10 r8\n"
       "            transfer w1@0x0b 0x20 r@0x0b 32\n"
       "The module runs a write, a read, or a write followed by a read of the same address,\n"
       "each as one of its own transactions (the first written byte is the command byte);\n"
       "other sequences are refused before anything is sent.\n",
       true, run_transfer},
      {"dump", "registers of a device as a table (i2cdump)",
       "Usage: gpio-dll dump [-w] [--pec] ADDRESS [FIRST [LAST]] [b|w|p]\n"
       "  FIRST, LAST  the registers to read (default 0x00 to 0xff)\n"
       "  -w or 'w'    word mode: SMBus read word, one column per word\n"
       "  --pec or 'p' packet error checking (byte mode)\n"
       "Byte mode reads each register with SMBus read byte and prints 16 per row with an\n"
       "ASCII column; registers that could not be read show XX.\n",
       true, run_dump, kFlagPec | kFlagWord},
      {"lines", "get or set the P0, P1 and PMBus lines",
       "Usage: gpio-dll lines get p0|pmbus\n"
       "       gpio-dll lines set [-y] p0|pmbus VALUE\n"
       "       gpio-dll lines set [-y] p1 A B C\n"
       "P0 bit 0 is SDA, bit 1 is SCL. set asks first on a terminal; -y does not.\n",
       true, run_lines},
      {"check-bus", "report SDA or SCL held low",
       "Usage: gpio-dll check-bus\n"
       "Reads P0 and reports whether SDA and SCL are high (GPIO_CheckSdaSclLine).\n",
       true, run_check_bus},
      {"bus-test", "run the module's bus test",
       "Usage: gpio-dll bus-test\nRuns the module's bus test (GPIO_Test).\n", true, run_bus_test},
      {"eeprom", "read, write or dump the module's 8192-byte EEPROM",
       "Usage: gpio-dll eeprom read FILE\n"
       "       gpio-dll eeprom write [-y] FILE\n"
       "       gpio-dll eeprom dump [FILE]\n"
       "FILE holds the whole 8192-byte image ('-' for standard output or input; with --json\n"
       "the image goes only to a file). dump prints the EEPROM as hex and ASCII, through the\n"
       "pager on a terminal, or to FILE. A progress bar shows on a terminal.\n",
       true, run_eeprom},
      {"dma", "pass a raw 64-byte request through",
       "Usage: gpio-dll dma [-y] HEX\n"
       "Sends HEX (up to 64 bytes as hex digits, the rest zero) as one request and prints\n"
       "the module's answer unexamined (GPIO_DMA). Asks first on a terminal; -y does not.\n",
       true, run_dma},
      {"battery", "a smart-battery report",
       "Usage: gpio-dll battery [--pec] [ADDRESS]\n"
       "Reads the smart battery at ADDRESS (0x0b by default): voltage, current, temperature,\n"
       "state of charge, capacities, cycle count, serial number, names and chemistry. A\n"
       "value that cannot be read shows as failed with its result's message.\n",
       true, run_battery, kFlagPec},
      {"debug-window", "the access gate, then the debug window, until closed",
       "Usage: gpio-dll debug-window\n"
       "Opens the access gate (ShowDbg); the right digest opens the debug window with the\n"
       "module's identifiers, the call trace and the HID test report. Runs until both\n"
       "windows are closed. Needs a display.\n",
       true, run_debug_window},
      {"message", "the message of a result code",
       "Usage: gpio-dll message CODE\nPrints the message of a result code (Check_DllErrorCode).\n",
       false, run_message},
      {"call", "call a method by name",
       "Usage: gpio-dll call [--identify] METHOD [ARG...]\n"
       "Calls a method of cls_GPIO_DLL (its name in any case) through late binding with\n"
       "the method's own arguments, one word per argument in declaration order: numbers in\n"
       "decimal or 0x hex, texts as given, byte arrays as hex digits, \"\" for none. Targets\n"
       "are the 8-bit nTargetID (the 7-bit address shifted left, bit 0 for PEC), not the\n"
       "7-bit addresses of the other commands. Prints the result, its message and the\n"
       "arguments the method writes.\n"
       "Each run is a fresh thread: bus methods return 131 until GPIO_FW_VER_Read has run,\n"
       "so call it first, or give --identify. A method that writes to a device or the module\n"
       "asks first on a terminal; -y does not.\n"
       "  --identify  run GPIO_FW_VER_Read before METHOD\n"
       "Example: gpio-dll --sim 2.0.19 call --identify GPIO_ReadSMBusWord 0x0d 0 0 0x16\n",
       true, run_call, kFlagIdentify | kFlagMethodWords},
      {"batch", "run calls read from standard input",
       "Usage: gpio-dll batch < CALLS\n"
       "Reads one 'METHOD ARG...' call per line from standard input, with the methods' own\n"
       "arguments as 'call' takes them, and runs them all on one thread, in order. Start with\n"
       "GPIO_FW_VER_Read \"\" \"\" \"\": bus methods return 131 until it has run. Blank lines and\n"
       "lines starting with '#' are skipped. A line that cannot be called (an unknown method,\n"
       "the wrong number of arguments) is reported and the batch goes on (exit status 1).\n"
       "With --json every call line gives one object, starting with its \"line\" number:\n"
       "\"result\":\"usage\" for a line that cannot be called.\n",
       true, run_batch},
  };
  return table;
}

const Command* find_command(const std::string& name) {
  for (const auto& c : commands())
    if (name == c.name) return &c;
  return nullptr;
}

}  // namespace gpio_dll::cli
