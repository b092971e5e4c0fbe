#include "base/result_messages.hpp"

#include <array>

#include "gpio_dll/error_codes.hpp"

namespace gpio_dll {

namespace {

// Fixed texts of the members of ErrorCodes, by value. nullptr where a member has no text of its
// own (it is explained like an unknown code) or its text carries a limit (138, 139).
constexpr std::array<const char*, kErrorCodeCount> kFixedTexts = {
    "OK.",                                                     // 0
    "Chip in Boot Mode.",                                      // 1
    "Chip in Normal Mode.",                                    // 2
    "Chip UnSealed.",                                          // 3
    "UnSeal OK.",                                              // 4
    "Chip Sealed.",                                            // 5
    "Chip in Full Access Mode.",                               // 6
    "Access Denied.",                                          // 7
    "ROM Sector Locked.",                                      // 8
    "UnSeal ERROR.",                                           // 9
    "FAS ERROR.",                                              // 10
    "Seal ERROR.",                                             // 11
    "Chip_Mode is not recognized.",                            // 12
    "Error. Chip is Cyclic_reboot.",                           // 13
    "Fatal Error.",                                            // 14
    "Seal procedure not completed.",                           // 15
    "UnSeal procedure not completed.",                         // 16
    "BOOT procedure not completed.",                           // 17
    "Error Read_Cmd.",                                         // 18
    "Error Read_Block.",                                       // 19
    "Error Size Rd_Block.",                                    // 20
    "Error Write_Cmd.",                                        // 21
    "Error Write_BootLoader.",                                 // 22
    "Error Read_BootLoader.",                                  // 23
    "Error Write_Erase_Cmd.",                                  // 24
    "Error. Flag Seal not present in RAM.",                    // 25
    "Error. Flag Seal not present in EEPROM.",                 // 26
    "Error. Flag Seal present in RAM.",                        // 27
    "Error. Flag Seal present in EEPROM.",                     // 28
    "Wrong size Wr_Rd data.",                                  // 29
    "Error comparing arrays.",                                 // 30
    "Error Creating IFIB.",                                    // 31
    "Error Creating EEPROM.",                                  // 32
    "Error Creating ROM.",                                     // 33
    "Error Creating SENC.",                                    // 34
    "Error Size EEPROM.",                                      // 35
    "Error Size ROM.",                                         // 36
    "Error Size SENC.",                                        // 37
    "Error Size IFIB.",                                        // 38
    "Invalid structure SENC file.",                            // 39
    "Error Write IFIB.",                                       // 40
    "Error Erase IFIB.",                                       // 41
    "Error Write_Block ROM.",                                  // 42
    "Error Erase_Block ROM.",                                  // 43
    "Error Erase ROM.",                                        // 44
    "Error Write ROM.",                                        // 45
    "Error Erase EEPROM.",                                     // 46
    "Error Write EEPROM.",                                     // 47
    "Error CheckSum EEPROM.",                                  // 48
    "Error CheckSum ROM.",                                     // 49
    "Unknown loader version (vBoot).",                         // 50
    "The loader version (vBoot) is not supported.",            // 51
    "Error Boot_Mode.",                                        // 52
    "Fatal Error Read EEPROM.",                                // 53
    "Fatal Error Read ROM.",                                   // 54
    "Fatal Error Read IFIB.",                                  // 55
    "Error. Read EEPROM unstable.",                            // 56
    "Error. Read ROM unstable.",                               // 57
    "Error. Read IFIB unstable.",                              // 58
    "Error Size ROM Sector.",                                  // 59
    "Error. Please select chip.",                              // 60
    "Bad PEC.",                                                // 61
    "Error Erase EEPROM Sector #0.",                           // 62
    "Error Erase EEPROM Sector #1.",                           // 63
    "Error Erase EEPROM Sector #2.",                           // 64
    "Error Erase EEPROM Sector #3.",                           // 65
    "Error Write 8 byte in EEPROM.",                           // 66
    "Error Erase ROM Sector #0.",                              // 67
    "Error Erase ROM Sector #1.",                              // 68
    "Error Erase ROM Sector #2.",                              // 69
    "Error Erase ROM Sector #3.",                              // 70
    "Error Write ROM Sector #0.",                              // 71
    "Error Write ROM Sector #1.",                              // 72
    "Error Write ROM Sector #2.",                              // 73
    "Error Write ROM Sector #3.",                              // 74
    "Error Select Interface",                                  // 75
    "Error Address",                                           // 76
    "Execution is Not Required.",                              // 77
    "Procedure Not Supported.",                                // 78
    "Fatal Error write OemID.",                                // 79
    "Error read Status OemID.",                                // 80
    "Error write Status 7E3C.",                                // 81
    "Error write Status 5A00.",                                // 82
    "Error write Status 005A.",                                // 83
    "Error write Status 00A5.",                                // 84
    "Not completed saccessfully.",                             // 85
    "Unknown Mode ROM_LOCK.",                                  // 86
    "Error Len String.",                                       // 87
    "Error: too little data for function.",                    // 88
    "Unknown structure.",                                      // 89
    "Error CheckSum.",                                         // 90
    "Error write IFIB in 80XX.",                               // 91
    "Error erase IFIB in 80XX.",                               // 92
    "Error switch to Failsafe_Mode.",                          // 93
    "Error switch to Disable Failsafe_Mode.",                  // 94
    "Chip in Calibration Mode.",                               // 95
    nullptr,                                                   // 96 UNCNENCR
    nullptr,                                                   // 97 TIENCR
    nullptr,                                                   // 98 UBENCR
    "Unknown structure DF_Table.",                             // 99
    "Error write 1st addr.",                                   // 100
    "Error write CMD byte.",                                   // 101
    "Error write 2nd addr.",                                   // 102
    "Error write XX byte.",                                    // 103
    "Error read XX byte.",                                     // 104
    "Error wait ACK.",                                         // 105
    "Error wait NACK.",                                        // 106
    "SKIP_CMD Ok.",                                            // 107
    "Error Read ROM.",                                         // 108
    "Error Read FlashROM  Page1.",                             // 109
    "Error Read FlashROM  Page2.",                             // 110
    "Error Read DataFlash PageA.",                             // 111
    "Error Read DataFlash PageB.",                             // 112
    "Error Erase ROM.",                                        // 113
    "Error Erase FlashROM  Page1.",                            // 114
    "Error Erase FlashROM  Page2.",                            // 115
    "Error Erase DataFlash PageA.",                            // 116
    "Error Erase DataFlash PageB.",                            // 117
    "Error Write ROM.",                                        // 118
    "Error Write FlashROM  Page1.",                            // 119
    "Error Write FlashROM  Page2.",                            // 120
    "Error Write DataFlash PageA.",                            // 121
    "Error Write DataFlash PageB.",                            // 122
    "File size Error.",                                        // 123
    "Unknown memory type.",                                    // 124
    "Unsupported memory type.",                                // 125
    "Error Write SubClass.",                                   // 126
    nullptr,                                                   // 127 BLOCK_OK
    nullptr,                                                   // 128 BLOCK_ERROR
    nullptr,                                                   // 129 BLOCK_EMPTY
    "Error. Valid markers not found.",                         // 130
    "USB device not detected.",                                // 131
    "Firmware Version is not supported.",                      // 132
    "GPIO Firmware Version is not supported.",                 // 133
    "Function is not supported in current Firmware Version.",  // 134
    "Incorrect Block Size.",                                   // 135
    "Exceeded Max.Size for Block Recording.",                  // 136
    "PEC mode change Error.",                                  // 137
    nullptr,                                                   // 138 ERROR_GPIO_LEN_RD_BLOCK_MAX
    nullptr,                                                   // 139 ERROR_GPIO_LEN_WR_BLOCK_MAX
    "Error. SDA = Low.",                                       // 140
    "Error. SCL = Low.",                                       // 141
    "Error. SDA and SCL = Low.",                               // 142
};

std::string with_code(const char* prefix, std::int32_t code) {
  return prefix + std::to_string(code) + ">";
}

}  // namespace

std::string result_message(std::int32_t code, std::uint8_t max_bytes_rd,
                           std::uint8_t max_bytes_wr) {
  if (code >= 0 && code < kErrorCodeCount && kFixedTexts[static_cast<std::size_t>(code)] != nullptr)
    return kFixedTexts[static_cast<std::size_t>(code)];
  if (code == ERROR_GPIO_LEN_RD_BLOCK_MAX)
    return "Maximum read size exceeded (>" + std::to_string(max_bytes_rd) + " bytes).";
  if (code == ERROR_GPIO_LEN_WR_BLOCK_MAX)
    return "Maximum write size exceeded (>" + std::to_string(max_bytes_wr) + " bytes).";
  if (code >= 300 && code <= 399) {
    if (code == 301) return "Error (without explanation).";
    return with_code("Unknown GPIO Error. <", code);
  }
  if (code >= 400 && code <= 499) {
    if (code == 406) return "Error Write.";
    if (code == 411) return "Bad PEC.";
    if (code == 414) return "Error. Read LenBlock=0.";
    return with_code("Unknown GPIO Error. <", code);
  }
  return with_code("Unknown Error. <", code);
}

}  // namespace gpio_dll
