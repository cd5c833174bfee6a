// Owning handle types, one line each: the handle goes to its closing function when it goes out of
// scope. Below every subsystem, as each of them holds handles of its own.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace kestel {

template <auto Close>
struct CloseWith {
  template <class Handle>
  void operator()(Handle handle) const noexcept {
    Close(handle);
  }
};
// Handle is the pointer type the platform hands out; Close the function that gives it back.
template <class Handle, auto Close>
using Unique = std::unique_ptr<std::remove_pointer_t<Handle>, CloseWith<Close>>;

// A kernel handle (file, process, thread).
using UniqueHandle = Unique<HANDLE, CloseHandle>;

}  // namespace kestel
