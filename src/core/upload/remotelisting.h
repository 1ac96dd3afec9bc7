#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QString>

// The regular files of a server's folder listing, with their sizes. Reads
// the "ls -l" form that FTP servers send for LIST and that SFTP servers give
// as long names, and the MS-DOS form of some Windows servers. Folders, links
// and lines it does not understand are left out, as are "." and "..".
QHash<QString, qint64> ParseRemoteListing(QByteArrayView listing);
