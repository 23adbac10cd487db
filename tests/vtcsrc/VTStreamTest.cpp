// Text streams: version block, headers, every kind written and read back, malformed input.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "VTTestSupport.h"
#include "support/RefCsv.h"
#include "vtcsrc/VTObjects.h"

using vttest::elem;
using vttest::Obj;

// The version block as written starts every model file (EveryKindRoundTripsThroughFiles).
TEST(TelvarStream, VersionBlock) {
  const std::pair<std::string, int> cases[] = {{"  1.10\n", TELVAR_OK},
                                               {"1.1\n", TELVAR_OK},
                                               {"  1.20\n", TELVAR_INVALID},
                                               {"", TELVAR_INVALID},
                                               {"abc\n", TELVAR_INVALID}};
  for (const auto& [version, status] : cases) {
    std::string text = "# VTCSRC data's dump\n$vtcsrcVersion\n" + version;
    FILE* in = fmemopen(text.data(), text.size(), "r");
    EXPECT_EQ(TelvarVersion_readFromStreamAndValidate(in), status) << version;
    std::fclose(in);
  }
}

TEST(TelvarStream, FloatBooleanAndEmptyVectors) {
  Obj f, b, empty, bools;
  const float fv[] = {0.5f};
  const int32_t bv[] = {1, 0};
  ASSERT_EQ(TelvarVector_create(&f, 1, TELVAR_FLOAT, fv), TELVAR_OK);
  ASSERT_EQ(TelvarVector_create(&b, 2, TELVAR_BOOLEAN, bv), TELVAR_OK);
  ASSERT_EQ(TelvarVector_create(&empty, 0, TELVAR_DOUBLE, nullptr), TELVAR_OK);
  EXPECT_EQ(vttest::streamText(f.get()), "\n$class\nVector\n$mode\n3\n$length\n1\n$data\n 0.5 \n");
  EXPECT_EQ(vttest::streamText(b.get()), "\n$class\nVector\n$mode\n1\n$length\n2\n$data\n \n");
  EXPECT_EQ(vttest::streamText(empty.get()), "\n$class\nVector\n$mode\n4\n$length\n0\n");
  for (const TelvarObject* v : {f.get(), empty.get()}) {
    Obj back;
    ASSERT_EQ(vttest::readText(&back, vttest::streamText(v)), TELVAR_OK);
    EXPECT_EQ(vttest::streamText(back.get()), vttest::streamText(v));
  }
  // Booleans carry no element text: the length survives, the values read back as FALSE.
  ASSERT_EQ(vttest::readText(&bools, vttest::streamText(b.get())), TELVAR_OK);
  EXPECT_EQ(vttest::longs(bools.get()), (std::vector<int>{0, 0}));
}

namespace {

// Written streams of every kind: the scoring models of tests/ref/vtcsrc (lists, metadata,
// vectors of every mode) and the fuzz seeds (factors, matrices, data sets, empty and nested
// lists), each as the library writes it back.
std::vector<std::pair<std::string, std::string>> writtenStreams(const vttest::TempDir& dir) {
  std::vector<std::pair<std::string, std::string>> streams;
  for (const char* folder : {QMX_TEST_REF_DIR "/vtcsrc", QMX_FUZZ_CORPUS_DIR "/VTStreamFuzz"}) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      const std::string path = entry.path().string();
      Obj obj;
      if (path.ends_with(".csv") || TelvarObject_createFromFile(&obj, path.c_str()) != TELVAR_OK)
        continue;
      EXPECT_TRUE(TelvarObject_isValid(obj.get())) << path;
      const std::string copy = dir.file("copy.txt");
      EXPECT_EQ(TelvarObject_writeToFile(copy.c_str(), obj.get()), TELVAR_OK);
      streams.emplace_back(path, vttest::readText(copy));
    }
  }
  return streams;
}

}  // namespace

// Read, written and read again: the same bytes, and a model file reads back as it was written.
TEST(TelvarStream, EveryKindRoundTripsThroughFiles) {
  vttest::TempDir dir;
  const auto streams = writtenStreams(dir);
  EXPECT_GE(streams.size(), 20u);
  for (const auto& [path, text] : streams) {
    if (path.ends_with(".model.txt")) {
      EXPECT_EQ(text, vttest::readText(path)) << path;
    }
    Obj back;
    const std::string again = dir.file("again.txt");
    vttest::writeText(again, text);
    ASSERT_EQ(TelvarObject_createFromFile(&back, again.c_str()), TELVAR_OK) << path;
    ASSERT_EQ(TelvarObject_writeToFile(again.c_str(), back.get()), TELVAR_OK);
    EXPECT_EQ(vttest::readText(again), text) << path;
  }
}

TEST(TelvarStream, VersionOneTwoAndMissingFilesAreRefused) {
  Obj v12, missing;
  EXPECT_EQ(TelvarObject_createFromFile(&v12, QMX_FUZZ_CORPUS_DIR "/VTStreamFuzz/version12.txt"),
            TELVAR_INVALID);
  EXPECT_EQ(TelvarObject_createFromFile(&missing, "/nonexistent/model.txt"), TELVAR_INVALID);
}

TEST(TelvarStream, TruncatedAndMalformedStreamsGiveStatusTwo) {
  // Every proper prefix of every written object (after the version block) is refused.
  vttest::TempDir dir;
  for (const auto& [path, file] : writtenStreams(dir)) {
    const std::string text = file.substr(file.find("\n\n"));
    for (size_t cut = 0; cut + 1 < text.size(); ++cut) {
      // A cut inside the final element line of a vector may still parse; skip the last line.
      if (text.find('\n', cut) == text.size() - 1) break;
      Obj back;
      EXPECT_EQ(vttest::readText(&back, text.substr(0, cut)), TELVAR_INVALID) << path << " " << cut;
    }
  }
  // tests/ref/vtcsrc/malformed_streams.txt: cases after "=== why" lines.
  const std::string text = readRefText("vtcsrc", "malformed_streams.txt");
  int cases = 0;
  for (std::size_t at = text.find("\n==="); at != std::string::npos;) {
    const std::size_t begin = text.find('\n', at + 1) + 1;
    const std::size_t end = text.find("\n===", begin);
    const std::string stream = text.substr(begin, end == std::string::npos ? end : end + 1 - begin);
    Obj back;
    EXPECT_EQ(vttest::readText(&back, stream), TELVAR_INVALID) << text.substr(at, begin - at);
    at = end;
    ++cases;
  }
  EXPECT_EQ(cases, 18);
  // Deep nesting is refused rather than recursed without bound.
  std::string deep;
  for (int i = 0; i < 200; ++i)
    deep += "\n$class\nVector\n$mode\n21\n$length\n1\n$data\n";
  Obj back;
  EXPECT_EQ(vttest::readText(&back, deep), TELVAR_INVALID);
}

// Doubles come back with their bits, texts with their blanks and quotes; NaN and infinities
// are not written (stream_values.tsv).
TEST(TelvarStream, ValuesRoundTripExactly) {
  int cases = 0;
  for (const auto& row : vttest::caseTable(refPath("vtcsrc", "stream_values.tsv"))) {
    SCOPED_TRACE(row[0] + " " + row[1]);
    ++cases;
    Obj vec, back;
    const double value = std::strtod(row[1].c_str(), nullptr);
    const char* text = row[1].c_str();
    if (row[0] == "string") {
      ASSERT_EQ(TelvarVector_create(vec.get(), 1, TELVAR_STRING, &text), TELVAR_OK);
    } else {
      ASSERT_EQ(TelvarVector_create(vec.get(), 1, TELVAR_DOUBLE, &value), TELVAR_OK);
    }
    if (row[0] == "refused") {  // neither written nor read
      EXPECT_EQ(TelvarVector_writeToStream(stdout, vec.get()), TELVAR_INVALID);
      const std::string body = "\n$class\nVector\n$mode\n4\n$length\n1\n$data\n " + row[1];
      EXPECT_EQ(vttest::readText(back.get(), body + " \n"), TELVAR_INVALID);
      continue;
    }
    ASSERT_EQ(vttest::readText(back.get(), vttest::streamText(vec.get())), TELVAR_OK);
    if (row[0] == "string") {
      EXPECT_EQ(vttest::strings(back.get()), std::vector<std::string>{row[1]});
    } else {
      const double got = vttest::doubles(back.get()).at(0);
      EXPECT_EQ(std::memcmp(&got, &value, sizeof value), 0) << got;
    }
  }
  EXPECT_GE(cases, 15);
}
