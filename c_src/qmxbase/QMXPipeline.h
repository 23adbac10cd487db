// Runs one proc over 0..2 input sources and an optional output, chunk by chunk.
//
//   QMXPipeline run(proc, "QMXProcCov");
//   run.addInput(source);                       // before attach()
//   run.setOutput(schema, &sink);               // optional; sink may be nullptr
//   run.setChunkRows(1000);
//   run.attach();                               // builds buffers, attaches them to the proc
//   run.setProperty(request);                   // any number, in order; false on error
//   bool ok = run.run();                        // init + execute loop; ok or run.error()
//   run.getProperty(answerRequest);             // read results
//
// The loop: refill every reader's window up to its request rows (rewinding the source first
// when the proc asked for a new pass), call execute, pass released output rows to the sink,
// report progress; stop when the proc is done. A proc that is not done although input 0 was
// already over (EOF, no ready rows) when the call began, and that asked for no new pass, is
// marked done: it can never get another row. Any error (proc error after init or execute,
// a bad buffer index, a QMXDataError of a source or sink, a proc that makes no progress) ends
// the run with the sink abandoned; success commits it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qmxbase/QMXBuf.h"
#include "qmxbase/QMXBufReader.h"
#include "qmxbase/QMXBufWriter.h"
#include "qmxbase/QMXChunkRows.h"
#include "qmxbase/QMXColumnInfo.h"
#include "qmxbase/QMXDataSink.h"
#include "qmxbase/QMXDataSource.h"
#include "qmxbase/QMXProc.h"
#include "qmxbase/QMXPropertyInfo.h"

class QMXPipeline {
 public:
  // `className` names the proc in messages ("proc QMXProcCov made no progress ...").
  QMXPipeline(QMXProc& proc, std::string className);
  ~QMXPipeline();
  QMXPipeline(const QMXPipeline&) = delete;
  QMXPipeline& operator=(const QMXPipeline&) = delete;

  // Sources stay owned by the caller and must outlive the pipeline. At most 2.
  void addInput(QMXDataSource& source);
  // The output buffer's columns; rows go to `sink` when given, else are dropped.
  void setOutput(QMXSchema schema, QMXDataSink* sink);
  // Rows per chunk (proc numRows, readers' request rows, output capacity); default 1000.
  void setChunkRows(long rows);
  void setProgressCallback(QMXProgressCallback callback);
  // Consecutive execute calls without progress (no row released or written, no rewind, not
  // done) before the run is stopped (default 3). A call that logs a message does not count
  // here (procs may spend calls on setup), but 10000 such calls in a row also stop the run.
  void setIdleLimit(int calls) { idleLimit_ = calls; }

  // Builds the buffers and attaches them to the proc (done by setProperty/run if needed).
  // When a chunk would not fit in the memory available (qmxChunkMemoryProblem) or the
  // buffers cannot be had, nothing is attached and setProperty, getProperty and run fail
  // with "not enough memory: ...".
  void attach();
  // Passes the request to the proc; false (and error()) when the request has conversion
  // problems or the proc reports an error.
  bool setProperty(QMXPropertyInfo& prop);
  bool getProperty(QMXPropertyInfo& prop);
  // init + execute loop; true on success, else error() says why.
  bool run();
  const std::string& error() const { return error_; }

  QMXBuf* inputBuf(int i) const;
  QMXBuf* outputBuf() const;
  std::int64_t executeCalls() const { return executeCalls_; }

 private:
  struct Input;
  struct Output;

  void attachBuffers();
  bool fail(std::string message);
  bool failFromProc(const char* stage);
  void refill(Input& input);
  bool checkAccessProblems();
  void flushOutput();
  bool finish(bool ok);

  QMXProc& proc_;
  std::string className_;
  std::vector<std::unique_ptr<Input>> inputs_;
  std::unique_ptr<Output> output_;
  long chunkRows_ = qmxDefaultChunkRows();
  int idleLimit_ = 3;
  bool attached_ = false;
  std::string attachError_;
  QMXProgressCallback progress_;
  std::string error_;
  std::int64_t executeCalls_ = 0;
};
