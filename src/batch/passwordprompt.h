#pragma once

#include <QString>

// Asks for a password on the terminal without showing what is typed.
// False when standard input is no terminal or the input ends.
bool ReadPasswordFromTerminal(const QString& prompt, QString* password);
