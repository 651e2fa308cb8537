// The model's own textures on the GL side: each material's diffuse map with
// its alpha map, each pair of image files decoded and uploaded once.
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

// A mipmapped texture of `image`, RGBA when it has an alpha, scaled down to
// GL_MAX_TEXTURE_SIZE.
GLuint uploadTexture(const Image& image);

// A material's texture: its name (0 for none), whether it carries the
// material's colour (a map_Kd image) or only white for GL to tint, and
// whether some of it is less than opaque (map_d, or a map_Kd PNG's own alpha).
struct MaterialTexture {
  GLuint name = 0;
  bool colour = false, alpha = false;
};

class MaterialTextures {
 public:
  // The textures of `model`'s materials (with a current GL context), each
  // file found by glmFindMap and each pair of diffuse and alpha files
  // decoded once however many names lead to them. A map that cannot be
  // shown is named in one warning with the reason, however often it is used
  // or the model is read again; its materials draw without it.
  void load(const ObjModel& model);
  const MaterialTexture& of(unsigned material) const {
    static const MaterialTexture kNone;
    return material < byMaterial_.size() ? byMaterial_[material] : kNone;
  }
  bool any() const { return any_; }

 private:
  // A file by device and inode, so every spelling of it is one; (0, 0) for none.
  using File = std::pair<dev_t, ino_t>;
  // What a pair of files (diffuse, alpha) made, and of each whether it was
  // read, or why not.
  struct Made {
    MaterialTexture texture;
    bool read[2] = {};
    std::string why[2];
  };
  std::map<std::pair<File, File>, Made> byFiles_;
  std::set<std::string> warned_;
  std::vector<MaterialTexture> byMaterial_;
  bool any_ = false;
};

}  // namespace objview

#endif
