#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

// A page on its way to the disk, with what a message about it names.
struct PendingPage
{
    QString path;
    QByteArray bytes;
    qsizetype lineNumber = 0;
    QString articleId;
};

// Writes a run's pages in order on a thread of its own, so that the next
// line is filled while the last page goes to the disk. The first page that
// cannot be written stops it: no page after it is written, and none is left
// half written.
class PageWriter
{
public:
    PageWriter();
    ~PageWriter(); // waits for the pages already handed over
    PageWriter(const PageWriter&) = delete;
    PageWriter& operator=(const PageWriter&) = delete;

    // Takes the page over and gives back, in `page`, the buffers of a page
    // written earlier, so that filling the next one reuses their memory
    // rather than allocating anew (and every buffer is freed by the thread
    // that allocated it). Waits while a few pages are still queued. Takes
    // nothing once a page has failed.
    void Write(PendingPage& page);
    // Waits until every page handed over is written or one has failed;
    // false when one has failed.
    bool Drain();
    // Whether a page has failed (without waiting).
    bool Failed() const;
    // After a failure: the page and the description of why.
    const PendingPage& FailedPage() const;
    QString FailureMessage() const;
    // Pages written so far.
    int Written() const;

private:
    struct State;
    std::unique_ptr<State> d;
};
