#include "generation/pagewriter.h"

#include "base/clstextfile.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

// Enough for the writer never to wait for the filler, even when waking the
// filler takes a while (on a virtual machine, a tenth of a millisecond); few
// enough to add half a megabyte at most to a run's memory. A full queue makes
// the filler wait until most of it is written, so that the threads wake each
// other once for many pages rather than for every page.
constexpr size_t MaxQueued = 24;
constexpr size_t ResumeFilling = 8;

} // namespace

struct PageWriter::State
{
    std::mutex mutex;
    std::condition_variable writerWakes;
    std::condition_variable fillerWakes;
    std::deque<PendingPage> queue;
    bool busy = false;  // the writer holds a page taken from the queue
    bool closing = false;
    bool writerWaiting = false;
    bool fillerWaiting = false;
    std::atomic<bool> failed = false;
    std::atomic<int> written = 0;
    PendingPage failedPage;
    clsTextFile file; // touched by the writer only, until it has stopped
    std::thread thread;

    void run()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            writerWaiting = true;
            writerWakes.wait(lock, [this] { return closing || !queue.empty(); });
            writerWaiting = false;
            if (queue.empty())
                return;
            PendingPage page = std::move(queue.front());
            queue.pop_front();
            busy = true;
            lock.unlock();
            const bool ok = file.CreateAndWriteBytes(page.path, page.bytes);
            lock.lock();
            busy = false;
            if (ok) {
                ++written;
            } else {
                failedPage = std::move(page);
                failed = true;
                queue.clear(); // nothing after a failed page is written
            }
            if (fillerWaiting && (failed || queue.size() <= ResumeFilling))
                fillerWakes.notify_one();
        }
    }
};

PageWriter::PageWriter() : d(std::make_unique<State>())
{
    d->thread = std::thread([state = d.get()] { state->run(); });
}

PageWriter::~PageWriter()
{
    {
        std::lock_guard lock(d->mutex);
        d->closing = true;
    }
    d->writerWakes.notify_one();
    d->thread.join();
}

void PageWriter::Write(PendingPage page)
{
    std::unique_lock lock(d->mutex);
    if (d->queue.size() >= MaxQueued) {
        d->fillerWaiting = true;
        d->fillerWakes.wait(lock, [this] { return d->failed || d->queue.size() <= ResumeFilling; });
        d->fillerWaiting = false;
    }
    if (d->failed)
        return;
    d->queue.push_back(std::move(page));
    if (d->writerWaiting)
        d->writerWakes.notify_one();
}

bool PageWriter::Drain()
{
    std::unique_lock lock(d->mutex);
    d->fillerWaiting = true;
    d->fillerWakes.wait(lock, [this] { return d->queue.empty() && !d->busy; });
    d->fillerWaiting = false;
    return !d->failed;
}

bool PageWriter::Failed() const
{
    return d->failed;
}

const PendingPage& PageWriter::FailedPage() const
{
    return d->failedPage;
}

QString PageWriter::FailureMessage() const
{
    return d->file.Message();
}

int PageWriter::Written() const
{
    return d->written;
}
