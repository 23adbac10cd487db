// Inputs read in more than one pass (a metadata pass, then the data, rewinds) must be
// seekable. A path that names a stream (a FIFO, a socket, a terminal or other device) and "-"
// (standard input) are copied once, on first use, to a temporary file in $TMPDIR (else
// /tmp); later uses of the same path read that copy, and it is removed at exit. A file or a
// stream that is gzip-compressed (QMXGzipFile.h) is decompressed into such a copy instead.
#pragma once

#include <string>

// The path to open for reading `path`: its temporary copy for a stream, else `path` itself
// (a regular file, or one that cannot be examined: opening it then reports why). Throws
// QMXDataError: "cannot open <path>: <reason>", "cannot copy <path> to a temporary file: <reason>",
// "cannot decompress <path>: <reason>".
std::string QMXSeekablePath(const std::string& path);
