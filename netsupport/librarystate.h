// LibraryState: the library-wide state of a network library whose init
// export makes a logger and a worker and whose start export runs one
// session on that worker (tarnpop, postgate).
//
// It holds the current logger and worker (those of the latest init) and the
// retired ones a repeated init replaced. A retired worker may still run its
// session, so it is kept, with its logger, until that session has ended; it
// still counts when the library asks whether a session runs, so no second
// session starts beside it. What the exports do with the state, their
// results and log lines, stays with each library.
//
// Worker is the library's worker class; it has the fields
//   std::atomic<bool> busy;  // a session runs (the session clears it just
//                            // before its last progress pair)
//   net::WThread thread;     // the session's thread
//   net::logger* log;        // the logger of the init that made it
//
// Threads: every member runs on the host's thread (the exports and the
// library's unload); the session thread only clears its worker's busy.
#pragma once

#include "logger.h"

#include <memory>
#include <vector>

namespace net {

template <typename Worker>
class LibraryState {
public:
    LibraryState() = default;
    LibraryState(const LibraryState&) = delete;
    LibraryState& operator=(const LibraryState&) = delete;
    // Static storage: in a program that links the library's code (its
    // tests) this runs at exit, possibly while a session thread still runs.
    ~LibraryState() { unload(); }

    // A repeated init: the current logger and worker retire, a new pair
    // becomes current, and retired pairs whose session has ended are
    // released. The new worker's log is set; the rest is the caller's.
    Worker& renew()
    {
        if (log_ || worker_)
            retired_.push_back({std::move(log_), std::move(worker_)});
        log_ = std::make_unique<logger>();
        worker_ = std::make_unique<Worker>();
        worker_->log = log_.get();
        releaseFinished();
        return *worker_;
    }

    Worker* worker() const { return worker_.get(); }
    logger* log() const { return log_.get(); }

    // True while a session runs on the current worker or on a retired one.
    bool anySessionRuns() const
    {
        if (worker_ && worker_->busy)
            return true;
        for (const Pair& r : retired_) {
            if (r.worker && r.worker->busy)
                return true;
        }
        return false;
    }

    // Releases the retired pairs whose session is over: its last pair is
    // out (busy false) and its thread has left the library's code.
    void releaseFinished()
    {
        for (auto it = retired_.begin(); it != retired_.end();) {
            if (!finished(it->worker.get())) {
                ++it;
                continue;
            }
            it->worker.reset();
            if (it->log)
                it->log->close();
            it = retired_.erase(it);
        }
    }

    // The library is unloaded or the process ends. Everything whose session
    // is over is released. A session thread that the ending process cut off
    // may hold its logger's lock or its worker's files: that pair is left
    // to the system, never touched.
    void unload()
    {
        if (finished(worker_.get())) {
            worker_.reset();
            if (log_)
                log_->close();
            log_.reset();
        } else {
            retired_.push_back({std::move(log_), std::move(worker_)});
        }
        releaseFinished();
        for (Pair& r : retired_) {
            (void)r.log.release();
            (void)r.worker.release();
        }
        retired_.clear();
    }

    // The number of retired pairs still kept. For the library's own tests.
    std::size_t retiredKept() const { return retired_.size(); }

private:
    struct Pair {
        std::unique_ptr<logger> log;
        std::unique_ptr<Worker> worker;
    };

    static bool finished(const Worker* w) { return !w || (!w->busy && !w->thread.running()); }

    std::unique_ptr<logger> log_;
    std::unique_ptr<Worker> worker_;
    std::vector<Pair> retired_;
};

}  // namespace net
