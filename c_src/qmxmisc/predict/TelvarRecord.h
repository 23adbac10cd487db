// TelvarRecord: owns one record of the standalone scoring library and destroys what hangs
// from it when it goes out of scope, so that C++ callers never leak a half-built object.
#pragma once

#include "vtcsrc/VTObjects.h"

class TelvarRecord {
 public:
  TelvarRecord() = default;
  TelvarRecord(const TelvarRecord&) = delete;
  TelvarRecord& operator=(const TelvarRecord&) = delete;
  ~TelvarRecord() { TelvarObject_destroy(&record_); }

  TelvarObject* get() { return &record_; }
  const TelvarObject* get() const { return &record_; }

 private:
  TelvarObject record_{};
};
