// The pieces every event's text is made of, for the composers of each subsystem's events.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace kestel {

// One out-of-line join instead of chains of string additions: the record's texts stay small in the
// executable.
std::string Join(std::initializer_list<std::string_view> parts);
std::string Quoted(std::string_view text);
std::string Number(std::uint64_t value);
// "result 67 (The network name cannot be found)"; a success needs no words.
std::string Result(std::string_view label, std::uint32_t code, std::string_view text);

}  // namespace kestel
