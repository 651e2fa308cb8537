// The model's own textures on the GL side: each material's diffuse map,
// each image file decoded and uploaded once.
#ifndef OBJVIEW_TEXTURES_H
#define OBJVIEW_TEXTURES_H

#include <GL/gl.h>
#include <sys/types.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "glm.h"
#include "images.h"

namespace objview {

// A mipmapped texture of `image`, scaled down to GL_MAX_TEXTURE_SIZE.
GLuint uploadTexture(const Image& image);

class MaterialTextures {
 public:
  // The textures of `model`'s materials (with a current GL context), each
  // file found by glmFindMap and decoded once however many names lead to
  // it. A map that cannot be shown is named in one warning with the reason,
  // however often it is used or the model is read again; its materials draw
  // in their colours.
  void load(const ObjModel& model);
  GLuint of(unsigned material) const {
    return material < byMaterial_.size() ? byMaterial_[material] : 0;
  }
  bool any() const { return any_; }

 private:
  // By device and inode, so every spelling of one file shares its texture;
  // 0 and the reason when the file could not be read.
  std::map<std::pair<dev_t, ino_t>, std::pair<GLuint, std::string>> byFile_;
  std::set<std::string> warned_;
  std::vector<GLuint> byMaterial_;
  bool any_ = false;
};

}  // namespace objview

#endif
