// The C functions: each copies its arguments in, runs the method of cls_GPIO_DLL, copies back
// the arguments the method table marks as written, and turns every exception into a negative
// status. Each passes its arguments in declaration order, then any text it returns the result in.
#include <algorithm>
#include <cstring>
#include <string>

#include "gpio_dll/cls_gpio_dll.hpp"
#include "gpio_dll/gpio_dll.h"
#include "gpio_dll/platform.hpp"
#include "interface/c_arguments.hpp"

namespace {

using gpio_dll::c_interface::Bytes;
using gpio_dll::c_interface::call_status;
using gpio_dll::c_interface::guarded;
using gpio_dll::c_interface::I16;
using gpio_dll::c_interface::I32;
using gpio_dll::c_interface::run;
using gpio_dll::c_interface::run_changing;
using gpio_dll::c_interface::Text;
using gpio_dll::c_interface::U8;

gpio_dll::cls_GPIO_DLL& object() {
  return gpio_dll::predeclared_instance();
}

template <class Choice>
std::int32_t choose(Choice choice) noexcept {
  return guarded([&]() -> std::int32_t {
    choice();
    return GPIO_DLL_C_OK;
  });
}

template <std::size_t N>
void copy_field(char (&field)[N], const std::string& text) {
  const std::size_t n = std::min(text.size(), N - 1);
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
}

}  // namespace

extern "C" {

std::int32_t gpio_dll_last_automation_error(void) {
  return call_status().automation_error;
}

std::int32_t gpio_dll_last_result(void) {
  return call_status().last_result;
}

std::int32_t gpio_dll_last_error_text(char* text, std::size_t* text_size) {
  const char* error_text = call_status().error_text;
  const std::size_t needed = std::strlen(error_text) + 1;
  const bool fits = text == nullptr || (text_size != nullptr && needed <= *text_size);
  if (text != nullptr && fits) std::memcpy(text, error_text, needed);
  if (text_size != nullptr) *text_size = needed;
  return fits ? GPIO_DLL_C_OK : GPIO_DLL_C_BUFFER_TOO_SMALL;
}

std::int32_t gpio_dll_Check_DllErrorCode(std::int32_t* lcode, char* message,
                                         std::size_t* message_size) {
  I32 code(lcode);
  Text text = Text::output(message, message_size);
  return run(
      "Check_DllErrorCode",
      [&] {
        text.value = object().Check_DllErrorCode(code.value);
        return GPIO_DLL_C_OK;
      },
      code, text);
}

std::int32_t gpio_dll_GPIO_FW_EEP_Read(char* DevFWver, std::size_t* DevFWver_size,
                                       std::uint8_t* DEEPROM, std::size_t DEEPROM_capacity,
                                       std::size_t* DEEPROM_len) {
  Text version(DevFWver, DevFWver_size);
  Bytes eeprom(DEEPROM, DEEPROM_capacity, DEEPROM_len);
  return run(
      "GPIO_FW_EEP_Read", [&] { return object().GPIO_FW_EEP_Read(version.value, eeprom.value); },
      version, eeprom);
}

std::int32_t gpio_dll_GPIO_FW_EEP_Write(char* DevFWver, std::size_t* DevFWver_size,
                                        std::uint8_t* DEEPROM, std::size_t DEEPROM_capacity,
                                        std::size_t* DEEPROM_len) {
  Text version(DevFWver, DevFWver_size);
  Bytes eeprom(DEEPROM, DEEPROM_capacity, DEEPROM_len);
  return run(
      "GPIO_FW_EEP_Write", [&] { return object().GPIO_FW_EEP_Write(version.value, eeprom.value); },
      version, eeprom);
}

std::int32_t gpio_dll_GPIO_ReadI2CBlock(std::int16_t* iCmd, std::uint8_t* DataArray,
                                        std::size_t DataArray_capacity, std::size_t* DataArray_len,
                                        std::int16_t* iNumBytesRd, std::int16_t* nTargetID) {
  I16 cmd(iCmd), count(iNumBytesRd), target(nTargetID);
  Bytes data(DataArray, DataArray_capacity, DataArray_len);
  return run(
      "GPIO_ReadI2CBlock",
      [&] { return object().GPIO_ReadI2CBlock(cmd.value, data.value, count.value, target.value); },
      cmd, data, count, target);
}

std::int32_t gpio_dll_GPIO_WriteI2CBlock(std::int16_t* iCmd, std::uint8_t* DataArray,
                                         std::size_t DataArray_capacity, std::size_t* DataArray_len,
                                         std::int16_t* iNumBytesWr, std::int16_t* nTargetID) {
  I16 cmd(iCmd), count(iNumBytesWr), target(nTargetID);
  Bytes data(DataArray, DataArray_capacity, DataArray_len);
  return run(
      "GPIO_WriteI2CBlock",
      [&] { return object().GPIO_WriteI2CBlock(cmd.value, data.value, count.value, target.value); },
      cmd, data, count, target);
}

std::int32_t gpio_dll_GPIO_SendSMBusByte(std::int32_t* DataL, std::int16_t* nTargetID) {
  I32 low(DataL);
  I16 target(nTargetID);
  return run(
      "GPIO_SendSMBusByte", [&] { return object().GPIO_SendSMBusByte(low.value, target.value); },
      low, target);
}

std::int32_t gpio_dll_GPIO_WriteSMBusByte(std::int16_t* iCmd, std::int32_t* DataL,
                                          std::int16_t* nTargetID) {
  I16 cmd(iCmd), target(nTargetID);
  I32 low(DataL);
  return run(
      "GPIO_WriteSMBusByte",
      [&] { return object().GPIO_WriteSMBusByte(cmd.value, low.value, target.value); }, cmd, low,
      target);
}

std::int32_t gpio_dll_GPIO_WriteSMBusWord(std::int16_t* iCmd, std::int32_t* DataH,
                                          std::int32_t* DataL, std::int16_t* nTargetID) {
  I16 cmd(iCmd), target(nTargetID);
  I32 high(DataH), low(DataL);
  return run(
      "GPIO_WriteSMBusWord",
      [&] { return object().GPIO_WriteSMBusWord(cmd.value, high.value, low.value, target.value); },
      cmd, high, low, target);
}

std::int32_t gpio_dll_GPIO_WriteSMBusBlock(std::int16_t* iCmd, std::uint8_t* DataArray,
                                           std::size_t DataArray_capacity,
                                           std::size_t* DataArray_len, std::int16_t* iNumBytesWr,
                                           std::int16_t* nTargetID) {
  I16 cmd(iCmd), count(iNumBytesWr), target(nTargetID);
  Bytes data(DataArray, DataArray_capacity, DataArray_len);
  return run(
      "GPIO_WriteSMBusBlock",
      [&] {
        return object().GPIO_WriteSMBusBlock(cmd.value, data.value, count.value, target.value);
      },
      cmd, data, count, target);
}

std::int32_t gpio_dll_GPIO_ReceiveSMBusByte(std::int32_t* DataB, std::int16_t* nTargetID) {
  I32 byte(DataB);
  I16 target(nTargetID);
  return run(
      "GPIO_ReceiveSMBusByte",
      [&] { return object().GPIO_ReceiveSMBusByte(byte.value, target.value); }, byte, target);
}

std::int32_t gpio_dll_GPIO_ReadSMBusByte(std::int16_t* iCmd, std::int32_t* DataB,
                                         std::int16_t* nTargetID) {
  I16 cmd(iCmd), target(nTargetID);
  I32 byte(DataB);
  return run(
      "GPIO_ReadSMBusByte",
      [&] { return object().GPIO_ReadSMBusByte(cmd.value, byte.value, target.value); }, cmd, byte,
      target);
}

std::int32_t gpio_dll_GPIO_ReadSMBusWord(std::int16_t* iCmd, std::int32_t* DataH,
                                         std::int32_t* DataL, std::int16_t* nTargetID) {
  I16 cmd(iCmd), target(nTargetID);
  I32 high(DataH), low(DataL);
  return run(
      "GPIO_ReadSMBusWord",
      [&] { return object().GPIO_ReadSMBusWord(cmd.value, high.value, low.value, target.value); },
      cmd, high, low, target);
}

std::int32_t gpio_dll_GPIO_ReadSMBusBlock(std::int16_t* iCmd, std::uint8_t* DataArray,
                                          std::size_t DataArray_capacity,
                                          std::size_t* DataArray_len, std::int16_t* iNumBytesRd,
                                          std::int16_t* nTargetID) {
  I16 cmd(iCmd), count(iNumBytesRd), target(nTargetID);
  Bytes data(DataArray, DataArray_capacity, DataArray_len);
  return run(
      "GPIO_ReadSMBusBlock",
      [&] {
        return object().GPIO_ReadSMBusBlock(cmd.value, data.value, count.value, target.value);
      },
      cmd, data, count, target);
}

std::int32_t gpio_dll_GPIO_Test(void) {
  return run("GPIO_Test", [] { return object().GPIO_Test(); });
}

std::int32_t gpio_dll_GPIO_ProcessCall(std::int16_t* iCmd, std::int32_t* wDataH,
                                       std::int32_t* wDataL, std::int32_t* rDataH,
                                       std::int32_t* rDataL, std::int16_t* nTargetID) {
  I16 cmd(iCmd), target(nTargetID);
  I32 wh(wDataH), wl(wDataL), rh(rDataH), rl(rDataL);
  return run(
      "GPIO_ProcessCall",
      [&] {
        return object().GPIO_ProcessCall(cmd.value, wh.value, wl.value, rh.value, rl.value,
                                         target.value);
      },
      cmd, wh, wl, rh, rl, target);
}

std::int32_t gpio_dll_GPIO_ReadWriteP0Line(std::uint8_t* DataA, std::uint8_t* DataB) {
  U8 a(DataA), b(DataB);
  return run(
      "GPIO_ReadWriteP0Line", [&] { return object().GPIO_ReadWriteP0Line(a.value, b.value); }, a,
      b);
}

std::int32_t gpio_dll_GPIO_WriteReadI2CBlock(std::int16_t* iCmd, std::uint8_t* DataArrayW,
                                             std::size_t DataArrayW_capacity,
                                             std::size_t* DataArrayW_len, std::uint8_t* DataArrayR,
                                             std::size_t DataArrayR_capacity,
                                             std::size_t* DataArrayR_len, std::int16_t* iNumBytesWr,
                                             std::int16_t* iNumBytesRd, std::int16_t* nTargetID) {
  I16 cmd(iCmd), nw(iNumBytesWr), nr(iNumBytesRd), target(nTargetID);
  Bytes w(DataArrayW, DataArrayW_capacity, DataArrayW_len);
  Bytes r(DataArrayR, DataArrayR_capacity, DataArrayR_len);
  return run_changing(
      "GPIO_WriteReadI2CBlock",
      [&] {
        return object().GPIO_WriteReadI2CBlock(cmd.value, w.value, r.value, nw.value, nr.value,
                                               target.value);
      },
      cmd, w, r, nw, nr, target);
}

std::int32_t gpio_dll_GPIO_WriteReadSMBusBlock(
    std::int16_t* iCmd, std::uint8_t* DataArrayW, std::size_t DataArrayW_capacity,
    std::size_t* DataArrayW_len, std::uint8_t* DataArrayR, std::size_t DataArrayR_capacity,
    std::size_t* DataArrayR_len, std::int16_t* iNumBytesWr, std::int16_t* iNumBytesRd,
    std::int16_t* nTargetID) {
  I16 cmd(iCmd), nw(iNumBytesWr), nr(iNumBytesRd), target(nTargetID);
  Bytes w(DataArrayW, DataArrayW_capacity, DataArrayW_len);
  Bytes r(DataArrayR, DataArrayR_capacity, DataArrayR_len);
  return run_changing(
      "GPIO_WriteReadSMBusBlock",
      [&] {
        return object().GPIO_WriteReadSMBusBlock(cmd.value, w.value, r.value, nw.value, nr.value,
                                                 target.value);
      },
      cmd, w, r, nw, nr, target);
}

std::int32_t gpio_dll_GPIO_CheckSdaSclLine(void) {
  return run("GPIO_CheckSdaSclLine", [] { return object().GPIO_CheckSdaSclLine(); });
}

std::int32_t gpio_dll_GPIO_GetP0Line(std::uint8_t* DataB) {
  U8 b(DataB);
  return run(
      "GPIO_GetP0Line", [&] { return object().GPIO_GetP0Line(b.value); }, b);
}

std::int32_t gpio_dll_GPIO_SetP0Line(std::uint8_t* DataB) {
  U8 b(DataB);
  return run(
      "GPIO_SetP0Line", [&] { return object().GPIO_SetP0Line(b.value); }, b);
}

std::int32_t gpio_dll_GPIO_GetPMBusLine(std::uint8_t* DataB) {
  U8 b(DataB);
  return run(
      "GPIO_GetPMBusLine", [&] { return object().GPIO_GetPMBusLine(b.value); }, b);
}

std::int32_t gpio_dll_GPIO_SetPMBusLine(std::uint8_t* DataB) {
  U8 b(DataB);
  return run(
      "GPIO_SetPMBusLine", [&] { return object().GPIO_SetPMBusLine(b.value); }, b);
}

std::int32_t gpio_dll_GPIO_SetP1Line(std::uint8_t* DataA, std::uint8_t* DataB,
                                     std::uint8_t* DataC) {
  U8 a(DataA), b(DataB), c(DataC);
  return run(
      "GPIO_SetP1Line", [&] { return object().GPIO_SetP1Line(a.value, b.value, c.value); }, a, b,
      c);
}

std::int32_t gpio_dll_GPIO_FW_VER_Read(char* iDevFWver, std::size_t* iDevFWver_size,
                                       char* iVendorID, std::size_t* iVendorID_size,
                                       char* iProductID, std::size_t* iProductID_size) {
  Text version(iDevFWver, iDevFWver_size), vendor(iVendorID, iVendorID_size),
      product(iProductID, iProductID_size);
  return run(
      "GPIO_FW_VER_Read",
      [&] { return object().GPIO_FW_VER_Read(version.value, vendor.value, product.value); },
      version, vendor, product);
}

std::int32_t gpio_dll_GPIO_DMA(std::uint8_t* wBlock, std::size_t wBlock_capacity,
                               std::size_t* wBlock_len, std::uint8_t* rBlock,
                               std::size_t rBlock_capacity, std::size_t* rBlock_len) {
  Bytes w(wBlock, wBlock_capacity, wBlock_len), r(rBlock, rBlock_capacity, rBlock_len);
  return run_changing(
      "GPIO_DMA", [&] { return object().GPIO_DMA(w.value, r.value); }, w, r);
}

std::int32_t gpio_dll_GPIO_ShutdownDLL(void) {
  return run("GPIO_ShutdownDLL", [] {
    object().GPIO_ShutdownDLL();
    return GPIO_DLL_C_OK;
  });
}

std::int32_t gpio_dll_GetErrString(std::int32_t LastError, char* message,
                                   std::size_t* message_size) {
  I32 error(&LastError);  // by value: the table marks it as only read
  Text text = Text::output(message, message_size);
  return run(
      "GetErrString",
      [&] {
        text.value = object().GetErrString(error.value);
        return GPIO_DLL_C_OK;
      },
      error, text);
}

std::int32_t gpio_dll_ShowDbg(char* optStr, std::size_t* optStr_size) {
  Text option(optStr, optStr_size);
  return run(
      "ShowDbg", [&] { return object().ShowDbg(option.value); }, option);
}

std::int32_t gpio_dll_use_system(void) {
  return choose([] { gpio_dll::platform::use_system(); });
}

std::int32_t gpio_dll_system_available(void) {
  return gpio_dll::platform::system_available() ? 1 : 0;
}

std::int32_t gpio_dll_use_hidraw(const char* class_dir, const char* device_dir) {
  if (class_dir == nullptr || device_dir == nullptr) return GPIO_DLL_C_INVALID_ARGUMENT;
  return choose([&] { gpio_dll::platform::use_hidraw(class_dir, device_dir); });
}

std::int32_t gpio_dll_use_hidraw_device(const char* device_path) {
  if (device_path == nullptr) return GPIO_DLL_C_INVALID_ARGUMENT;
  return choose([&] { gpio_dll::platform::use_hidraw_device(device_path); });
}

std::int32_t gpio_dll_use_hidraw_dir(const char* dir) {
  if (dir == nullptr) return GPIO_DLL_C_INVALID_ARGUMENT;
  return choose([&] { gpio_dll::platform::use_hidraw_dir(dir); });
}

std::int32_t gpio_dll_use_hidraw_dir_from_environment(void) {
  return guarded([]() -> std::int32_t {
    return gpio_dll::platform::use_hidraw_dir_from_environment() ? 1 : 0;
  });
}

std::int32_t gpio_dll_use_hidraw_device_on_this_thread(const char* device_path) {
  if (device_path == nullptr) return GPIO_DLL_C_INVALID_ARGUMENT;
  return choose([&] { gpio_dll::platform::use_hidraw_device_on_this_thread(device_path); });
}

std::int32_t gpio_dll_use_process_platform_on_this_thread(void) {
  return choose([] { gpio_dll::platform::use_process_platform_on_this_thread(); });
}

std::int32_t gpio_dll_use_module_at(const char* device_path) {
  if (device_path == nullptr) return GPIO_DLL_C_INVALID_ARGUMENT;
  return choose([&] { gpio_dll::platform::use_module_at(device_path); });
}

std::int32_t gpio_dll_use_module_with_serial(const char* serial_number) {
  if (serial_number == nullptr) return GPIO_DLL_C_INVALID_ARGUMENT;
  return choose([&] { gpio_dll::platform::use_module_with_serial(serial_number); });
}

std::int32_t gpio_dll_use_first_module(void) {
  return choose([] { gpio_dll::platform::use_first_module(); });
}

std::int32_t gpio_dll_list_devices(gpio_dll_device_info* devices, std::size_t capacity,
                                   std::size_t* count) {
  if (devices == nullptr && capacity != 0) return GPIO_DLL_C_INVALID_ARGUMENT;
  return guarded([&]() -> std::int32_t {
    const auto found = gpio_dll::platform::list_devices();
    const std::size_t n = std::min(found.size(), capacity);
    for (std::size_t i = 0; i < n; ++i) {
      gpio_dll_device_info& out = devices[i];
      copy_field(out.path, found[i].path);
      out.vendor_id = found[i].vendor_id;
      out.product_id = found[i].product_id;
      out.is_module = found[i].is_module ? 1 : 0;
      out.opened = found[i].opened ? 1 : 0;
      copy_field(out.open_error, found[i].open_error);
      copy_field(out.serial_number, found[i].serial_number);
      copy_field(out.product_name, found[i].product_name);
    }
    if (count != nullptr) *count = found.size();
    return found.size() > capacity ? GPIO_DLL_C_BUFFER_TOO_SMALL : GPIO_DLL_C_OK;
  });
}

std::int32_t gpio_dll_last_open_failure(gpio_dll_failure* failure) {
  if (failure == nullptr) return GPIO_DLL_C_INVALID_ARGUMENT;
  return guarded([&]() -> std::int32_t {
    *failure = gpio_dll_failure{};
    const auto found = gpio_dll::platform::last_open_failure();
    if (!found) return 0;
    copy_field(failure->path, found->path);
    failure->error = found->error;
    copy_field(failure->text, found->text);
    return 1;
  });
}

std::int32_t gpio_dll_last_lock_failure(gpio_dll_failure* failure) {
  if (failure == nullptr) return GPIO_DLL_C_INVALID_ARGUMENT;
  return guarded([&]() -> std::int32_t {
    *failure = gpio_dll_failure{};
    const auto found = gpio_dll::platform::last_lock_failure();
    if (!found) return 0;
    copy_field(failure->path, found->path);
    failure->error = found->error;
    failure->busy = found->busy ? 1 : 0;
    copy_field(failure->text, found->text);
    return 1;
  });
}

}  // extern "C"
