#include "textures.h"

#include <GL/glu.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <memory>

namespace objview {

GLuint uploadTexture(const Image& image) {
  GLint limit = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &limit);
  const Image fitted = fitImage(image, std::max(limit, 1));
  const bool alpha = !fitted.alpha.empty();
  const int channels = alpha ? 4 : 3;
  // The image's top row first; GL's first row is the bottom (t = 0).
  std::vector<unsigned char> pixels;
  pixels.reserve(static_cast<std::size_t>(fitted.width) * fitted.height * channels);
  for (int y = fitted.height - 1; y >= 0; y--)
    for (int x = 0; x < fitted.width; x++) {
      const std::size_t at = static_cast<std::size_t>(y) * fitted.width + x;
      pixels.insert(pixels.end(), &fitted.rgb[3 * at], &fitted.rgb[3 * at + 3]);
      if (alpha) pixels.push_back(fitted.alpha[at]);
    }
  const GLenum format = alpha ? GL_RGBA : GL_RGB;
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  gluBuild2DMipmaps(GL_TEXTURE_2D, static_cast<GLint>(format), fitted.width, fitted.height, format,
                    GL_UNSIGNED_BYTE, pixels.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  return texture;
}

namespace {

// The file a material's map names, with its identity; null with the reason
// when it is not found.
std::unique_ptr<char, void (*)(void*)> findMap(const ObjModel& model, const char* map,
                                               std::pair<dev_t, ino_t>& identity,
                                               std::string& why) {
  GLMerror error{};
  std::unique_ptr<char, void (*)(void*)> file(glmFindMap(&model, map, &error), std::free);
  why = error.message;
  struct stat info {};
  if (file && stat(file.get(), &info) != 0) {
    why = std::strerror(errno);
    file.reset();
  }
  if (file) identity = {info.st_dev, info.st_ino};
  return file;
}

}  // namespace

void MaterialTextures::load(const ObjModel& model) {
  byMaterial_.assign(model.materialcount, MaterialTexture{});
  any_ = false;
  if (model.materials == nullptr) return;
  for (unsigned m = 0; m < model.materialcount; m++) {
    const ObjMaterial& material = model.materials[m];
    const char* maps[2] = {material.diffusemap, material.alphamap};
    if (maps[0] == nullptr && maps[1] == nullptr) continue;
    // Each map's file; a map not found is as none, with the reason.
    File files[2] = {};
    std::unique_ptr<char, void (*)(void*)> paths[2] = {{nullptr, std::free}, {nullptr, std::free}};
    std::string why[2];
    for (int k = 0; k < 2; k++)
      if (maps[k] != nullptr) paths[k] = findMap(model, maps[k], files[k], why[k]);
    auto known = byFiles_.find({files[0], files[1]});
    if (known == byFiles_.end()) {
      Made made;
      Image images[2];
      for (int k = 0; k < 2; k++)
        made.read[k] = paths[k] && readImage(paths[k].get(), images[k], made.why[k]);
      if (made.read[0] || made.read[1]) {
        const Image image = materialImage(made.read[0] ? std::move(images[0]) : Image{},
                                          made.read[1] ? &images[1] : nullptr);
        made.texture = {uploadTexture(image), made.read[0], !image.alpha.empty()};
      }
      known = byFiles_.emplace(std::make_pair(files[0], files[1]), made).first;
    }
    const Made& made = known->second;
    byMaterial_[m] = made.texture;
    any_ = any_ || made.texture.name != 0;
    static const char* const kWarnings[2] = {
        "objview: warning: no texture from %s (%s); material %s drawn untextured\n",
        "objview: warning: no alpha map from %s (%s); material %s drawn without it\n"};
    for (int k = 0; k < 2; k++)
      if (maps[k] != nullptr && !(paths[k] && made.read[k]) && warned_.insert(maps[k]).second)
        std::fprintf(stderr, kWarnings[k], maps[k], (paths[k] ? made.why[k] : why[k]).c_str(),
                     material.name);
  }
}

}  // namespace objview
