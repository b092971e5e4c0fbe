// The operations of firmware "1.0.10": one command per operation, 8-bit addresses with the read
// address sent where the target is read, status band 300, the module checking PEC itself.
#include "base/module_state.hpp"
#include "gpio_dll/error_codes.hpp"
#include "transactions/firmware_operations.hpp"
#include "transactions/transaction_frame.hpp"

namespace gpio_dll::transactions {

namespace {

constexpr std::uint8_t kSendByte = 0x01;
constexpr std::uint8_t kReceiveByte = 0x02;
constexpr std::uint8_t kWriteByte = 0x03;
constexpr std::uint8_t kWriteWord = 0x04;
constexpr std::uint8_t kReadByte = 0x05;
constexpr std::uint8_t kReadWord = 0x06;
constexpr std::uint8_t kProcessCall = 0x07;
constexpr std::uint8_t kBlockWrite = 0x08;
constexpr std::uint8_t kBlockRead = 0x09;
constexpr std::uint8_t kBlockWriteBlockRead = 0x0A;
constexpr std::uint8_t kSetPMBusLines = 0x0C;
constexpr std::uint8_t kGetPMBusLines = 0x0F;
constexpr std::uint8_t kI2CBlockWrite = 0x14;
constexpr std::uint8_t kI2CBlockRead = 0x15;
constexpr std::uint8_t kP0Access = 0x16;
constexpr std::uint8_t kSetP1Lines = 0x1A;
constexpr std::uint8_t kI2CWriteRead = 0x1D;
constexpr std::uint8_t kBusTest = 0x7F;

constexpr std::int32_t kWriteLimit = 60;
constexpr std::int32_t kSMBusReadLimit = 60;
constexpr std::int32_t kI2CReadLimit = 62;
// I2C write-then-read: the data sit at request bytes 4 on, the read address and count at 62
// and 63, so 58 bytes fit between them.
constexpr std::int32_t kWriteReadI2CFits = 58;
// SMBus block write-block read: data from request byte 5, so a 60th byte would be byte 64.
constexpr std::int32_t kWriteReadSMBusFits = 59;

constexpr Generation kGen = Generation::Fw1_0_10;

class Firmware_1_0_10 final : public FirmwareOperations {
 public:
  std::int32_t SendSMBusByte(ModuleState& s, std::int32_t& DataL,
                             std::int16_t& nTargetID) const override {
    Transaction t(s, kGen);
    if (const auto r = t.open_with_pec(nTargetID)) return r;
    Request q(kSendByte);
    q.set(1, write_address(nTargetID));
    q.set(2, to_byte(DataL));
    return t.run(q);
  }

  std::int32_t WriteSMBusByte(ModuleState& s, std::int16_t& iCmd, std::int32_t& DataL,
                              std::int16_t& nTargetID) const override {
    Transaction t(s, kGen);
    if (const auto r = t.open_with_pec(nTargetID)) return r;
    Request q(kWriteByte);
    q.set(1, write_address(nTargetID));
    q.set(2, to_byte(iCmd));
    q.set(3, to_byte(DataL));
    return t.run(q);
  }

  std::int32_t WriteSMBusWord(ModuleState& s, std::int16_t& iCmd, std::int32_t& DataH,
                              std::int32_t& DataL, std::int16_t& nTargetID) const override {
    Transaction t(s, kGen);
    if (const auto r = t.open_with_pec(nTargetID)) return r;
    Request q(kWriteWord);
    q.set(1, write_address(nTargetID));
    q.set(2, to_byte(iCmd));
    q.set(3, to_byte(DataL));
    q.set(4, to_byte(DataH));
    return t.run(q);
  }

  std::int32_t ReceiveSMBusByte(ModuleState& s, std::int32_t& DataB,
                                std::int16_t& nTargetID) const override {
    DataB = 0;
    Transaction t(s, kGen);
    if (const auto r = t.open_with_pec(nTargetID)) return r;
    Request q(kReceiveByte);
    q.set(1, read_address(nTargetID));
    if (const auto r = t.run(q)) return r;
    DataB = t.answer(2);
    return OK;
  }

  std::int32_t ReadSMBusByte(ModuleState& s, std::int16_t& iCmd, std::int32_t& DataB,
                             std::int16_t& nTargetID) const override {
    DataB = 0;
    Transaction t(s, kGen);
    if (const auto r = t.open_with_pec(nTargetID)) return r;
    Request q(kReadByte);
    q.set(1, write_address(nTargetID));
    q.set(2, to_byte(iCmd));
    q.set(3, read_address(nTargetID));
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
    q.set(1, write_address(nTargetID));
    q.set(2, to_byte(iCmd));
    q.set(3, read_address(nTargetID));
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
    Request q(kProcessCall);
    q.set(1, write_address(nTargetID));
    q.set(2, to_byte(iCmd));
    q.set(3, to_byte(wDataL));
    q.set(4, to_byte(wDataH));
    q.set(5, read_address(nTargetID));
    if (const auto r = t.run(q, 4)) return r;
    rDataL = t.answer(2);
    rDataH = t.answer(3);
    return OK;
  }

  std::int32_t GetP0Line(ModuleState& s, std::uint8_t& DataB) const override {
    return get_line(s, Request(kP0Access), 0xFF, 2, DataB);
  }

  std::int32_t SetP0Line(ModuleState& s, std::uint8_t& DataB) const override {
    Transaction t(s, kGen);
    if (const auto r = t.open()) return r;
    Request q(kP0Access);
    q.set(1, 0x00);
    q.set(2, DataB);
    return t.run(q);
  }

  std::int32_t GetPMBusLine(ModuleState& s, std::uint8_t& DataB) const override {
    // The PMBus lines come back in answer byte 1, where other answers carry the status.
    Transaction t(s, kGen);
    if (const auto r = t.open()) return r;
    if (const auto r = t.run_unchecked(Request(kGetPMBusLines))) return r;
    DataB = t.answer(1);
    return OK;
  }

  std::int32_t SetPMBusLine(ModuleState& s, std::uint8_t& DataB) const override {
    Transaction t(s, kGen);
    if (const auto r = t.open()) return r;
    Request q(kSetPMBusLines);
    q.set(1, DataB);
    return t.run(q);
  }

  std::int32_t ReadWriteP0Line(ModuleState& s, std::uint8_t& DataA,
                               std::uint8_t& DataB) const override {
    Transaction t(s, kGen);
    Request q(kP0Access);
    q.set(1, DataA);
    q.set(2, DataB);
    std::int32_t r = t.open();
    if (r == OK) r = t.run(q);
    DataB = r == OK ? t.answer(2) : 0;
    return r;
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
    s.MaxBytesWr = kWriteLimit;
    if (iNumBytesWr < 0) iNumBytesWr = 0;
    const std::int32_t n = iNumBytesWr;
    if (n > element_count(DataArray)) return ERROR_MAX_SIZE_FOR_WRITE;
    if (n > kWriteLimit) return ERROR_GPIO_LEN_WR_BLOCK_MAX;
    Transaction t(s, kGen);
    if (const auto r = t.open_with_pec(nTargetID)) return r;
    return t.run(block_write_request(kBlockWrite, iCmd, DataArray, n, nTargetID));
  }

  std::int32_t WriteI2CBlock(ModuleState& s, std::int16_t& iCmd, ByteArray& DataArray,
                             std::int16_t& iNumBytesWr, std::int16_t& nTargetID) const override {
    s.MaxBytesWr = kWriteLimit;
    if (iNumBytesWr < 0) iNumBytesWr = 0;
    const std::int32_t n = iNumBytesWr;
    if (n > kWriteLimit) return ERROR_GPIO_LEN_WR_BLOCK_MAX;
    if (n > element_count(DataArray)) return ERROR_MAX_SIZE_FOR_WRITE;
    Transaction t(s, kGen);
    if (const auto r = t.open()) return r;
    return t.run(block_write_request(kI2CBlockWrite, iCmd, DataArray, n, nTargetID));
  }

  std::int32_t ReadSMBusBlock(ModuleState& s, std::int16_t& iCmd, ByteArray& DataArray,
                              std::int16_t& iNumBytesRd, std::int16_t& nTargetID) const override {
    s.MaxBytesRd = kSMBusReadLimit;
    Transaction t(s, kGen);
    if (const auto r = t.open()) {
      iNumBytesRd = 0;
      return r;
    }
    if (const auto r = pec_mode_step(s, nTargetID)) return r;
    Request q(kBlockRead);
    q.set(1, write_address(nTargetID));
    q.set(2, to_byte(iCmd));
    q.set(3, read_address(nTargetID));
    if (const auto r = t.run(q)) {
      DataArray.assign(1, 0);
      iNumBytesRd = 0;
      return r;
    }
    const std::uint8_t c = t.answer(2);
    iNumBytesRd = c;
    if (c == 0) {
      DataArray.assign(2, 0);
      return ERROR_LEN_RD_BLOCK;
    }
    if (c > kSMBusReadLimit) {
      iNumBytesRd = 0;
      return ERROR_GPIO_LEN_RD_BLOCK_MAX;
    }
    if (t.answer().size() < 3u + c) {  // a short report cannot hold the block it announces
      DataArray.assign(1, 0);
      iNumBytesRd = 0;
      return FATAL_ERROR;
    }
    DataArray = t.answer_bytes(3, c);
    return OK;
  }

  std::int32_t ReadI2CBlock(ModuleState& s, std::int16_t& iCmd, ByteArray& DataArray,
                            std::int16_t& iNumBytesRd, std::int16_t& nTargetID) const override {
    s.MaxBytesRd = kI2CReadLimit;
    if (iNumBytesRd == 0) iNumBytesRd = kI2CReadLimit;
    const std::int32_t n = iNumBytesRd;
    if (n > kI2CReadLimit) return ERROR_GPIO_LEN_RD_BLOCK_MAX;
    Transaction t(s, kGen);
    if (const auto r = t.open()) {
      iNumBytesRd = 0;
      return r;
    }
    Request q(kI2CBlockRead);
    q.set(1, write_address(nTargetID));
    q.set(2, to_byte(iCmd));
    q.set(3, read_address(nTargetID));
    q.set(4, to_byte(n));
    if (const auto r = t.run(q, 2 + static_cast<std::size_t>(n))) {
      iNumBytesRd = 0;
      return r;
    }
    DataArray = t.answer_bytes(2, static_cast<std::size_t>(n));
    return OK;
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
    Request q(kI2CWriteRead);
    q.set(1, to_byte(nW + 2));
    q.set(2, write_address(nTargetID));
    q.set(3, to_byte(iCmd));
    q.put(4, DataArrayW, static_cast<std::size_t>(std::max(0, nW)));
    q.set(62, read_address(nTargetID));
    q.set(63, to_byte(nR));
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
    s.MaxBytesWr = kSegmentBytes;
    s.MaxBytesRd = kSegmentBytes;
    const std::int32_t nW = iNumBytesWr;
    if (nW > kSegmentBytes) return ERROR_GPIO_LEN_WR_BLOCK_MAX;
    if (nW > kWriteReadSMBusFits) {
      s.MaxBytesWr = kWriteReadSMBusFits;
      return ERROR_GPIO_LEN_WR_BLOCK_MAX;
    }
    if (nW > element_count(DataArrayW)) return ERROR_MAX_SIZE_FOR_WRITE;
    if (iNumBytesRd > kSegmentBytes) return ERROR_GPIO_LEN_RD_BLOCK_MAX;
    Transaction t(s, kGen);
    if (const auto r = t.open()) {
      iNumBytesRd = 0;
      return r;
    }
    if (const auto r = pec_mode_step(s, nTargetID)) return r;
    Request q(kBlockWriteBlockRead);
    q.set(1, write_address(nTargetID));
    q.set(2, to_byte(iCmd));
    q.set(3, to_byte(nW));
    q.set(4, read_address(nTargetID));
    q.put(5, DataArrayW, static_cast<std::size_t>(std::max(0, nW)));
    if (const auto r = t.run(q)) {
      iNumBytesRd = 0;
      return r;
    }
    const std::uint8_t c = t.answer(2);
    iNumBytesRd = c;
    if (c == 0) return ERROR_LEN_RD_BLOCK;
    if (c > kSegmentBytes) return ERROR_GPIO_LEN_RD_BLOCK_MAX;
    if (t.answer().size() < 3u + c) {
      iNumBytesRd = 0;
      return FATAL_ERROR;
    }
    DataArrayR = t.answer_bytes(3, c);
    return OK;
  }

 private:
  // Line reads without a status check: whatever arrives at `at` is the line byte.
  static std::int32_t get_line(ModuleState& s, Request q, std::uint8_t selector, std::size_t at,
                               std::uint8_t& DataB) {
    Transaction t(s, kGen);
    if (const auto r = t.open()) return r;
    q.set(1, selector);
    if (const auto r = t.run_unchecked(q)) return r;
    DataB = t.answer(at);
    return OK;
  }

  static Request block_write_request(std::uint8_t command, std::int16_t iCmd, const ByteArray& data,
                                     std::int32_t n, std::int16_t nTargetID) {
    Request q(command);
    q.set(1, write_address(nTargetID));
    q.set(2, to_byte(iCmd));
    q.set(3, to_byte(n));
    q.put(4, data, static_cast<std::size_t>(n));
    return q;
  }
};

}  // namespace

const FirmwareOperations& firmware_1_0_10() {
  static const Firmware_1_0_10 operations;
  return operations;
}

}  // namespace gpio_dll::transactions
