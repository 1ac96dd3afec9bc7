#pragma once

#include "generation/sitemap.h"

#include <QDateTime>
#include <QString>
#include <QThread>

#include <functional>

class RunUi;

struct RunOptions
{
    // The product CSV chosen by the user.
    QString csvPath;
    // Where the working copy "articles.csv" is made (the program's folder);
    // empty: the CSV is read where it is, without a copy.
    QString workingCopyFolder;
    // Where the dated output folder is created.
    QString outputParentFolder;
    // The settings file, read again for every line.
    QString settingsPath;
    // Whether the completion message says where the pages are (when they do
    // not go beside the program, the user cannot guess it).
    bool announceOutputFolder = false;
    // The clock that names the output folder, and how the run waits for its
    // next second when a folder of that name is already there.
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
    std::function<void(int milliseconds)> wait = [](int ms) { QThread::msleep(ulong(ms)); };
    // When the settings hold the public address (SITEURL): the sitemap's
    // limits per file (the protocol's; lowered by tests).
    SitemapBuilder::Limits sitemapLimits;
};

enum class RunOutcome {
    Completed,
    Cancelled,
    InvalidPath,  // no file at the CSV path
    ReadFailed,   // the CSV or its working copy could not be read or made
    FolderFailed, // the output folder could not be created
    LineFailed,   // a line could not be turned into a page
    WriteFailed,  // a page file could not be created or written
    Busy,         // another run is in progress
    NoShopId,     // the settings hold no shop ID and the user chose not to go on
};

struct RunResult
{
    RunOutcome outcome = RunOutcome::Busy;
    QString outputFolder; // set once the folder exists
    int pagesWritten = 0;
};

// One generation run: reads the CSV, creates the output folder named after
// the date and time, and writes one page per product line, with progress,
// cancellation and every message shown through `ui`. Pages written stay on
// disk however the run ends.
RunResult CreatePages(RunUi& ui, const RunOptions& options);

// Whether a run is in progress (runs never nest).
bool IsRunInProgress();

// Why a line's page cannot be made when an earlier line has the same page
// name: the article IDs and their line numbers.
QString DuplicateMessage(const QString& firstId, qsizetype firstLine, const QString& secondId,
                         qsizetype secondLine);

// What the run tells before making pages whose cart links would have no
// shop ID (the settings hold none): RunUi::AskGoOnWithoutShopId's text.
QString MissingShopIdText();

// Why a product's page cannot be made when its file name is one the run
// writes itself once the public address is set (index.html, …).
QString ReservedNameMessage(const QString& fileName);

// "yyyymmddhhmmss" for the given local time.
QString OutputFolderName(const QDateTime& time);
// Whether a folder's name is one that OutputFolderName makes.
bool IsOutputFolderName(const QString& name);

// A run that did not finish (stopped at a bad line, cancelled, or the
// program ended) leaves its folder holding only some of the pages. It is
// recorded beside the folder, never inside it (the folder is uploaded
// whole): "<folder>.incomplete" in the same parent folder, made with the
// folder and removed when the run completes. A folder without one (every
// folder of older versions) counts as finished.
QString UnfinishedMarkerPath(const QString& folder);

struct OutputFolderState
{
    bool finished = true;
    int pagesWritten = 0; // an unfinished run's pages
    int lines = 0;        // and the CSV's product lines
};
OutputFolderState ReadOutputFolderState(const QString& folder);
// "（25 行のうち 3 ページ）": what an unfinished folder holds.
QString UnfinishedFolderText(const OutputFolderState& state);

// The newest output folder in `parentFolder`, or nothing; with
// `finishedOnly`, the newest of a run that finished.
QString NewestOutputFolder(const QString& parentFolder, bool finishedOnly = false);
