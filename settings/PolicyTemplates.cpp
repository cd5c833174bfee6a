// The administrative templates as the compiler writes them: each file's bytes alone in a section of
// this object, which the build copies out (cmake/Windows.cmake). Never linked into a program.
#include "settings/PolicyTemplates.h"

#include <array>
#include <cstddef>
#include <string_view>

namespace kestel::admx {
namespace {

// The object file rounds a section up to a few bytes with zeros, which no XML file may end in: the
// text is padded with line ends, which XML allows after the root element, to a size no rounding
// changes.
constexpr std::size_t kRounding = 16;

struct Counter {
  std::size_t size = 0;
  constexpr void Add(std::string_view text) { size += text.size(); }
};

template <std::size_t Size>
struct Filled {
  std::array<char, Size> bytes{};
  std::size_t size = 0;
  constexpr void Add(std::string_view text) {
    for (const char c : text) bytes[size++] = c;
  }
  constexpr std::array<char, Size> Padded() {
    while (size < Size) bytes[size++] = '\n';
    return bytes;
  }
};

constexpr std::size_t Rounded(std::size_t size) {
  return (size + kRounding - 1) / kRounding * kRounding;
}

constexpr std::size_t kAdmxSize = Rounded([] {
  Counter counter;
  WriteAdmx(counter);
  return counter.size;
}());
constexpr std::size_t kAdmlSize = Rounded([] {
  Counter counter;
  WriteAdml(counter);
  return counter.size;
}());

}  // namespace

[[gnu::section(".admx"), gnu::used, gnu::aligned(1)]] constexpr std::array<char, kAdmxSize> kAdmxFile = [] {
  Filled<kAdmxSize> file;
  WriteAdmx(file);
  return file.Padded();
}();
[[gnu::section(".adml"), gnu::used, gnu::aligned(1)]] constexpr std::array<char, kAdmlSize> kAdmlFile = [] {
  Filled<kAdmlSize> file;
  WriteAdml(file);
  return file.Padded();
}();

}  // namespace kestel::admx
