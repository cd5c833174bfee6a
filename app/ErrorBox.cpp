#include "app/ErrorBox.h"

#include <windows.h>

#include "base/Errors.h"
#include "base/ModuleFileName.h"
#include "base/Utf.h"
#include "launch/AppDirectory.h"

namespace kestel {

std::string ModuleNameOf(const void* address, std::uintptr_t& offset) {
  HMODULE module = nullptr;
  offset = reinterpret_cast<std::uintptr_t>(address);
  if (address != nullptr &&
      GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         static_cast<LPCWSTR>(address), &module)) {
    offset -= reinterpret_cast<std::uintptr_t>(module);
  } else {
    module = GetModuleHandleW(nullptr);
    offset = 0;
  }
  const std::string full = ModuleFileName(module);
  return full.substr(DirectoryOfPath(full).size());
}

int ReportUncaughtError(const std::string& kind, const std::string& message, const void* address) {
  EXCEPTION_RECORD record{};
  record.ExceptionCode = kUncaughtErrorCode;
  record.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
  record.ExceptionAddress = const_cast<void*>(address);
  CONTEXT context{};
  RtlCaptureContext(&context);
  EXCEPTION_POINTERS pointers{&record, &context};
  if (UnhandledExceptionFilter(&pointers) == EXCEPTION_CONTINUE_SEARCH)
    RaiseException(kUncaughtErrorCode, EXCEPTION_NONCONTINUABLE, 0, nullptr);

  std::uintptr_t offset = 0;
  const std::string module = ModuleNameOf(address, offset);
  const std::string text = FormatApplicationErrorText(kind, module, offset, message);
  MessageBoxW(nullptr, Wide(text).c_str(), L"Application Error", MB_OK | MB_ICONSTOP | MB_TASKMODAL);
  return 1;
}

}  // namespace kestel
