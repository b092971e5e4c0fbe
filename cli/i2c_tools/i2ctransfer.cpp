// i2ctransfer: I2C messages as one transfer. The module runs a transfer as one of its own
// transactions: a write (the first byte is the command byte), a 1-byte read, or a write followed
// by a read of the same address; it refuses any other sequence as an adapter without that
// capability, before anything is sent.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "adapter.hpp"
#include "i2c_tools.hpp"
#include "smbus_calls.hpp"

namespace gpio_dll::cli::i2c_tools {

namespace {

constexpr int kMaxMessages = 42;  // I2C_RDRW_IOCTL_MAX_MSGS

struct Message {
  int address = 0;
  bool read = false;
  bool receive_length = false;  // r?: the target sends the length first
  int length = 0;
  ByteArray buffer;
};

enum PrintFlags : unsigned {
  kPrintStderr = 1,
  kPrintHeader = 2,
  kPrintReadBuffer = 4,
  kPrintWriteBuffer = 8,
};

void help() {
  std::fprintf(stderr,
               "Usage: i2ctransfer [-f] [-y] [-v] [-V] [-a] I2CBUS DESC [DATA] [DESC [DATA]]...\n"
               "  I2CBUS is an integer or an I2C bus name\n"
               "  DESC describes the transfer in the form: {r|w}LENGTH[@address]\n"
               "    1) read/write-flag 2) LENGTH (range 0-65535, or '?')\n"
               "    3) I2C address (use last one if omitted)\n"
               "  DATA are LENGTH bytes for a write message. They can be shortened by a suffix:\n"
               "    = (keep value constant until LENGTH)\n"
               "    + (increase value by 1 until LENGTH)\n"
               "    - (decrease value by 1 until LENGTH)\n"
               "    p (use pseudo random generator until LENGTH with value as seed)\n"
               "\n"
               "Example (bus 0, read 8 byte at offset 0x64 from EEPROM at 0x50):\n"
               "  # i2ctransfer 0 w1@0x50 0x64 r8\n"
               "Example (same EEPROM, at offset 0x42 write 0xff 0xfe ... 0xf0):\n"
               "  # i2ctransfer 0 w17@0x50 0x42 0xff-\n");
}

void print_messages(const std::vector<Message>& messages, unsigned flags) {
  FILE* out = (flags & kPrintStderr) ? stderr : stdout;
  for (std::size_t i = 0; i < messages.size(); ++i) {
    const Message& m = messages[i];
    const bool print_buffer =
        (m.read && (flags & kPrintReadBuffer)) || (!m.read && (flags & kPrintWriteBuffer));
    const std::size_t length = m.receive_length && !m.buffer.empty()
                                   ? m.buffer[0] + 1u
                                   : static_cast<std::size_t>(m.length);
    if (flags & kPrintHeader) {
      std::fprintf(out, "msg %u: addr 0x%02x, %s, len ", static_cast<unsigned>(i), m.address,
                   m.read ? "read" : "write");
      if (!m.receive_length || (flags & kPrintReadBuffer))
        std::fprintf(out, "%u", static_cast<unsigned>(length));
      else
        std::fprintf(out, "TBD");
    }
    if (length && print_buffer) {
      if (flags & kPrintHeader) std::fprintf(out, ", buf ");
      for (std::size_t j = 0; j < length; ++j)
        std::fprintf(out, "0x%02x%c", j < m.buffer.size() ? m.buffer[j] : 0,
                     j + 1 < length ? ' ' : '\n');
    } else if (flags & kPrintHeader) {
      std::fprintf(out, "\n");
    }
  }
}

// What the module lacks to run `messages`, or "" when it can.
std::string missing_for(const std::vector<Message>& m) {
  if (m.size() == 1) {
    if (m[0].length == 0) return m[0].read ? "SMBus quick read" : "SMBus quick write";
    if (m[0].read && (m[0].receive_length || m[0].length > 1))
      return "I2C read of more than 1 byte without a write before it";
    return "";
  }
  const char* pairs = "I2C transfers other than a write followed by a read of the same address";
  if (m.size() != 2 || m[0].read || !m[1].read || m[0].address != m[1].address) return pairs;
  if (m[0].length == 0) return "SMBus quick write";
  if (m[1].length == 0) return "SMBus quick read";
  if (m[1].receive_length && m[0].length != 1)
    return "I2C read of a length the target sends after a write of more than 1 byte";
  return "";
}

// Runs the messages (missing_for() found nothing lacking): fills the read messages' buffers.
bool send(Tool& tool, std::vector<Message>& m, std::int32_t& result) {
  SMBusCalls smbus(tool, m[0].address);
  bool ok = false;
  if (m.size() == 1 && m[0].read) {
    const auto value = smbus.read_byte();
    if ((ok = value.has_value())) m[0].buffer = {static_cast<std::uint8_t>(*value)};
  } else if (m.size() == 1 && m[0].length == 1) {
    ok = smbus.write_byte(m[0].buffer[0]);
  } else if (m.size() == 1) {
    ok = smbus.write_i2c_block_data(m[0].buffer[0],
                                    ByteArray(m[0].buffer.begin() + 1, m[0].buffer.end()));
  } else if (m[1].receive_length) {
    // A 1-byte write, then the length and that many bytes: an SMBus block read.
    const auto data = smbus.read_block_data(m[0].buffer[0]);
    if ((ok = data.has_value())) {
      m[1].buffer = {static_cast<std::uint8_t>(data->size())};
      m[1].buffer.insert(m[1].buffer.end(), data->begin(), data->end());
    }
  } else {
    const auto data = smbus.write_read_i2c(m[0].buffer, m[1].length);
    if ((ok = data.has_value())) {
      m[1].buffer = *data;
      m[1].buffer.resize(static_cast<std::size_t>(m[1].length), 0);
    }
  }
  result = smbus.last_result();
  return ok;
}

}  // namespace

int run_i2ctransfer(Tool& tool, const Args& args) {
  bool yes = false, version = false, verbose = false, all_addresses = false, force = false;
  // Options as getopt takes them: anywhere before "--", grouped or not.
  Args operands;
  bool options_end = false;
  for (const auto& word : args) {
    if (options_end || word.size() < 2 || word[0] != '-') {
      operands.push_back(word);
      continue;
    }
    if (word == "--") {
      options_end = true;
      continue;
    }
    for (std::size_t k = 1; k < word.size(); ++k) {
      switch (word[k]) {
        case 'a':
          all_addresses = true;
          break;
        case 'f':
          force = true;
          break;
        case 'v':
          verbose = true;
          break;
        case 'V':
          version = true;
          break;
        case 'y':
          yes = true;
          break;
        case 'h':
          help();
          return kExitOk;
        default:
          std::fprintf(stderr, "i2ctransfer: invalid option -- '%c'\n", word[k]);
          help();
          return kExitUsage;
      }
    }
  }
  if (version) {
    print_version("i2ctransfer");
    return kExitOk;
  }
  std::vector<const char*> argv;
  for (const auto& word : operands)
    argv.push_back(word.c_str());
  const std::size_t count = argv.size();
  std::size_t arg = 0;
  if (arg >= count) {
    help();
    return kExitUsage;
  }
  const int bus = lookup_bus(argv[arg++]);
  if (bus < 0 || !open_bus(tool, bus)) return kExitUsage;

  std::vector<Message> messages;
  int address = -1;
  bool wants_data = false;
  std::size_t filled = 0;
  const auto faulty = [&](std::size_t at) {
    std::fprintf(stderr, "Error: faulty argument is '%s'\n", argv[at]);
    return kExitUsage;
  };
  for (; arg < count; ++arg) {
    const char* p = argv[arg];
    if (messages.size() > kMaxMessages) {
      std::fprintf(stderr, "Error: Too many messages (max: %d)\n", kMaxMessages);
      return kExitUsage;
    }
    if (!wants_data) {
      Message m;
      if (*p == 'r') {
        m.read = true;
      } else if (*p != 'w') {
        std::fprintf(stderr, "Error: Invalid direction\n");
        return faulty(arg);
      }
      ++p;
      if (*p == '?') {
        if (!m.read) {
          std::fprintf(stderr, "Error: variable length not allowed with write\n");
          return faulty(arg);
        }
        m.receive_length = true;
        m.length = 256;
        ++p;
      } else {
        char* end = nullptr;
        const unsigned long length = std::strtoul(p, &end, 0);
        if (length > 0xFFFF || end == p) {
          std::fprintf(stderr, "Error: Length invalid\n");
          return faulty(arg);
        }
        m.length = static_cast<int>(length);
        p = end;
      }
      if (*p) {
        if (*p++ != '@') {
          std::fprintf(stderr, "Error: Unknown separator after length\n");
          return faulty(arg);
        }
        if (force) {
          address = static_cast<int>(std::strtol(p, nullptr, 0));
        } else if ((address = parse_address(p, all_addresses)) < 0) {
          return faulty(arg);
        }
      } else if (address < 0) {
        std::fprintf(stderr, "Error: No address given\n");
        return faulty(arg);
      }
      m.address = address;
      messages.push_back(std::move(m));
      if (!messages.back().read && messages.back().length > 0) {
        messages.back().buffer.assign(static_cast<std::size_t>(messages.back().length), 0);
        wants_data = true;
        filled = 0;
      }
      continue;
    }
    Message& m = messages.back();
    char* end = nullptr;
    const unsigned long raw = std::strtoul(p, &end, 0);
    if (raw > 0xFF || end == p) {
      std::fprintf(stderr, "Error: Invalid data byte\n");
      return faulty(arg);
    }
    auto data = static_cast<std::uint8_t>(raw);
    while (filled < m.buffer.size()) {
      m.buffer[filled++] = data;
      if (!*end) break;
      switch (*end) {
        case 'p':  // pseudo-random: 8-bit AXR with a = 13, b = 27
          data = static_cast<std::uint8_t>((data ^ 27) + 13);
          data = static_cast<std::uint8_t>(data << 1 | data >> 7);
          break;
        case '+':
          ++data;
          break;
        case '-':
          --data;
          break;
        case '=':
          break;
        default:
          std::fprintf(stderr, "Error: Invalid data byte suffix\n");
          return faulty(arg);
      }
    }
    if (filled == m.buffer.size()) wants_data = false;
  }
  if (wants_data || messages.empty()) {
    std::fprintf(stderr, "Error: Incomplete message\n");
    return kExitUsage;
  }
  if (const std::string what = missing_for(messages); !what.empty()) {
    missing_capability(what);
    return kExitUsage;
  }

  if (!yes) {
    warn_before_asking();
    std::fprintf(stderr, "I will send the following messages to device file %s:\n",
                 device_file(bus).c_str());
    print_messages(messages, kPrintStderr | kPrintHeader | kPrintWriteBuffer);
    if (!ask_to_continue(false)) return kExitOk;
  }
  std::int32_t result = OK;
  if (!send(tool, messages, result)) {
    std::fprintf(stderr, "Error: Sending messages failed: %s\n",
                 std::strerror(error_number(result)));
    return kExitUsage;
  }
  print_messages(messages, kPrintReadBuffer | (verbose ? kPrintHeader | kPrintWriteBuffer : 0u));
  return kExitOk;
}

}  // namespace gpio_dll::cli::i2c_tools
