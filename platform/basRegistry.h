#pragma once
// Reads one named value of one registry key: text for a string value, a number for a 32-bit
// value, and empty text for anything else and for every failure, so that a caller can use the
// result without checking first.

#include <cstdint>
#include <string>
#include <variant>

#include "platform/RegistryApi.h"

namespace basRegistry {

using RegistryValue = std::variant<std::string, std::int32_t>;

RegistryValue GetRegistryString(win::RegistryApi& registry, win::KeyHandle root,
                                std::string keyPath, std::string valueName);

// The value as text: a number becomes its decimal digits.
std::string ToText(const RegistryValue& value);

}  // namespace basRegistry
