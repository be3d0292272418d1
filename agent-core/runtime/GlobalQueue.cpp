#include "agent-core/runtime/GlobalQueue.hpp"

namespace kestrava {

boost::asio::thread_pool& globalQueue() {
    // Never destroyed: the process ends with _exit while its threads may still be busy.
    static auto* const pool = new boost::asio::thread_pool(8);
    return *pool;
}

} // namespace kestrava
