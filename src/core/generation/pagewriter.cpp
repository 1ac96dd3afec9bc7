#include "generation/pagewriter.h"

#include "base/clstextfile.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace {

// Enough for the writer never to wait for the filler, even when waking the
// filler takes a while (on a virtual machine, a tenth of a millisecond); few
// enough to add half a megabyte at most to a run's memory. A full queue makes
// the filler wait until part of it is written, so that the threads wake each
// other once for many pages rather than for every page.
constexpr size_t MaxQueued = 24;
constexpr size_t ResumeFilling = 12;

} // namespace

struct PageWriter::State
{
    std::mutex mutex;
    std::condition_variable writerWakes;
    std::condition_variable fillerWakes;
    // A ring: pages [taken, queued) wait for the writer; the others hold
    // buffers of written pages, handed back to the filler for reuse.
    std::array<PendingPage, MaxQueued> ring;
    size_t taken = 0;  // counts, not indexes: the slot is the count modulo the size
    size_t queued = 0;
    bool busy = false; // the writer is writing slot `taken`
    bool closing = false;
    bool writerWaiting = false;
    bool fillerWaiting = false;
    std::atomic<bool> failed = false;
    std::atomic<int> written = 0;
    PendingPage failedPage;
    clsTextFile file; // touched by the writer only, until it has stopped
    std::thread thread;

    size_t waiting() const { return queued - taken; }

    void run()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            writerWaiting = true;
            writerWakes.wait(lock, [this] { return closing || waiting() > 0; });
            writerWaiting = false;
            if (waiting() == 0)
                return;
            // The filler does not touch this slot until `taken` has passed it.
            const PendingPage& page = ring[taken % MaxQueued];
            busy = true;
            lock.unlock();
            const bool ok = file.CreateAndWriteBytes(page.path, page.bytes);
            lock.lock();
            busy = false;
            if (ok) {
                ++taken;
                ++written;
            } else {
                failedPage = page;
                failed = true;
                taken = queued; // nothing after a failed page is written
            }
            if (fillerWaiting && (failed || waiting() <= ResumeFilling))
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

void PageWriter::Write(PendingPage& page)
{
    std::unique_lock lock(d->mutex);
    if (d->waiting() >= MaxQueued) {
        d->fillerWaiting = true;
        d->fillerWakes.wait(lock, [this] { return d->failed || d->waiting() <= ResumeFilling; });
        d->fillerWaiting = false;
    }
    if (d->failed)
        return;
    std::swap(d->ring[d->queued % MaxQueued], page);
    ++d->queued;
    if (d->writerWaiting)
        d->writerWakes.notify_one();
}

bool PageWriter::Drain()
{
    std::unique_lock lock(d->mutex);
    d->fillerWaiting = true;
    d->fillerWakes.wait(lock, [this] { return d->waiting() == 0 && !d->busy; });
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
