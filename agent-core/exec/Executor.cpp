#include "agent-core/exec/Executor.hpp"

#include <boost/asio/append.hpp>
#include <boost/asio/defer.hpp>
#include <boost/asio/dispatch.hpp>
#include <boost/asio/execution/outstanding_work.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/prefer.hpp>

#include <algorithm>

namespace kestrava {
namespace {

// A completion handler that keeps its executor's event loop from running out of work until it runs. It
// runs off the strand: on the pool, or on its own associated executor.
template<class Signature>
class PendingCompletion {
public:
    PendingCompletion(boost::asio::any_completion_handler<Signature> handler,
                      boost::asio::any_io_executor pool)
        : pool_(std::move(pool)),
          work_(boost::asio::prefer(boost::asio::get_associated_executor(handler, pool_),
                                    boost::asio::execution::outstanding_work.tracked)),
          handler_(std::move(handler)) {}

    // Called on the strand: deferred, the handler runs on the same pool thread once the strand lets it
    // go, instead of waking another one.
    template<class... Arguments>
    void complete(Arguments... arguments) {
        boost::asio::defer(
            pool_, [work = std::move(work_), handler = std::move(handler_), arguments...]() mutable {
                boost::asio::dispatch(work, boost::asio::append(std::move(handler), std::move(arguments)...));
            });
    }

private:
    boost::asio::any_io_executor pool_;
    boost::asio::any_completion_executor work_;
    boost::asio::any_completion_handler<Signature> handler_;
};

using RunCompletion = PendingCompletion<Executor::RunSignature>;

} // namespace

Executor::Executor(const boost::asio::any_io_executor& pool, std::function<bool()> fdaProbe)
    : pool_(pool), strand_(boost::asio::make_strand(pool)), fdaProbe_(std::move(fdaProbe)) {}

void Executor::startRun(std::string id, std::string cmd, std::int64_t timeoutSec, OutputHandler onOutput,
                        RunHandler handler) {
    // Shared so that the job's completion, a copyable function, can carry it.
    auto completion = std::make_shared<RunCompletion>(std::move(handler), pool_);
    boost::asio::post(strand_, [self = shared_from_this(), id = std::move(id), cmd = std::move(cmd),
                                timeoutSec, onOutput = std::move(onOutput), completion]() mutable {
        if (self->jobs_.contains(id)) {
            // Checked first: a cancel recorded for the same identifier stays for the next run.
            completion->complete(std::make_exception_ptr(ExecError::duplicateId()), ExecResult{});
            return;
        }
        if (self->earlyCancels_.take(id)) {
            completion->complete(std::exception_ptr(), ExecResult{});
            return;
        }
        if (self->jobs_.size() >= maxConcurrent) {
            completion->complete(std::make_exception_ptr(ExecError::busy()), ExecResult{});
            return;
        }
        const auto job = std::make_shared<ShellJob>(
            std::move(cmd), static_cast<int>(std::clamp(timeoutSec, shortestTimeoutSec, longestTimeoutSec)),
            maxOutput, std::move(onOutput), permissionHintDelay, self->fdaProbe_);
        self->jobs_.emplace(id, job);
        job->start([self, id, job, completion](ExecResult result) {
            boost::asio::post(self->strand_, [self, id, job, completion, result] {
                // A later job under the same identifier is not this one's to remove.
                if (const auto entry = self->jobs_.find(id);
                    entry != self->jobs_.end() && entry->second == job) {
                    self->jobs_.erase(entry);
                }
                completion->complete(std::exception_ptr(), result);
            });
        });
    });
}

void Executor::cancel(const std::string& id) {
    earlyCancels_.add(id);
    boost::asio::post(strand_, [self = shared_from_this(), id] {
        if (const auto entry = self->jobs_.find(id); entry != self->jobs_.end()) {
            entry->second->cancel();
            // The job was there: the cancel is spent, a later run with this identifier runs.
            self->earlyCancels_.take(id);
        }
    });
}

void Executor::startCancelAll(DoneHandler handler) {
    auto completion = std::make_shared<PendingCompletion<DoneSignature>>(std::move(handler), pool_);
    boost::asio::post(strand_, [self = shared_from_this(), completion] {
        for (const auto& [id, job] : self->jobs_) {
            job->terminate();
        }
        completion->complete();
    });
}

} // namespace kestrava
