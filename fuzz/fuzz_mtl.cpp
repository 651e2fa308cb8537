// Fuzz target for the MTL reader and material lookup: the input is the
// library, read for a model that lives in the scratch directory.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string libPath = fuzz::writeScratch("lib.mtl", data, size);
  auto* model = static_cast<ObjModel*>(std::calloc(1, sizeof(ObjModel)));
  model->path = strdup((fuzz::scratchDir() + "/model.obj").c_str());
  bool rejected = false;
  fuzz::Messages messages;
  try {
    glmReadMTL(model, "lib.mtl");
    FUZZ_CHECK(model->materials && model->materialcount >= 1);
    FUZZ_CHECK(std::strcmp(model->materials[0].name, "default") == 0);
    for (unsigned i = 0; i < model->materialcount; i++) {
      const ObjMaterial& m = model->materials[i];
      FUZZ_CHECK(m.name);
      FUZZ_CHECK(m.diffuse[3] == 1.0f && m.ambient[3] == 1.0f && m.specular[3] == 1.0f);
      // The first material of a name is the one found.
      unsigned found = glmFindMaterial(model, m.name);
      FUZZ_CHECK(found <= i && std::strcmp(model->materials[found].name, m.name) == 0);
    }
    FUZZ_CHECK(glmFindMaterial(model, "no such material\n") == 0);
    // A second library is appended without leaking either.
    glmReadMTL(model, "lib.mtl");
  } catch (const fuzz::Rejected&) {
    rejected = true;  // a fatal failure, reported and released by the reader
  }
  fuzz::checkMessages(messages.text(), rejected);
  glmFreeModel(model);
  unlink(libPath.c_str());
  return 0;
}
