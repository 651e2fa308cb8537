// Finding the image file a material's map names. Exporters write map names
// as they stood on the author's machine: Windows separators, another letter
// case, absolute paths of a disk that is not here. One lookup serves every
// program, so a map one of them shows is never "missing" to another.
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "glm_internal.h"

namespace {

// Why the first candidate that is there could not be taken; the system's
// text for a missing file when none is.
struct Lookup {
  std::string reason;

  // Whether `path` is a readable regular file; else remembers why not.
  bool take(const std::string& path) {
    struct stat status;
    const char* why = nullptr;
    if (stat(path.c_str(), &status) != 0)
      why = errno == ENOENT || errno == ENOTDIR ? nullptr : std::strerror(errno);
    else if (S_ISDIR(status.st_mode))
      why = "a directory";
    else if (S_ISFIFO(status.st_mode))
      why = "a FIFO";
    else if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode))
      why = "a device";
    else if (!S_ISREG(status.st_mode))
      why = "not a regular file";
    else if (access(path.c_str(), R_OK) != 0)
      why = std::strerror(errno);
    else
      return true;
    if (why && reason.empty()) reason = why;
    return false;
  }

  // The entry of `directory` named `base` in any letter case that take()s.
  bool anyCase(const std::string& directory, const std::string& base, std::string& found) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(directory.empty() ? "." : directory.c_str()),
                                            closedir);
    if (!dir || base.empty()) return false;
    while (const dirent* entry = readdir(dir.get()))
      if (strcasecmp(entry->d_name, base.c_str()) == 0 && take(directory + entry->d_name)) {
        found = directory + entry->d_name;
        return true;
      }
    return false;
  }

  bool find(const std::string& directory, const std::string& name, std::string& found) {
    const auto at = [&](const std::string& n) { return n[0] == '/' ? n : directory + n; };
    std::string slashed = name;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    for (const std::string& candidate : {at(name), at(slashed)})
      if (take(candidate)) {
        found = candidate;
        return true;
      }
    const std::size_t slash = at(slashed).find_last_of('/');
    const std::string base =
        slash == std::string::npos ? at(slashed) : at(slashed).substr(slash + 1);
    const std::string own = slash == std::string::npos ? "" : at(slashed).substr(0, slash + 1);
    return anyCase(own, base, found) || (own != directory && anyCase(directory, base, found));
  }
};

// The path found, or a failure with the reason, thrown for glmCatch.
char* findMap(const ObjModel* model, const char* map) {
  // Map names are relative to the directory of the library that names them.
  glm_internal::OwnedString modelDirectory(glmPathDirectory(model->path ? model->path : ""));
  glm_internal::OwnedString libraryDirectory(glmPathDirectory(model->mtllib ? model->mtllib : ""));
  const std::string directory = std::string(modelDirectory.get()) + libraryDirectory.get();
  Lookup lookup;
  std::string found;
  if (!*map || !lookup.find(directory, map, found))
    glm_internal::glmFailf(stderr, "%s\n",
                           lookup.reason.empty() ? std::strerror(ENOENT) : lookup.reason.c_str());
  return glm_internal::glmStrdup(found.c_str(), "glmFindMap");
}

}  // namespace

char* glmFindMap(const ObjModel* model, const char* map, GLMerror* error) {
  GLM_ASSERT(model);
  GLM_ASSERT(map);
  char* path = nullptr;
  glm_internal::Failure failure;
  const bool found = glm_internal::glmCatch(failure, [&] { path = findMap(model, map); });
  glm_internal::glmHandBack(found ? nullptr : &failure, error);
  return path;
}
