// Fault injection: the scoring library is compiled with an allocator that fails on the N-th
// call; every operation, for every N, returns success or status 3 and leaks nothing (the
// sanitizer build checks the leaks).
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "VTTestSupport.h"
#include "vtcsrc/VTKMeansCluster.h"
#include "vtcsrc/VTObjects.h"
#include "vtcsrc/VTTree.h"

namespace {
long gCountdown = -1;  // allocations left before the failing one; -1 never fails

bool failNow() {
  if (gCountdown < 0) return false;
  return gCountdown-- == 0;
}
}  // namespace

extern "C" {
void* TelvarTest_malloc(size_t size) {
  return failNow() ? nullptr : std::malloc(size);
}
void* TelvarTest_calloc(size_t count, size_t size) {
  return failNow() ? nullptr : std::calloc(count, size);
}
void* TelvarTest_realloc(void* block, size_t size) {
  return failNow() ? nullptr : std::realloc(block, size);
}
}

using vttest::Obj;

namespace {
// Runs op with the N-th allocation failing, for N = 0, 1, ... until op succeeds untouched.
void everyFailure(const std::string& what, const std::function<int()>& op) {
  for (long n = 0; n < 100000; ++n) {
    gCountdown = n;
    testing::internal::CaptureStderr();
    int status = op();
    testing::internal::GetCapturedStderr();
    bool failed = gCountdown < 0;
    gCountdown = -1;
    if (!failed) {
      EXPECT_EQ(status, TELVAR_OK) << what << " with no failing allocation";
      return;
    }
    EXPECT_EQ(status, TELVAR_NOMEM) << what << " failing at allocation " << n;
  }
  ADD_FAILURE() << what << " never completed";
}
}  // namespace

TEST(TelvarAllocation, HashMessagesOnFailure) {
  const char* texts[] = {"b", "a"};
  const char* expected[] = {"Not enough memory for hash table.",
                            "Not enough memory for 769 hash table capacity.",
                            "",
                            "",
                            "Not enough memory for string duplication.",
                            "Not enough memory for hash entry."};
  for (long n = 0; n < 6; ++n) {
    Obj f;
    gCountdown = n;
    testing::internal::CaptureStderr();
    EXPECT_EQ(TelvarFactor_createFromStrings(&f, 2, texts), TELVAR_NOMEM) << n;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), expected[n]) << n;
    gCountdown = -1;
  }
}

TEST(TelvarAllocation, EveryOperationReportsStorageFailures) {
  vttest::TempDir dir;
  std::string csv = dir.file("in.csv");
  vttest::writeText(csv, "x,g\n1,a\n2,b\n3,a\n");
  std::string stream = dir.file("obj.txt");
  {
    Obj ds;
    ASSERT_EQ(TelvarDataSet_createFromTextFile(&ds, csv.c_str()), TELVAR_OK);
    ASSERT_EQ(TelvarObject_writeToFile(stream.c_str(), ds.get()), TELVAR_OK);
  }
  everyFailure("factor", [] {
    Obj f;
    const char* texts[] = {"b", "a", "b", "c"};
    return TelvarFactor_createFromStrings(&f, 4, texts);
  });
  everyFailure("csv", [&] {
    Obj ds;
    return TelvarDataSet_createFromTextFile(&ds, csv.c_str());
  });
  everyFailure("stream", [&] {
    Obj ds;
    return TelvarObject_createFromFile(&ds, stream.c_str());
  });
  everyFailure("list", [] {
    Obj list, v;
    int status = TelvarVector_create(&v, 3, TELVAR_STRING, nullptr);
    for (int i = 0; i < 3 && status == TELVAR_OK; ++i) {
      status = TelvarList_add(&list, v.get(), "v");
    }
    if (status == TELVAR_OK) status = TelvarVector_addString(&v, "more");
    return status;
  });
  everyFailure("kmeans", [&] {
    Obj ds, md, model, scores;
    int status = TelvarDataSet_createFromTextFile(&ds, csv.c_str());
    if (status == TELVAR_OK) status = TelvarMetaData_createFromDataSet(&md, ds.get());
    const double centers[] = {0, 1, 0, 1};
    const double scale[] = {1, 1};
    const int32_t sizes[] = {1, 2};
    if (status == TELVAR_OK) {
      status = TelvarKMeansClusterModel_create(&model, md.get(), 2, 2, centers, scale, sizes);
    }
    if (status == TELVAR_OK) {
      status = TelvarKMeansClusterModel_predict(&scores, ds.get(), nullptr, model.get());
    }
    return status;
  });
}
