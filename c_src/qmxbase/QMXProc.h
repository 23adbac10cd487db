// The base of every proc. The host attaches buffers, sets properties, calls `init`, then
// calls `execute` once per chunk until `isDone()`.
//
// Row accounting for single-pass procs:
//  * executeRequestRows(): usable rows of input 0 = min(getRowsReady(), getRequestRows());
//    negative when input 0 is over (EOF, no ready rows) or when there is no input.
//  * executeReleaseRows(in, out): releases `in` rows of input 0 only (other inputs are
//    released by the proc through their readers), hands `out` rows of output 0 to the host,
//    adds `in` to getRowsDone() and `out` to getOutputRowsDone(); when input 0 is then over,
//    marks the proc done (setDone(1)).
// Multi-pass procs release through the reader, count with incrementRowsDone, and rewind
// with reader setChunkPosition(0); nothing marks them done automatically.
// Base setProperty/getProperty record the error "unknown property <name>" (see
// QMXProc.cpp); they end every proc's property chain.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "qmxbase/QMXBuf.h"
#include "qmxbase/QMXBufReader.h"
#include "qmxbase/QMXBufWriter.h"
#include "qmxbase/QMXObj.h"
#include "qmxbase/QMXPropertyInfo.h"

// Progress report: rows done in the current pass and rows in one pass (-1 if unknown).
using QMXProgressCallback = std::function<void(std::int64_t rowsDone, std::int64_t totalRows)>;

class QMXProc : public QMXObj {
 public:
  QMXProc() = default;
  QMXProc(const QMXProc&) = default;
  QMXProc& operator=(const QMXProc&) = default;

  // The virtual interface, in this order.
  ~QMXProc() override = default;
  // Clears the done flag, the counters, the error and the messages.
  virtual void init();
  virtual void setProperty(QMXPropertyInfo* prop);
  virtual void getProperty(QMXPropertyInfo* prop);
  // The base does nothing.
  virtual void execute();
  // True when no error is set.
  virtual bool isReady();
  virtual void setDone(int done);
  virtual bool isDone() const;
  virtual long getExecuteCount() const;
  virtual void setExecuteCount(long count);
  virtual std::int64_t getRowsDone() const;
  virtual void setRowsDone(std::int64_t rows);
  virtual void incrementRowsDone(std::int64_t rows);
  virtual void setNumRows(long rows);
  virtual long getNumRows() const;
  virtual std::int64_t getOutputRowsDone() const;
  virtual void setOutputRowsDone(std::int64_t rows);
  virtual long executeRequestRows();
  virtual void executeReleaseRows(long inRows, long outRows);
  virtual void executeReleaseRows(long rows);
  // Returns 0 when the numbers of input and output buffers are in range; otherwise sets the
  // error (see QMXProc.cpp for the text) and returns -1.
  virtual int checkBufs(int minInputs, int maxInputs, int minOutputs, int maxOutputs);
  virtual int checkBufs(int numInputs, int numOutputs);

  // Buffers; nullptr for a bad index.
  QMXBufReader* getInputBufReader(int i) const;
  QMXBufWriter* getOutputBufWriter(int i) const;
  QMXBuf* getInputBuf(int i) const;
  QMXBuf* getOutputBuf(int i) const;
  int getNumInputs() const { return static_cast<int>(inputs_.size()); }
  int getNumOutputs() const { return static_cast<int>(outputs_.size()); }
  // Reports progress to the host: getRowsDone() and input 0's total rows.
  void doCallback();

  // Host side. Readers and writers stay owned by the host and must outlive the proc's run.
  void attachInput(QMXBufReader* reader) { inputs_.push_back(reader); }
  void attachOutput(QMXBufWriter* writer) { outputs_.push_back(writer); }
  void detachBuffers();
  void setProgressCallback(QMXProgressCallback callback) { progress_ = std::move(callback); }

 private:
  std::vector<QMXBufReader*> inputs_;
  std::vector<QMXBufWriter*> outputs_;
  QMXProgressCallback progress_;
  bool done_ = false;
  long executeCount_ = 0;
  std::int64_t rowsDone_ = 0;
  std::int64_t outputRowsDone_ = 0;
  long numRows_ = 1000;
};
