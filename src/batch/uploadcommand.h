#pragma once

#include <QStringList>

// "sorabi-batch upload …": sends a page folder to the destination in the
// settings file. Returns the exit status.
int RunUploadCommand(const QStringList& arguments);
