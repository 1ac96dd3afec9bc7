#pragma once

#include "upload/uploadrun.h"

#include <QString>

#include <functional>
#include <optional>

class QWidget;

// The upload as the desktop program does it: the questions about server
// keys and removed pages, the progress window and the completion message.
namespace UploadFlow {

// Sends `folder` to the destination in the settings file `iniPath` and tells
// the user how it went. The password comes from the credential store or,
// failing that, from the user.
void Upload(QWidget* parent, const QString& iniPath, const QString& folder);

// The folder to upload, confirmed by the user: the run's last output folder,
// else the newest in `dataFolder`, when its run finished; else the newest
// finished one, with a plain word about the unfinished one. "参照..." picks
// another, which must hold pages (and is offered when there is no folder at
// all). Nothing when the user declines.
std::optional<QString> ChooseFolder(QWidget* parent, const QString& lastOutputFolder,
                                    const QString& dataFolder);

// Whether an upload is running, and a request to stop it (the main window
// is closing).
bool IsUploading();
void RequestStop();

// Whether `folder` holds pages (.html files) to upload: a folder the user
// picks must, so that not just any folder goes to the web space.
bool HasPages(const QString& folder);
// How many pages (.html files) `folder` holds.
int PageCount(const QString& folder);
// The removal question: how many pages the server would lose (named in
// `names`) and how many it keeps.
QString RemovalQuestion(int removed, int kept, const QString& names);

// Whether to trust a server's certificate or host key, asked with its
// fingerprint; a changed host key only after a warning that tells to check
// with the server's administrator (いいえ, the default, refuses). The upload
// and "接続テスト" ask alike.
bool AskTrust(QWidget* parent, UploadUi::KeyQuestion question, const QString& server,
              const QString& fingerprint);

// Asks for the password when the credential store has none. Tests answer
// instead: a password, or nothing to cancel.
using PasswordPrompt = std::function<std::optional<QString>(const QString& prompt)>;
void SetPasswordPrompt(PasswordPrompt prompt);
std::optional<QString> AskPassword(QWidget* parent, const QString& prompt);

} // namespace UploadFlow
