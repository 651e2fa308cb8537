#include "textures.h"

#include <GL/glu.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <memory>
#include <tuple>

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
  if (model.materials == nullptr) return;
  for (unsigned m = 0; m < model.materialcount; m++) {
    const ObjMaterial& material = model.materials[m];
    if (material.diffusemap == nullptr) continue;
    GLMerror error{};
    std::unique_ptr<char, void (*)(void*)> file(glmFindMap(&model, material.diffusemap, &error),
                                                std::free);
    std::string why = error.message;
    struct stat info {};
    if (file && stat(file.get(), &info) != 0) {
      why = std::strerror(errno);
      file.reset();
    }
    GLuint texture = 0;
    if (file) {
      const auto key = std::make_pair(info.st_dev, info.st_ino);
      auto known = byFile_.find(key);
      if (known == byFile_.end()) {
        Image image;
        const GLuint made = readImage(file.get(), image, why) ? uploadTexture(image) : 0;
        known = byFile_.emplace(key, std::make_pair(made, why)).first;
      }
      std::tie(texture, why) = known->second;
    }
    if (texture == 0 && warned_.insert(material.diffusemap).second)
      std::fprintf(stderr,
                   "objview: warning: no texture from %s (%s); material %s drawn untextured\n",
                   material.diffusemap, why.c_str(), material.name);
    byMaterial_[m] = texture;
    any_ = any_ || texture != 0;
  }
}

}  // namespace objview
