#include "import/line_reader.h"

#include <cerrno>
#include <cstring>

#include "util/file_io.h"

namespace kovirant {

TextLineReader::TextLineReader(std::FILE* file, std::size_t bufferSize, std::size_t pieceMax)
    : file_(file),
      pieceMax_(pieceMax),
      buffer_(new char[bufferSize < 4 * pieceMax ? 4 * pieceMax : bufferSize]),
      capacity_(bufferSize < 4 * pieceMax ? 4 * pieceMax : bufferSize) {}

// Only called before a Ctrl-Z has been read: nothing past one is needed.
bool TextLineReader::fill() {
    if (begin_ > 0) {
        std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    while (!eof_ && end_ < capacity_ && ctrlZ_ == kNone) {
        clearSystemError();
        std::size_t n = std::fread(buffer_.get() + end_, 1, capacity_ - end_, file_);
        if (n == 0) {
            eof_ = true;
            if (std::ferror(file_)) error_ = lastSystemError();
        }
        // One search per read instead of one per piece.
        if (const void* z = std::memchr(buffer_.get() + end_, 0x1A, n))
            ctrlZ_ = static_cast<std::size_t>(static_cast<const char*>(z) - buffer_.get());
        end_ += n;
    }
    return end_ > begin_;
}

bool TextLineReader::next(std::string_view& piece) {
    if (done_) return false;
    // A piece may need 1,023 raw bytes (1,021 characters, CR, LF) and one
    // more to see whether a final CR is followed by LF.
    if (end_ - begin_ < pieceMax_ + 2 && !eof_ && ctrlZ_ == kNone) fill();
    if (begin_ == end_) return false;

    char* start = buffer_.get() + begin_;
    const std::size_t avail = end_ - begin_;
    std::size_t scan = avail < pieceMax_ + 1 ? avail : pieceMax_ + 1;

    // A Ctrl-Z ends the input where it stands: only the bytes up to the
    // line end need looking at.
    const void* lf = std::memchr(start, '\n', scan);
    const std::size_t upTo = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - start) : scan;
    bool atCtrlZ = false;
    if (ctrlZ_ != kNone && ctrlZ_ - begin_ < upTo) {
        scan = ctrlZ_ - begin_;
        atCtrlZ = true;
        lf = nullptr;
    }
    if (lf != nullptr) {
        const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(lf) - start);
        if (at > 0 && start[at - 1] == '\r') {
            // CR LF arrives as LF; the piece has `at` characters.
            if (at <= pieceMax_) {
                start[at - 1] = '\n';
                piece = std::string_view(start, at);
                begin_ += at + 1;
                return true;
            }
        } else if (at + 1 <= pieceMax_) {
            piece = std::string_view(start, at + 1);
            begin_ += at + 1;
            return true;
        }
    }
    // No line end within reach: the piece ends at 1,022 characters, at the
    // Ctrl-Z or at the end of the file.
    const std::size_t length = scan < pieceMax_ ? scan : pieceMax_;
    if (atCtrlZ && length == scan) done_ = true;
    if (length == 0) return false;
    piece = std::string_view(start, length);
    begin_ += length;
    return true;
}

}  // namespace kovirant
