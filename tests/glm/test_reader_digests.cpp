// The OBJ and MTL readers against digests recorded from an earlier reader
// that is known good: for every input, everything a read gives (counts,
// arrays bit for bit, triangles, groups, materials, messages, success or
// failure) must hash as recorded. The inputs are the corpus, the model
// files, every prefix of two files, and thousands of random and mutated
// files, made from fixed seeds. Cases are hashed in blocks; by default every
// eighth block and the model files' block run, GLM_DIGESTS_ALL=1 runs them
// all, and GLM_DIGESTS_RECORD=1 rewrites the recorded file after a
// deliberate change. The model files are generated and may be remade: their
// block is skipped, with a note, when its inputs are no longer the recorded
// ones.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "glm.h"
#include "glm_internal.h"
#include "model_util.h"

namespace {

namespace fs = std::filesystem;
using namespace testutil;

const std::string kDigests = std::string(PROJECT_SOURCE_DIR) + "/tests/glm/reader_digests.txt";
constexpr std::size_t kBlock = 32;

std::uint64_t fnv(const std::string& text, std::uint64_t h = 1469598103934665603ull) {
  for (char c : text) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return h;
}

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
}

// One input: an OBJ file read where it lies, or text written to the scratch
// directory as in.obj (beside the fixed library m.mtl, or `mtl` when given).
struct Case {
  std::string name, path, text, mtl;
};

// Random statements from the pieces real and broken files are made of.
std::string randomText(std::mt19937& random, bool library) {
  static const char* const kObj[] = {"v",      "vn",     "vt", "f", "f", "f",  "g",
                                     "usemtl", "mtllib", "s",  "o", "#", "vp", "mg",
                                     "usemap", "maplib", "fo", "",  "1", "-"};
  static const char* const kMtl[] = {"newmtl", "Kd",    "Ka", "Ks", "Ns",  "Ni",     "Ke", "#",
                                     "d",      "illum", "K",  "N",  "new", "map_Kd", ""};
  static const char* const kWords[] = {"1",           "2",       "3",
                                       "-1",          "+2",      "0",
                                       "5",           "1/1",     "2/2/2",
                                       "3//1",        "1/",      "/2",
                                       "//",          "1//",     "1/2/",
                                       "0.5",         "-1.25e2", "1e",
                                       ".5",          "5.",      "nan",
                                       "inf",         "infin",   "0x1p3",
                                       "1e40",        "1e-46",   "99999999999999999999",
                                       "x",           "m1",      "m2",
                                       "red",         "m.mtl",   "a b",
                                       "-",           "+",       "/",
                                       "1,5",         "0x",      "3E",
                                       "\xEF\xBB\xBF"};
  static const char* const kBlanks[] = {" ", " ", " ", "  ", "\t", "\r", "\v", ""};
  static const char* const kEnds[] = {"\n", "\n", "\n", "\r\n", "", "\n\n", "\\\n"};
  auto pick = [&random](const auto& list) { return list[random() % std::size(list)]; };
  std::string text = random() % 16 == 0 ? "\xEF\xBB\xBF" : "";
  if (!library && random() % 2)
    text += "mtllib m.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nvt 0 0\nvn 0 0 1\n";
  for (unsigned line = 0, lines = random() % 24; line < lines; line++) {
    text += library ? pick(kMtl) : pick(kObj);
    for (unsigned w = 0, words = random() % 6; w < words; w++) {
      text += pick(kBlanks);
      text += pick(kWords);
      if (random() % 24 == 0) text += static_cast<char>(random() % 256);
    }
    text += pick(kEnds);
  }
  return text;
}

// Random files of the records beside faces: coloured vertices, objects,
// smoothing groups, lines and points, among faces and materials.
std::string recordsText(std::mt19937& random) {
  static const char* const kLines[] = {
      "v 1 2 3 0.5 0.25 1\n", "v 1 2 3\n", "v 0 1 0 1\n", "v 1 1 1 0 0 0 1\n", "vt 0.5 1\n",
      "f 1 2 3\n",            "f -1 -2 -3\n", "o box\n",  "o  two words \n",  "o\n",
      "s 1\n",                "s off\n",  "s 2\n",      "s x\n",            "usemtl m1\n",
      "usemtl red\n",         "g part\n", "l 1 2 3\n",  "l 1/1 -1/-1\n",   "l 2\n",
      "p 1 -1 2\n",           "p 1/1 3\n"};
  static const char* const kBroken[] = {"l 1 0\n", "l 1/\n", "p 99\n", "l 1/9\n", "p -99\n"};
  std::string text = "mtllib m.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nvt 0 0\n";
  for (unsigned line = 0, lines = random() % 24; line < lines; line++)
    text += random() % 32 ? kLines[random() % std::size(kLines)] : kBroken[random() % std::size(kBroken)];
  return text;
}

// Flips, inserts, deletes and duplicates bytes of `text`.
std::string mutate(std::string text, std::mt19937& random) {
  static const char kBytes[] = "0123456789/ -+.eEx\n\r\tvfgnu#";
  for (unsigned i = 0, count = 1 + random() % 8; i < count && !text.empty(); i++) {
    std::size_t at = random() % text.size();
    switch (random() % 4) {
      case 0:
        text[at] = kBytes[random() % (sizeof kBytes - 1)];
        break;
      case 1:
        text.insert(at, 1, kBytes[random() % (sizeof kBytes - 1)]);
        break;
      case 2:
        text.erase(at, 1 + random() % 8);
        break;
      default:
        text.insert(at, text.substr(at, random() % 40));
        break;
    }
  }
  return text;
}

std::vector<Case> allCases() {
  std::vector<Case> cases;
  const std::string corpus = std::string(TEST_DATA_DIR) + "/corpus";
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(corpus)) {
    std::string name = entry.path().filename().string();
    if (entry.is_regular_file() &&
        (entry.path().extension() == ".obj" || name.rfind("clusterfuzz", 0) == 0))
      files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  // Named relative to the corpus, so the recorded inputs do not depend on
  // where the project is checked out.
  for (const std::string& file : files)
    cases.push_back({"file " + file.substr(corpus.size()), file, "", ""});

  for (const char* file : {"/tinyobjloader/models/cornell_box.obj",
                           "/tinyobjloader/models/issue-162-smoothing-group.obj",
                           "/assimp/test/models/OBJ/box_longline.obj"}) {
    std::string text = fileContents(corpus + file);
    for (std::size_t length = 0; length <= text.size(); length++)
      cases.push_back({"prefix " + std::string(file) + " " + std::to_string(length), "",
                       text.substr(0, length), ""});
  }
  std::mt19937 random(20261208);
  for (int i = 0; i < 3000; i++) {
    std::string obj = randomText(random, false);
    std::string mtl = random() % 4 == 0 ? randomText(random, true) : "";
    cases.push_back({"random " + std::to_string(i), "", obj, mtl});
  }
  std::vector<std::string> seeds;
  for (const std::string& file : files) seeds.push_back(fileContents(file));
  for (int i = 0; i < 3000; i++) {
    std::string seed = seeds[random() % seeds.size()];
    if (seed.size() > 4000) seed = seed.substr(random() % (seed.size() - 4000), 4000);
    cases.push_back({"mutant " + std::to_string(i), "", mutate(seed, random), ""});
  }
  for (int i = 0; i < 1000; i++)
    cases.push_back({"records " + std::to_string(i), "", recordsText(random), ""});
  // The model files last, in a block of their own.
  while (cases.size() % kBlock) cases.push_back({"empty", "", "", ""});
  std::vector<std::string> models;
  const std::string data = std::string(PROJECT_SOURCE_DIR) + "/data";
  for (const auto& entry : fs::directory_iterator(data))
    if (entry.path().extension() == ".obj") models.push_back(entry.path().string());
  std::sort(models.begin(), models.end());
  for (const std::string& file : models)
    cases.push_back({"model " + file.substr(data.size()), file, "", ""});
  return cases;
}

class ReaderDigests : public FileTest {
 protected:
  // Everything one read gives, as text without the scratch directory's name.
  std::string describe(const Case& c) {
    std::string path = c.path;
    if (path.empty()) {
      write("m.mtl", c.mtl.empty() ? "newmtl m1\nKd 1 0 0\nNs 96\nnewmtl m2\nnewmtl red\n" : c.mtl);
      path = write("in.obj", c.text);
    }
    Model m = readWay(path);
    std::ostringstream text;
    text << (m ? "read\n" : "failed\n") << out << "|" << err << "\n";
    if (m) {
      text << m->vertexcount << " " << m->normalcount << " " << m->texcoordcount << " "
           << m->trianglecount << " " << m->materialcount << " " << m->groupcount << " "
           << (m->mtllib ? m->mtllib : "(none)") << "\n";
      auto bytes = [&text](const void* data, std::size_t size) {
        if (data) text << std::string(static_cast<const char*>(data), size);
        text << "\n";
      };
      // Entry 0 of each array is never written by the reader.
      bytes(m->vertices + 3, 3 * sizeof(float) * m->vertexcount);
      bytes(m->normals ? m->normals + 3 : nullptr, 3 * sizeof(float) * m->normalcount);
      bytes(m->texcoords ? m->texcoords + 2 : nullptr, 2 * sizeof(float) * m->texcoordcount);
      bytes(m->triangles, sizeof(ObjTriangle) * m->trianglecount);
      for (const ObjGroup* g = m->groups; g; g = g->next) {
        text << g->name << "|" << g->material << "\n";
        bytes(g->triangles, sizeof(unsigned) * g->trianglecount);
      }
      for (unsigned i = 0; i < m->materialcount; i++) {
        const ObjMaterial& mat = m->materials[i];
        text << mat.name << "\n";
        bytes(mat.diffuse, sizeof(float) * 12);
        bytes(&mat.shininess, sizeof(float));
        for (const char* map : {mat.diffusemap, mat.ambientmap, mat.specularmap, mat.alphamap,
                                mat.bumpmap})
          text << (map ? map : "(none)") << "|";
        bytes(&mat.dissolve, sizeof(float));
        text << mat.illum << "|";
        bytes(&mat.emissive, sizeof(float) * 4);
        for (float value : {mat.ior, mat.transmission[0], mat.transmission[1], mat.transmission[2],
                            mat.roughness, mat.metallic, mat.sheen, mat.clearcoat,
                            mat.clearcoatroughness, mat.anisotropy, mat.anisotropyrotation})
          bytes(&value, sizeof value);
        for (const char* map : {mat.emissivemap, mat.roughnessmap, mat.metallicmap, mat.sheenmap,
                                mat.normalmap, mat.displacementmap, mat.reflectionmap})
          text << (map ? map : "(none)") << "|";
      }
      bytes(m->colors ? m->colors + 3 : nullptr, 3 * sizeof(float) * m->vertexcount);
      for (unsigned i = 0; i < m->objectcount; i++)
        text << m->objects[i].name << "|" << m->objects[i].firsttriangle << " "
             << m->objects[i].trianglecount << "\n";
      bytes(m->smoothing, sizeof(unsigned) * (m->smoothing ? m->trianglecount : 0));
      bytes(m->lines, sizeof(ObjLine) * m->linecount);
      bytes(m->points, sizeof(unsigned) * m->pointcount);
    }
    std::string result = text.str();
    replaceAll(result, dir, "DIR");
    replaceAll(result, PROJECT_SOURCE_DIR, "ROOT");
    return result;
  }
  // The ways a file can be read; each must give the recorded results.
  enum class Way { onePass, smallWindows, twoThreads, memory, callbacks };
  void checkEveryInput(Way way);
  Way way = Way::onePass;
  std::size_t pieces = 1;  // bytes the callbacks give at a time

  // Reads `path` the current way. A failure handed back is printed as
  // glmReadOBJ prints it, so every way's messages compare alike.
  Model readWay(const std::string& path) {
    if (way != Way::memory && way != Way::callbacks) return readFile(path);
    GLMreadoptions callbacks{};
    // Files as the library opens them itself, but a caller has no way to
    // say "not a regular file" but its errno (replaced below).
    callbacks.open = [](const char* name, void*) -> void* {
      struct stat info;
      if (stat(name, &info) == 0 && !S_ISREG(info.st_mode)) return errno = EISDIR, nullptr;
      return std::fopen(name, "rb");
    };
    callbacks.read = [](void* file, void* buffer, unsigned long long size, void* user) {
      std::size_t most = std::min<std::size_t>(size, *static_cast<std::size_t*>(user));
      std::size_t got = std::fread(buffer, 1, most, static_cast<FILE*>(file));
      return std::ferror(static_cast<FILE*>(file)) ? -1LL : static_cast<long long>(got);
    };
    callbacks.close = [](void* file, void*) { std::fclose(static_cast<FILE*>(file)); };
    callbacks.user = &pieces;
    GLMerror error;
    Model model;
    std::string text = way == Way::memory ? fileContents(path) : "";
    run([&] {
      model.reset(way == Way::memory
                      ? glmReadOBJMemory(text.data(), text.size(), path.c_str(), nullptr, &error)
                      : glmReadOBJFrom(path.c_str(), &callbacks, &error));
    });
    if (!model) (std::string(error.message).rfind("glmFirstPass", 0) == 0 ? out : err) +=
        std::string(error.message) + "\n";
    replaceAll(out, ": Is a directory.\n", ": not a regular file.\n");
    return model;
  }
};

void ReaderDigests::checkEveryInput(Way readWay) {
  way = readWay;
  const bool record = way == Way::onePass && std::getenv("GLM_DIGESTS_RECORD") != nullptr;
  const bool all = record || std::getenv("GLM_DIGESTS_ALL") != nullptr;
  std::map<std::size_t, std::pair<std::string, std::string>> recorded;  // digest, inputs
  {
    std::ifstream in(kDigests);
    std::size_t block;
    std::string hash, inputs;
    while (in >> block >> hash >> inputs) recorded[block] = {hash, inputs};
  }
  std::vector<Case> cases = allCases();
  std::ostringstream fresh;
  std::size_t blocks = (cases.size() + kBlock - 1) / kBlock, checked = 0;
  if (!record) {
    ASSERT_EQ(recorded.size(), blocks) << "the inputs changed; record again";
  }
  for (std::size_t block = 0; block < blocks; block++) {
    bool models = cases[block * kBlock].name.rfind("model ", 0) == 0;
    if (!all && block % 8 != 0 && !models) continue;
    std::uint64_t h = fnv(""), inputs = fnv("");
    for (std::size_t i = block * kBlock; i < cases.size() && i < (block + 1) * kBlock; i++) {
      const Case& c = cases[i];
      // The second thread's half starts at the second line, or further on.
      if (way == Way::twoThreads) glm_internal::glmSetReadChunking(0, i % 2 ? 1 : i % 500);
      // The reader's pieces cut lines anywhere, as short as one byte.
      if (way == Way::smallWindows) glm_internal::glmSetReadWindow(1 + i % 64);
      pieces = 1 + i % 7;
      inputs = fnv(c.name + c.text + c.mtl + (c.path.empty() ? "" : fileContents(c.path)), inputs);
      h = fnv(describe(c), h);
    }
    auto hex = [](std::uint64_t value) {
      char text[17];
      std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
      return std::string(text);
    };
    fresh << block << " " << hex(h) << " " << hex(inputs) << "\n";
    if (record) continue;
    if (hex(inputs) != recorded[block].second) {
      EXPECT_TRUE(models) << "the inputs of block " << block << " changed; record again";
      std::printf("note: the model files changed since their digests were recorded\n");
      continue;
    }
    EXPECT_EQ(hex(h), recorded[block].first)
        << "block " << block << " from " << cases[block * kBlock].name;
    checked++;
  }
  if (record) {
    std::ofstream(kDigests) << fresh.str();
  } else {
    EXPECT_GT(checked, 0u);
  }
}

TEST_F(ReaderDigests, EveryInputReadsAsRecorded) { checkEveryInput(Way::onePass); }

TEST_F(ReaderDigests, EveryInputReadsAsRecordedInSmallPieces) {
  checkEveryInput(Way::smallWindows);
  glm_internal::glmSetReadWindow(0);
}

// From memory, and through the caller's callbacks giving 1 to 7 bytes at a
// time for the model and its library: the same results, the failure handed
// back instead of printed.
TEST_F(ReaderDigests, EveryInputReadsAsRecordedFromMemory) { checkEveryInput(Way::memory); }
TEST_F(ReaderDigests, EveryInputReadsAsRecordedThroughCallbacks) { checkEveryInput(Way::callbacks); }

// The same inputs read in two halves, the second on another thread: the
// same results, wherever the halves meet.
TEST_F(ReaderDigests, EveryInputReadsAsRecordedInTwoHalves) {
  checkEveryInput(Way::twoThreads);
  glm_internal::glmSetReadChunking(glm_internal::kReadTwoThreadsFrom, 0);
}

}  // namespace
