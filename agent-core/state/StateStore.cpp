#include "agent-core/state/StateStore.hpp"

#include "agent-core/runtime/Log.hpp"
#include "agent-core/state/AtomicWrite.hpp"
#include "agent-core/state/StateFileMembers.hpp"
#include "agent-core/state/StoredFileLimit.hpp"
#include "platform/files/FileError.hpp"
#include "platform/files/Files.hpp"
#include "platform/json/DecodeError.hpp"
#include "platform/json/Reader.hpp"
#include "platform/json/Writer.hpp"
#include "platform/time/Iso8601.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace kestrava {
namespace {

constexpr json::WriteOptions fileFormat{.sortedKeys = true, .pretty = false, .escapeSlash = true};

// A disk that stays full must not flood the log with one line per command.
constexpr std::chrono::minutes nonceSaveProblemLogInterval{1};

// Start-up lines go straight to standard error: the log may not be set up yet.
void writeToStandardError(std::string_view line) {
    while (!line.empty()) {
        const ssize_t written = ::write(STDERR_FILENO, line.data(), line.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        line.remove_prefix(static_cast<std::size_t>(written));
    }
}

// Ages are exact durations, so an entry is gone at 600 s sharp; one dated in the future stays. Compared
// with the window's start rather than by age: a date centuries back would overflow the subtraction.
void dropExpiredNonces(std::map<std::string, Timestamp>& nonces, Timestamp now) {
    const Timestamp windowStart = now - StateStore::nonceWindow;
    std::erase_if(nonces, [windowStart](const auto& entry) { return entry.second <= windowStart; });
}

std::filesystem::path folderOf(const std::filesystem::path& file) {
    return file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
}

std::map<std::string, Timestamp> decodeNonces(const json::ObjectReader& reader) {
    const json::ObjectReader nonceReader = reader.object("nonces");
    std::map<std::string, Timestamp> nonces;
    for (const json::Member& member : reader.value("nonces").asObject()->members()) {
        // A repeated nonce keeps its first time, as every lookup in a JSON object does. Read from the
        // member itself: looking each one up by name would make loading quadratic.
        if (!nonces.contains(member.key)) {
            nonces.emplace(member.key, readDateValue(nonceReader, member));
        }
    }
    return nonces;
}

std::vector<PairedPhone> decodePhones(const json::ObjectReader& reader) {
    std::vector<std::string> path = reader.codingPath();
    path.emplace_back("phones");
    const json::Array* array = reader.value("phones").asArray();
    if (!array) {
        throw json::DecodeError(json::DecodeError::Kind::typeMismatch, path,
                                "Expected to decode an array but found another type instead.");
    }
    std::vector<PairedPhone> phones;
    phones.reserve(array->size());
    for (const json::Value& element : *array) {
        std::vector<std::string> elementPath = path;
        elementPath.push_back("Index " + std::to_string(phones.size()));
        phones.push_back(PairedPhone::decode(json::ObjectReader(element, std::move(elementPath))));
    }
    return phones;
}

} // namespace

json::Object StateStore::Persisted::encode() const {
    json::Object nonceObject;
    for (const auto& [nonce, acceptedAt] : nonces) {
        nonceObject.add(nonce, iso8601::format(acceptedAt));
    }
    json::Array phoneArray;
    phoneArray.reserve(phones.size());
    for (const PairedPhone& phone : phones) {
        phoneArray.emplace_back(phone.encode());
    }
    json::Object object;
    object.add("nonces", std::move(nonceObject)).add("phones", std::move(phoneArray));
    return object;
}

StateStore::Persisted StateStore::Persisted::decode(const json::ObjectReader& reader) {
    Persisted persisted;
    persisted.nonces = decodeNonces(reader);
    persisted.phones = decodePhones(reader);
    return persisted;
}

StateStore::StateStore(std::filesystem::path url, std::function<Timestamp()> now)
    : url_(std::move(url)), now_(std::move(now)), loadFailed_(load()) {}

// Fills state_ and answers whether the phone list may be incomplete.
bool StateStore::load() {
    Bytes data;
    try {
        data = files::readAll(url_, maxStoredFileSize);
    } catch (const files::FileError& error) {
        if (error.errorNumber() != ENOENT) {
            quarantine(error.what());
            return true;
        }
        if (hasCorruptCopy()) {
            writeToStandardError(
                "kestrava: no state file but a corrupt copy was moved aside earlier; phone list unknown\n");
            return true;
        }
        return false;
    }
    try {
        state_ = Persisted::decode(json::ObjectReader(json::parse(textOf(data))));
    } catch (const json::DecodeError& error) {
        quarantine(error.what());
        return true;
    }
    // The pruned register is written with the next save, not now.
    dropExpiredNonces(state_.nonces, now_());
    return false;
}

// A folder that cannot be listed counts as holding no copy.
bool StateStore::hasCorruptCopy() const {
    const std::string prefix = url_.filename().string() + ".corrupt-";
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folderOf(url_), error), end; !error && entry != end;
         entry.increment(error)) {
        if (entry->path().filename().string().starts_with(prefix)) {
            return true;
        }
    }
    return false;
}

void StateStore::quarantine(const std::string& reason) const {
    const std::filesystem::path target = folderOf(url_) / (url_.filename().string() + ".corrupt-" +
                                                           std::to_string(wholeSecondsSince1970(now_())));
    // A copy from the same second is replaced by this one.
    ::unlink(target.c_str());
    if (::rename(url_.c_str(), target.c_str()) != 0) {
        const files::FileError error("rename", url_.string(), errno);
        writeToStandardError(std::string("kestrava: could not move corrupt state aside: ") + error.what() +
                             "\n");
        return;
    }
    writeToStandardError("kestrava: state file unreadable (" + reason + "); moved to " + target.string() +
                         ", starting empty\n");
}

std::vector<PairedPhone> StateStore::phones() const {
    std::lock_guard guard(lock_);
    return state_.phones;
}

void StateStore::upsert(PairedPhone phone) {
    std::lock_guard guard(lock_);
    std::erase_if(state_.phones, [&](const PairedPhone& known) { return known.phoneId == phone.phoneId; });
    state_.phones.push_back(std::move(phone));
}

void StateStore::remove(const std::string& phoneId) {
    std::lock_guard guard(lock_);
    std::erase_if(state_.phones, [&](const PairedPhone& known) { return known.phoneId == phoneId; });
}

void StateStore::save() {
    std::optional<files::FileError> unflushed;
    {
        std::lock_guard guard(lock_);
        unflushed = saveLocked();
    }
    if (unflushed) {
        logUnflushedFolder(*unflushed);
    }
}

std::optional<files::FileError> StateStore::saveLocked() const {
    const std::string text = json::write(state_.encode(), fileFormat);
    return atomicWrite(bytesOf(text), url_);
}

bool StateStore::checkAndRecord(const std::string& nonce, Timestamp at) {
    return recordNonce(nonce, at, nullptr);
}

bool StateStore::checkAndRecord(const std::string& nonce, Timestamp at, const std::string& usedBy) {
    return recordNonce(nonce, at, &usedBy);
}

bool StateStore::recordNonce(const std::string& nonce, Timestamp at, const std::string* usedBy) {
    // Lines are written once the lock is released: a log write may block.
    std::optional<std::string> failure;
    std::optional<files::FileError> unflushed;
    {
        std::lock_guard guard(lock_);
        dropExpiredNonces(state_.nonces, at);
        // A replayed nonce keeps its first time.
        if (!state_.nonces.try_emplace(nonce, at).second) {
            return false;
        }
        if (usedBy) {
            if (const auto phone = std::ranges::find(state_.phones, *usedBy, &PairedPhone::phoneId);
                phone != state_.phones.end()) {
                phone->lastUsed = at;
            }
        }
        // The command is still accepted: the nonce stays in memory, so only a restart could let it through.
        try {
            unflushed = saveLocked();
        } catch (const std::exception& error) {
            failure = error.what();
        }
        if ((failure || unflushed) && !nonceSaveProblemIsDue()) {
            failure.reset();
            unflushed.reset();
        }
    }
    if (failure) {
        logError("state save failed: " + *failure);
    }
    if (unflushed) {
        logUnflushedFolder(*unflushed);
    }
    return true;
}

bool StateStore::nonceSaveProblemIsDue() {
    const Timestamp current = now_();
    if (lastNonceSaveProblemLogged_ && current - *lastNonceSaveProblemLogged_ < nonceSaveProblemLogInterval) {
        return false;
    }
    lastNonceSaveProblemLogged_ = current;
    return true;
}

} // namespace kestrava
