#include "textures.h"

#include <GL/glu.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace objview {

GLuint uploadTexture(const Image& image) {
  GLint limit = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &limit);
  const Image fitted = fitImage(image, std::max(limit, 1));
  // The image's top row first; GL's first row is the bottom (t = 0).
  const std::size_t row = static_cast<std::size_t>(fitted.width) * 3;
  std::vector<unsigned char> pixels;
  pixels.reserve(fitted.rgb.size());
  for (int y = fitted.height - 1; y >= 0; y--)
    pixels.insert(pixels.end(), fitted.rgb.begin() + y * row, fitted.rgb.begin() + (y + 1) * row);
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, fitted.width, fitted.height, GL_RGB, GL_UNSIGNED_BYTE,
                    pixels.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
  return texture;
}

void MaterialTextures::load(const ObjModel& model) {
  byMaterial_.assign(model.materialcount, 0);
  any_ = false;
  if (model.materials == nullptr || model.mtllib == nullptr) return;
  // Map names are relative to the material library's directory.
  std::unique_ptr<char, void (*)(void*)> base(glmPathDirectory(model.path), std::free);
  std::string directory = std::string(base.get()) + model.mtllib;
  directory.erase(directory.find_last_of('/') + 1);
  for (unsigned m = 0; m < model.materialcount; m++) {
    const ObjMaterial& material = model.materials[m];
    if (material.diffusemap == nullptr) continue;
    const std::string name = material.diffusemap, file = findImage(directory, name);
    auto known = byFile_.find(file);
    std::string why = "no such file";
    if (file.empty() || known == byFile_.end()) {
      Image image;
      const GLuint texture =
          !file.empty() && readImage(file, image, why) ? uploadTexture(image) : 0;
      if (!file.empty()) known = byFile_.emplace(file, texture).first;
      if (texture == 0 && warned_.insert(name).second)
        std::fprintf(stderr,
                     "objview: warning: no texture from %s (%s); material %s drawn untextured\n",
                     name.c_str(), why.c_str(), material.name);
    }
    byMaterial_[m] = known == byFile_.end() ? 0 : known->second;
    any_ = any_ || byMaterial_[m] != 0;
  }
}

}  // namespace objview
