#include "Manual.h"

#include <vector>

namespace {

constexpr const char* kExitStatus =
    "0 success; 1 an error in the data, the model or a procedure; 2 a usage error (an "
    "unknown command or option, a bad option value); 3 an internal error; 4 the procedures "
    "library, or a procedure class in it, not found.";

constexpr const char* kEnvironment[][2] = {
    {"QMX_CHUNK_ROWS", "Rows per chunk when --chunk-rows is not given (default 1000)."},
    {"QMX_LIBRARY", "The procedures library qmx run loads when --library is not given."},
    {"QMX_PROGRESS",
     "1: draw the progress line also when standard error is not a terminal; always: from the "
     "first row; 0: never."},
    {"TMPDIR", "Where standard input, pipes and gzip data are copied to be read again."}};

// Text for a roff line: backslashes and minus signs escaped, a leading '.' or '\'' guarded.
std::string roff(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\')
      out += "\\e";
    else if (c == '-')
      out += "\\-";
    else
      out += c;
  }
  std::string guarded;
  bool lineStart = true;
  for (const char c : out) {
    if (lineStart && (c == '.' || c == '\'')) guarded += "\\&";
    guarded += c;
    lineStart = c == '\n';
  }
  return guarded;
}

std::string optionNames(const CLI::Option& option) {
  std::string names;
  for (const std::string& name : option.get_snames())
    names += (names.empty() ? "-" : ", -") + name;
  for (const std::string& name : option.get_lnames())
    names += (names.empty() ? "--" : ", --") + name;
  return names;
}

std::string optionsOf(const CLI::App& app) {
  std::string out;
  for (const CLI::Option* option : app.get_options()) {
    const bool positional = option->nonpositional() == false;
    std::string item = ".TP\n";
    if (positional) {
      item += "\\fI" + roff(option->get_name()) + "\\fR\n";
    } else {
      item += "\\fB" + roff(optionNames(*option)) + "\\fR";
      if (option->get_type_size() != 0) item += " \\fI" + roff(option->get_type_name()) + "\\fR";
      item += "\n";
    }
    std::string text = option->get_description();
    if (!option->get_default_str().empty()) text += " (default: " + option->get_default_str() + ")";
    out += item + roff(text) + "\n";
  }
  return out;
}

void commandSection(const CLI::App& app, const std::string& path, std::string& out) {
  out += ".SS \"" + roff(path) + "\"\n" + roff(app.get_description()) + "\n";
  out += optionsOf(app);
  if (!app.get_footer().empty()) out += ".PP\n.nf\n" + roff(app.get_footer()) + "\n.fi\n";
  for (const CLI::App* sub : app.get_subcommands({}))
    commandSection(*sub, path + " " + sub->get_name(), out);
}

void completionCases(const CLI::App& app, const std::string& path, std::string& paths,
                     std::string& cases) {
  std::string commands;
  for (const CLI::App* sub : app.get_subcommands({}))
    commands += (commands.empty() ? "" : " ") + sub->get_name();
  std::string options;
  for (const CLI::Option* option : app.get_options()) {
    for (const std::string& name : option->get_snames())
      options += (options.empty() ? "-" : " -") + name;
    for (const std::string& name : option->get_lnames())
      options += (options.empty() ? "--" : " --") + name;
  }
  cases += "    \"" + path + "\") commands=\"" + commands + "\"; options=\"" + options + "\" ;;\n";
  for (const CLI::App* sub : app.get_subcommands({})) {
    const std::string subPath = path.empty() ? sub->get_name() : path + " " + sub->get_name();
    paths += (paths.empty() ? "" : "|") + std::string("\"") + subPath + "\"";
    completionCases(*sub, subPath, paths, cases);
  }
}

}  // namespace

std::string manPage(const CLI::App& app, const std::string& version) {
  const std::string name = app.get_name().empty() ? "qmx" : app.get_name();
  std::string out = ".TH QMX 1 \"\" \"" + roff(name + " " + version) + "\" \"User Commands\"\n";
  std::string description = app.get_description();
  if (description.rfind(name + ": ", 0) == 0) description.erase(0, name.size() + 2);
  out += ".SH NAME\n" + roff(name) + " \\- " + roff(description) + "\n";
  out += ".SH SYNOPSIS\n.B " + roff(name) +
         "\n[\\fB\\-q\\fR | \\fB\\-v\\fR] \\fICOMMAND\\fR "
         "[\\fIOPTIONS\\fR] [\\fIDATA\\fR]\n";
  out +=
      ".SH DESCRIPTION\nEvery DATA argument is a CSV file with a header line, \\fB\\-\\fR "
      "for standard input, or gzip\\-compressed data; every output file may be "
      "\\fB\\-\\fR for standard output.\n";
  out += ".SH OPTIONS\n" + optionsOf(app);
  out += ".SH COMMANDS\n";
  for (const CLI::App* sub : app.get_subcommands({}))
    commandSection(*sub, name + " " + sub->get_name(), out);
  out += ".SH EXIT STATUS\n" + roff(kExitStatus) + "\n.SH ENVIRONMENT\n";
  for (const auto& [variable, text] : kEnvironment)
    out += ".TP\n\\fB" + roff(variable) + "\\fR\n" + roff(text) + "\n";
  return out;
}

std::string bashCompletion(const CLI::App& app) {
  const std::string name = app.get_name().empty() ? "qmx" : app.get_name();
  std::string paths;
  std::string cases;
  completionCases(app, "", paths, cases);
  return "# bash completion for " + name + " (generated by " + name +
         " --completion bash)\n"
         "_" +
         name +
         "() {\n"
         "  local cur=${COMP_WORDS[COMP_CWORD]} path= word i commands= options=\n"
         "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
         "    word=${COMP_WORDS[i]}\n"
         "    case \"${path:+$path }$word\" in\n"
         "      " +
         paths +
         ") path=\"${path:+$path }$word\" ;;\n"
         "    esac\n"
         "  done\n"
         "  case \"$path\" in\n" +
         cases +
         "  esac\n"
         "  if [[ $cur == -* ]]; then\n"
         "    COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
         "  elif [[ -n $commands ]]; then\n"
         "    COMPREPLY=($(compgen -W \"$commands\" -- \"$cur\"))\n"
         "  else\n"
         "    COMPREPLY=()\n"
         "  fi\n"
         "}\n"
         "complete -o default -F _" +
         name + " " + name + "\n";
}
