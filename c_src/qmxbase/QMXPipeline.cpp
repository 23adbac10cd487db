#include "qmxbase/QMXPipeline.h"

#include <exception>
#include <new>
#include <utility>

#include "qmxbase/QMXDataError.h"

struct QMXPipeline::Input {
  QMXDataSource* source = nullptr;
  std::unique_ptr<QMXBuf> buf;
  QMXBufReader reader;
};

struct QMXPipeline::Output {
  QMXSchema schema;
  QMXDataSink* sink = nullptr;
  std::unique_ptr<QMXBuf> buf;
  QMXBufWriter writer;
  bool begun = false;
};

namespace {

// Calls after which a proc that moves no rows is stopped even when it keeps logging messages.
constexpr int kQuietIdleLimit = 10000;

}  // namespace

QMXPipeline::QMXPipeline(QMXProc& proc, std::string className)
    : proc_(proc), className_(std::move(className)) {}

QMXPipeline::~QMXPipeline() {
  proc_.detachBuffers();
  proc_.setProgressCallback({});
  // A run that never finished leaves nothing that looks complete.
  if (output_ && output_->sink && output_->begun) {
    try {
      output_->sink->abandon();
    } catch (const std::exception&) {
    }
  }
}

void QMXPipeline::addInput(QMXDataSource& source) {
  auto input = std::make_unique<Input>();
  input->source = &source;
  inputs_.push_back(std::move(input));
}

void QMXPipeline::setOutput(QMXSchema schema, QMXDataSink* sink) {
  output_ = std::make_unique<Output>();
  output_->schema = std::move(schema);
  output_->sink = sink;
}

void QMXPipeline::setChunkRows(long rows) {
  chunkRows_ = rows > 0 ? rows : 1;
}

void QMXPipeline::setProgressCallback(QMXProgressCallback callback) {
  progress_ = std::move(callback);
}

QMXBuf* QMXPipeline::inputBuf(int i) const {
  return i >= 0 && i < static_cast<int>(inputs_.size()) ? inputs_[i]->buf.get() : nullptr;
}

void QMXPipeline::attach() {
  if (attached_) return;
  attached_ = true;
  proc_.detachBuffers();
  std::size_t rowBytes = output_ ? qmxRowBytes(output_->schema) : 0;
  for (const auto& input : inputs_)
    rowBytes += qmxRowBytes(input->source->schema());
  if (const std::string problem = qmxChunkMemoryProblem(chunkRows_, rowBytes); !problem.empty()) {
    attachError_ = "not enough memory: " + problem;
    return;
  }
  try {
    attachBuffers();
  } catch (const std::bad_alloc&) {
    proc_.detachBuffers();
    attachError_ = "not enough memory: buffers of " + std::to_string(chunkRows_) + " rows";
  }
}

void QMXPipeline::attachBuffers() {
  for (std::size_t i = 0; i < inputs_.size(); ++i) {
    Input& input = *inputs_[i];
    input.buf = std::make_unique<QMXBuf>(input.source->schema(), chunkRows_);
    input.buf->setLabel(i == 0 ? "input buffer" : "input buffer " + std::to_string(i + 1));
    input.reader.setBuf(input.buf.get());
    input.reader.setRequestRows(chunkRows_);
    input.reader.setTotalNumRows(input.source->totalRows());
    proc_.attachInput(&input.reader);
  }
  if (output_) {
    output_->buf = std::make_unique<QMXBuf>(output_->schema, chunkRows_);
    output_->buf->setLabel("output buffer");
    output_->writer.setBuf(output_->buf.get());
    proc_.attachOutput(&output_->writer);
  }
  proc_.setNumRows(chunkRows_);
  if (progress_) proc_.setProgressCallback(progress_);
}

bool QMXPipeline::fail(std::string message) {
  if (error_.empty()) error_ = std::move(message);
  return false;
}

bool QMXPipeline::failFromProc(const char* stage) {
  if (const char* error = proc_.getError()) return fail(error);
  for (const QMXMessage& message : proc_.getMessages())
    if (message.kind == QMXMessageKind::Error) return fail(message.text);
  return fail(std::string("proc ") + className_ + " failed in " + stage);
}

bool QMXPipeline::setProperty(QMXPropertyInfo& prop) {
  attach();
  if (!attachError_.empty()) return fail(attachError_);
  proc_.setProperty(&prop);
  if (!prop.problems().empty()) return fail(prop.problems().front());
  if (proc_.getError() || proc_.hasError()) return failFromProc("setProperty");
  return true;
}

bool QMXPipeline::getProperty(QMXPropertyInfo& prop) {
  attach();
  if (!attachError_.empty()) return fail(attachError_);
  proc_.getProperty(&prop);
  if (!prop.problems().empty()) return fail(prop.problems().front());
  if (proc_.getError() || proc_.hasError()) return failFromProc("getProperty");
  return true;
}

void QMXPipeline::refill(Input& input) {
  QMXBufReader& reader = input.reader;
  if (reader.rewindPending()) {
    input.source->rewind();
    reader.completeRewind();
    reader.setTotalNumRows(input.source->totalRows());
  }
  if (reader.getEOF()) return;
  input.buf->compact();
  const std::int64_t total = input.source->totalRows();
  while (reader.getRowsReady() < reader.getRequestRows()) {
    const auto wanted = static_cast<std::size_t>(reader.getRequestRows() - reader.getRowsReady());
    const std::size_t got = input.source->read(wanted, input.buf->block());
    reader.addRowsDelivered(static_cast<std::int64_t>(got));
    if (got == 0) {
      reader.setEOF(true);
      return;
    }
  }
  // The last row is in the window when the source says so or the row count is reached.
  if (input.source->atEnd() || (total >= 0 && reader.rowsDelivered() >= total)) reader.setEOF(true);
}

bool QMXPipeline::checkAccessProblems() {
  for (const auto& input : inputs_)
    if (!input->buf->accessProblem().empty()) return fail(input->buf->accessProblem());
  if (output_ && !output_->buf->accessProblem().empty()) return fail(output_->buf->accessProblem());
  return true;
}

void QMXPipeline::flushOutput() {
  if (!output_) return;
  QMXRowBlock& pending = output_->writer.pending();
  if (pending.rows > 0 && output_->sink)
    output_->sink->write(output_->buf->schema(), pending, 0, pending.rows);
  pending.clear();
}

bool QMXPipeline::finish(bool ok) {
  if (!output_ || !output_->sink || !output_->begun) return ok;
  output_->begun = false;
  try {
    if (ok) {
      output_->sink->commit();
    } else {
      output_->sink->abandon();
    }
  } catch (const QMXDataError& e) {
    if (ok) output_->sink->abandon();
    return fail(e.what());
  }
  return ok;
}

bool QMXPipeline::run() {
  attach();
  error_.clear();
  if (!attachError_.empty()) return fail(attachError_);
  executeCalls_ = 0;
  for (auto& input : inputs_) {
    input->buf->clearAccessProblem();
    if (input->reader.getChunkPosition() != 0 || input->reader.rowsDelivered() != 0)
      input->reader.setChunkPosition(0);
  }
  if (output_) output_->writer.resetRows();

  try {
    proc_.init();
  } catch (const std::bad_alloc&) {
    return fail("not enough memory: proc " + className_ + " in init");
  } catch (const std::exception& e) {
    return fail("proc " + className_ + " failed in init: " + e.what());
  }
  if (proc_.getError() || proc_.hasError()) return failFromProc("init");
  if (!checkAccessProblems()) return false;
  try {
    if (output_ && output_->sink) {
      output_->sink->begin(output_->schema);
      output_->begun = true;
    }
    int idle = 0;
    int quietIdle = 0;
    while (!proc_.isDone()) {
      for (auto& input : inputs_)
        refill(*input);
      QMXBufReader* first = inputs_.empty() ? nullptr : &inputs_[0]->reader;
      const bool exhaustedBefore = first && first->exhausted();
      std::int64_t releasedBefore = 0;
      std::int64_t rewindsBefore = 0;
      for (const auto& input : inputs_) {
        releasedBefore += input->reader.releasedTotal();
        rewindsBefore += input->reader.rewindCount();
      }
      const std::int64_t outputBefore = output_ ? output_->writer.releasedTotal() : 0;
      const std::size_t messagesBefore = proc_.getMessages().size();

      proc_.setExecuteCount(proc_.getExecuteCount() + 1);
      ++executeCalls_;
      proc_.execute();

      if (proc_.getError() || proc_.hasError()) return finish(failFromProc("execute"));
      if (!checkAccessProblems()) return finish(false);
      flushOutput();
      proc_.doCallback();

      std::int64_t releasedAfter = 0;
      std::int64_t rewindsAfter = 0;
      for (const auto& input : inputs_) {
        releasedAfter += input->reader.releasedTotal();
        rewindsAfter += input->reader.rewindCount();
      }
      const std::int64_t outputAfter = output_ ? output_->writer.releasedTotal() : 0;
      const bool movedRows = releasedAfter != releasedBefore || rewindsAfter != rewindsBefore ||
                             outputAfter != outputBefore;
      if (proc_.isDone()) break;
      // Input 0 was already over when this call began and the proc asked for no new pass:
      // it can never receive another row, so its run is over.
      if (exhaustedBefore && rewindsAfter == rewindsBefore) {
        proc_.setDone(1);
        break;
      }
      if (movedRows) {
        idle = 0;
        quietIdle = 0;
        continue;
      }
      ++quietIdle;
      if (proc_.getMessages().size() == messagesBefore) ++idle;
      if (idle >= idleLimit_ || quietIdle >= kQuietIdleLimit)
        return finish(fail("proc " + className_ +
                           " made no progress: " + std::to_string(quietIdle) +
                           " calls to execute released no rows, wrote no rows and did not finish"));
    }
    flushOutput();
  } catch (const QMXDataError& e) {
    return finish(fail(e.what()));
  } catch (const std::bad_alloc&) {
    return finish(fail("not enough memory: running proc " + className_));
  } catch (const std::exception& e) {
    // Procs catch their own exceptions; one that escapes still ends the run cleanly.
    return finish(fail("proc " + className_ + " failed: " + e.what()));
  }
  return finish(true);
}

QMXBuf* QMXPipeline::outputBuf() const {
  return output_ ? output_->buf.get() : nullptr;
}
