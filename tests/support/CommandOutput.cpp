#include "tests/support/CommandOutput.hpp"

namespace kestrava::test {

std::vector<CommandOutput::Chunk> CommandOutput::chunks() const {
    const std::lock_guard held(lock_);
    return chunks_;
}

std::string CommandOutput::text(std::string_view stream) const {
    std::string joined;
    for (const std::string& chunk : chunksOf(stream)) {
        joined += chunk;
    }
    return joined;
}

std::vector<std::string> CommandOutput::chunksOf(std::string_view stream) const {
    const std::lock_guard held(lock_);
    std::vector<std::string> texts;
    for (const Chunk& chunk : chunks_) {
        if (chunk.stream == stream) {
            texts.push_back(chunk.text);
        }
    }
    return texts;
}

std::shared_future<void> CommandOutput::whenPrinted(std::string marker) {
    const std::lock_guard held(lock_);
    marker_ = std::move(marker);
    return printed_.get_future().share();
}

void CommandOutput::record(std::string_view stream, std::string_view text) {
    const std::lock_guard held(lock_);
    chunks_.push_back({std::string(stream), std::string(text)});
    if (stream != "stdout" || marker_.empty() || markerSeen_) {
        return;
    }
    stdout_ += text;
    if (stdout_.find(marker_) != std::string::npos) {
        markerSeen_ = true;
        printed_.set_value();
    }
}

} // namespace kestrava::test
