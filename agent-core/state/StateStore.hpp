#pragma once

#include "agent-core/state/PairedPhone.hpp"
#include "platform/files/FileError.hpp"
#include "platform/json/ObjectReader.hpp"
#include "platform/json/Value.hpp"
#include "platform/time/Timestamp.hpp"
#include "protocol-kit/MemoryNonceStore.hpp"
#include "protocol-kit/NonceStore.hpp"

#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrava {

// The agent's persistent memory: the paired phones and the command nonces of the last ten minutes, kept
// in one JSON file. Shared by every thread; one mutex guards the memory and every write of the file.
class StateStore final : public NonceStore {
public:
    // The body of the state file.
    struct Persisted {
        std::vector<PairedPhone> phones;         // file order; new or updated phones at the end
        std::map<std::string, Timestamp> nonces; // nonce -> when it was first accepted

        json::Object encode() const;
        static Persisted decode(const json::ObjectReader& reader);

        bool operator==(const Persisted&) const = default;
    };

    // The same window as the in-memory register, so a restart does not shorten replay protection.
    static constexpr std::chrono::seconds nonceWindow = MemoryNonceStore::window;

    // Loads the file and never fails: a missing, unreadable or undecodable file gives an empty store. A
    // bad file is moved aside to "<name>.corrupt-<unix seconds>" beside it, and then, as when only such a
    // copy is left, loadFailed() is true.
    explicit StateStore(std::filesystem::path url, std::function<Timestamp()> now = wallClockNow);

    std::vector<PairedPhone> phones() const;
    // True when the phone list may be incomplete because an earlier state could not be read.
    bool loadFailed() const noexcept { return loadFailed_; }

    // The two changes below do not save; their callers call save() and judge its failure.
    // Drops every phone with the same id, then appends this one.
    void upsert(PairedPhone phone);
    void remove(const std::string& phoneId);

    // Replaces the file with the state in memory. Throws files::FileError when it was not replaced; memory
    // is unchanged either way.
    void save();

    // A fresh nonce is recorded and saved at once, so a replay is refused even after a restart.
    bool checkAndRecord(const std::string& nonce, Timestamp at) override;
    // The same, and a fresh nonce also sets lastUsed of the first phone with the id `usedBy` in that same
    // write: a command's use of its phone costs no write of its own before the command runs.
    bool checkAndRecord(const std::string& nonce, Timestamp at, const std::string& usedBy);

private:
    bool load();
    bool hasCorruptCopy() const;
    void quarantine(const std::string& reason) const;
    // The caller holds lock_. Returns what atomicWrite returns.
    [[nodiscard]] std::optional<files::FileError> saveLocked() const;
    // Records a fresh nonce and, with `usedBy`, that phone's last use, in one write.
    bool recordNonce(const std::string& nonce, Timestamp at, const std::string* usedBy);
    // Whether a problem of a nonce save is to be logged now; the caller holds lock_.
    bool nonceSaveProblemIsDue();

    const std::filesystem::path url_;
    const std::function<Timestamp()> now_;
    mutable std::mutex lock_;
    Persisted state_;
    std::optional<Timestamp> lastNonceSaveProblemLogged_;
    const bool loadFailed_;
};

} // namespace kestrava
