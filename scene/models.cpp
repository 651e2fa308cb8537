// The model table: every model the scene can draw, read once at start-up,
// before any window exists, and kept until the process ends.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "scene.h"

#ifndef SCENE_INSTALLED_DATA_ROOT
#define SCENE_INSTALLED_DATA_ROOT "/usr/local/share/recreation-ground"
#endif
#ifndef SCENE_BIN_TO_DATA_ROOT
#define SCENE_BIN_TO_DATA_ROOT "../share/recreation-ground"
#endif

ObjModel* models[10];

// Relative to the directory that holds data/. A file that cannot be opened
// ends the program inside the reader, before any window exists.
const char* const modelFiles[9] = {
    "data/boat.obj",      // 0: boat
    "data/나무1.obj",     // 1: tree, first kind (drawTree1)
    "data/나무2.obj",     // 2: tree, second kind (drawTree2)
    "data/가로등.obj",    // 3: street lamp
    "data/버스.obj",      // 4: bus
    "data/기둥축.obj",    // 5: pillar
    "data/웨곤.obj",      // 6: wagon
    "data/차.obj",        // 7: car
    "data/픽업트럭.obj",  // 8: pickup truck
};

std::vector<std::string> dataRoots() {
  // The working directory comes first and stays relative, so the reader's
  // messages name the files as they always have.
  std::vector<std::string> roots{"."};
  std::vector<char> exe(4096);
  const ssize_t length = readlink("/proc/self/exe", exe.data(), exe.size() - 1);
  if (length > 0) {
    std::string path(exe.data(), static_cast<size_t>(length));
    const std::string dir = path.substr(0, path.rfind('/'));
    roots.push_back(dir);                               // the build tree links data/ there
    roots.push_back(dir + "/" SCENE_BIN_TO_DATA_ROOT);  // an installed tree, wherever it was moved
  }
  if (roots.back() != SCENE_INSTALLED_DATA_ROOT) roots.push_back(SCENE_INSTALLED_DATA_ROOT);
  return roots;
}

std::string findDataRoot(const std::vector<std::string>& roots) {
  // An unrelated data/ (a test tree has one) does not count; one that holds
  // some of the models does, so a missing one is reported by the reader.
  struct stat info;
  for (const std::string& root : roots)
    for (const char* file : modelFiles)
      if (stat((root + "/" + file).c_str(), &info) == 0 && S_ISREG(info.st_mode)) return root;
  return "";
}

void loadModels() {
  const std::vector<std::string> roots = dataRoots();
  const std::string root = findDataRoot(roots);
  if (root.empty()) {
    std::string tried;
    std::vector<char> cwd(4096);
    for (const std::string& r : roots) {
      const std::string shown = r == "." && getcwd(cwd.data(), cwd.size()) ? cwd.data() : r;
      tried += (tried.empty() ? "" : ", ") + shown + "/data";
    }
    std::fprintf(stderr, "scene: no data directory found; looked in %s\n", tried.c_str());
    std::exit(1);
  }
  const std::string prefix = root == "." ? "" : root + "/";
  // Slot order matters: with several files missing, the lowest slot is the
  // one reported.
  for (int slot = 0; slot < 9; slot++)
    models[slot] = glmReadOBJ((prefix + modelFiles[slot]).c_str());
  models[9] = nullptr;
}
