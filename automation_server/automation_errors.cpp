#include "automation_errors.hpp"

#include "gpio_dll/automation.hpp"
#include "gpio_dll/automation_error.hpp"
#include "text_conversion.hpp"

namespace gpio_dll::com {

namespace {

void fill(EXCEPINFO* info, HRESULT code, const std::wstring& description) {
  *info = EXCEPINFO{};
  info->bstrSource = SysAllocString(to_wide(automation::kProgId).c_str());
  info->bstrDescription = SysAllocString(description.c_str());
  info->scode = code;
}

// 0x800A0000 + number.
HRESULT automation_error_code(std::int32_t number) {
  return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, static_cast<unsigned>(number) & 0xFFFF);
}

}  // namespace

std::wstring automation_error_description(std::int32_t number) {
  switch (number) {
    case kSubscriptOutOfRange:
      return L"Subscript out of range";
    case kArrayFixedOrLocked:
      return L"This array is fixed or temporarily locked";
    default:
      return to_wide(AutomationError::description(number));
  }
}

HRESULT report_error(std::int32_t number, EXCEPINFO* info) {
  switch (number) {
    case kTypeMismatch:
      return DISP_E_TYPEMISMATCH;
    case kMemberNotFound:
      return DISP_E_MEMBERNOTFOUND;
    case kWrongNumberOfArguments:
      return DISP_E_BADPARAMCOUNT;
    default:
      break;
  }
  const HRESULT code = automation_error_code(number);
  if (info == nullptr) return code;
  fill(info, code, automation_error_description(number));
  return DISP_E_EXCEPTION;
}

HRESULT report_failure(HRESULT code, const std::string& text, EXCEPINFO* info) {
  if (code == E_OUTOFMEMORY || info == nullptr) return code;
  fill(info, code, to_wide(text));
  return DISP_E_EXCEPTION;
}

}  // namespace gpio_dll::com
