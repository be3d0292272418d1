#pragma once

#include <cstddef>
#include <future>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kestrava::test {

// What a command's output handler received, safe to fill from several threads.
class CommandOutput {
public:
    struct Chunk {
        std::string stream;
        std::string text;
    };

    // An output handler that records here; the object must outlive the command.
    auto handler() {
        return [this](std::string_view stream, std::string_view text) { record(stream, text); };
    }

    std::vector<Chunk> chunks() const;
    // The chunks of one stream, joined.
    std::string text(std::string_view stream) const;
    std::vector<std::string> chunksOf(std::string_view stream) const;

    // Becomes ready once "stdout" has carried `marker` (set before the command starts).
    std::shared_future<void> whenPrinted(std::string marker);

private:
    void record(std::string_view stream, std::string_view text);

    mutable std::mutex lock_;
    std::vector<Chunk> chunks_;
    std::string stdout_;
    std::string marker_;
    std::promise<void> printed_;
    bool markerSeen_ = false;
};

} // namespace kestrava::test
