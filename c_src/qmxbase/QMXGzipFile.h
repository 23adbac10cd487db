// Reading gzip-compressed input: a data file or a standard input that starts with the gzip
// magic bytes is decompressed (every member, as gzip -d does) before the CSV reader sees it.
#pragma once

#include <string>

// True when the file at `path` can be opened and starts with the gzip magic bytes 1f 8b
// (a CSV text never starts with them).
bool QMXIsGzipFile(const std::string& path);

// Writes the decompressed contents of the gzip file `path` to the open descriptor `outFd`,
// one block at a time. Throws QMXDataError "cannot decompress <name>: <reason>" for a
// truncated or corrupt file or a failed write.
void QMXGunzipTo(const std::string& path, const std::string& name, int outFd);
