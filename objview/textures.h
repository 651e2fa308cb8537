// The model's own textures on the GL side: each material's diffuse map,
// each image file decoded and uploaded once.
#ifndef OBJVIEW_TEXTURES_H
#define OBJVIEW_TEXTURES_H

#include <GL/gl.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "glm.h"
#include "images.h"

namespace objview {

// A mipmapped texture of `image`, scaled down to GL_MAX_TEXTURE_SIZE.
GLuint uploadTexture(const Image& image);

class MaterialTextures {
 public:
  // The textures of `model`'s materials (with a current GL context). An image
  // that cannot be shown is named in one warning, however often it is used
  // or the model is read again; its materials draw in their colours.
  void load(const ObjModel& model);
  GLuint of(unsigned material) const {
    return material < byMaterial_.size() ? byMaterial_[material] : 0;
  }
  bool any() const { return any_; }

 private:
  std::map<std::string, GLuint> byFile_;  // 0: the file could not be read
  std::set<std::string> warned_;
  std::vector<GLuint> byMaterial_;
  bool any_ = false;
};

}  // namespace objview

#endif
