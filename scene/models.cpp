// The model table: every model the scene can draw, read once before the
// program's entry point runs and kept until the process ends.
#include "scene.h"

ObjModel* models[10];

// The paths are relative to the working directory. A file that cannot be
// opened ends the program inside the reader, before any window exists.
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

void loadModels() {
  // Slot order matters: with several files missing, the lowest slot is the
  // one reported.
  for (int slot = 0; slot < 9; slot++) models[slot] = glmReadOBJ(modelFiles[slot]);
  models[9] = nullptr;
}

namespace {
const bool modelsLoaded = (loadModels(), true);
}
