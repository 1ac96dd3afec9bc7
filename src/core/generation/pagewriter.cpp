#include "generation/pagewriter.h"

#include "base/clstextfile.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace {

// Waking the other thread is what a queue costs: on a virtual machine it
// takes the waker some 20 µs, as much as writing a page. So the filler waits
// only when the queue is full, and is woken when most of it is written: once
// for about a hundred pages of the usual size. Large pages fill it by size
// first, so that it holds a few megabytes at most.
constexpr size_t MaxQueued = 128;
constexpr size_t ResumeFilling = 32;
constexpr qsizetype MaxQueuedBytes = qsizetype(4) << 20;
constexpr qsizetype ResumeFillingBytes = qsizetype(1) << 20;
// A buffer handed back is kept for the next page only up to this size, so
// that a few huge pages do not stay in memory for the rest of the run.
constexpr qsizetype MaxKeptBuffer = qsizetype(128) << 10;

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
    qsizetype queuedBytes = 0; // of the pages not yet written
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
    bool full() const { return waiting() >= MaxQueued || queuedBytes >= MaxQueuedBytes; }
    bool roomAgain() const { return waiting() <= ResumeFilling && queuedBytes <= ResumeFillingBytes; }

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
                queuedBytes -= page.bytes.size();
            } else {
                failedPage = page;
                failed = true;
                taken = queued; // nothing after a failed page is written
                queuedBytes = 0;
            }
            if (fillerWaiting && (failed || roomAgain()))
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
    if (d->full()) {
        d->fillerWaiting = true;
        d->fillerWakes.wait(lock, [this] { return d->failed || d->roomAgain(); });
        d->fillerWaiting = false;
    }
    if (d->failed)
        return;
    d->queuedBytes += page.bytes.size();
    std::swap(d->ring[d->queued % MaxQueued], page);
    ++d->queued;
    if (d->writerWaiting)
        d->writerWakes.notify_one();
    lock.unlock();
    if (page.bytes.capacity() > MaxKeptBuffer)
        page.bytes = QByteArray();
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
