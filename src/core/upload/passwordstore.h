#pragma once

#include <QString>

// The upload password in the system's credential store (the Secret Service
// on Linux, the Credential Manager on Windows), never in a file of ours.
namespace PasswordStore {

// Whether this build has a credential store at all.
bool IsBuiltIn();
// Entries are named by UploadDestination::CredentialEntry.
// False, with the reason in Japanese, when nothing is stored or no store is reachable.
bool Read(const QString& entry, QString* password, QString* failure);
bool Write(const QString& entry, const QString& password, QString* failure);
bool Remove(const QString& entry);

} // namespace PasswordStore
