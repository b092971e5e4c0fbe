// The automation identity of the component and late binding over its method table.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "gpio_dll/cls_gpio_dll.hpp"
#include "gpio_dll/export.hpp"
#include "gpio_dll/language_standard.hpp"
#include "gpio_dll/variant.hpp"

#ifndef GPIO_DLL_STANDARD_TOO_OLD

namespace gpio_dll::automation {

inline constexpr std::string_view kLibraryName = "GPIO_DLL";
inline constexpr std::string_view kLibraryId = "316B209D-AA77-4093-B0AD-832481BEDF32";
inline constexpr int kLibraryVersionMajor = 1;
inline constexpr int kLibraryVersionMinor = 0;
inline constexpr std::uint32_t kLocale = 0x409;
inline constexpr std::string_view kClassName = "cls_GPIO_DLL";
inline constexpr std::string_view kClassId = "D596FE01-7633-4C3C-876D-E85CB6214FE6";
inline constexpr std::string_view kInterfaceName = "_cls_GPIO_DLL";
inline constexpr std::string_view kInterfaceId = "8C766CF6-ACED-4BB7-B945-85574CA05C0C";
inline constexpr std::string_view kErrorCodesId = "438A2187-459A-4983-9B04-728696F0BD00";
inline constexpr std::string_view kProgId = "GPIO_DLL.cls_GPIO_DLL";
inline constexpr std::string_view kThreadingModel = "Apartment";

// Dispatch identifiers are this base plus the method's index in the table.
inline constexpr std::int32_t kDispIdBase = 0x60030000;
// The dispatch interface's own entries that precede the methods in the early-bound table.
inline constexpr int kDispatchInterfaceEntries = 7;

enum class ArgType { Int16, Int32, UInt8, Text, Bytes };
enum class ResultType { Int32, Text, Variant };
enum class Direction { InOut, In };

struct ArgumentInfo {
  std::string_view name;
  ArgType type;
  Direction direction;
  // Whether the method's work writes the argument. Late binding and the C interface write back
  // these arguments alone; every other argument is only read and stays as the caller gave it.
  bool written;
};

struct MethodInfo {
  int index;
  std::string_view name;
  std::int32_t dispid;
  ResultType result;
  std::span<const ArgumentInfo> arguments;
};

// The 29 methods in interface order.
GPIO_DLL_API std::span<const MethodInfo> method_table();

// The table entry for a method name (whatever its case, as automation clients find names) or
// dispatch identifier; nullptr if there is none.
GPIO_DLL_API const MethodInfo* find_method(std::string_view name);
GPIO_DLL_API const MethodInfo* find_method(std::int32_t dispid);

// Calls a method as an automation client would: arguments in declaration order, each converted
// to its declared type. After the call, also when the method raises, the arguments it writes
// (ArgumentInfo::written) are written back into `args` with their declared type; the others keep
// the caller's values and types. Raises AutomationError: kMemberNotFound for an unknown method,
// kWrongNumberOfArguments for a wrong count, kTypeMismatch or kOverflow for an argument that
// does not convert, and whatever the method itself raises.
GPIO_DLL_API Variant Invoke(cls_GPIO_DLL& object, std::string_view method,
                            std::vector<Variant>& args);
GPIO_DLL_API Variant Invoke(cls_GPIO_DLL& object, std::int32_t dispid, std::vector<Variant>& args);

}  // namespace gpio_dll::automation

#endif  // GPIO_DLL_STANDARD_TOO_OLD
