// A memory table as one buffer and a reader on it, for tests that drive readers and procs
// without the host pipeline.
#pragma once

#include "qmxbase/QMXBuf.h"
#include "qmxbase/QMXBufReader.h"
#include "qmxbase/QMXMemoryTable.h"

// Every row of a table in one buffer; the reader's request rows limit the chunk.
struct TableChunk {
  explicit TableChunk(const QMXMemoryTable& table, long requestRows = 100000) {
    buf.setSchema(table.schema());
    buf.block() = table.block();
    reader.setBuf(&buf);
    reader.setRequestRows(requestRows);
  }
  QMXBuf buf;
  QMXBufReader reader;
};
