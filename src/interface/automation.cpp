#include "gpio_dll/automation.hpp"

#include <algorithm>
#include <functional>
#include <tuple>
#include <utility>

#include "gpio_dll/automation_error.hpp"

namespace gpio_dll::automation {

namespace {

using A = ArgumentInfo;
constexpr ArgType I16 = ArgType::Int16;
constexpr ArgType I32 = ArgType::Int32;
constexpr ArgType U8 = ArgType::UInt8;
constexpr ArgType Txt = ArgType::Text;
constexpr ArgType Arr = ArgType::Bytes;
constexpr Direction IO = Direction::InOut;
// What the method's work does with an argument: writes it, or only reads it.
constexpr bool Out = true;
constexpr bool Kept = false;

constexpr A kCheckDllErrorCode[] = {{"lcode", I32, IO, Kept}};
constexpr A kFwEepRead[] = {{"DevFWver", Txt, IO, Kept}, {"DEEPROM", Arr, IO, Out}};
constexpr A kFwEepWrite[] = {{"DevFWver", Txt, IO, Kept}, {"DEEPROM", Arr, IO, Kept}};
constexpr A kReadBlock[] = {{"iCmd", I16, IO, Kept},
                            {"DataArray", Arr, IO, Out},
                            {"iNumBytesRd", I16, IO, Out},
                            {"nTargetID", I16, IO, Kept}};
// A write count is written back: a negative one becomes 0, and a two-segment write leaves the
// count of its second segment.
constexpr A kWriteBlock[] = {{"iCmd", I16, IO, Kept},
                             {"DataArray", Arr, IO, Kept},
                             {"iNumBytesWr", I16, IO, Out},
                             {"nTargetID", I16, IO, Kept}};
constexpr A kSendByte[] = {{"DataL", I32, IO, Kept}, {"nTargetID", I16, IO, Kept}};
constexpr A kWriteByte[] = {
    {"iCmd", I16, IO, Kept}, {"DataL", I32, IO, Kept}, {"nTargetID", I16, IO, Kept}};
constexpr A kWriteWord[] = {{"iCmd", I16, IO, Kept},
                            {"DataH", I32, IO, Kept},
                            {"DataL", I32, IO, Kept},
                            {"nTargetID", I16, IO, Kept}};
constexpr A kReceiveByte[] = {{"DataB", I32, IO, Out}, {"nTargetID", I16, IO, Kept}};
constexpr A kReadByte[] = {
    {"iCmd", I16, IO, Kept}, {"DataB", I32, IO, Out}, {"nTargetID", I16, IO, Kept}};
constexpr A kReadWord[] = {{"iCmd", I16, IO, Kept},
                           {"DataH", I32, IO, Out},
                           {"DataL", I32, IO, Out},
                           {"nTargetID", I16, IO, Kept}};
constexpr A kProcessCall[] = {{"iCmd", I16, IO, Kept},   {"wDataH", I32, IO, Kept},
                              {"wDataL", I32, IO, Kept}, {"rDataH", I32, IO, Out},
                              {"rDataL", I32, IO, Out},  {"nTargetID", I16, IO, Kept}};
constexpr A kReadWriteLines[] = {{"DataA", U8, IO, Kept}, {"DataB", U8, IO, Out}};
// Only the SMBus block write then block read rewrites its write count.
constexpr A kWriteReadI2C[] = {{"iCmd", I16, IO, Kept},       {"DataArrayW", Arr, IO, Kept},
                               {"DataArrayR", Arr, IO, Out},  {"iNumBytesWr", I16, IO, Kept},
                               {"iNumBytesRd", I16, IO, Out}, {"nTargetID", I16, IO, Kept}};
constexpr A kWriteReadSMBus[] = {{"iCmd", I16, IO, Kept},       {"DataArrayW", Arr, IO, Kept},
                                 {"DataArrayR", Arr, IO, Out},  {"iNumBytesWr", I16, IO, Out},
                                 {"iNumBytesRd", I16, IO, Out}, {"nTargetID", I16, IO, Kept}};
constexpr A kGetLine[] = {{"DataB", U8, IO, Out}};
constexpr A kSetLine[] = {{"DataB", U8, IO, Kept}};
constexpr A kSetP1Lines[] = {
    {"DataA", U8, IO, Kept}, {"DataB", U8, IO, Kept}, {"DataC", U8, IO, Kept}};
constexpr A kFwVerRead[] = {
    {"iDevFWver", Txt, IO, Out}, {"iVendorID", Txt, IO, Out}, {"iProductID", Txt, IO, Out}};
// The request is resized to 64 bytes; the answer replaces rBlock.
constexpr A kDma[] = {{"wBlock", Arr, IO, Out}, {"rBlock", Arr, IO, Out}};
constexpr A kGetErrString[] = {{"LastError", I32, Direction::In, Kept}};
constexpr A kShowDbg[] = {{"optStr", Txt, IO, Kept}};

constexpr MethodInfo method(int index, std::string_view name, ResultType result,
                            std::span<const ArgumentInfo> args = {}) {
  return MethodInfo{index, name, kDispIdBase + index, result, args};
}

constexpr ResultType R32 = ResultType::Int32;

const MethodInfo kMethods[] = {
    method(0, "Check_DllErrorCode", ResultType::Text, kCheckDllErrorCode),
    method(1, "GPIO_FW_EEP_Read", R32, kFwEepRead),
    method(2, "GPIO_FW_EEP_Write", R32, kFwEepWrite),
    method(3, "GPIO_ReadI2CBlock", R32, kReadBlock),
    method(4, "GPIO_WriteI2CBlock", R32, kWriteBlock),
    method(5, "GPIO_SendSMBusByte", R32, kSendByte),
    method(6, "GPIO_WriteSMBusByte", R32, kWriteByte),
    method(7, "GPIO_WriteSMBusWord", R32, kWriteWord),
    method(8, "GPIO_WriteSMBusBlock", R32, kWriteBlock),
    method(9, "GPIO_ReceiveSMBusByte", R32, kReceiveByte),
    method(10, "GPIO_ReadSMBusByte", R32, kReadByte),
    method(11, "GPIO_ReadSMBusWord", R32, kReadWord),
    method(12, "GPIO_ReadSMBusBlock", R32, kReadBlock),
    method(13, "GPIO_Test", R32),
    method(14, "GPIO_ProcessCall", R32, kProcessCall),
    method(15, "GPIO_ReadWriteP0Line", R32, kReadWriteLines),
    method(16, "GPIO_WriteReadI2CBlock", R32, kWriteReadI2C),
    method(17, "GPIO_WriteReadSMBusBlock", R32, kWriteReadSMBus),
    method(18, "GPIO_CheckSdaSclLine", R32),
    method(19, "GPIO_GetP0Line", R32, kGetLine),
    method(20, "GPIO_SetP0Line", R32, kSetLine),
    method(21, "GPIO_GetPMBusLine", R32, kGetLine),
    method(22, "GPIO_SetPMBusLine", R32, kSetLine),
    method(23, "GPIO_SetP1Line", R32, kSetP1Lines),
    method(24, "GPIO_FW_VER_Read", R32, kFwVerRead),
    method(25, "GPIO_DMA", R32, kDma),
    method(26, "GPIO_ShutdownDLL", ResultType::Variant),
    method(27, "GetErrString", ResultType::Text, kGetErrString),
    method(28, "ShowDbg", R32, kShowDbg),
};

// Argument conversion to and from the declared types.
template <class T>
T from_variant(const Variant& v);
template <>
std::int16_t from_variant(const Variant& v) {
  return v.to_int16();
}
template <>
std::int32_t from_variant(const Variant& v) {
  return v.to_int32();
}
template <>
std::uint8_t from_variant(const Variant& v) {
  return v.to_uint8();
}
template <>
std::string from_variant(const Variant& v) {
  return v.to_text();
}
template <>
ByteArray from_variant(const Variant& v) {
  return v.to_bytes();
}

// Converts every argument first (a failed conversion raises before the call), calls, and
// writes back the arguments the method writes: also when it raises, since what it changed before
// the error is changed for the caller, as in a direct call. The others keep the caller's values.
template <class R, class... Args, std::size_t... I>
Variant call_by_reference(cls_GPIO_DLL& object, const MethodInfo& info,
                          R (cls_GPIO_DLL::*m)(Args&...), std::vector<Variant>& args,
                          std::index_sequence<I...>) {
  if (args.size() != sizeof...(Args)) throw AutomationError(kWrongNumberOfArguments);
  std::tuple<Args...> values{from_variant<Args>(args[I])...};
  const auto write_back = [&] {
    ((info.arguments[I].written ? void(args[I] = Variant(std::get<I>(values))) : void()), ...);
  };
  try {
    R result = (object.*m)(std::get<I>(values)...);
    write_back();
    return Variant(std::move(result));
  } catch (...) {
    write_back();
    throw;
  }
}

template <class R, class... Args>
Variant call(cls_GPIO_DLL& object, const MethodInfo& info, R (cls_GPIO_DLL::*m)(Args&...),
             std::vector<Variant>& args) {
  return call_by_reference(object, info, m, args, std::index_sequence_for<Args...>{});
}

// Automation finds names whatever their case: ASCII letters compare without it.
bool same_name(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

Variant invoke_index(cls_GPIO_DLL& o, const MethodInfo& info, std::vector<Variant>& a) {
  using C = cls_GPIO_DLL;
  switch (info.index) {
    case 0:
      return call(o, info, &C::Check_DllErrorCode, a);
    case 1:
      return call(o, info, &C::GPIO_FW_EEP_Read, a);
    case 2:
      return call(o, info, &C::GPIO_FW_EEP_Write, a);
    case 3:
      return call(o, info, &C::GPIO_ReadI2CBlock, a);
    case 4:
      return call(o, info, &C::GPIO_WriteI2CBlock, a);
    case 5:
      return call(o, info, &C::GPIO_SendSMBusByte, a);
    case 6:
      return call(o, info, &C::GPIO_WriteSMBusByte, a);
    case 7:
      return call(o, info, &C::GPIO_WriteSMBusWord, a);
    case 8:
      return call(o, info, &C::GPIO_WriteSMBusBlock, a);
    case 9:
      return call(o, info, &C::GPIO_ReceiveSMBusByte, a);
    case 10:
      return call(o, info, &C::GPIO_ReadSMBusByte, a);
    case 11:
      return call(o, info, &C::GPIO_ReadSMBusWord, a);
    case 12:
      return call(o, info, &C::GPIO_ReadSMBusBlock, a);
    case 13:
      return call(o, info, &C::GPIO_Test, a);
    case 14:
      return call(o, info, &C::GPIO_ProcessCall, a);
    case 15:
      return call(o, info, &C::GPIO_ReadWriteP0Line, a);
    case 16:
      return call(o, info, &C::GPIO_WriteReadI2CBlock, a);
    case 17:
      return call(o, info, &C::GPIO_WriteReadSMBusBlock, a);
    case 18:
      return call(o, info, &C::GPIO_CheckSdaSclLine, a);
    case 19:
      return call(o, info, &C::GPIO_GetP0Line, a);
    case 20:
      return call(o, info, &C::GPIO_SetP0Line, a);
    case 21:
      return call(o, info, &C::GPIO_GetPMBusLine, a);
    case 22:
      return call(o, info, &C::GPIO_SetPMBusLine, a);
    case 23:
      return call(o, info, &C::GPIO_SetP1Line, a);
    case 24:
      return call(o, info, &C::GPIO_FW_VER_Read, a);
    case 25:
      return call(o, info, &C::GPIO_DMA, a);
    case 26:
      return call(o, info, &C::GPIO_ShutdownDLL, a);
    case 27: {
      // The one by-value argument: converted, never written back.
      if (a.size() != 1) throw AutomationError(kWrongNumberOfArguments);
      return Variant(o.GetErrString(a[0].to_int32()));
    }
    case 28:
      return call(o, info, &C::ShowDbg, a);
    default:
      throw AutomationError(kMemberNotFound);
  }
}

}  // namespace

std::span<const MethodInfo> method_table() {
  return kMethods;
}

const MethodInfo* find_method(std::string_view name) {
  auto it = std::find_if(std::begin(kMethods), std::end(kMethods),
                         [&](const MethodInfo& m) { return same_name(m.name, name); });
  return it == std::end(kMethods) ? nullptr : &*it;
}

const MethodInfo* find_method(std::int32_t dispid) {
  const std::int32_t index = dispid - kDispIdBase;
  if (index < 0 || index >= static_cast<std::int32_t>(std::size(kMethods))) return nullptr;
  return &kMethods[index];
}

Variant Invoke(cls_GPIO_DLL& object, std::string_view method, std::vector<Variant>& args) {
  const MethodInfo* info = find_method(method);
  if (info == nullptr) throw AutomationError(kMemberNotFound, std::string(method));
  return invoke_index(object, *info, args);
}

Variant Invoke(cls_GPIO_DLL& object, std::int32_t dispid, std::vector<Variant>& args) {
  const MethodInfo* info = find_method(dispid);
  if (info == nullptr)
    throw AutomationError(kMemberNotFound, "dispatch identifier " + std::to_string(dispid));
  return invoke_index(object, *info, args);
}

}  // namespace gpio_dll::automation
