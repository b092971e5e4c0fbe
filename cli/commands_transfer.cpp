// transfer: i2ctransfer's messages, mapped onto the one transaction of the module that runs them.
#include "commands.hpp"
#include "confirm.hpp"

namespace gpio_dll::cli {

namespace {

struct Message {
  bool read = false;
  int address = -1;
  std::int64_t length = 0;
  ByteArray data;  // a write's bytes
};

const char* kCanDo =
    "the module runs a write, a 1-byte read, or a write followed by a read of the same address";

// "w2@0x50", "r8", "r@0x0b" (the length then follows as the next word).
Message parse_desc(const Args& args, std::size_t& i, int previous_address) {
  const std::string& desc = args[i];
  if (desc.empty() || (desc[0] != 'r' && desc[0] != 'w'))
    throw UsageError{"message " + desc + ": expected {r|w}LENGTH[@ADDRESS]"};
  Message m;
  m.read = desc[0] == 'r';
  const auto at = desc.find('@');
  const std::string length = desc.substr(1, at == std::string::npos ? std::string::npos : at - 1);
  if (at != std::string::npos)
    m.address = parse_target(desc.substr(at + 1), false) >> 1;
  else if (previous_address < 0)
    throw UsageError{"message " + desc + ": the first message needs @ADDRESS"};
  else
    m.address = previous_address;
  std::string length_word = length;
  if (length.empty()) {
    if (i + 1 >= args.size()) throw UsageError{"message " + desc + ": LENGTH missing"};
    length_word = args[++i];
  }
  m.length = parse_number(length_word, 0, INT16_MAX, "LENGTH of " + desc);
  if (!m.read) {
    while (static_cast<std::int64_t>(m.data.size()) < m.length) {
      if (i + 1 >= args.size())
        throw UsageError{"message " + desc + ": " + std::to_string(m.length) +
                         " data bytes wanted, " + std::to_string(m.data.size()) + " given"};
      std::string word = args[++i];
      const char suffix = word.empty() ? '\0' : word.back();
      if (suffix == 'p')
        throw UsageError{"data byte " + word +
                         ": the p suffix (pseudo-random fill) is not supported; use =, + or -"};
      const bool fills = suffix == '=' || suffix == '+' || suffix == '-';
      if (fills) word.pop_back();
      if (fills && word.empty())
        throw UsageError{"data byte " + args[i] + ": a value is needed before the suffix"};
      int value = static_cast<int>(parse_number(word, 0, 255, "data byte"));
      m.data.push_back(static_cast<std::uint8_t>(value));
      // As i2ctransfer: the last byte given fills the rest of the message, kept (=), counting up
      // (+) or down (-), wrapping within a byte.
      if (fills) {
        const int step = suffix == '+' ? 1 : suffix == '-' ? -1 : 0;
        while (static_cast<std::int64_t>(m.data.size()) < m.length) {
          value = (value + step + 256) % 256;
          m.data.push_back(static_cast<std::uint8_t>(value));
        }
      }
    }
  }
  return m;
}

std::vector<Message> parse_messages(const Args& args) {
  std::vector<Message> messages;
  int address = -1;
  for (std::size_t i = 0; i < args.size(); ++i) {
    messages.push_back(parse_desc(args, i, address));
    address = messages.back().address;
  }
  return messages;
}

// Why the module cannot run `messages`, or "" when it can.
std::string unsupported(const std::vector<Message>& m) {
  if (m.empty()) return "no message given";
  if (m.size() > 2) return std::to_string(m.size()) + " messages: " + kCanDo;
  if (m.size() == 2) {
    if (m[0].read || !m[1].read) return std::string("this order of messages: ") + kCanDo;
    if (m[0].address != m[1].address) return std::string("two addresses: ") + kCanDo;
    if (m[0].data.empty()) return "a write before a read needs at least the command byte";
    if (m[1].length == 0) return "a read of 0 bytes";
    return "";
  }
  if (m[0].read && m[0].length != 1)
    return "a read of " + std::to_string(m[0].length) +
           " bytes on its own: the module reads more than 1 byte only after writing a command "
           "byte (w1@ADDRESS CMD rLENGTH)";
  if (!m[0].read && m[0].data.empty()) return "a write of 0 bytes";
  return "";
}

}  // namespace

int run_transfer(Tool& tool, Args& args) {
  const std::vector<Message> messages = parse_messages(args);
  if (const std::string why = unsupported(messages); !why.empty())
    throw UsageError{"cannot transfer: " + why};
  const Message& first = messages.front();
  std::int16_t target = static_cast<std::int16_t>(first.address << 1);
  const bool changes = !first.read && (messages.size() == 1 || first.data.size() > 1);
  const std::string address = hex2(static_cast<std::uint32_t>(first.address));
  if (changes && !confirm(tool, "write to the device at " + address + " (transfer)"))
    return declined(tool, "transfer");
  int status = kExitOk;
  if (!tool.identify(status)) return status;
  auto& dll = tool.dll();
  Json fields = {{"address", first.address}};
  std::int32_t r = OK;
  ByteArray read;
  if (first.read) {
    std::int32_t value = 0;
    r = dll.GPIO_ReceiveSMBusByte(value, target);
    read.push_back(static_cast<std::uint8_t>(value));
  } else if (messages.size() == 1 && first.data.size() == 1) {
    std::int32_t data = first.data[0];
    r = dll.GPIO_SendSMBusByte(data, target);
  } else {
    std::int16_t cmd = first.data[0];
    ByteArray written(first.data.begin() + 1, first.data.end());
    std::int16_t count = static_cast<std::int16_t>(written.size());
    if (messages.size() == 1) {
      r = dll.GPIO_WriteI2CBlock(cmd, written, count, target);
    } else {
      std::int16_t read_count = static_cast<std::int16_t>(messages[1].length);
      r = dll.GPIO_WriteReadI2CBlock(cmd, written, read, count, read_count, target);
    }
    refuse_over_limit(tool, r, messages.size() == 1 ? "i2c write" : "write followed by a read");
  }
  const bool reads = first.read || messages.size() == 2;
  if (reads) fields = read_fields(tool, r, std::move(fields), "data", bytes_to_hex(read));
  return tool.finish("transfer", r, fields, reads ? format_bytes(read) : "");
}

}  // namespace gpio_dll::cli
