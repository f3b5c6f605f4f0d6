// What a dialog's validation gives: the finished record, or the first
// failing message with its caption.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kovirant {

inline constexpr std::string_view kCaptionError = "Hiba";

struct EditorMessage {
    std::string text;
    std::string caption;
    friend bool operator==(const EditorMessage&, const EditorMessage&) = default;
};

template <class Record>
struct EditResult {
    Record record{};
    std::optional<EditorMessage> error;
    bool ok() const { return !error.has_value(); }
};

template <class Record>
EditResult<Record> fail(std::string_view text, std::string_view caption = kCaptionError) {
    EditResult<Record> r;
    r.error = EditorMessage{std::string(text), std::string(caption)};
    return r;
}

}  // namespace kovirant
