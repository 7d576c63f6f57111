#pragma once
// MZ_alluse (general utilities): key=value text files in the platform's 8-bit code page, lines
// ended CR LF (CR LF, CR or LF are read). A file that an editor saved as UTF-8 (with a byte-order
// mark, or holding valid UTF-8 beyond ASCII) is read and written as UTF-8 instead, so a UTF-8
// "串口" line is found on a Windows with a GBK code page too. Keys are compared as bytes in the
// file's encoding; lines that are not rewritten keep their bytes, whatever they are. A UTF-8
// byte-order mark before the first line is not part of that line's key.

#include <QString>

// ReadKeyValue: the value of the last line "key=value"; "" when the file or the key is missing.
QString ReadKeyValue(const QString& path, const QString& key);
#include "util/savefile.h"

// WriteKeyValue: replaces every line that starts with `key` by key=value (or appends it) and
// rewrites the file. Not ok, with the reason, when the file cannot be read or written.
FileResult WriteKeyValue(const QString& path, const QString& key, const QString& value);
