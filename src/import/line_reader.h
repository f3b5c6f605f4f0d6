// Reads a file as the C runtime's text mode does on Windows: CR LF arrives
// as LF, a Ctrl-Z byte ends the input, and each read takes at most 1,022
// characters (or another bound), the line end included, so a longer line
// arrives in pieces.
#pragma once

#include <cstdio>
#include <string_view>
#include <memory>

namespace kovirant {

class TextLineReader {
public:
    static constexpr std::size_t kPieceMax = 1022;

    TextLineReader(std::FILE* file, std::size_t bufferSize = 1 << 20, std::size_t pieceMax = kPieceMax);

    // The next piece, ending in LF unless it was cut at 1,022 characters or
    // at the end of the input. Valid until the next call. False at the end.
    bool next(std::string_view& piece);

    // 0, or the system's error code of a read that failed: the input then
    // ended there, not at the file's end.
    int error() const { return error_; }

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    bool fill();

    std::FILE* file_;
    std::size_t pieceMax_;
    std::unique_ptr<char[]> buffer_;  // not cleared: only the bytes read are looked at
    std::size_t capacity_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    std::size_t ctrlZ_ = kNone;  // buffer offset of the first Ctrl-Z read so far
    bool eof_ = false;   // the file has no more bytes
    bool done_ = false;  // a Ctrl-Z was met
    int error_ = 0;
};

}  // namespace kovirant
