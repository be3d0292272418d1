#pragma once

#include <boost/asio/thread_pool.hpp>

namespace kestrava {

// The process-wide pool of 8 threads for work that belongs to no thread of its own. Work on it may block
// briefly but never waits for other work on the same pool. Created on first use; it lives until the
// process exits.
boost::asio::thread_pool& globalQueue();

} // namespace kestrava
