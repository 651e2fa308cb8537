// glmobj._core: the model library for Python. A Model owns one ObjModel;
// its vertex, normal and texture-coordinate arrays are handed out as numpy
// views, everything else as copies. The library's messages become Python
// warnings and exceptions, and nothing it does ends the interpreter.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "glm.h"

namespace py = pybind11;

namespace {

// The package's own types (glmobj/_types.py), looked up once at import and
// kept for the life of the process.
struct Types {
  py::handle objError, objWarning, group, material, object, warn;
};
Types types;

// Text from the library (names, paths, messages) is bytes; undecodable
// bytes come through as os.fsdecode gives them, so os.fsencode restores them.
py::str decoded(std::string_view text) {
  PyObject* s = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()),
                                     "surrogateescape");
  if (!s) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(s);
}

py::object decodedOrNone(const char* text) {
  return text ? py::object(decoded(text)) : py::object(py::none());
}

// ---------------------------------------------------------------- messages

// The library's message handler is process-wide; each call into it from
// here gathers the messages of its own thread, so reads on several threads
// keep their messages apart. They are given as warnings once the call has
// returned, with the GIL held again, in the order the library gave them.
struct Message {
  std::string text;
  bool failure;
};
thread_local std::vector<Message>* gathering = nullptr;

void gather(const char* text, bool failure, void*) {
  if (gathering) gathering->push_back({text, failure});
}

// Thrown by the failure handler in place of the library's exit(1): the
// failure's message has been gathered just before.
struct Ended {};
[[noreturn]] void leave() { throw Ended{}; }

class Gathered {
 public:
  Gathered() : outer_(gathering) { gathering = &messages_; }
  ~Gathered() { gathering = outer_; }
  Gathered(const Gathered&) = delete;
  Gathered& operator=(const Gathered&) = delete;

  // Gives the first `count` warnings as ObjWarning, stacklevel as
  // warnings.warn takes it; a warning the filters turn into an error is
  // raised.
  void warn(int stacklevel, std::size_t count = SIZE_MAX) {
    gathering = outer_;  // a warning shown by Python code may call the library again
    for (std::size_t i = 0; i < messages_.size() && i < count; i++)
      if (!messages_[i].failure) types.warn(decoded(messages_[i].text), types.objWarning, stacklevel);
  }
  std::size_t size() const { return messages_.size(); }
  // The message of the failure that ended the operation.
  std::string failure() const {
    for (auto m = messages_.rbegin(); m != messages_.rend(); ++m)
      if (m->failure) return m->text;
    return "the operation failed";
  }

 private:
  std::vector<Message> messages_;
  std::vector<Message>* outer_;
};

// ------------------------------------------------------------------ errors

[[noreturn]] void raise(py::object error) {
  PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
  throw py::error_already_set();
}

// OSError picks its subclass (FileNotFoundError, ...) from the errno.
[[noreturn]] void raiseOSError(int error, const std::string& message, const py::object& path) {
  if (error == 0) raise(py::handle(PyExc_OSError)(decoded(message)));
  raise(py::handle(PyExc_OSError)(error, decoded(message), path));
}

bool says(std::string_view message, std::string_view words) {
  return message.find(words) != std::string_view::npos;
}

// A failed read: the file could not be opened or read (the library's errnum
// tells why), memory ran out, or the text is malformed.
[[noreturn]] void raiseReadFailure(const GLMerror& error, const py::object& path) {
  const std::string message = error.message;
  if (error.errnum == ENOMEM) raise(py::handle(PyExc_MemoryError)(decoded(message)));
  if (error.errnum) raiseOSError(error.errnum, message, path);
  if (says(message, "is a device, not a file")) raiseOSError(ENODEV, message, path);
  py::object line = error.line ? py::object(py::int_(error.line)) : py::object(py::none());
  raise(types.objError(decoded(message), line, path));
}

[[noreturn]] void raiseWriteFailure(const GLMerror& error, const std::string& path) {
  const std::string message = error.message;
  if (error.errnum == ENOMEM) raise(py::handle(PyExc_MemoryError)(decoded(message)));
  if (error.errnum) raiseOSError(error.errnum, message, decoded(path));
  raise(py::handle(PyExc_ValueError)(decoded(message)));  // a library name refused
}

// ---------------------------------------------------------------- the model

struct Owner {
  explicit Owner(ObjModel* m) : model(m) {}
  ~Owner() { glmFreeModel(model); }
  Owner(const Owner&) = delete;
  Owner& operator=(const Owner&) = delete;
  ObjModel* model;
  // A model is used by one thread at a time: operations run without the
  // GIL, so they and the properties take turns here.
  std::mutex busy;
};

// The arrays lent to numpy. Each kind has a width and its place in the model.
enum Kind { kVertices, kNormals, kTexcoords, kColors, kKinds };
constexpr int kWidth[kKinds] = {3, 3, 2, 3};
float*& arrayOf(ObjModel* m, Kind kind) {
  return kind == kVertices ? m->vertices
         : kind == kNormals ? m->normals
         : kind == kTexcoords ? m->texcoords
                              : m->colors;
}
unsigned countOf(const ObjModel* m, Kind kind) {
  return kind == kVertices ? m->vertexcount
         : kind == kNormals ? m->normalcount
         : kind == kTexcoords ? m->texcoordcount
                              : (m->colors ? m->vertexcount : 0);
}

// A block of the model's lent to views: every view of it holds the lease,
// and the lease holds the model. An operation that replaces the block while
// views of it live first gives the model a copy to work on and leaves the
// block to the lease, which frees it with the last view; so an old view
// keeps its values and never points at freed memory.
struct Lease {
  Lease(std::shared_ptr<Owner> o, float* b) : owner(std::move(o)), block(b) {}
  ~Lease() {
    if (own) std::free(block);
  }
  Lease(const Lease&) = delete;
  Lease& operator=(const Lease&) = delete;
  std::shared_ptr<Owner> owner;
  float* block;
  bool own = false;
};

// Holds the model's turn; waits for it without the GIL, so that the
// operation running meanwhile on another thread can finish.
std::unique_lock<std::mutex> hold(std::mutex& busy) {
  std::unique_lock<std::mutex> lock(busy, std::try_to_lock);
  if (!lock.owns_lock()) {
    py::gil_scoped_release nogil;
    lock.lock();
  }
  return lock;
}

// Index arrays are int32, or int64 for a model with more entries than
// int32 numbers.
bool wideIndices(const ObjModel* m) {
  for (unsigned count : {m->vertexcount, m->normalcount, m->texcoordcount, m->trianglecount,
                         m->materialcount, m->linecount, m->pointcount})
    if (count > static_cast<unsigned>(INT32_MAX)) return true;
  return false;
}

// A new (rows, columns) index array, or (rows,) for one column, filled
// by fill(row, out) with the row's values. The row's source is read into
// locals first: stores to an int32 array may alias the library's unsigned
// fields, and the compiler would otherwise load every pointer on the way
// again for each value.
template <typename Index, typename Fill>
py::array indexArray(std::size_t rows, std::size_t columns, Fill fill) {
  py::array_t<Index> out(columns == 1 ? std::vector<std::size_t>{rows}
                                      : std::vector<std::size_t>{rows, columns});
  Index* p = out.mutable_data();
  for (std::size_t i = 0; i < rows; i++, p += columns) fill(i, p);
  return out;
}

// One index of each corner, 0-based: -1 where the library holds 0 (none).
template <typename Index>
py::array corners(const ObjModel* m, unsigned (ObjTriangle::*field)[3]) {
  const ObjTriangle* triangles = m->triangles;
  return indexArray<Index>(m->trianglecount, 3, [triangles, field](std::size_t i, Index* out) {
    const unsigned* corner = triangles[i].*field;
    const unsigned a = corner[0], b = corner[1], c = corner[2];
    out[0] = static_cast<Index>(a) - 1;
    out[1] = static_cast<Index>(b) - 1;
    out[2] = static_cast<Index>(c) - 1;
  });
}

template <typename Index>
py::array faceMaterials(const ObjModel* m) {
  const ObjTriangle* triangles = m->triangles;
  const bool any = m->materials != nullptr;
  return indexArray<Index>(m->trianglecount, 1, [triangles, any](std::size_t i, Index* out) {
    *out = any ? static_cast<Index>(triangles[i].material) : Index{-1};
  });
}

template <typename Index>
py::array groupTriangles(const ObjGroup* g) {
  const unsigned* triangles = g->triangles;
  return indexArray<Index>(g->trianglecount, 1, [triangles](std::size_t i, Index* out) {
    *out = static_cast<Index>(triangles[i]);
  });
}

py::tuple rgba(const float* c) { return py::make_tuple(c[0], c[1], c[2], c[3]); }

// Each line segment's two ends, 0-based, -1 where a texture index is none.
template <typename Index>
py::array lineEnds(const ObjModel* m, unsigned (ObjLine::*field)[2]) {
  const ObjLine* lines = m->lines;
  return indexArray<Index>(m->linecount, 2, [lines, field](std::size_t i, Index* out) {
    const unsigned a = (lines[i].*field)[0], b = (lines[i].*field)[1];
    out[0] = static_cast<Index>(a) - 1;
    out[1] = static_cast<Index>(b) - 1;
  });
}

// Draw and output mode words, as objtool's --write takes them.
unsigned modeOf(const std::string& words) {
  static const std::pair<std::string_view, unsigned> kModes[] = {
      {"none", DRAW_NONE},       {"flat", DRAW_FLAT},   {"smooth", DRAW_SMOOTH},
      {"texture", DRAW_TEXTURE}, {"color", DRAW_COLOR}, {"material", DRAW_MATERIAL}};
  unsigned mode = 0;
  std::string_view rest = words;
  while (!rest.empty()) {
    std::size_t comma = rest.find(',');
    std::string_view word = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    while (!word.empty() && word.front() == ' ') word.remove_prefix(1);
    while (!word.empty() && word.back() == ' ') word.remove_suffix(1);
    bool known = false;
    for (const auto& [name, flag] : kModes)
      if (word == name) {
        mode |= flag;
        known = true;
      }
    if (!known)
      throw py::value_error("unknown write mode \"" + std::string(word) +
                            "\" (modes: none, flat, smooth, texture, color, material)");
  }
  return mode;
}

std::string fsencode(const py::object& path) {
  return py::module_::import("os").attr("fsencode")(path).cast<std::string>();
}

class Model {
 public:
  explicit Model(ObjModel* m) : owner_(std::make_shared<Owner>(m)) {}

  // A view of the kind's entries 1..count (entry 0 is the library's unused
  // one); None for normals and texture coordinates the model has none of.
  py::object view(Kind kind) {
    auto lock = hold(owner_->busy);
    ObjModel* m = owner_->model;
    float* block = arrayOf(m, kind);
    const std::size_t count = countOf(m, kind), width = kWidth[kind];
    if (kind != kVertices && (!block || count == 0)) return py::none();
    if (!block) return py::array_t<float>(std::vector<std::size_t>{0, width});
    std::shared_ptr<Lease> lease = leases_[kind].lock();
    if (!lease || lease->block != block) {
      lease = std::make_shared<Lease>(owner_, block);
      leases_[kind] = lease;
    }
    py::capsule base(new std::shared_ptr<Lease>(std::move(lease)),
                     [](void* p) { delete static_cast<std::shared_ptr<Lease>*>(p); });
    return py::array_t<float>({count, width}, {width * sizeof(float), sizeof(float)},
                              block + width, base);
  }

  py::object faces() { return indices([](const ObjModel* m, auto index) {
      return corners<decltype(index)>(m, &ObjTriangle::vertexidx); }); }
  py::object faceNormals() { return indices([](const ObjModel* m, auto index) {
      return corners<decltype(index)>(m, &ObjTriangle::normalidx); }); }
  py::object faceTexcoords() { return indices([](const ObjModel* m, auto index) {
      return corners<decltype(index)>(m, &ObjTriangle::texcoordidx); }); }
  py::object faceMaterialIndices() { return indices([](const ObjModel* m, auto index) {
      return faceMaterials<decltype(index)>(m); }); }
  py::object lines() { return indices([](const ObjModel* m, auto index) {
      return lineEnds<decltype(index)>(m, &ObjLine::vertexidx); }); }
  py::object lineTexcoords() { return indices([](const ObjModel* m, auto index) {
      return lineEnds<decltype(index)>(m, &ObjLine::texcoordidx); }); }
  py::object lineMaterials() { return indices([](const ObjModel* m, auto index) {
      using Index = decltype(index);
      const ObjLine* lines = m->lines;
      const bool any = m->materials != nullptr;
      return indexArray<Index>(m->linecount, 1, [lines, any](std::size_t i, Index* out) {
        *out = any ? static_cast<Index>(lines[i].material) : Index{-1};
      }); }); }
  py::object points() { return indices([](const ObjModel* m, auto index) {
      using Index = decltype(index);
      const unsigned* points = m->points;
      return indexArray<Index>(m->pointcount, 1, [points](std::size_t i, Index* out) {
        *out = static_cast<Index>(points[i]) - 1;
      }); }); }
  py::object smoothing() {
    auto lock = hold(owner_->busy);
    const ObjModel* m = owner_->model;
    if (!m->smoothing) return py::none();
    py::array_t<std::uint32_t> out(std::vector<std::size_t>{m->trianglecount});
    if (m->trianglecount) std::memcpy(out.mutable_data(), m->smoothing, m->trianglecount * sizeof(unsigned));
    return out;
  }
  py::list objects() {
    auto lock = hold(owner_->busy);
    const ObjModel* m = owner_->model;
    py::list out;
    for (unsigned i = 0; i < m->objectcount; i++)
      out.append(types.object(py::arg("name") = decoded(m->objects[i].name),
                              py::arg("firsttriangle") = m->objects[i].firsttriangle,
                              py::arg("trianglecount") = m->objects[i].trianglecount));
    return out;
  }

  // The groups in the order the file made them (the library lists the
  // latest first).
  py::list groups() {
    auto lock = hold(owner_->busy);
    const ObjModel* m = owner_->model;
    std::vector<const ObjGroup*> order;
    for (const ObjGroup* g = m->groups; g; g = g->next) order.push_back(g);
    py::list out;
    const bool wide = wideIndices(m);
    for (auto g = order.rbegin(); g != order.rend(); ++g)
      out.append(types.group(py::arg("name") = decoded((*g)->name),
                             py::arg("triangles") = wide ? groupTriangles<std::int64_t>(*g)
                                                         : groupTriangles<std::int32_t>(*g),
                             py::arg("material") = m->materials ? py::object(py::int_((*g)->material))
                                                                : py::object(py::none())));
    return out;
  }

  py::list materials() {
    auto lock = hold(owner_->busy);
    const ObjModel* m = owner_->model;
    py::list out;
    for (unsigned i = 0; m->materials && i < m->materialcount; i++) {
      const ObjMaterial& x = m->materials[i];
      out.append(types.material(
          py::arg("name") = decodedOrNone(x.name), py::arg("diffuse") = rgba(x.diffuse),
          py::arg("ambient") = rgba(x.ambient), py::arg("specular") = rgba(x.specular),
          py::arg("shininess") = x.shininess, py::arg("dissolve") = x.dissolve,
          py::arg("diffusemap") = decodedOrNone(x.diffusemap),
          py::arg("ambientmap") = decodedOrNone(x.ambientmap),
          py::arg("specularmap") = decodedOrNone(x.specularmap),
          py::arg("alphamap") = decodedOrNone(x.alphamap),
          py::arg("bumpmap") = decodedOrNone(x.bumpmap), py::arg("emissive") = rgba(x.emissive),
          py::arg("ior") = x.ior,
          py::arg("illum") = x.illum < 0 ? py::object(py::none()) : py::object(py::int_(x.illum)),
          py::arg("transmission") = py::make_tuple(x.transmission[0], x.transmission[1], x.transmission[2]),
          py::arg("roughness") = x.roughness, py::arg("metallic") = x.metallic,
          py::arg("sheen") = x.sheen, py::arg("clearcoat") = x.clearcoat,
          py::arg("clearcoatroughness") = x.clearcoatroughness,
          py::arg("anisotropy") = x.anisotropy, py::arg("anisotropyrotation") = x.anisotropyrotation,
          py::arg("emissivemap") = decodedOrNone(x.emissivemap),
          py::arg("roughnessmap") = decodedOrNone(x.roughnessmap),
          py::arg("metallicmap") = decodedOrNone(x.metallicmap),
          py::arg("sheenmap") = decodedOrNone(x.sheenmap),
          py::arg("normalmap") = decodedOrNone(x.normalmap),
          py::arg("displacementmap") = decodedOrNone(x.displacementmap),
          py::arg("reflectionmap") = decodedOrNone(x.reflectionmap)));
    }
    return out;
  }

  py::object path() {
    auto lock = hold(owner_->busy);
    return decodedOrNone(owner_->model->path);
  }
  py::object mtllib() {
    auto lock = hold(owner_->busy);
    return decodedOrNone(owner_->model->mtllib);
  }
  std::string repr() {
    auto lock = hold(owner_->busy);
    const ObjModel* m = owner_->model;
    return "<glmobj.Model " + std::string(py::repr(decodedOrNone(m->path))) + ": " +
           std::to_string(m->vertexcount) + " vertices, " + std::to_string(m->trianglecount) +
           " triangles>";
  }

  // Runs `operation` on the model without the GIL, taking the model's turn;
  // the arrays of `replaced` kinds are taken from their views first. A
  // failure the library would end the program with is raised as ValueError
  // (MemoryError when memory ran out), as is std::invalid_argument, which
  // an operation throws for a model it cannot take; the warnings come first.
  template <typename Operation>
  auto run(std::initializer_list<Kind> replaced, Operation&& operation) {
    Gathered gathered;
    std::exception_ptr failed;
    decltype(operation(owner_->model)) result{};
    {
      py::gil_scoped_release nogil;
      std::lock_guard<std::mutex> lock(owner_->busy);
      try {
        for (Kind kind : replaced) detach(kind);
        result = operation(owner_->model);
      } catch (...) {
        failed = std::current_exception();
      }
    }
    gathered.warn(1);
    if (failed) {
      try {
        std::rethrow_exception(failed);
      } catch (const Ended&) {
        const std::string message = gathered.failure();
        if (says(message, "out of memory")) raise(py::handle(PyExc_MemoryError)(decoded(message)));
        raise(py::handle(PyExc_ValueError)(decoded(message)));
      } catch (const std::invalid_argument& refused) {
        raise(py::handle(PyExc_ValueError)(refused.what()));
      } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
        throw py::error_already_set();
      }
    }
    return result;
  }

  void write(const py::object& target, const std::string& words) {
    const unsigned mode = modeOf(words);
    const std::string path = fsencode(target);
    GLMerror error{};
    bool written = run({}, [&](ObjModel* m) { return glmWriteOBJTo(m, path.c_str(), mode, &error); });
    if (!written) raiseWriteFailure(error, path);
  }


 private:
  // With the model's turn held: when views of the kind's block live, the
  // model goes on with a copy and the views keep the block.
  void detach(Kind kind) {
    std::shared_ptr<Lease> lease = leases_[kind].lock();
    leases_[kind].reset();
    float*& block = arrayOf(owner_->model, kind);
    if (!lease || lease->block != block) return;
    const std::size_t bytes =
        (static_cast<std::size_t>(countOf(owner_->model, kind)) + 1) * kWidth[kind] * sizeof(float);
    auto* copy = static_cast<float*>(std::malloc(bytes));
    if (!copy) throw std::bad_alloc();
    std::memcpy(copy, block, bytes);
    block = copy;
    lease->own = true;
  }

  template <typename Make>
  py::object indices(Make make) {
    auto lock = hold(owner_->busy);
    const ObjModel* m = owner_->model;
    return wideIndices(m) ? make(m, std::int64_t{}) : make(m, std::int32_t{});
  }

  std::shared_ptr<Owner> owner_;
  std::weak_ptr<Lease> leases_[kKinds];
};

// ---------------------------------------------------------------- reading

// What a read's callbacks share: the caller's `open`, the OBJ file when the
// read opens it through the callbacks too, and the first exception raised
// in Python, re-raised once the read has returned, after the warnings the
// library gave before it (the ones after only tell of the failed callback).
struct ReadState {
  py::object open;
  std::string ownPath;
  bool ownPending = false;
  std::exception_ptr raised;
  std::size_t warningsBefore = 0;

  void stash() {
    raised = std::current_exception();
    warningsBefore = gathering ? gathering->size() : 0;
  }
};

// A file opened for a read's callbacks.
struct Handle {
  virtual ~Handle() = default;
  // Up to `size` bytes, 0 at the end, -1 on an error.
  virtual long long read(void* into, unsigned long long size, ReadState& state) = 0;
};

// The OBJ file of a path read through the callbacks, opened as the library
// opens files: a device is refused before it is opened (opening some never
// returns), a directory is unreadable.
struct FileHandle : Handle {
  int fd;
  explicit FileHandle(int f) : fd(f) {}
  ~FileHandle() override { ::close(fd); }
  static FileHandle* open(const char* path) {
    struct stat info;
    auto device = [&info] { return S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode); };
    if (::stat(path, &info) == 0 && device()) {
      errno = ENODEV;
      return nullptr;
    }
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    int error = ::fstat(fd, &info) != 0 ? errno : S_ISDIR(info.st_mode) ? EISDIR : device() ? ENODEV : 0;
    if (error) {
      ::close(fd);
      errno = error;
      return nullptr;
    }
    return new FileHandle(fd);
  }
  long long read(void* into, unsigned long long size, ReadState&) override {
    ssize_t got;
    while ((got = ::read(fd, into, size)) < 0 && errno == EINTR) {
    }
    return got;
  }
};

// Bytes that `open` returned, read without the GIL: the buffer is held
// until the library closes the file.
struct BufferHandle : Handle {
  Py_buffer view{};
  std::size_t at = 0;
  explicit BufferHandle(const py::object& bytes) {
    if (PyObject_GetBuffer(bytes.ptr(), &view, PyBUF_SIMPLE) != 0) throw py::error_already_set();
  }
  ~BufferHandle() override { PyBuffer_Release(&view); }
  long long read(void* into, unsigned long long size, ReadState&) override {
    std::size_t n = std::min<std::size_t>(size, static_cast<std::size_t>(view.len) - at);
    std::memcpy(into, static_cast<const char*>(view.buf) + at, n);
    at += n;
    return static_cast<long long>(n);
  }
};

// A binary file object that `open` returned, read with its read(size) and
// closed with the library's close.
struct StreamHandle : Handle {
  py::object file;
  explicit StreamHandle(py::object f) : file(std::move(f)) {}
  ~StreamHandle() override {
    try {
      if (py::hasattr(file, "close")) file.attr("close")();
    } catch (const py::error_already_set&) {
      // A close() that fails after the text was read loses nothing.
    }
  }
  long long read(void* into, unsigned long long size, ReadState& state) override {
    py::gil_scoped_acquire gil;
    try {
      py::object data = file.attr("read")(std::min<unsigned long long>(size, PY_SSIZE_T_MAX));
      Py_buffer view;
      if (PyObject_GetBuffer(data.ptr(), &view, PyBUF_SIMPLE) != 0) throw py::error_already_set();
      const std::size_t n = static_cast<std::size_t>(view.len);
      if (n <= size) std::memcpy(into, view.buf, n);
      PyBuffer_Release(&view);
      if (n > size) throw py::value_error("read(size) returned more than size bytes");
      return static_cast<long long>(n);
    } catch (...) {
      state.stash();
      return -1;
    }
  }
};

void* openCallback(const char* path, void* user) {
  auto& state = *static_cast<ReadState*>(user);
  if (state.ownPending && path == state.ownPath) {
    state.ownPending = false;
    return FileHandle::open(path);
  }
  if (state.raised) return nullptr;
  Handle* handle = nullptr;
  {
    py::gil_scoped_acquire gil;
    try {
      py::object got = state.open(decoded(path));
      if (PyObject_CheckBuffer(got.ptr()))
        handle = new BufferHandle(got);
      else if (py::hasattr(got, "read"))
        handle = new StreamHandle(std::move(got));
      else if (!got.is_none())
        throw py::type_error("open() must return bytes, a binary file object or None, not " +
                             std::string(py::str(py::type::handle_of(got).attr("__name__"))));
    } catch (...) {
      state.stash();
    }
  }
  errno = 0;  // the library's warning then says the file does not exist
  return handle;
}

long long readCallback(void* file, void* buffer, unsigned long long size, void* user) {
  auto& state = *static_cast<ReadState*>(user);
  if (state.raised) return -1;
  return static_cast<Handle*>(file)->read(buffer, size, state);
}

void closeCallback(void* file, void*) {
  py::gil_scoped_acquire gil;  // the handles may hold Python objects
  delete static_cast<Handle*>(file);
}

// Whether this thread is inside a read. The library keeps a thread's last
// read's arrays for its next one, and a read started by an `open` callback
// in the middle of another would leave the outer one to drop what the inner
// one kept.
thread_local bool reading = false;

struct ModelDeleter {
  void operator()(ObjModel* m) const { glmFreeModel(m); }
};
using Read = std::unique_ptr<ObjModel, ModelDeleter>;

// One read, the GIL released while `call` has the library read with the
// options it is given. `path` names the source (empty: an unnamed text);
// with `open`, a path source is opened through the callbacks as well.
template <typename Call>
Model readWith(const py::object& open, unsigned threads, const std::string& path, bool pathSource,
               Call call) {
  ReadState state;
  GLMreadoptions options{};
  options.threads = threads;
  if (!open.is_none()) {
    state.open = open;
    state.ownPath = path;
    state.ownPending = pathSource;
    options.open = openCallback;
    options.read = readCallback;
    options.close = closeCallback;
    options.user = &state;
  }
  if (reading) throw std::runtime_error("glmobj.read cannot run inside another read's open callback");
  Gathered gathered;
  GLMerror error{};
  Read model;
  {
    py::gil_scoped_release nogil;
    struct Reading {
      Reading() { reading = true; }
      ~Reading() { reading = false; }
    } inside;
    model.reset(call(&options, &error));
  }
  gathered.warn(2, state.raised ? state.warningsBefore : SIZE_MAX);
  if (state.raised) std::rethrow_exception(state.raised);
  if (!model)
    raiseReadFailure(error,
                     pathSource || !path.empty() ? py::object(decoded(path)) : py::object(py::none()));
  return Model(model.release());
}

Model readPath(const py::bytes& pathBytes, const py::object& open, unsigned threads) {
  const std::string path = pathBytes;
  return readWith(open, threads, path, true, [&](const GLMreadoptions* options, GLMerror* error) {
    return glmReadOBJFrom(path.c_str(), options, error);
  });
}

Model readMemory(const py::object& text, const py::object& name, const py::object& open,
                 unsigned threads) {
  Py_buffer view;
  if (PyObject_GetBuffer(text.ptr(), &view, PyBUF_SIMPLE) != 0) throw py::error_already_set();
  std::unique_ptr<Py_buffer, void (*)(Py_buffer*)> held(&view, PyBuffer_Release);
  const std::string path = name.is_none() ? std::string() : name.cast<std::string>();
  return readWith(open, threads, path, false, [&](const GLMreadoptions* options, GLMerror* error) {
    return glmReadOBJMemory(static_cast<const char*>(view.buf),
                            static_cast<unsigned long long>(view.len), path.c_str(), options, error);
  });
}

// The C read alone, for the benchmark to set the Python read against: the
// seconds glmReadOBJFrom takes for `path`, its messages dropped.
double readSeconds(const py::bytes& pathBytes, unsigned threads) {
  const std::string path = pathBytes;
  GLMreadoptions options{};
  options.threads = threads;
  GLMerror error{};
  double seconds;
  Read model;
  {
    py::gil_scoped_release nogil;
    Gathered gathered;
    auto start = std::chrono::steady_clock::now();
    model.reset(glmReadOBJFrom(path.c_str(), &options, &error));
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    model.reset();
  }
  if (error.message[0]) throw py::value_error(error.message);
  return seconds;
}

}  // namespace

PYBIND11_MODULE(_core, m) {
  glmSetMessageHandler(gather, nullptr);
  glmSetFailureHandler(leave);
  py::module_ records = py::module_::import("glmobj._types");
  // Held by the module's attributes, which live as long as the process does.
  m.attr("_types") = records;
  m.attr("_warn") = py::module_::import("warnings").attr("warn");
  types = {records.attr("ObjError"), records.attr("ObjWarning"), records.attr("Group"),
           records.attr("Material"), records.attr("Object"), m.attr("_warn")};
  m.attr("LIBRARY_VERSION") = GLMOBJ_VERSION;

  py::class_<Model>(m, "Model", R"(A model read from an OBJ file, with its materials.

Made by glmobj.read. vertices, normals and texcoords are views of the
model's own arrays (no copy: writing to them changes the model); the face,
group and material properties are copies made when read. Operations
change the model in place and release the GIL while they run.

An operation that replaces an array (vertex_normals the normals, weld the
vertices, planar_texcoords and spherical_texcoords the texture
coordinates) leaves a view taken before it with the values it had, safely:
read the property again for the new array. Operations that change an
array in place (scale, translate, fit_to_unit_cube, flip_winding) show in
every view.)")
      .def_property_readonly("vertices", [](Model& self) { return self.view(kVertices); },
                             "(N, 3) float32 view of the vertex positions.")
      .def_property_readonly("normals", [](Model& self) { return self.view(kNormals); },
                             "(M, 3) float32 view of the normals, or None.")
      .def_property_readonly("texcoords", [](Model& self) { return self.view(kTexcoords); },
                             "(K, 2) float32 view of the texture coordinates, or None.")
      .def_property_readonly("faces", &Model::faces,
                             "(T, 3) int32 vertex indices of each triangle's corners, 0-based.")
      .def_property_readonly("face_normals", &Model::faceNormals,
                             "(T, 3) int32 normal indices of each corner, -1 where it has none.")
      .def_property_readonly("face_texcoords", &Model::faceTexcoords,
                             "(T, 3) int32 texture-coordinate indices of each corner, -1 where it has none.")
      .def_property_readonly("face_materials", &Model::faceMaterialIndices,
                             "(T,) int32 index into materials of each triangle's material, -1 when\n"
                             "the model has no materials.")
      .def_property_readonly("colors", [](Model& self) { return self.view(kColors); },
                             "(N, 3) float32 view of each vertex's colour (v x y z r g b), or None\n"
                             "when no vertex has one (then 1 1 1 for those without).")
      .def_property_readonly("objects", &Model::objects,
                             "The objects (glmobj.Object) of the \"o\" lines, in file order: each the\n"
                             "run of triangles (rows of faces) read up to the next.")
      .def_property_readonly("smoothing", &Model::smoothing,
                             "(T,) uint32 smoothing group of each triangle (0: none), or None when no\n"
                             "triangle is in one.")
      .def_property_readonly("lines", &Model::lines,
                             "(L, 2) int32 vertex indices of the ends of each \"l\" line segment, 0-based.")
      .def_property_readonly("line_texcoords", &Model::lineTexcoords,
                             "(L, 2) int32 texture-coordinate indices of the segments' ends, -1 where none.")
      .def_property_readonly("line_materials", &Model::lineMaterials,
                             "(L,) int32 index into materials of each segment's material, -1 when the\n"
                             "model has no materials.")
      .def_property_readonly("points", &Model::points,
                             "(P,) int32 vertex indices of the \"p\" lines, 0-based.")
      .def_property_readonly("groups", &Model::groups,
                             "The groups (glmobj.Group), in the order the file made them.")
      .def_property_readonly("materials", &Model::materials,
                             "The materials (glmobj.Material); the first is the library's \"default\".\n"
                             "Empty when no material library was read.")
      .def_property_readonly("path", &Model::path, "The path or name the model was read from.")
      .def_property_readonly("mtllib", &Model::mtllib,
                             "The first material library the file names, or None.")
      .def("__repr__", &Model::repr)
      .def(
          "facet_normals",
          [](Model& self) { self.run({}, [](ObjModel* m) { return glmComputeFaceNormals(m), 0; }); },
          "Computes one unit normal per triangle (used by write's \"flat\" mode).")
      .def(
          "vertex_normals",
          [](Model& self, float angle) {
            self.run({kNormals}, [angle](ObjModel* m) {
              glmComputeFaceNormals(m);
              glmVertexNormals(m, angle);
              return 0;
            });
          },
          py::arg("angle"),
          "Replaces the normals with crease-angle vertex normals: at each vertex the\n"
          "corners whose faces lie within `angle` degrees share one averaged normal.\n"
          "Computes the facet normals first.")
      .def(
          "fit_to_unit_cube", [](Model& self) { return self.run({}, glmFitToUnitCube); },
          "Centres the model on its bounding box and scales it by 2 / max(extents()), as\n"
          "measured before; returns the scale. A model centred already then spans -1..1.")
      .def(
          "scale",
          [](Model& self, float factor) {
            self.run({}, [factor](ObjModel* m) { return glmScaleVertices(m, factor), 0; });
          },
          py::arg("factor"), "Multiplies every vertex position by `factor`.")
      .def(
          "translate",
          [](Model& self, float x, float y, float z) {
            const float offset[3] = {x, y, z};
            self.run({}, [&offset](ObjModel* m) { return glmTranslateVertices(m, offset), 0; });
          },
          py::arg("x"), py::arg("y"), py::arg("z"), "Adds (x, y, z) to every vertex position.")
      .def(
          "flip_winding", [](Model& self) { self.run({}, [](ObjModel* m) { return glmFlipWinding(m), 0; }); },
          "Reverses every triangle's winding and negates the normals.")
      .def(
          "planar_texcoords",
          [](Model& self) { self.run({kTexcoords}, [](ObjModel* m) { return glmPlanarTexCoords(m), 0; }); },
          "Replaces the texture coordinates with a planar (x, z) projection, one per vertex.")
      .def(
          "spherical_texcoords",
          [](Model& self) {
            self.run({kTexcoords}, [](ObjModel* m) {
              if (!m->normals) throw std::invalid_argument("the model has no normals (vertex_normals makes them)");
              return glmSphericalTexCoords(m), 0;
            });
          },
          "Replaces the texture coordinates with a spherical mapping of the normals.")
      .def(
          "weld",
          [](Model& self, float epsilon) {
            self.run({kVertices, kColors}, [epsilon](ObjModel* m) { return glmMergeVertices(m, epsilon), 0; });
          },
          py::arg("epsilon"),
          "Merges vertices that differ by less than `epsilon` on every axis; a kept\n"
          "vertex keeps its colour, and lines and points follow their vertices.")
      .def(
          "extents",
          [](Model& self) {
            auto d = self.run({}, [](ObjModel* m) {
              std::array<float, 3> dimensions{};
              glmMeasureExtents(m, dimensions.data());
              return dimensions;
            });
            return py::make_tuple(d[0], d[1], d[2]);
          },
          "Returns (x, y, z): |max| + |min| of each axis over the vertices.")
      .def("write", &Model::write, py::arg("path"), py::arg("mode") = "smooth,texture,material",
           "Writes the model as OBJ text to `path`; with \"material\" and an mtllib also its\n"
           "MTL library beside it. `mode` is a comma-separated list of none, flat, smooth,\n"
           "texture, color and material; what the model lacks is left out with an ObjWarning.\n"
           "Raises OSError when a file cannot be written.");

  m.attr("Model").attr("__module__") = "glmobj";  // where it is used from

  m.def("_read_path", &readPath, py::arg("path"), py::arg("open"), py::arg("threads"));
  m.def("_read_memory", &readMemory, py::arg("text"), py::arg("name"), py::arg("open"),
        py::arg("threads"));
  m.def("_read_seconds", &readSeconds, py::arg("path"), py::arg("threads"));
}
