// Model records: group list, release, and the failure routing every other
// source of the library goes through.
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <algorithm>

#include "glm_internal.h"

namespace {
GLMfailurehandler failureHandler = nullptr;
GLMmessagehandler messageHandler = nullptr;
void* messageUser = nullptr;
// Whether a failure on this thread is thrown for glmCatch to hand back.
thread_local bool catching = false;

}  // namespace

std::string glm_internal::glmFormat(const char* format, va_list args) {
  va_list again;
  va_copy(again, args);
  int length = std::vsnprintf(nullptr, 0, format, again);
  va_end(again);
  std::string text(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, args);
  return text;
}

void glmSetFailureHandler(GLMfailurehandler handler) { failureHandler = handler; }

void glmSetMessageHandler(GLMmessagehandler handler, void* user) {
  messageHandler = handler;
  messageUser = user;
}

namespace glm_internal {

void glmFatal() {
  std::fflush(stdout);
  if (failureHandler) {
    failureHandler();
    // A handler that returns would let the caller run on with bad data.
    std::abort();
  }
  std::exit(1);
}

void glmGive(FILE* stream, const std::string& message, bool failure) {
  if (messageHandler) {
    std::string text = message;
    if (!text.empty() && text.back() == '\n') text.pop_back();
    messageHandler(text.c_str(), failure, messageUser);
  } else {
    std::fputs(message.c_str(), stream);
  }
}

void glmSay(FILE* stream, const char* text, ...) {
  va_list args;
  va_start(args, text);
  std::string message = glmFormat(text, args);
  va_end(args);
  glmGive(stream, message, false);
}

void glmFail(Failure failure) {
  if (catching) throw failure;
  glmGive(failure.stream, failure.message, true);
  failure = {};  // the failure handler may leave by longjmp
  glmFatal();
}

void glmFailErrno(int errnum, FILE* stream, const char* text, ...) {
  va_list args;
  va_start(args, text);
  Failure failure{glmFormat(text, args), stream, 0, errnum};
  va_end(args);
  glmFail(std::move(failure));
}

void glmFailAt(unsigned long long line, FILE* stream, const char* text, ...) {
  va_list args;
  va_start(args, text);
  Failure failure{glmFormat(text, args), stream, line};
  va_end(args);
  glmFail(std::move(failure));
}

void glmFailf(FILE* stream, const char* text, ...) {
  va_list args;
  va_start(args, text);
  Failure failure{glmFormat(text, args), stream, 0};
  va_end(args);
  glmFail(std::move(failure));
}

Catching::Catching() : outer(!catching) { catching = true; }
Catching::~Catching() {
  if (outer) catching = false;
}

void glmHandBack(const Failure* failure, GLMerror* error) {
  if (!error) return;
  error->line = failure ? failure->line : 0;
  error->errnum = failure ? failure->errnum : 0;
  std::string_view text = failure ? std::string_view(failure->message) : std::string_view("");
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  std::size_t length = std::min(text.size(), sizeof error->message - 1);
  std::memcpy(error->message, text.data(), length);
  error->message[length] = '\0';
}

void* glmAlloc(std::size_t count, std::size_t size, const char* operation) {
  // Allocation sizes come from counts read out of untrusted files: refuse
  // anything whose byte size overflows instead of allocating a short buffer.
  if (size != 0 && count > SIZE_MAX / size)
    glmFailErrno(ENOMEM, stderr, "%s() failed: out of memory\n", operation);
  void* block = std::calloc(count ? count : 1, size ? size : 1);
  if (!block) glmFailErrno(ENOMEM, stderr, "%s() failed: out of memory\n", operation);
  return block;
}

char* glmStrdup(const char* text, const char* operation) {
  std::size_t length = std::strlen(text);
  char* copy = static_cast<char*>(glmAlloc(length + 1, 1, operation));
  std::memcpy(copy, text, length + 1);
  return copy;
}

unsigned glmCorrectMode(const ObjModel* model, unsigned mode, const char* const warnings[7]) {
  auto clear = [&](int step, bool applies, unsigned bit) {
    if (applies && (mode & bit)) {
      glmSay(stdout, "%s", warnings[step]);
      mode &= ~bit;
    }
  };
  clear(0, !model->facetnorms, DRAW_FLAT);
  clear(1, !model->normals, DRAW_SMOOTH);
  clear(2, !model->texcoords, DRAW_TEXTURE);
  clear(3, (mode & DRAW_SMOOTH) != 0, DRAW_FLAT);
  clear(4, !model->materials, DRAW_COLOR);
  clear(5, !model->materials, DRAW_MATERIAL);
  clear(6, (mode & DRAW_MATERIAL) != 0, DRAW_COLOR);
  return mode;
}

unsigned glmCorrectVertexColor(const ObjModel* model, unsigned mode, const char* warning) {
  if ((mode & DRAW_VERTEXCOLOR) && !model->colors) {
    glmSay(stdout, "%s", warning);
    mode &= ~DRAW_VERTEXCOLOR;
  }
  return mode;
}

void glmInitMaterial(ObjMaterial& material) {
  auto set = [](float* color, float value) {
    color[0] = color[1] = color[2] = value;
    color[3] = 1.0f;
  };
  set(material.diffuse, 0.8f);
  set(material.ambient, 0.2f);
  set(material.specular, 0.0f);
  set(material.emissive, 0.0f);
  material.shininess = 65.0f;
  material.dissolve = 1.0f;
  for (const NumberField& number : kNumberFields) material.*number.field = number.unset;
  material.illum = -1;
  for (float& t : material.transmission) t = 1.0f;
}

void glmAssertFailed(const char* expression, const char* file, int line, const char* function) {
  std::fflush(stdout);
  std::fprintf(stderr, "%s:%d: %s: Assertion `%s' failed.\n", file, line, function, expression);
  std::abort();
}

}  // namespace glm_internal

using namespace glm_internal;

ObjGroup* glmLookupGroup(ObjModel* model, const char* name) {
  GLM_ASSERT(model);
  for (ObjGroup* group = model->groups; group; group = group->next)
    if (std::strcmp(name, group->name) == 0) return group;
  return nullptr;
}

ObjGroup* glm_internal::glmCreateGroup(ObjModel* model, const char* name, const char* operation) {
  // The name is owned locally until the group exists, so a failure handler
  // that leaves by throwing loses nothing.
  OwnedString copy(glmStrdup(name, operation));
  auto* group = static_cast<ObjGroup*>(glmAlloc(1, sizeof(ObjGroup), operation));
  group->name = copy.release();
  group->next = model->groups;
  model->groups = group;
  model->groupcount++;
  return group;
}

ObjGroup* glmEnsureGroup(ObjModel* model, const char* name) {
  ObjGroup* group = glmLookupGroup(model, name);
  return group ? group : glmCreateGroup(model, name, "glmEnsureGroup");
}

void glm_internal::glmFreeMaterials(ObjMaterial* materials, unsigned count, unsigned firstOwned) {
  if (!materials) return;
  for (unsigned i = firstOwned; i < count; i++) {
    ObjMaterial& m = materials[i];
    std::free(m.name);
    for (const MapField& map : kMapFields) std::free(m.*map.field);
  }
  std::free(materials);
}

void glmFreeModel(ObjModel* model) {
  GLM_ASSERT(model);
  std::free(model->path);
  std::free(model->mtllib);
  std::free(model->vertices);
  std::free(model->normals);
  std::free(model->texcoords);
  std::free(model->facetnorms);
  std::free(model->triangles);
  glmFreeMaterials(model->materials, model->materialcount);
  std::free(model->colors);
  for (unsigned i = 0; model->objects && i < model->objectcount; i++) std::free(model->objects[i].name);
  std::free(model->objects);
  std::free(model->smoothing);
  std::free(model->lines);
  std::free(model->points);
  while (ObjGroup* group = model->groups) {
    model->groups = group->next;
    std::free(group->name);
    std::free(group->triangles);
    std::free(group);
  }
  std::free(model);
}
