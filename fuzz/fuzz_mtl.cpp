// Fuzz target for the MTL reader and material lookup: the input is the
// library, served from memory through the reader's callbacks to a model
// that names it.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_common.h"
#include "glm_internal.h"

namespace {

struct Served {
  std::string_view text;
  std::size_t at = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view library(reinterpret_cast<const char*>(data), size);
  GLMreadoptions options{};
  options.open = [](const char*, void* user) -> void* {
    return new Served{*static_cast<std::string_view*>(user)};
  };
  options.read = [](void* file, void* buffer, unsigned long long room, void*) {
    Served* served = static_cast<Served*>(file);
    std::size_t got = std::min<std::size_t>(room, served->text.size() - served->at);
    if (got) std::memcpy(buffer, served->text.data() + served->at, got);
    served->at += got;
    return static_cast<long long>(got);
  };
  options.close = [](void* file, void*) { delete static_cast<Served*>(file); };
  options.user = &library;
  std::string messages;
  glmSetMessageHandler(
      [](const char* message, bool, void* user) {
        *static_cast<std::string*>(user) += std::string(message) + "\n";
      },
      &messages);
  auto* model = static_cast<ObjModel*>(std::calloc(1, sizeof(ObjModel)));
  model->path = strdup("model.obj");
  glm_internal::Failure failure;
  bool read = glm_internal::glmCatch(failure, [&] {
    glm_internal::glmReadMaterials(model, "lib.mtl", &options);
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
    glm_internal::glmReadMaterials(model, "lib.mtl", &options);
  });
  glmSetMessageHandler(nullptr, nullptr);
  if (!read) messages += failure.message;
  fuzz::checkMessages(messages, !read);
  glmFreeModel(model);
  return 0;
}
