#include "ScoreOutputs.h"

#include <cstddef>
#include <string>

#include "Commands.h"

namespace {

// A friendly output name, the regression scoring proc's type text it stands for, and what
// its index selects.
struct OutputKind {
  const char* friendly;
  const char* procType;
  bool categorical;  // probability, category, agreement: binomial models only
};

constexpr OutputKind kKinds[] = {
    {"response", "fitted.value", false}, {"link", "eta", false},
    {"prob", "probability", true},       {"class", "category", true},
    {"residual", "residual", false},     {"weight", "weight", false},
    {"agreement", "agreement", true},
};

// Default column names: "fitted" for the fitted value, the friendly name for the others.
std::string baseName(const OutputKind& kind) {
  return std::string(kind.friendly) == "response" ? "fitted" : kind.friendly;
}

const OutputKind* findKind(const std::string& name) {
  for (const OutputKind& kind : kKinds)
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
int probabilityIndex(const std::string& text, const ScoreModelInfo& model) {
  const int count = static_cast<int>(model.probabilityColumns.size());
  if (isNumber(text)) {
    const int index = std::stoi(text);
    return index < count ? index : -1;
  }
  for (int k = 0; k < count; ++k)
    if (model.probabilityColumns[static_cast<std::size_t>(k)] == text) return k;
  return -1;
}

ScoreOutput makeOutput(const OutputKind& kind, int index, std::string name,
                       const ScoreModelInfo& model) {
  ScoreOutput output;
  output.index = index;
  output.type = kind.procType;
  if (name.empty()) {
    const auto k = static_cast<std::size_t>(index);
    if (output.type == "probability")
      name = "prob." + model.probabilityColumns[k];
    else
      name = baseName(kind) + (index > 0 ? "." + model.responses[k] : "");
  }
  output.column.name = std::move(name);
  if (output.type == "category") {
    output.column.type = QMXColumnType::Factor;
    output.column.levels = model.responseLevels;
  }
  return output;
}

}  // namespace

const char* const kScoreOutputHelp =
    R"(Output types of --output TYPE[:INDEX[:NAME]] (the scoring proc's own texts also work):
  response   fitted.value  fitted value on the response scale (binomial: the probability
                           of the level the model fits)           default column "fitted"
  link       eta           linear predictor                       "link"
  prob       probability   probability of category INDEX (0 or 1, or a level name) of a
                           binomial model                         "prob.<level>"
  class      category      predicted category (factor response)   "class"
  residual   residual      response - fitted (the working residual of a glm); DATA.csv
                           must hold the response                 "residual"
  weight     weight        working weight (times the case weight) "weight"
  agreement  agreement     1 when class equals the observed level, else 0  "agreement"
INDEX selects the response (default 0); NAME renames the column.
)";

std::vector<ScoreOutput> defaultScoreOutputs(const ScoreModelInfo& model) {
  std::vector<ScoreOutput> outputs;
  if (model.binomial) {
    outputs.push_back(makeOutput(*findKind("prob"), 0, "", model));
    if (model.responseLevels.size() == 2)
      outputs.push_back(makeOutput(*findKind("class"), 0, "", model));
    return outputs;
  }
  for (std::size_t k = 0; k < model.responses.size(); ++k)
    outputs.push_back(makeOutput(*findKind("response"), static_cast<int>(k), "", model));
  return outputs;
}

ScoreOutput parseScoreOutput(const std::string& item, const ScoreModelInfo& model) {
  const auto firstColon = item.find(':');
  const std::string typeText = item.substr(0, firstColon);
  std::string indexText;
  std::string name;
  if (firstColon != std::string::npos) {
    const auto secondColon = item.find(':', firstColon + 1);
    indexText = item.substr(firstColon + 1, secondColon - firstColon - 1);
    if (secondColon != std::string::npos) name = item.substr(secondColon + 1);
  }
  const std::string where = "--output " + item + ": ";
  const OutputKind* kind = findKind(typeText);
  if (kind == nullptr)
    throw CommandError(where + "unknown output type '" + typeText +
                       "' (use response, link, prob, class, residual, weight or agreement)");
  if (kind->categorical && !model.binomial)
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
