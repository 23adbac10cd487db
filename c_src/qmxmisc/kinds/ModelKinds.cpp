// The model-kind table. One line per kind.
#include "qmxmisc/kinds/ModelKinds.h"

#include <dlfcn.h>

#include "qmxmisc/cluster/KMeansKind.h"
#include "qmxmisc/glm/GLMKind.h"

namespace {

constexpr const ModelKind* kKinds[] = {
    &kLmKind,
    &kGlmKind,
    &kKMeansKind,
};

}  // namespace

std::span<const ModelKind* const> modelKinds() {
  return kKinds;
}

const ModelKind* findModelKind(std::string_view cliName) {
  for (const ModelKind* kind : kKinds)
    if (cliName == kind->cliName) return kind;
  return nullptr;
}

const ModelKind* findModelKindByElement(std::string_view element) {
  for (const ModelKind* kind : kKinds)
    if (element == kind->element) return kind;
  return nullptr;
}

bool documentHoldsElement(const std::string& document, std::string_view element) {
  const std::string tag = "<" + std::string(element);
  for (std::size_t at = document.find(tag); at != std::string::npos;
       at = document.find(tag, at + 1)) {
    const std::size_t next = at + tag.size();
    if (next < document.size() &&
        std::string_view(" >/\n\t\r").find(document[next]) != std::string_view::npos)
      return true;
  }
  return false;
}

const ModelKind* findModelKindOfDocument(const std::string& document) {
  for (const ModelKind* kind : kKinds)
    if (documentHoldsElement(document, kind->element)) return kind;
  return nullptr;
}

std::string modelKindsLibraryPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&modelKindsLibraryPath), &info) == 0 ||
      info.dli_fname == nullptr)
    return "";
  return info.dli_fname;
}
