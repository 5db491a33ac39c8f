#pragma once
// Text waiting for a reader that may be slow, held in at most `cap` bytes:
// past that, whole pieces are dropped, and one line in the text says where
// and how many lines went, once the reader has caught up or at the end. The
// text being written counts against the cap until it is done. Knows nothing
// of threads or files.
#include <cstddef>
#include <string>
#include <string_view>

namespace qelisp::cli {

class OutputBacklog {
public:
    explicit OutputBacklog(std::size_t cap) : cap_(cap) {}

    void append(std::string_view text);
    // All the text there is to write now; it counts until written().
    std::string take();
    void written() { writing_ = 0; }
    // The end: the note of a drop the reader never caught up with.
    void close();

    // Nothing waits and nothing is being written.
    bool idle() const { return pending_.empty() && writing_ == 0; }

private:
    void noteDropped();

    std::size_t cap_;
    std::string pending_;
    std::size_t writing_ = 0;
    std::size_t droppedLines_ = 0;
    bool dropping_ = false;
};

}  // namespace qelisp::cli
