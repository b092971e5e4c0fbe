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

constexpr A kCheckDllErrorCode[] = {{"lcode", I32, IO}};
constexpr A kFwEep[] = {{"DevFWver", Txt, IO}, {"DEEPROM", Arr, IO}};
constexpr A kReadBlock[] = {
    {"iCmd", I16, IO}, {"DataArray", Arr, IO}, {"iNumBytesRd", I16, IO}, {"nTargetID", I16, IO}};
constexpr A kWriteBlock[] = {
    {"iCmd", I16, IO}, {"DataArray", Arr, IO}, {"iNumBytesWr", I16, IO}, {"nTargetID", I16, IO}};
constexpr A kSendByte[] = {{"DataL", I32, IO}, {"nTargetID", I16, IO}};
constexpr A kWriteByte[] = {{"iCmd", I16, IO}, {"DataL", I32, IO}, {"nTargetID", I16, IO}};
constexpr A kWord[] = {
    {"iCmd", I16, IO}, {"DataH", I32, IO}, {"DataL", I32, IO}, {"nTargetID", I16, IO}};
constexpr A kReceiveByte[] = {{"DataB", I32, IO}, {"nTargetID", I16, IO}};
constexpr A kReadByte[] = {{"iCmd", I16, IO}, {"DataB", I32, IO}, {"nTargetID", I16, IO}};
constexpr A kProcessCall[] = {{"iCmd", I16, IO},   {"wDataH", I32, IO}, {"wDataL", I32, IO},
                              {"rDataH", I32, IO}, {"rDataL", I32, IO}, {"nTargetID", I16, IO}};
constexpr A kTwoLines[] = {{"DataA", U8, IO}, {"DataB", U8, IO}};
constexpr A kWriteRead[] = {{"iCmd", I16, IO},        {"DataArrayW", Arr, IO},
                            {"DataArrayR", Arr, IO},  {"iNumBytesWr", I16, IO},
                            {"iNumBytesRd", I16, IO}, {"nTargetID", I16, IO}};
constexpr A kOneLine[] = {{"DataB", U8, IO}};
constexpr A kThreeLines[] = {{"DataA", U8, IO}, {"DataB", U8, IO}, {"DataC", U8, IO}};
constexpr A kFwVerRead[] = {
    {"iDevFWver", Txt, IO}, {"iVendorID", Txt, IO}, {"iProductID", Txt, IO}};
constexpr A kDma[] = {{"wBlock", Arr, IO}, {"rBlock", Arr, IO}};
constexpr A kGetErrString[] = {{"LastError", I32, Direction::In}};
constexpr A kShowDbg[] = {{"optStr", Txt, IO}};

constexpr MethodInfo method(int index, std::string_view name, ResultType result,
                            std::span<const ArgumentInfo> args = {}) {
  return MethodInfo{index, name, kDispIdBase + index, result, args};
}

constexpr ResultType R32 = ResultType::Int32;

const MethodInfo kMethods[] = {
    method(0, "Check_DllErrorCode", ResultType::Text, kCheckDllErrorCode),
    method(1, "GPIO_FW_EEP_Read", R32, kFwEep),
    method(2, "GPIO_FW_EEP_Write", R32, kFwEep),
    method(3, "GPIO_ReadI2CBlock", R32, kReadBlock),
    method(4, "GPIO_WriteI2CBlock", R32, kWriteBlock),
    method(5, "GPIO_SendSMBusByte", R32, kSendByte),
    method(6, "GPIO_WriteSMBusByte", R32, kWriteByte),
    method(7, "GPIO_WriteSMBusWord", R32, kWord),
    method(8, "GPIO_WriteSMBusBlock", R32, kWriteBlock),
    method(9, "GPIO_ReceiveSMBusByte", R32, kReceiveByte),
    method(10, "GPIO_ReadSMBusByte", R32, kReadByte),
    method(11, "GPIO_ReadSMBusWord", R32, kWord),
    method(12, "GPIO_ReadSMBusBlock", R32, kReadBlock),
    method(13, "GPIO_Test", R32),
    method(14, "GPIO_ProcessCall", R32, kProcessCall),
    method(15, "GPIO_ReadWriteP0Line", R32, kTwoLines),
    method(16, "GPIO_WriteReadI2CBlock", R32, kWriteRead),
    method(17, "GPIO_WriteReadSMBusBlock", R32, kWriteRead),
    method(18, "GPIO_CheckSdaSclLine", R32),
    method(19, "GPIO_GetP0Line", R32, kOneLine),
    method(20, "GPIO_SetP0Line", R32, kOneLine),
    method(21, "GPIO_GetPMBusLine", R32, kOneLine),
    method(22, "GPIO_SetPMBusLine", R32, kOneLine),
    method(23, "GPIO_SetP1Line", R32, kThreeLines),
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
// writes every by-reference argument back: also when the method raises, since what it changed
// before the error is changed for the caller, as in a direct call.
template <class R, class... Args, std::size_t... I>
Variant call_by_reference(cls_GPIO_DLL& object, R (cls_GPIO_DLL::*m)(Args&...),
                          std::vector<Variant>& args, std::index_sequence<I...>) {
  if (args.size() != sizeof...(Args)) throw AutomationError(kWrongNumberOfArguments);
  std::tuple<Args...> values{from_variant<Args>(args[I])...};
  const auto write_back = [&] { ((args[I] = Variant(std::get<I>(values))), ...); };
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
Variant call(cls_GPIO_DLL& object, R (cls_GPIO_DLL::*m)(Args&...), std::vector<Variant>& args) {
  return call_by_reference(object, m, args, std::index_sequence_for<Args...>{});
}

Variant invoke_index(cls_GPIO_DLL& o, int index, std::vector<Variant>& a) {
  using C = cls_GPIO_DLL;
  switch (index) {
    case 0:
      return call(o, &C::Check_DllErrorCode, a);
    case 1:
      return call(o, &C::GPIO_FW_EEP_Read, a);
    case 2:
      return call(o, &C::GPIO_FW_EEP_Write, a);
    case 3:
      return call(o, &C::GPIO_ReadI2CBlock, a);
    case 4:
      return call(o, &C::GPIO_WriteI2CBlock, a);
    case 5:
      return call(o, &C::GPIO_SendSMBusByte, a);
    case 6:
      return call(o, &C::GPIO_WriteSMBusByte, a);
    case 7:
      return call(o, &C::GPIO_WriteSMBusWord, a);
    case 8:
      return call(o, &C::GPIO_WriteSMBusBlock, a);
    case 9:
      return call(o, &C::GPIO_ReceiveSMBusByte, a);
    case 10:
      return call(o, &C::GPIO_ReadSMBusByte, a);
    case 11:
      return call(o, &C::GPIO_ReadSMBusWord, a);
    case 12:
      return call(o, &C::GPIO_ReadSMBusBlock, a);
    case 13:
      return call(o, &C::GPIO_Test, a);
    case 14:
      return call(o, &C::GPIO_ProcessCall, a);
    case 15:
      return call(o, &C::GPIO_ReadWriteP0Line, a);
    case 16:
      return call(o, &C::GPIO_WriteReadI2CBlock, a);
    case 17:
      return call(o, &C::GPIO_WriteReadSMBusBlock, a);
    case 18:
      return call(o, &C::GPIO_CheckSdaSclLine, a);
    case 19:
      return call(o, &C::GPIO_GetP0Line, a);
    case 20:
      return call(o, &C::GPIO_SetP0Line, a);
    case 21:
      return call(o, &C::GPIO_GetPMBusLine, a);
    case 22:
      return call(o, &C::GPIO_SetPMBusLine, a);
    case 23:
      return call(o, &C::GPIO_SetP1Line, a);
    case 24:
      return call(o, &C::GPIO_FW_VER_Read, a);
    case 25:
      return call(o, &C::GPIO_DMA, a);
    case 26:
      return call(o, &C::GPIO_ShutdownDLL, a);
    case 27: {
      // The one by-value argument: converted, never written back.
      if (a.size() != 1) throw AutomationError(kWrongNumberOfArguments);
      return Variant(o.GetErrString(a[0].to_int32()));
    }
    case 28:
      return call(o, &C::ShowDbg, a);
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
                         [&](const MethodInfo& m) { return m.name == name; });
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
  return invoke_index(object, info->index, args);
}

Variant Invoke(cls_GPIO_DLL& object, std::int32_t dispid, std::vector<Variant>& args) {
  const MethodInfo* info = find_method(dispid);
  if (info == nullptr)
    throw AutomationError(kMemberNotFound, "dispatch identifier " + std::to_string(dispid));
  return invoke_index(object, info->index, args);
}

}  // namespace gpio_dll::automation
