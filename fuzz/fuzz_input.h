// Splits a fuzz input into text fields at the byte 0x1F.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kovirant::fuzz {

class Fields {
public:
    Fields(const std::uint8_t* data, std::size_t size) {
        std::string current;
        for (std::size_t i = 0; i < size; ++i) {
            if (data[i] == 0x1F) {
                parts_.push_back(current);
                current.clear();
            } else {
                current.push_back(static_cast<char>(data[i]));
            }
        }
        parts_.push_back(current);
    }
    // The next field, or the empty text once they are used up.
    std::string next() { return index_ < parts_.size() ? parts_[index_++] : std::string(); }
    // A small number taken from the next field's first byte.
    int number(int modulo) {
        const std::string s = next();
        return s.empty() ? 0 : static_cast<unsigned char>(s[0]) % modulo;
    }
    bool more() const { return index_ < parts_.size(); }

private:
    std::vector<std::string> parts_;
    std::size_t index_ = 0;
};

// Stops the run at a broken property, with the sanitizers' report.
inline void require(bool ok) {
    if (!ok) __builtin_trap();
}

}  // namespace kovirant::fuzz
