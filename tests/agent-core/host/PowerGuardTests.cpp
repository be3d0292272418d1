#include "agent-core/host/PowerGuard.hpp"

#include <gtest/gtest.h>

#include <future>
#include <set>
#include <string>
#include <vector>

namespace kestrava {
namespace {

class FakePowerSource : public PowerSource {
public:
    bool ac = true;
    bool onACPower() const override { return ac; }
    bool isLaptop() const override { return true; }
};

// Whether another thread finds the mutex taken.
bool isLockedElsewhere(std::mutex& mutex) {
    return std::async(std::launch::async,
                      [&] {
                          if (!mutex.try_lock()) {
                              return true;
                          }
                          mutex.unlock();
                          return false;
                      })
        .get();
}

// Assertions that count up from 1; types in `refused` fail to be created.
struct FakeAssertions {
    std::set<std::string> refused;
    std::vector<std::string> created;
    std::vector<PowerGuard::AssertionId> released;
    PowerGuard::AssertionId next = 1;
    std::mutex* lock = nullptr;
    bool releasedUnderLock = true;

    PowerGuard::Create create() {
        return [this](const std::string& type) -> std::optional<PowerGuard::AssertionId> {
            created.push_back(type);
            if (refused.contains(type)) {
                return std::nullopt;
            }
            return next++;
        };
    }

    PowerGuard::Release release() {
        return [this](PowerGuard::AssertionId id) {
            released.push_back(id);
            releasedUnderLock = releasedUnderLock && lock && isLockedElsewhere(*lock);
        };
    }
};

class PowerGuardTest : public testing::Test {
protected:
    std::shared_ptr<FakePowerSource> source = std::make_shared<FakePowerSource>();
    FakeAssertions assertions;
    std::optional<PowerGuard> guard{std::in_place, source, assertions.create(), assertions.release()};

    PowerGuardTest() { assertions.lock = &guard->lock(); }
};

const std::vector<std::string> bothTypes{"PreventUserIdleSystemSleep", "PreventSystemSleep"};

TEST_F(PowerGuardTest, HoldsBothAssertionsExactlyWhileOnACPower) {
    guard->update();
    guard->update();
    EXPECT_EQ(assertions.created, bothTypes);
    EXPECT_TRUE(guard->isHolding());

    source->ac = false;
    guard->update();
    EXPECT_EQ(assertions.released, (std::vector<PowerGuard::AssertionId>{1, 2}));
    EXPECT_FALSE(guard->isHolding());

    source->ac = true;
    guard->update();
    EXPECT_EQ(assertions.created.size(), 4u);
    EXPECT_TRUE(guard->isHolding());
    EXPECT_TRUE(assertions.releasedUnderLock);
}

TEST_F(PowerGuardTest, HoldsNothingWhenEitherCreationFails) {
    assertions.refused = {"PreventUserIdleSystemSleep"};
    guard->update();
    EXPECT_EQ(assertions.created, std::vector<std::string>{"PreventUserIdleSystemSleep"});
    EXPECT_FALSE(guard->isHolding());

    assertions.refused = {"PreventSystemSleep"};
    guard->update();
    EXPECT_EQ(assertions.released, std::vector<PowerGuard::AssertionId>{1});
    EXPECT_FALSE(guard->isHolding());

    // The next update tries again.
    assertions.refused.clear();
    guard->update();
    EXPECT_TRUE(guard->isHolding());
}

TEST_F(PowerGuardTest, ReleasesEverythingAtShutdownAndWhenDestroyed) {
    guard->update();
    {
        const std::lock_guard held(guard->lock());
        guard->releaseAll();
    }
    EXPECT_EQ(assertions.released, (std::vector<PowerGuard::AssertionId>{1, 2}));
    EXPECT_FALSE(guard->isHolding());

    guard->update();
    guard.reset();
    EXPECT_EQ(assertions.released, (std::vector<PowerGuard::AssertionId>{1, 2, 3, 4}));
    EXPECT_TRUE(assertions.releasedUnderLock);
}

} // namespace
} // namespace kestrava
