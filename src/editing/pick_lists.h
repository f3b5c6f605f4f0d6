// The fixed pick lists of the dialogs.
#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace kovirant {

// The five operation code texts, in list order.
std::span<const std::string_view> CodeList();
inline constexpr int kCodeBejegyzes = 0;
inline constexpr int kCodeTorles = 2;
inline constexpr int kCodeEgyeztetes = 4;  // the registry's reconciliation

// 89 public-space types, the empty text first, "útfél" twice.
std::span<const std::string_view> StreetTypeList();

// 72 floors, the empty text first.
std::span<const std::string_view> FloorList();

// The index of the entry equal to `text` byte for byte; of several equal
// entries the last one. nullopt when none is equal.
std::optional<int> lastEqualEntry(std::span<const std::string_view> list, std::string_view text);

}  // namespace kovirant
