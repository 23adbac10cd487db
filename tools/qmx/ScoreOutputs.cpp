#include "ScoreOutputs.h"

#include <algorithm>
#include <cstddef>
#include <string>

#include "Commands.h"

namespace {

// Default column names: "fitted" for the fitted value, the friendly name for the others
// ("residual.pearson" for residual:pearson).
std::string baseName(const ScoreOutputName& kind) {
  std::string name = std::string(kind.friendly) == "response" ? "fitted" : kind.friendly;
  std::replace(name.begin(), name.end(), ':', '.');
  return name;
}

const ScoreOutputName* findKind(const ModelKind& modelKind, const std::string& name) {
  for (const ScoreOutputName& kind : modelKind.scoreOutputs)
    if (name == kind.friendly || name == kind.procType) return &kind;
  return nullptr;
}

std::string joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names)
    text += (text.empty() ? "" : ", ") + name;
  return text;
}

bool isNumber(const std::string& text) {
  if (text.empty() || text.size() > 9) return false;
  for (const char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// The index of `text` in the probability columns (a number or a column name), else -1.
int probabilityIndex(const std::string& text, const ScoreModel& model) {
  const int count = static_cast<int>(model.probabilityColumns.size());
  if (isNumber(text)) {
    const int index = std::stoi(text);
    return index < count ? index : -1;
  }
  for (int k = 0; k < count; ++k)
    if (model.probabilityColumns[static_cast<std::size_t>(k)] == text) return k;
  return -1;
}

ScoreOutput makeOutput(const ScoreOutputName& kind, int index, std::string name,
                       const ScoreModel& model) {
  ScoreOutput output;
  output.index = index;
  output.type = kind.procType;
  output.friendly = kind.friendly;
  if (name.empty()) {
    const auto k = static_cast<std::size_t>(index);
    if (output.type == "probability")
      name = "prob." + model.probabilityColumns[k];
    else
      name = baseName(kind) + (index > 0 ? "." + model.responses[k] : "");
  }
  output.column.name = std::move(name);
  // A kind whose outputs are columns of one prediction: the column of the type.
  if (const auto found = model.outputColumns.find(output.type); found != model.outputColumns.end())
    output.index = found->second;
  if (output.type == "category") {
    output.column.type = QMXColumnType::Factor;
    output.column.levels = model.responseLevels;
  }
  return output;
}

}  // namespace

std::vector<ScoreOutput> defaultScoreOutputs(const ModelKind& kind, const ScoreModel& model) {
  std::vector<ScoreOutput> outputs;
  for (const std::string& name : model.defaultOutputs)
    outputs.push_back(makeOutput(*findKind(kind, name), 0, "", model));
  if (!outputs.empty()) return outputs;
  if (model.categorical) {
    outputs.push_back(makeOutput(*findKind(kind, "prob"), 0, "", model));
    if (model.responseLevels.size() == 2)
      outputs.push_back(makeOutput(*findKind(kind, "class"), 0, "", model));
    return outputs;
  }
  for (std::size_t k = 0; k < model.responses.size(); ++k)
    outputs.push_back(makeOutput(kind.scoreOutputs.front(), static_cast<int>(k), "", model));
  return outputs;
}

ScoreOutput parseScoreOutput(const std::string& item, const ModelKind& modelKind,
                             const ScoreModel& model) {
  auto firstColon = item.find(':');
  std::string typeText = item.substr(0, firstColon);
  // A type with a subtype, residual:pearson, takes two fields.
  if (firstColon != std::string::npos) {
    const auto next = item.find(':', firstColon + 1);
    const std::string both = item.substr(0, next);
    if (findKind(modelKind, both) != nullptr) {
      typeText = both;
      firstColon = next;
    }
  }
  std::string indexText;
  std::string name;
  if (firstColon != std::string::npos) {
    const auto secondColon = item.find(':', firstColon + 1);
    indexText = item.substr(firstColon + 1, secondColon - firstColon - 1);
    if (secondColon != std::string::npos) name = item.substr(secondColon + 1);
  }
  const std::string where = "--output " + item + ": ";
  const ScoreOutputName* kind = findKind(modelKind, typeText);
  if (kind == nullptr) {
    std::string names;
    // The main types; residual:TYPE is described by --help.
    std::vector<std::string> shown;
    for (const ScoreOutputName& output : modelKind.scoreOutputs)
      if (std::string(output.friendly).find(':') == std::string::npos)
        shown.push_back(output.friendly);
    for (std::size_t i = 0; i < shown.size(); ++i)
      names += std::string(i == 0 ? "" : i + 1 == shown.size() ? " or " : ", ") + shown[i];
    throw CommandError(where + "unknown output type '" + typeText + "' (use " + names + ")");
  }
  if (kind->categorical && !model.categorical)
    throw CommandError(where + "the model is not binomial, so it has no categories");
  const bool probability = std::string(kind->procType) == "probability";
  if (kind->categorical && !probability && model.responseLevels.size() != 2)
    throw CommandError(where + "the response " + model.responses.front() +
                       " has no levels (only a factor response has categories)");
  int index = 0;
  if (probability && !indexText.empty()) {
    index = probabilityIndex(indexText, model);
    if (index < 0)
      throw CommandError(where +
                         "INDEX must be 0, 1 or one of: " + joined(model.probabilityColumns));
  } else if (!indexText.empty()) {
    const int responses = static_cast<int>(model.responses.size());
    index = isNumber(indexText) ? std::stoi(indexText) : -1;
    if (index < 0 || index >= responses)
      throw CommandError(where + "INDEX must be a response number from 0 to " +
                         std::to_string(responses - 1));
  }
  return makeOutput(*kind, index, name, model);
}
