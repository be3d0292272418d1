#include "agent-core/state/StateStore.hpp"
#include "agent-core/state/StoredFileLimit.hpp"
#include "platform/files/FileError.hpp"
#include "platform/files/Files.hpp"
#include "tests/support/FullStandardError.hpp"
#include "tests/support/TemporaryDirectory.hpp"
#include "tests/support/TestFiles.hpp"
#include "tests/support/Thrown.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <future>
#include <latch>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kestrava {
namespace {

using namespace std::chrono_literals;

// 2026-01-31T12:00:00Z
const Timestamp noon = std::chrono::sys_days{std::chrono::year{2026} / 1 / 31} + 12h;

PairedPhone phone(std::string id, std::optional<Timestamp> lastUsed = std::nullopt) {
    return {std::move(id), "Anna's phone", {0xfb, 0xff}, {0x04, 0x01}, noon - 1h, lastUsed};
}

// A store whose clock the test moves.
struct ClockedStore {
    explicit ClockedStore(std::filesystem::path url, Timestamp start = noon)
        : now(start), store(std::move(url), [this] { return now; }) {}
    Timestamp now;
    StateStore store;
};

TEST(StateStore, PhonesAndNoncesSurviveARestartInTheExactFileForm) {
    test::TemporaryDirectory folder;
    const auto url = folder / "state.json";
    testing::internal::CaptureStderr();
    {
        StateStore first(url, [] { return noon; });
        EXPECT_FALSE(first.loadFailed());
        EXPECT_TRUE(first.phones().empty());
        first.upsert(phone("p2"));
        first.upsert(phone("p1"));
        first.save();
        // The nonce's write carries the phone's last use; a replay changes nothing, an unknown phone
        // nothing but the nonce.
        EXPECT_TRUE(first.checkAndRecord("n/1", noon + 700ms, "p2"));
        EXPECT_FALSE(first.checkAndRecord("n/1", noon + 5s, "p1"));
        EXPECT_TRUE(first.checkAndRecord("n/0", noon - 1s, "nobody"));
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "a first start is silent";
    EXPECT_EQ(test::fileText(url),
              R"({"nonces":{"n\/0":"2026-01-31T11:59:59Z","n\/1":"2026-01-31T12:00:00Z"},"phones":[)"
              R"({"agreePub":"BAE=","lastUsed":"2026-01-31T12:00:00Z","name":"Anna's phone",)"
              R"("pairedAt":"2026-01-31T11:00:00Z","phoneId":"p2","signPub":"+\/8="},)"
              R"({"agreePub":"BAE=","name":"Anna's phone","pairedAt":"2026-01-31T11:00:00Z",)"
              R"("phoneId":"p1","signPub":"+\/8="}]})");

    StateStore second(url, [] { return noon + 1s; });
    EXPECT_FALSE(second.loadFailed());
    EXPECT_EQ(second.phones(), (std::vector{phone("p2", noon), phone("p1")}));
    EXPECT_FALSE(second.checkAndRecord("n/1", noon + 1s));
    EXPECT_TRUE(second.checkAndRecord("n/2", noon + 1s));
}

TEST(StateStore, UpsertReplacesAtTheEndAndDuplicateIdsInTheFileAreAllDropped) {
    test::TemporaryDirectory folder;
    StateStore store(folder / "state.json");
    store.upsert(phone("a"));
    store.upsert(phone("b"));
    PairedPhone renamed = phone("a");
    renamed.name = "Work phone";
    store.upsert(renamed);
    EXPECT_EQ(store.phones(), (std::vector{phone("b"), renamed}));

    const std::string entry =
        R"({"agreePub":"BAE=","name":"N","pairedAt":"2026-01-31T11:00:00Z","signPub":"",)";
    test::writeText(folder / "twice.json", R"({"nonces":{},"phones":[)" + entry + R"("phoneId":"d"},)" +
                                               entry + R"("phoneId":"d"},)" + entry + R"("phoneId":"e"}]})");
    StateStore twice(folder / "twice.json");
    ASSERT_EQ(twice.phones().size(), 3u);
    EXPECT_TRUE(twice.checkAndRecord("n", noon, "d"));
    EXPECT_EQ(twice.phones()[0].lastUsed, noon);
    EXPECT_EQ(twice.phones()[1].lastUsed, std::nullopt);
    twice.remove("d");
    ASSERT_EQ(twice.phones().size(), 1u);
    EXPECT_EQ(twice.phones()[0].phoneId, "e");
}

TEST(StateStore, BadFilesAreMovedAsideAndALaterStartWithoutAFileKnowsIt) {
    test::TemporaryDirectory folder;
    const auto url = folder / "state.json";
    const auto copy = folder / ("state.json.corrupt-" + std::to_string(wholeSecondsSince1970(noon)));
    const std::string phoneWithoutPairedAt =
        R"({"nonces":{},"phones":[{"agreePub":"","name":"N","phoneId":"p","signPub":""}]})";
    const std::string fractionalDate = R"({"nonces":{"n":"2026-01-31T12:00:00.5Z"},"phones":[]})";
    for (const std::string bad :
         {"", "not json", R"({"phones":[]})", phoneWithoutPairedAt.c_str(), fractionalDate.c_str()}) {
        test::writeText(url, bad);
        testing::internal::CaptureStderr();
        const ClockedStore clocked(url, noon + 300ms);
        const std::string line = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(clocked.store.loadFailed()) << bad;
        EXPECT_TRUE(clocked.store.phones().empty());
        EXPECT_TRUE(line.starts_with("kestrava: state file unreadable (")) << line;
        EXPECT_TRUE(line.ends_with("); moved to " + copy.string() + ", starting empty\n")) << line;
        EXPECT_FALSE(std::filesystem::exists(url));
        // A copy from the same second is replaced.
        EXPECT_EQ(test::fileText(copy), bad);
    }

    // Neither a FIFO (which would block the read for good) nor a file past the size limit is read.
    const std::pair<std::string, std::function<void()>> unreadable[] = {
        {"not a regular file", [&] { ASSERT_EQ(::mkfifo(url.c_str(), 0600), 0); }},
        {"larger than 16777216 bytes", [&] {
             test::writeText(url, "{}");
             std::filesystem::resize_file(url, maxStoredFileSize + 1);
         }}};
    for (const auto& [reason, make] : unreadable) {
        std::filesystem::remove(copy);
        make();
        testing::internal::CaptureStderr();
        const ClockedStore clocked(url, noon + 300ms);
        const std::string line = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(clocked.store.loadFailed());
        EXPECT_NE(line.find(reason), std::string::npos) << line;
        EXPECT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(copy))) << line;
        EXPECT_FALSE(std::filesystem::exists(url));
    }

    testing::internal::CaptureStderr();
    const StateStore afterwards(url);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "kestrava: no state file but a corrupt copy was moved aside earlier; phone list unknown\n");
    EXPECT_TRUE(afterwards.loadFailed());
    EXPECT_TRUE(afterwards.phones().empty());
}

TEST(StateStore, NoncesExpireAfterSixHundredSecondsInMemoryAndAtLoad) {
    test::TemporaryDirectory folder;
    const auto url = folder / "state.json";
    StateStore store(url);
    EXPECT_TRUE(store.checkAndRecord("n", noon));
    EXPECT_FALSE(store.checkAndRecord("n", noon + 599'900ms));
    EXPECT_TRUE(store.checkAndRecord("n", noon + 600s));
    EXPECT_FALSE(store.checkAndRecord("n", noon + 1199s));
    EXPECT_TRUE(store.checkAndRecord("future", noon + 10'000s));
    EXPECT_FALSE(store.checkAndRecord("future", noon + 1300s));

    const std::string stale = R"({"nonces":{"old":"2026-01-31T11:50:00Z","young":"2026-01-31T11:50:01Z"},)"
                              R"("phones":[]})";
    test::writeText(url, stale);
    StateStore restarted(url, [] { return noon; });
    EXPECT_EQ(test::fileText(url), stale) << "loading does not write";
    restarted.save();
    EXPECT_EQ(test::fileText(url), R"({"nonces":{"young":"2026-01-31T11:50:01Z"},"phones":[]})");
    EXPECT_FALSE(restarted.checkAndRecord("young", noon));
    EXPECT_TRUE(restarted.checkAndRecord("old", noon));
}

// Dates at the ends of what the file form holds neither overflow an age nor stay for ever; and a register
// of many nonces loads in linear time (a quadratic load took minutes at this size).
TEST(StateStore, NoncesAtTheEndsOfTimeAndManyOfThem) {
    test::TemporaryDirectory folder;
    const auto url = folder / "state.json";
    test::writeText(url, R"({"nonces":{"ancient":"1678-01-01T00:00:00Z","late":"2262-04-11T00:00:00Z"},)"
                         R"("phones":[]})");
    StateStore store(url, [] { return noon; });
    store.save();
    EXPECT_EQ(test::fileText(url), R"({"nonces":{"late":"2262-04-11T00:00:00Z"},"phones":[]})");
    EXPECT_TRUE(store.checkAndRecord("ancient", noon));

    std::string many = R"({"nonces":{)";
    for (int i = 0; i < 200'000; ++i) {
        many += (i ? ",\"n" : "\"n") + std::to_string(i) + R"(":"2026-01-31T11:59:00Z")";
    }
    many += R"(},"phones":[]})";
    test::writeText(url, many);
    const auto started = std::chrono::steady_clock::now();
    StateStore loaded(url, [] { return noon; });
    EXPECT_LT(std::chrono::steady_clock::now() - started, 20s);
    EXPECT_FALSE(loaded.checkAndRecord("n199999", noon));
    EXPECT_FALSE(loaded.loadFailed());
}

TEST(StateStore, AFailedNonceSaveStillAcceptsAndLogsOnceAMinute) {
    test::TemporaryDirectory folder;
    test::writeText(folder / "blocker", "a file, not a folder");
    const auto url = folder / "blocker" / "state.json";

    testing::internal::CaptureStderr();
    ClockedStore clocked(url);
    EXPECT_TRUE(
        testing::internal::GetCapturedStderr().starts_with("kestrava: could not move corrupt state aside: "));
    EXPECT_TRUE(clocked.store.loadFailed());

    testing::internal::CaptureStderr();
    EXPECT_TRUE(clocked.store.checkAndRecord("a", noon));
    EXPECT_TRUE(clocked.store.checkAndRecord("b", noon));
    clocked.now += 59s;
    EXPECT_TRUE(clocked.store.checkAndRecord("c", noon));
    EXPECT_EQ(test::occurrences(testing::internal::GetCapturedStderr(), "ERROR state save failed: "), 1u);

    testing::internal::CaptureStderr();
    clocked.now += 1s;
    EXPECT_TRUE(clocked.store.checkAndRecord("d", noon));
    EXPECT_FALSE(clocked.store.checkAndRecord("a", noon)) << "the nonce stays recorded in memory";
    EXPECT_EQ(test::occurrences(testing::internal::GetCapturedStderr(), "ERROR state save failed: "), 1u);

    EXPECT_EQ(test::thrownBy<files::FileError>([&] { clocked.store.save(); }).value().errorNumber(), ENOTDIR);
}

// A log line can block (standard error is a pipe no one drains): the store's lock must be free meanwhile,
// or every phone's command and every status would wait on it.
TEST(StateStore, ItsLockIsFreeWhileItWritesALogLine) {
    test::TemporaryDirectory folder;
    test::writeText(folder / "blocker", "a file, not a folder");
    testing::internal::CaptureStderr();
    StateStore store(folder / "blocker" / "state.json");
    testing::internal::GetCapturedStderr();

    test::FullStandardError fullPipe;
    std::atomic<bool> logged = false;
    std::thread failingSave([&] {
        EXPECT_TRUE(store.checkAndRecord("a", noon));
        logged = true;
    });
    std::this_thread::sleep_for(200ms);
    auto phones = std::async(std::launch::async, [&] { return store.phones(); });
    EXPECT_EQ(phones.wait_for(2s), std::future_status::ready) << "the lock is held while logging";

    const std::string drained = fullPipe.giveBack([&] { return logged.load(); });
    failingSave.join();
    phones.wait();
    EXPECT_NE(drained.find("ERROR state save failed: "), std::string::npos);
}

TEST(StateStore, ConcurrentChecksOfOneNonceGetExactlyOneTrue) {
    test::TemporaryDirectory folder;
    StateStore store(folder / "state.json");
    std::atomic<int> fresh = 0;
    std::latch start(8);
    {
        std::vector<std::jthread> callers;
        for (int i = 0; i < 8; ++i) {
            callers.emplace_back([&] {
                start.arrive_and_wait();
                fresh += store.checkAndRecord("shared", noon) ? 1 : 0;
            });
        }
    }
    EXPECT_EQ(fresh, 1);
}

} // namespace
} // namespace kestrava
