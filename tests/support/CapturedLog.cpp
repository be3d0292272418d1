#include "tests/support/CapturedLog.hpp"

#include "agent-core/runtime/Log.hpp"

#include <algorithm>
#include <fstream>
#include <thread>

namespace kestrava::test {

CapturedLog::CapturedLog() {
    Log::configure(directory_ / "agent.log");
}

std::vector<std::string> CapturedLog::lines() const {
    std::vector<std::string> lines;
    std::ifstream file(directory_ / "agent.log");
    for (std::string line; std::getline(file, line);) {
        // "<time> <LEVEL> <message>": the time holds no blank.
        lines.push_back(line.substr(line.find(' ') + 1));
    }
    return lines;
}

std::size_t CapturedLog::count(std::string_view prefix) const {
    const auto all = lines();
    return static_cast<std::size_t>(
        std::ranges::count_if(all, [&](const std::string& line) { return line.starts_with(prefix); }));
}

bool CapturedLog::waitFor(std::string_view prefix, std::chrono::milliseconds limit) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (count(prefix) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace kestrava::test
