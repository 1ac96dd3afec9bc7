#pragma once

#include <QPixmap>
#include <QString>

// The header-picture preview's loader.
namespace basUrlPic {

// Largest picture body accepted from a server; the header pictures are a
// small fraction of this, and a broken server must not fill the memory.
inline constexpr qint64 MaxDownloadBytes = 16 * 1024 * 1024;

// Fetches an http(s) URL and decodes it as a picture; any other text is
// loaded as a local picture file. The caller waits: user input is held back
// meanwhile, but windows keep painting. A fetch never takes much longer than
// timeoutMs. Every failure (HTTP error, refused connection, unknown host,
// timeout, not a picture) gives a null pixmap and no message.
QPixmap LoadUrlPicture(const QString& urlOrPath, int timeoutMs = 5000);

} // namespace basUrlPic
