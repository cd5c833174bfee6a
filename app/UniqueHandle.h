// A kernel handle (file, process, thread) closed with CloseHandle when it goes.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace kestel {

struct HandleCloser {
  void operator()(HANDLE h) const noexcept { CloseHandle(h); }
};
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

}  // namespace kestel
