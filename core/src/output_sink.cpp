#include "rvx/output_sink.h"

#include <algorithm>
#include <cstring>

namespace rvx {

BufferedWriter::BufferedWriter(Sink& sink, std::size_t capacity) : sink_(sink), buffer_(capacity) {}

void BufferedWriter::makeRoom(std::size_t size) {
    writeOut();
    if (buffer_.size() < size) {
        buffer_.resize(size);  // a piece larger than the buffer still goes out whole
    }
}

void BufferedWriter::append(std::string_view text) {
    while (!text.empty()) {
        const std::size_t part = std::min(text.size(), buffer_.size());
        char* at = room(part);
        std::memcpy(at, text.data(), part);
        commit(at + part);
        text.remove_prefix(part);
    }
}

bool BufferedWriter::finish() {
    writeOut();
    if (!failed_ && !sink_.flush()) {
        failed_ = true;
    }
    return !failed_;
}

void BufferedWriter::writeOut() {
    if (used_ > 0 && !failed_ && !sink_.write({buffer_.data(), used_})) {
        failed_ = true;
    }
    used_ = 0;
}

}  // namespace rvx
