// Buffers, their readers and writers, driven by the scripts of cases/buf.txt.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "CaseFile.h"
#include "qmxbase/QMXBufReader.h"
#include "qmxbase/QMXBufWriter.h"
#include "qmxbase/QMXMemorySource.h"
#include "qmxbase/QMXMemoryTable.h"

namespace {

// A cell of the block as text: numbers, level names or texts; NA when missing.
std::string cell(const QMXBuf& buf, const QMXRowBlock& block, std::size_t row, int col) {
  const QMXColumnInfo& info = buf.schema()[col];
  if (info.type == QMXColumnType::String)
    return block.missingText[col][row] ? "NA" : block.texts[col][row];
  const double x = block.numbers[col][row];
  if (info.type == QMXColumnType::Double) return show(x);
  return std::isnan(x) ? "NA" : info.levels.at(static_cast<std::size_t>(x));
}

QMXMemoryTable inputTable() {
  QMXMemoryTable table;
  table.addDoubleColumn("x", {1.5, NAN, 3})
      .addFactorColumn("g", {"b", "", "a"})
      .addStringColumn("s", {"one", "two", "three"});
  return table;
}

struct Buffers {
  QMXMemoryTable table = inputTable();
  QMXBuf in{table.schema(), 3};
  QMXBuf out{{{"d", QMXColumnType::Double, {}},
              {"f", QMXColumnType::Factor, {"no"}},
              {"s", QMXColumnType::String, {}}},
             4};
  QMXBufReader reader{&in};
  QMXBufWriter writer{&out};
  Buffers() {
    in.setLabel("input buffer");
    out.setLabel("output buffer");
    QMXMemorySource source(table);
    source.read(3, in.block());
    reader.setRequestRows(3);
    reader.addRowsDelivered(3);  // as the driver does after a read
  }
};

// Runs one call; returns its result as text.
std::string run(Buffers& b, bool writing, const std::vector<std::string>& call) {
  const std::string& name = call.at(0);
  const auto num = [&](std::size_t i) { return std::stol(call.at(i)); };
  const auto real = [&](std::size_t i) {
    return call.at(i) == "NaN" ? NAN : std::stod(call.at(i));
  };
  const auto text = [&](std::size_t i) {
    return call.at(i) == "null" ? nullptr : call.at(i).c_str();
  };
  QMXBufReader& r = b.reader;
  QMXBufWriter& w = b.writer;
  QMXBuf& buf = writing ? b.out : b.in;
  if (name == "getRowsReady") return std::to_string(r.getRowsReady());
  if (name == "getChunkPosition") return std::to_string(r.getChunkPosition());
  if (name == "getDouble") return show(r.getDouble(num(1), num(2)));
  if (name == "getLevelNum") return std::to_string(r.getLevelNum(num(1), num(2)));
  if (name == "getString") return show(r.getString(num(1), num(2)));
  if (name == "mapDoubleToLevel") return show(buf.mapDoubleToLevel(num(1), real(2)));
  if (name == "getNumLevels") return std::to_string(buf.getNumLevels(num(1)));
  if (name == "getLevelName") return show(buf.getLevelName(num(1), num(2)));
  if (name == "columnTypeIsFactor") return std::to_string(buf.columnTypeIsFactor(num(1)));
  if (name == "columnTypeIsString") return std::to_string(buf.columnTypeIsString(num(1)));
  if (name == "getDoubleArray") {
    std::vector<double> values(num(3));
    const long got = r.getDoubleArray(num(1), num(2), num(3), values.data());
    std::string shown = std::to_string(got) + ":";
    for (long i = 0; i < got; ++i)
      shown += " " + show(values[i]);
    return shown;
  }
  if (name == "releaseRows") writing ? w.releaseRows(num(1)) : r.releaseRows(num(1));
  if (name == "releaseAll") r.releaseAll();
  if (name == "setChunkPosition") r.setChunkPosition(num(1));
  if (name == "setDouble") w.setDouble(num(1), num(2), real(3));
  if (name == "setLevelNum") w.setLevelNum(num(1), num(2), num(3));
  if (name == "setString") w.setString(num(1), num(2), text(3));
  if (name == "setConvertFactor") w.setConvertFactor(num(1), num(2), text(3));
  if (name == "copy") w.copyBufData(num(1), num(2), r, num(3), num(4));
  if (name == "releasedTotal") return std::to_string(w.releasedTotal());
  if (name == "cell") return cell(b.out, b.out.block(), num(1), num(2));
  std::string shown;
  if (name == "levels")
    for (const std::string& level : b.out.schema()[num(1)].levels)
      shown += (shown.empty() ? "" : "|") + level;
  for (std::size_t row = 0; name == "rows" && row < w.pending().rows; ++row)
    for (int col = 0; col < 3; ++col)
      shown += (col > 0 ? "," : row > 0 ? "|" : "") + cell(b.out, w.pending(), row, col);
  return shown;
}

}  // namespace

TEST(QMXBuf, Scripts) {
  for (const CaseBlock& script : readCaseFile("buf.txt", "script")) {
    Buffers buffers;
    const bool writing = script.head.at(1).rfind("writer", 0) == 0;
    for (const CaseLine& line : script.lines) {
      const ScriptLine step = parseScriptLine(line.text);
      buffers.in.clearAccessProblem();
      buffers.out.clearAccessProblem();
      const std::string result = run(buffers, writing, step.call);
      SCOPED_TRACE(script.where + " " + script.head[1] + ": " + line.text);
      if (line.text.find(" = ") != std::string::npos) {
        EXPECT_EQ(result, step.result);
      }
      EXPECT_EQ((writing ? buffers.out : buffers.in).accessProblem(), step.problem);
    }
  }
}
