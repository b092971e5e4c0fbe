#include "commands.hpp"

namespace gpio_dll::cli {

const std::vector<Command>& commands() {
  static const std::vector<Command> table = {
      {"list", "the HID devices present, modules marked",
       "Usage: gpio-dll list\nLists every HID device the platform reports: path, vendor:product,\n"
       "and \"module\" for the bridge module (0451:5F00).\n",
       true, run_list},
      {"identify", "find the module and read its firmware version",
       "Usage: gpio-dll identify\nRuns GPIO_FW_VER_Read: finds the module and prints its firmware "
       "version,\nvendor and product identifiers.\n",
       true, run_identify},
      {"smbus", "SMBus transactions",
       "Usage: gpio-dll smbus OPERATION ADDRESS [ARGS...] [--pec | p]\n"
       "  send-byte ADDRESS DATA          receive-byte ADDRESS\n"
       "  write-byte ADDRESS CMD DATA     read-byte ADDRESS CMD\n"
       "  write-word ADDRESS CMD WORD     read-word ADDRESS CMD\n"
       "  write-block ADDRESS CMD BYTE... read-block ADDRESS CMD\n"
       "  process-call ADDRESS CMD WORD   block-process-call ADDRESS CMD BYTE...\n"
       "ADDRESS is the 7-bit address (0x03 to 0x77); --pec, or a final 'p', asks for packet\n"
       "error checking. Reads print 0x%02x, words 0x%04x, blocks as bytes.\n",
       true, run_smbus},
      {"i2c", "I2C block transactions",
       "Usage: gpio-dll i2c OPERATION ADDRESS CMD [ARGS...]\n"
       "  write ADDRESS CMD BYTE...        the command byte, then the bytes\n"
       "  read ADDRESS CMD COUNT           the command byte, then read COUNT bytes\n"
       "  write-read ADDRESS CMD COUNT BYTE...\n",
       true, run_i2c},
      {"scan", "probe every address and print a grid",
       "Usage: gpio-dll scan\nProbes the addresses 0x03 to 0x77 with a receive byte and prints "
       "an\ni2cdetect-style grid: the address where a device answered, -- where none did.\n",
       true, run_scan},
      {"lines", "get or set the P0, P1 and PMBus lines",
       "Usage: gpio-dll lines get p0|pmbus\n       gpio-dll lines set p0|pmbus VALUE\n"
       "       gpio-dll lines set p1 A B C\nP0 bit 0 is SDA, bit 1 is SCL.\n",
       true, run_lines},
      {"check-bus", "report SDA or SCL held low",
       "Usage: gpio-dll check-bus\nReads P0 and reports whether SDA and SCL are high "
       "(GPIO_CheckSdaSclLine).\n",
       true, run_check_bus},
      {"bus-test", "run the module's bus test", "Usage: gpio-dll bus-test\n", true, run_bus_test},
      {"eeprom", "read or write the module's 8192-byte EEPROM",
       "Usage: gpio-dll eeprom read FILE\n       gpio-dll eeprom write FILE\n"
       "FILE holds the whole 8192-byte image ('-' for standard output or input). A progress bar\n"
       "shows on a terminal.\n",
       true, run_eeprom},
      {"dma", "pass a raw 64-byte request through",
       "Usage: gpio-dll dma HEX\nSends HEX (up to 64 bytes as hex digits, the rest zero) as one "
       "request and\nprints the module's answer unexamined (GPIO_DMA).\n",
       true, run_dma},
      {"battery", "a smart-battery report",
       "Usage: gpio-dll battery [ADDRESS] [--pec]\nReads the smart battery at ADDRESS (0x0b by "
       "default): voltage, current,\ntemperature, state of charge, capacities, cycle count, serial "
       "number, names and\nchemistry. A word that cannot be read shows its result's message.\n",
       true, run_battery},
      {"debug-window", "the access gate, then the debug window, until closed",
       "Usage: gpio-dll debug-window\nOpens the access gate (ShowDbg); the right digest opens "
       "the debug window with\nthe module's identifiers, the call trace and the HID test report. "
       "Runs until\nboth windows are closed. Needs a display.\n",
       true, run_debug_window},
      {"message", "the message of a result code",
       "Usage: gpio-dll message CODE\nPrints the message of a result code (Check_DllErrorCode).\n",
       false, run_message},
      {"call", "call a method by name",
       "Usage: gpio-dll call METHOD [ARG...]\n"
       "Calls a method of cls_GPIO_DLL through late binding, one word per argument in\n"
       "declaration order (numbers in decimal or 0x hex, texts as given, byte arrays as hex\n"
       "digits, \"\" for none), and prints the result, its message and every by-reference\n"
       "argument. Example: gpio-dll --sim 2.0.19 call GPIO_FW_VER_Read \"\" \"\" \"\"\n",
       true, run_call},
      {"batch", "run calls read from standard input",
       "Usage: gpio-dll batch < CALLS\nReads one 'METHOD ARG...' call per line from standard "
       "input and runs them all\non one thread, in order. Blank lines and lines starting with '#' "
       "are skipped.\n",
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
