// Standard base64 ('=' padded): the text form of binary data kept in a text file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestel {

std::string EncodeBase64(std::string_view bytes);
// nullopt for anything but standard base64 with its padding, so that a value cut short or damaged in
// the file is refused here rather than handed to the platform.
std::optional<std::string> DecodeBase64(std::string_view text);

}  // namespace kestel
