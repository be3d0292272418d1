#include "platform/thread/DetachedThread.hpp"

#include <memory>
#include <pthread.h>

namespace kestrava::thread {
namespace {

void* runBody(void* argument) noexcept {
    const std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(argument));
    (*body)();
    return nullptr;
}

class ThreadAttributes {
public:
    ThreadAttributes() { pthread_attr_init(&attributes_); }
    ~ThreadAttributes() { pthread_attr_destroy(&attributes_); }
    ThreadAttributes(const ThreadAttributes&) = delete;
    ThreadAttributes& operator=(const ThreadAttributes&) = delete;
    pthread_attr_t* get() noexcept { return &attributes_; }

private:
    pthread_attr_t attributes_;
};

} // namespace

bool startDetachedThread(std::size_t stackSize, std::function<void()> body) {
    ThreadAttributes attributes;
    if (pthread_attr_setstacksize(attributes.get(), stackSize) != 0 ||
        pthread_attr_setdetachstate(attributes.get(), PTHREAD_CREATE_DETACHED) != 0) {
        return false;
    }
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    pthread_t thread;
    if (pthread_create(&thread, attributes.get(), runBody, owned.get()) != 0) {
        return false;
    }
    owned.release(); // the thread owns it now
    return true;
}

} // namespace kestrava::thread
