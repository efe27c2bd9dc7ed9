// Output of any length through one buffer of fixed size, into whatever takes it: a file of the
// command line, the memory of a window or a page.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace rvx {

// What takes the bytes written.
class Sink {
public:
    virtual ~Sink() = default;
    // Takes the bytes; false when they could not all be taken.
    virtual bool write(std::string_view bytes) = 0;
    // Passes on what it took (a file's buffer to the system); false when that failed.
    virtual bool flush() { return true; }
};

// Keeps the bytes in a string.
class StringSink final : public Sink {
public:
    explicit StringSink(std::string& out) : out_(out) {}
    bool write(std::string_view bytes) override {
        out_ += bytes;
        return true;
    }

private:
    std::string& out_;
};

// The caller appends text, or asks for room, writes into it and commits what it wrote; full
// buffers go to the sink in one write each. The first write that fails (a full disk, a closed
// descriptor) is remembered, so that a cut-off result is not reported as success; the caller
// asks failed() and stops.
class BufferedWriter {
public:
    explicit BufferedWriter(Sink& sink, std::size_t capacity = std::size_t{1} << 18);

    // Room for size more characters; a size beyond the capacity makes the buffer that large.
    [[nodiscard]] char* room(std::size_t size) {
        if (buffer_.size() - used_ < size) {
            makeRoom(size);
        }
        return buffer_.data() + used_;
    }
    // What was written into the room, up to end, is part of the output.
    void commit(char* end) { used_ = static_cast<std::size_t>(end - buffer_.data()); }
    void append(std::string_view text);

    // Writes what is held and flushes the sink; false when anything could not be written.
    [[nodiscard]] bool finish();
    [[nodiscard]] bool failed() const { return failed_; }

private:
    // Writes what is held, so that size characters fit.
    void makeRoom(std::size_t size);
    void writeOut();
    Sink& sink_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    bool failed_ = false;
};

}  // namespace rvx
