// The operations of firmware "2.0.19": 7-bit addresses, status band 400, blocks of up to 120
// bytes in two segments, and the general write-then-read command 0x21, whose reads hand the
// slave's PEC byte to the component to verify.
#include <algorithm>
#include <string>

#include "base/hex_text.hpp"
#include "base/module_state.hpp"
#include "gpio_dll/error_codes.hpp"
#include "transactions/firmware_operations.hpp"
#include "transactions/packet_error_code.hpp"
#include "transactions/transaction_frame.hpp"

namespace gpio_dll::transactions {

namespace {

constexpr std::uint8_t kSetP1Lines = 0x03;
constexpr std::uint8_t kBusTest = 0x07;
constexpr std::uint8_t kI2CBlockWrite = 0x20;
constexpr std::uint8_t kWriteRead = 0x21;
constexpr std::uint8_t kSendByte = 0x22;
constexpr std::uint8_t kWriteByte = 0x23;
constexpr std::uint8_t kWriteWord = 0x24;
constexpr std::uint8_t kBlockWrite = 0x25;
constexpr std::uint8_t kReadByte = 0x27;
constexpr std::uint8_t kReadWord = 0x28;
constexpr std::uint8_t kBlockRead = 0x29;
constexpr std::uint8_t kSetP0Lines = 0x2A;
constexpr std::uint8_t kGetP0Lines = 0x2B;
constexpr std::uint8_t kP0Selector = 0xFF;

constexpr std::int32_t kBlockLimit = 120;
// I2C write-then-read: data from request byte 5, so a 60th byte would be byte 64.
constexpr std::int32_t kWriteReadI2CFits = 59;
// Answers a block read may take before the block is given up: a first segment, a second, and
// one fresh start.
constexpr int kBlockReadExchanges = 4;

constexpr Generation kGen = Generation::Fw2_0_19;

// The bytes a slave's PEC covers, in bus order, as the text the packet-error-code routine takes.
class PecSequence {
 public:
  void add(std::int32_t byte) { text_ += two_digit_hex(byte); }
  // 0 when the sequence ends with the right PEC byte.
  bool verified() const { return packet_error_code(text_) == 0; }

 private:
  std::string text_;
};

// The 8-bit bus addresses that the PEC covers, whatever the request carries.
std::int32_t pec_write_address(std::int16_t nTargetID) {
  return (nTargetID / 2 * 2) & 0xFF;
}
std::int32_t pec_read_address(std::int16_t nTargetID) {
  return (nTargetID / 2 * 2 + 1) & 0xFF;
}

class Firmware_2_0_19 final : public FirmwareOperations {
 public:
  std::int32_t SendSMBusByte(ModuleState& s, std::int32_t& DataL,
                             std::int16_t& nTargetID) const override {
    Transaction t(s, kGen);
    if (const auto r = t.open_with_pec(nTargetID)) return r;
    Request q(kSendByte);
    q.set(1, seven_bit_address(nTargetID));
    q.set(2, to_byte(DataL));
    return t.run(q);
  }

  std::int32_t WriteSMBusByte(ModuleState& s, std::int16_t& iCmd, std::int32_t& DataL,
                              std::int16_t& nTargetID) const override {
    Transaction t(s, kGen);
    if (const auto r = t.open_with_pec(nTargetID)) return r;
    Request q(kWriteByte);
    q.set(1, seven_bit_address(nTargetID));
    q.set(2, to_byte(iCmd));
    q.set(3, to_byte(DataL));
    return t.run(q);
  }

  std::int32_t WriteSMBusWord(ModuleState& s, std::int16_t& iCmd, std::int32_t& DataH,
                              std::int32_t& DataL, std::int16_t& nTargetID) const override {
    Transaction t(s, kGen);
    if (const auto r = t.open_with_pec(nTargetID)) return r;
    Request q(kWriteWord);
    q.set(1, seven_bit_address(nTargetID));
    q.set(2, to_byte(iCmd));
    q.set(3, to_byte(DataL));
    q.set(4, to_byte(DataH));
    return t.run(q);
  }

  std::int32_t ReceiveSMBusByte(ModuleState& s, std::int32_t& DataB,
                                std::int16_t& nTargetID) const override {
    DataB = 0;
    const bool pec = pec_wanted(nTargetID);
    ByteArray written(2, 0);
    ByteArray read;
    std::int16_t count = pec ? 2 : 1;
    if (const auto r = raw_write_read(s, written, read, 0, count, nTargetID)) return r;
    DataB = read[0];
    if (!pec) return OK;
    PecSequence sequence;
    sequence.add(pec_read_address(nTargetID));
    sequence.add(DataB);
    sequence.add(read[1]);
    if (sequence.verified()) return OK;
    DataB = 0;
    return ERROR_PEC;
  }

  std::int32_t ReadSMBusByte(ModuleState& s, std::int16_t& iCmd, std::int32_t& DataB,
                             std::int16_t& nTargetID) const override {
    DataB = 0;
    Transaction t(s, kGen);
    if (const auto r = t.open_with_pec(nTargetID)) return r;
    Request q(kReadByte);
    q.set(1, seven_bit_address(nTargetID));
    q.set(2, to_byte(iCmd));
    if (const auto r = t.run(q)) return r;
    DataB = t.answer(2);
    return OK;
  }

  std::int32_t ReadSMBusWord(ModuleState& s, std::int16_t& iCmd, std::int32_t& DataH,
                             std::int32_t& DataL, std::int16_t& nTargetID) const override {
    DataH = 0;
    DataL = 0;
    Transaction t(s, kGen);
    if (const auto r = t.open_with_pec(nTargetID)) return r;
    Request q(kReadWord);
    q.set(1, seven_bit_address(nTargetID));
    q.set(2, to_byte(iCmd));
    if (const auto r = t.run(q, 4)) return r;
    DataL = t.answer(2);
    DataH = t.answer(3);
    return OK;
  }

  std::int32_t Test(ModuleState& s) const override {
    Transaction t(s, kGen);
    if (const auto r = t.open()) return r;
    return t.run(Request(kBusTest));
  }

  std::int32_t ProcessCall(ModuleState& s, std::int16_t& iCmd, std::int32_t& wDataH,
                           std::int32_t& wDataL, std::int32_t& rDataH, std::int32_t& rDataL,
                           std::int16_t& nTargetID) const override {
    rDataL = 0;
    rDataH = 0;
    Transaction t(s, kGen);
    if (const auto r = t.open_with_pec(nTargetID)) return r;
    const bool pec = pec_wanted(nTargetID);
    Request q(kWriteRead);
    q.set(1, seven_bit_address(nTargetID));
    q.set(2, 3);
    q.set(3, pec ? 3 : 2);
    q.set(4, to_byte(iCmd));
    q.set(5, to_byte(wDataL));
    q.set(6, to_byte(wDataH));
    if (const auto r = t.run(q, pec ? 5 : 4)) return r;
    rDataL = t.answer(2);
    rDataH = t.answer(3);
    if (!pec) return OK;
    PecSequence sequence;
    sequence.add(pec_write_address(nTargetID));
    for (std::int32_t byte : {std::int32_t{to_byte(iCmd)}, std::int32_t{to_byte(wDataL)},
                              std::int32_t{to_byte(wDataH)}})
      sequence.add(byte);
    sequence.add(pec_read_address(nTargetID));
    for (std::size_t i = 2; i <= 4; ++i)
      sequence.add(t.answer(i));
    if (sequence.verified()) return OK;
    rDataL = 0;
    rDataH = 0;
    return ERROR_PEC;
  }

  std::int32_t GetP0Line(ModuleState& s, std::uint8_t& DataB) const override {
    Transaction t(s, kGen);
    if (const auto r = t.open()) return r;
    Request q(kGetP0Lines);
    q.set(1, kP0Selector);
    if (const auto r = t.run(q)) return r;
    DataB = t.answer(2);
    return OK;
  }

  std::int32_t SetP0Line(ModuleState& s, std::uint8_t& DataB) const override {
    Transaction t(s, kGen);
    if (const auto r = t.open()) return r;
    Request q(kSetP0Lines);
    q.set(1, kP0Selector);
    q.set(2, DataB);
    return t.run(q);
  }

  // The PMBus lines are reached through the P0 commands on this generation.
  std::int32_t GetPMBusLine(ModuleState& s, std::uint8_t& DataB) const override {
    return GetP0Line(s, DataB);
  }
  std::int32_t SetPMBusLine(ModuleState& s, std::uint8_t& DataB) const override {
    return SetP0Line(s, DataB);
  }

  std::int32_t ReadWriteP0Line(ModuleState&, std::uint8_t&, std::uint8_t&) const override {
    return UNSUPPORTED_GPIO_FW_VER;  // not offered by this generation
  }

  std::int32_t SetP1Line(ModuleState& s, std::uint8_t& DataA, std::uint8_t& DataB,
                         std::uint8_t& DataC) const override {
    Transaction t(s, kGen);
    if (const auto r = t.open()) return r;
    Request q(kSetP1Lines);
    q.set(1, DataA);
    q.set(2, DataB);
    q.set(3, DataC);
    return t.run(q);
  }

  std::int32_t WriteSMBusBlock(ModuleState& s, std::int16_t& iCmd, ByteArray& DataArray,
                               std::int16_t& iNumBytesWr, std::int16_t& nTargetID) const override {
    return block_write(s, kBlockWrite, iCmd, DataArray, iNumBytesWr, nTargetID, true);
  }

  std::int32_t WriteI2CBlock(ModuleState& s, std::int16_t& iCmd, ByteArray& DataArray,
                             std::int16_t& iNumBytesWr, std::int16_t& nTargetID) const override {
    return block_write(s, kI2CBlockWrite, iCmd, DataArray, iNumBytesWr, nTargetID, false);
  }

  std::int32_t ReadSMBusBlock(ModuleState& s, std::int16_t& iCmd, ByteArray& DataArray,
                              std::int16_t& iNumBytesRd, std::int16_t& nTargetID) const override {
    s.MaxBytesRd = kBlockLimit;
    Transaction t(s, kGen);
    if (const auto r = t.open()) {
      iNumBytesRd = 0;
      return r;
    }
    if (const auto r = pec_mode_step(s, nTargetID)) return r;
    DataArray.assign(2, 0);
    Request q(kBlockRead);
    q.set(1, seven_bit_address(nTargetID));
    q.set(2, to_byte(iCmd));
    bool first_segment_held = false;
    for (int exchange = 0; exchange < kBlockReadExchanges; ++exchange) {
      std::int32_t r = t.run(q);
      const std::uint8_t c = r == OK ? t.answer(2) : 0;
      if (r == OK && c > kBlockLimit) r = ERROR_GPIO_LEN_RD_BLOCK_MAX;
      if (r == OK && c == 0) r = ERROR_LEN_RD_BLOCK;
      const std::size_t carried = std::min<std::size_t>(c, kSegmentBytes);
      if (r == OK && t.answer().size() < 3 + carried) r = FATAL_ERROR;
      // A second segment must bring exactly the rest that the first announced: more would run
      // past the block, less would hand back a block with a hole in it.
      if (r == OK && first_segment_held && c <= kSegmentBytes &&
          c != DataArray.size() - kSegmentBytes)
        r = ERROR_LEN_RD_BLOCK;
      if (r != OK) {
        iNumBytesRd = 0;
        return r;
      }
      iNumBytesRd = c;
      if (c > kSegmentBytes) {
        // A first segment: the block's first 60 bytes; the same request brings the rest.
        DataArray.assign(c, 0);
        std::copy_n(t.answer().begin() + 3, kSegmentBytes, DataArray.begin());
        first_segment_held = true;
        continue;
      }
      if (!first_segment_held) {
        DataArray = t.answer_bytes(3, c);
        return OK;
      }
      std::copy_n(t.answer().begin() + 3, c, DataArray.begin() + kSegmentBytes);
      iNumBytesRd = static_cast<std::int16_t>(DataArray.size());
      return OK;
    }
    // The module kept announcing first segments.
    iNumBytesRd = 0;
    return ERROR_LEN_RD_BLOCK;
  }

  std::int32_t ReadI2CBlock(ModuleState& s, std::int16_t& iCmd, ByteArray& DataArray,
                            std::int16_t& iNumBytesRd, std::int16_t& nTargetID) const override {
    s.MaxBytesRd = kSegmentBytes;
    if (iNumBytesRd == 0) iNumBytesRd = kSegmentBytes;
    if (iNumBytesRd > kSegmentBytes) return ERROR_GPIO_LEN_RD_BLOCK_MAX;
    ByteArray nothing;
    std::int16_t none = 0;
    return WriteReadI2CBlock(s, iCmd, nothing, DataArray, none, iNumBytesRd, nTargetID);
  }

  std::int32_t WriteReadI2CBlock(ModuleState& s, std::int16_t& iCmd, ByteArray& DataArrayW,
                                 ByteArray& DataArrayR, std::int16_t& iNumBytesWr,
                                 std::int16_t& iNumBytesRd,
                                 std::int16_t& nTargetID) const override {
    s.MaxBytesRd = kSegmentBytes;
    s.MaxBytesWr = kSegmentBytes;
    const std::int32_t nW = iNumBytesWr;
    const std::int32_t nR = iNumBytesRd;
    if (nW > kSegmentBytes) return ERROR_GPIO_LEN_WR_BLOCK_MAX;
    if (nW > kWriteReadI2CFits) {
      s.MaxBytesWr = kWriteReadI2CFits;
      return ERROR_GPIO_LEN_WR_BLOCK_MAX;
    }
    if (nW > element_count(DataArrayW)) return ERROR_MAX_SIZE_FOR_WRITE;
    if (nR > kSegmentBytes) return ERROR_GPIO_LEN_RD_BLOCK_MAX;
    Transaction t(s, kGen);
    if (const auto r = t.open()) {
      iNumBytesRd = 0;
      return r;
    }
    if (const auto r = pec_mode_step(s, nTargetID)) return r;
    Request q(kWriteRead);
    q.set(1, seven_bit_address(nTargetID));
    q.set(2, to_byte(nW + 1));
    q.set(3, to_byte(nR));
    q.set(4, to_byte(iCmd));
    q.put(5, DataArrayW, static_cast<std::size_t>(std::max(0, nW)));
    if (const auto r = t.run(q, 2 + static_cast<std::size_t>(nR))) {
      iNumBytesRd = 0;
      return r;
    }
    DataArrayR = t.answer_bytes(2, static_cast<std::size_t>(nR));
    return OK;
  }

  std::int32_t WriteReadSMBusBlock(ModuleState& s, std::int16_t& iCmd, ByteArray& DataArrayW,
                                   ByteArray& DataArrayR, std::int16_t& iNumBytesWr,
                                   std::int16_t& iNumBytesRd,
                                   std::int16_t& nTargetID) const override {
    s.MaxBytesRd = kSegmentBytes;
    s.MaxBytesWr = kSegmentBytes;
    if (iNumBytesRd == 0) iNumBytesRd = kSegmentBytes;
    iNumBytesWr = static_cast<std::int16_t>(iNumBytesWr % 256);
    if (iNumBytesWr < 0) iNumBytesWr = 0;
    const std::int32_t nW = iNumBytesWr;
    const std::int32_t w = nW == 0 ? 1 : (nW + 2) % 256;
    if (iNumBytesRd > kSegmentBytes) return ERROR_GPIO_LEN_RD_BLOCK_MAX;
    if (nW > kSegmentBytes || w > kSegmentBytes) return ERROR_GPIO_LEN_WR_BLOCK_MAX;
    if (w > element_count(DataArrayW)) return ERROR_MAX_SIZE_FOR_WRITE;
    Transaction t(s, kGen);
    if (const auto r = t.open()) {
      iNumBytesRd = 0;
      return r;
    }
    if (const auto r = pec_mode_step(s, nTargetID)) return r;

    PecSequence sequence;
    Request q(kWriteRead);
    q.set(1, seven_bit_address(nTargetID));
    q.set(2, static_cast<std::uint8_t>(w));
    q.set(3, to_byte(iNumBytesRd));
    q.set(4, to_byte(iCmd));
    sequence.add(pec_write_address(nTargetID));
    sequence.add(to_byte(iCmd));
    if (w > 1) {
      q.set(5, static_cast<std::uint8_t>(nW));
      q.put(6, DataArrayW, static_cast<std::size_t>(nW));
      sequence.add(nW);
      for (std::int32_t i = 0; i < nW; ++i)
        sequence.add(DataArrayW[static_cast<std::size_t>(i)]);
    }
    if (const auto r = t.run(q)) {
      iNumBytesRd = 0;
      return r;
    }
    sequence.add(pec_read_address(nTargetID));
    const std::uint8_t c = t.answer(2);
    iNumBytesRd = c;
    sequence.add(c);
    if (c == 0) return ERROR_LEN_RD_BLOCK;
    // A block longer than one answer carries is refused, not handed back cut short.
    if (c > kSegmentBytes) return ERROR_GPIO_LEN_RD_BLOCK_MAX;
    const bool pec = pec_wanted(nTargetID);
    if (t.answer().size() < 3u + c + (pec ? 1u : 0u)) {
      iNumBytesRd = 0;
      return FATAL_ERROR;
    }
    DataArrayR = t.answer_bytes(3, c);
    for (std::uint8_t byte : DataArrayR)
      sequence.add(byte);
    if (!pec) return OK;
    sequence.add(t.answer(3u + c));
    return sequence.verified() ? OK : ERROR_PEC;
  }

 private:
  // The general write-then-read without a command byte: `count` bytes of `written`, then
  // `read_count` bytes into `read`.
  static std::int32_t raw_write_read(ModuleState& s, ByteArray& written, ByteArray& read,
                                     std::int16_t count, std::int16_t& read_count,
                                     std::int16_t nTargetID) {
    s.MaxBytesRd = kSegmentBytes;
    s.MaxBytesWr = kSegmentBytes;
    if (count > s.MaxBytesWr) return ERROR_GPIO_LEN_WR_BLOCK_MAX;
    if (count > element_count(written)) return ERROR_MAX_SIZE_FOR_WRITE;
    if (read_count > s.MaxBytesRd) return ERROR_GPIO_LEN_RD_BLOCK_MAX;
    Transaction t(s, kGen);
    if (const auto r = t.open()) {
      read_count = 0;
      return r;
    }
    if (const auto r = pec_mode_step(s, nTargetID)) return r;
    Request q(kWriteRead);
    q.set(1, seven_bit_address(nTargetID));
    q.set(2, to_byte(count));
    q.set(3, to_byte(read_count));
    q.put(4, written, static_cast<std::size_t>(std::max<std::int16_t>(0, count)));
    if (const auto r = t.run(q, 2 + static_cast<std::size_t>(read_count))) {
      read_count = 0;
      return r;
    }
    read = t.answer_bytes(2, static_cast<std::size_t>(read_count));
    return OK;
  }

  // Block writes: up to 60 bytes in one request, 61 to 120 in two segments.
  static std::int32_t block_write(ModuleState& s, std::uint8_t command, std::int16_t iCmd,
                                  const ByteArray& DataArray, std::int16_t& iNumBytesWr,
                                  std::int16_t nTargetID, bool smbus) {
    s.MaxBytesWr = kBlockLimit;
    if (iNumBytesWr < 0) iNumBytesWr = 0;
    const std::int32_t n = iNumBytesWr;
    if (n > element_count(DataArray)) return ERROR_MAX_SIZE_FOR_WRITE;
    if (n > kBlockLimit) return ERROR_GPIO_LEN_WR_BLOCK_MAX;
    Transaction t(s, kGen);
    if (const auto r = smbus ? t.open_with_pec(nTargetID) : t.open()) return r;
    bool second_segment = false;
    do {
      const std::int32_t r = iNumBytesWr;
      Request q(command);
      q.set(1, seven_bit_address(nTargetID));
      if (smbus) {
        q.set(2, to_byte(iCmd));
        q.set(3, to_byte(r));
      } else {
        q.set(2, static_cast<std::uint8_t>(to_byte(r) + 1));
        q.set(3, to_byte(iCmd));
      }
      if (r <= kSegmentBytes) {
        const std::size_t from = second_segment ? kSegmentBytes : 0;
        q.put(4, std::span(DataArray).subspan(from), static_cast<std::size_t>(r));
        second_segment = false;
      } else {
        q.put(4, DataArray, kSegmentBytes);
        second_segment = true;
        iNumBytesWr = static_cast<std::int16_t>(r - kSegmentBytes);
      }
      if (const auto result = t.run(q)) return result;
    } while (second_segment);
    return OK;
  }
};

}  // namespace

const FirmwareOperations& firmware_2_0_19() {
  static const Firmware_2_0_19 operations;
  return operations;
}

}  // namespace gpio_dll::transactions
