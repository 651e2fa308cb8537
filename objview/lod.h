// Levels of detail. A software renderer's cost is per triangle, so a model of
// a million triangles turns at a few frames a second; while the view moves a
// coarse copy of the mesh is drawn instead, and every still picture is the
// full mesh. The coarse copy indexes the full mesh's corners, so it costs
// only its own indices and planes.
#ifndef OBJVIEW_LOD_H
#define OBJVIEW_LOD_H

#include <atomic>
#include <cstddef>
#include <string>
#include <thread>
#include <vector>

#include "mesh.h"

namespace objview {

// A software renderer's cost goes with the triangles a frame sends, and a
// closed mesh sends about half of its own (the rest face away and are left
// out), an open one all; a mesh of closed and open pieces, between. A mesh whose frames would send
// more than kLevelsFrom gets a coarse level that sends about kMovingSent: below that, the full mesh
// turns smoothly already.
constexpr std::size_t kMovingSent = 60000;
constexpr std::size_t kLevelsFrom = 80000;
// The coarse level's triangles for a mesh of `triangles`, `hideable` of which
// hide a side (half of those face away), 0 when it needs none.
std::size_t coarseTarget(std::size_t triangles, std::size_t hideable);

// `mesh`'s indices with each part's triangles ordered for the vertex cache,
// unless most of them already share a corner with the one before. Each
// triangle keeps its corners in their order, so the winding and flat
// shading's last corner stay.
std::vector<unsigned> cacheOrder(const Mesh& mesh);

// A copy of `mesh` (which must still hold its corners) of about `target`
// triangles, simplified within each part so colours and textures stay where
// they are. Its indices are into `mesh`'s corners and it holds no corners of
// its own; its planes are built when `planes`. Returns an empty mesh when
// `cancel` is set meanwhile.
Mesh simplifyMesh(const Mesh& mesh, std::size_t target, bool planes,
                  const std::atomic<bool>& cancel);

// The bytes a coarse level holds.
std::size_t levelBytes(const Mesh& level);

// Orders the full mesh for the vertex cache and, when asked, builds the
// coarse level, in a thread of its own so the first picture is not delayed.
// `full` (with its corners) must stay unchanged until `stop` or `ready`.
class LevelBuilder {
 public:
  ~LevelBuilder() { stop(); }
  // `coarse`: the coarse level's triangles, 0 for none.
  void start(const Mesh& full, bool planes, std::size_t coarse);
  bool running() const { return thread_.joinable(); }
  // True once when the work is done: `ordered` holds the full mesh's indices
  // in cache order (and their planes when asked), `level` the coarse level
  // (empty when not asked), `seconds` the time the work took.
  bool ready();
  void wait();  // until the work is done
  void stop();  // abandons the work under way
  Mesh ordered, level;
  double seconds = 0;

 private:
  std::thread thread_;
  std::atomic<bool> cancel_{false}, done_{false};
  bool reported_ = false;
};

// Which level a frame draws. A view input (drag, wheel, turning key) makes the
// view move for kSettle seconds; the coarse level is drawn only while it
// moves, so full detail returns within kSettle of the last input.
enum class Level { Full, Coarse };
struct Detail {
  static constexpr double kSettle = 0.2;
  bool enabled = true;  // false: --no-lod
  bool built = false;   // the current mesh has a coarse level
  double lastInput = -1e9;
  void input(double now) { lastInput = now; }
  bool moving(double now) const { return now - lastInput < kSettle; }
  double stillIn(double now) const { return moving(now) ? lastInput + kSettle - now : 0; }
  Level level(double now) const {
    return enabled && built && moving(now) ? Level::Coarse : Level::Full;
  }
};

// The title's note of the level drawn: the triangles drawn of the whole.
std::string levelNote(const Detail& detail, Level drawn, std::size_t coarse, std::size_t full,
                      bool building);

}  // namespace objview

#endif
