// Fault injection: the scoring library is compiled with an allocator that fails on the N-th
// call; every operation, for every N, returns success or status 3 and leaks nothing (the
// sanitizer build checks the leaks).
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "VTTestSupport.h"
#include "support/RefCsv.h"
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
  everyFailure("factor", [] {
    Obj f;
    const char* texts[] = {"b", "a", "b", "c"};
    return TelvarFactor_createFromStrings(&f, 4, texts);
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
  // Scoring from files: the model stream, the data typed by the model, and predict.
  vttest::TempDir dir;
  for (const std::string name : {"kmeans", "tree_classes"}) {
    const std::string model = refPath("vtcsrc", name + ".model.txt");
    const std::string data = vttest::withoutComments(refPath("vtcsrc", name + ".data.csv"), dir);
    everyFailure("csv " + name, [&] {
      Obj ds;
      return TelvarDataSet_createFromTextFile(&ds, data.c_str());
    });
    everyFailure("score " + name, [&] {
      Obj m, ds, scores;
      int status = TelvarObject_createFromFile(&m, model.c_str());
      if (status == TELVAR_OK) status = TelvarDataSet_createWithModel(m.get(), &ds, data.c_str());
      if (status != TELVAR_OK) return status;
      return name == "kmeans"
                 ? TelvarKMeansClusterModel_predict(&scores, ds.get(), nullptr, m.get())
                 : TelvarTreeModel_predict(&scores, ds.get(), nullptr, m.get());
    });
  }
}
