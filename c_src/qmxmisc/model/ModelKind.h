// ModelKind: one model kind as the command line and the hosts see it: its command-line name,
// the procs that fit and score it, the element its documents hold, its specification writer,
// its summary printer, the C scoring package kinds its fits give, its own fit options (as
// data) and the friendly names of its scoring outputs. Each kind defines its descriptors in
// its own folder (glm/GLMKind.cpp); the table of all of them is kinds/ModelKinds.
//
// The hooks take model-layer types that are only declared here, so a host that includes this
// header through kinds/ModelKinds.h sees plain data and never the model classes.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

class MiningModel;
class ModelSpecKindWriter;
struct DataColumn;
struct SpecSettings;

// A fit option of one kind: what the command line declares and what the value feeds.
// kTextList: a text option that may be given more than once; the values, one per line.
enum class KindOptionType { kText, kTextList, kInteger, kReal };
enum class KindOptionTarget {
  kSpec,      // a setting of the specification writer (SpecSettings::values[name])
  kProperty,  // a property of the fitting proc, set before "model.vtml"
  kColumns    // comma-separated columns that stand for the formula (a model of those columns,
              // without intercept); the kind then takes no --formula
};
enum class KindOptionCheck {
  kNone,
  kAtLeastOne,  // "<flag> must be at least 1"
  kPositive     // "<flag> must be positive"
};

struct KindOption {
  const char* flag;  // "--max-iterations"
  const char* help;
  KindOptionType type;
  const char* defaultValue;  // "" when the option has no default
  bool required;
  KindOptionTarget target;
  const char* name;  // the setting or property the value feeds
  KindOptionCheck check;
};

// A friendly scoring output name and the scoring proc's type text it stands for.
struct ScoreOutputName {
  const char* friendly;
  const char* procType;
  bool categorical;  // only a model with categories (a binomial fit) gives it
};

enum class SummaryFormat { kText, kCsv, kJson };

// What a summary printer needs besides the fitted document.
struct SummaryInput {
  std::int64_t dataRows = 0;        // rows given to the fitting proc
  std::int64_t zeroWeightRows = 0;  // rows left out before the proc for a zero weight
  // The fitting proc's properties named by ModelKind::summaryProperties, read after the run,
  // as text.
  std::map<std::string, std::string> properties;
};

// What scoring needs to know about a fitted document.
struct ScoreModel {
  bool fitted = false;                      // has coefficients (not a bare specification)
  std::vector<std::string> responses;       // in model order
  std::vector<std::string> responseLevels;  // levels of the first response (factor only)
  bool categorical = false;                 // the model predicts categories
  // The scoring proc's probability columns of a categorical model.
  std::vector<std::string> probabilityColumns;
  std::vector<std::string> variables;  // every variable the model reads
  std::string weights;                 // the weights column, "" when none
  // The factor predictors and the levels the model knows of each.
  std::vector<std::pair<std::string, std::vector<std::string>>> factors;
  // A kind whose outputs are the columns of one prediction (not one per response): the
  // friendly names scored by default, and the prediction column each output type reads.
  std::vector<std::string> defaultOutputs;
  std::map<std::string, int> outputColumns;
};

struct ModelKind {
  const char* cliName;       // qmx fit KIND: "lm", "glm"
  const char* description;   // one line of qmx fit KIND --help (the fit proc is appended)
  const char* example;       // the footer of qmx fit KIND --help
  const char* fitProc;       // fitting proc class, created by qmx_s_create_<fitProc>
  const char* scoreProc;     // scoring proc class
  const char* element;       // the model element of its documents
  const char* specName;      // qmx spec --kind name, nullptr when it shares another kind's
  const char* packageKinds;  // the C scoring package kinds its fits give, comma separated
  std::span<const KindOption> options;
  std::span<const ScoreOutputName> scoreOutputs;
  const char* scoreOutputHelp;  // the --output names of qmx score --help
  // Proc properties read after a fit and handed to the summary printer.
  std::span<const char* const> summaryProperties;

  // The specification element writer (throws QMXException for bad settings).
  std::unique_ptr<ModelSpecKindWriter> (*specWriter)(const SpecSettings& settings);
  // Checks the model of a formula against the kind (`forFit`: for a fit, not only a
  // specification) and adjusts the columns it is built from; returns a text for the
  // command's summary line when the columns changed (the model is then built again), else "".
  std::string (*prepareModel)(const SpecSettings& settings, const MiningModel& model,
                              std::vector<DataColumn>& columns, bool forFit);
  // Properties of the fitting proc set before its options and "model.vtml".
  std::vector<std::pair<std::string, std::string>> (*fitProperties)(const SpecSettings& settings);
  // The summary of a fitted document (throws QMXException when it cannot be read).
  std::string (*summary)(const std::string& document, SummaryFormat format,
                         const SummaryInput& input);
  // What scoring needs from a fitted document (throws QMXException when it cannot be read).
  ScoreModel (*scoreModel)(const std::string& document);
};
