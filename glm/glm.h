/*
 * glm: a Wavefront OBJ/MTL model library.
 *
 * Reads OBJ and MTL text into one in-memory record, draws it with OpenGL 1.1
 * immediate mode, computes facet and crease-angle vertex normals, measures and
 * transforms it, generates texture coordinates, welds duplicate vertices,
 * writes it back as OBJ and MTL text, and reads and writes raw PPM images.
 *
 * Conventions shared by every operation:
 * - Vertex, normal, texture-coordinate and facet-normal arrays are indexed
 *   from 1, as OBJ files number them: each holds count + 1 entries and entry 0
 *   is zero-filled and never used. Triangles and materials are indexed from 0.
 * - Every array and string a model points to is allocated with malloc and
 *   owned by the model; glmFreeModel releases them all with free.
 * - Messages start with the operation's name and "()". Warnings go to
 *   standard output and the operation goes on; fatal failures (a file that
 *   cannot be opened or written, a malformed index, exhausted memory) print
 *   and end the program with exit status 1, unless a failure handler is
 *   installed (see glmSetFailureHandler). A program takes the messages with
 *   glmSetMessageHandler, and the operations named ...From, ...To and
 *   glmReadOBJMemory hand their failure back in a GLMerror instead, having
 *   released all they allocated. An operation that replaces a model array
 *   makes the new one first, so a failure leaves the model as it was.
 * - Preconditions (non-null model, required arrays present) are assertions
 *   that stay on in every build and quote the failed expression.
 * - A model is used by one thread at a time. glmReadOBJ reads a file of 8 MiB
 *   or more on two threads where there are two processor cores, and returns
 *   once both are done. The library's global state is the failure and the
 *   message handler (install them before other threads use the library) and
 *   the reader's: the number of cores, counted once, and the size from which
 *   it reads on two threads (fixed; an internal hook lets the tests change
 *   it). Each thread keeps its last read's working memory (up to 64 MiB) for
 *   its next read, released when the thread ends. Different models may be
 *   read and used on different threads at once.
 * - The header serves C and C++ alike: C types, C linkage, bool from
 *   <stdbool.h>.
 */
#ifndef GLM_H
#define GLM_H

/* The library is built with hidden visibility: what this header declares is
 * its exported interface, and nothing else. */
#if defined(__GNUC__)
#pragma GCC visibility push(default)
#endif

#include <stdbool.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------ */
/* Records                                                                  */
/* ------------------------------------------------------------------------ */

/* One material of a model's material library. A material made by hand is
 * unset where it holds what the reader gives before any statement: ior 1,
 * illum -1, transmission 1 1 1, the rest 0 (zeros there are written as
 * values). */
typedef struct ObjMaterial {
  char* name;        /* owned; "default" for entry 0 */
  float diffuse[4];  /* RGBA; read from "Kd", alpha stays 1 */
  float ambient[4];  /* RGBA; read from "Ka", alpha stays 1 */
  float specular[4]; /* RGBA; read from "Ks", alpha stays 1 */
  float emissive[4]; /* RGBA; read from "Ke", alpha stays 1; 0 0 0 when unset */
  float shininess;   /* on GL_SHININESS's 0..128 scale ("Ns" 0..1000 converted) */
  /* Image files of the material's maps, owned, null when the library names
   * none: the name as the "map_..." line writes it after its options (it may
   * hold blanks), relative to the directory of the MTL file that named it. */
  char* diffusemap;  /* map_Kd */
  char* ambientmap;  /* map_Ka */
  char* specularmap; /* map_Ks */
  char* alphamap;    /* map_d */
  char* bumpmap;     /* bump or map_Bump */
  float dissolve;    /* opacity 0..1 from "d" (or 1 - "Tr"); 1 when unset.
                      * The diffuse alpha stays 1: drawing does not blend. */
  float ior;             /* "Ni", the index of refraction; 1 when unset */
  int illum;             /* "illum", the illumination model; -1 when unset */
  float transmission[3]; /* "Tf", the transmission filter; 1 1 1 when unset */
  /* The physically based parameters; 0 when unset. */
  float roughness;          /* "Pr" */
  float metallic;           /* "Pm" */
  float sheen;              /* "Ps" */
  float clearcoat;          /* "Pc" */
  float clearcoatroughness; /* "Pcr" */
  float anisotropy;         /* "aniso" */
  float anisotropyrotation; /* "anisor" */
  /* More maps, named as the ones above. */
  char* emissivemap;     /* map_Ke */
  char* roughnessmap;    /* map_Pr */
  char* metallicmap;     /* map_Pm */
  char* sheenmap;        /* map_Ps */
  char* normalmap;       /* norm */
  char* displacementmap; /* disp */
  char* reflectionmap;   /* refl */
} ObjMaterial;

/* One triangle. Index fields no operation has written hold 0. */
typedef struct ObjTriangle {
  unsigned vertexidx[3];   /* 1-based vertex indices, file order */
  unsigned normalidx[3];   /* 1-based normal indices */
  unsigned texcoordidx[3]; /* 1-based texture-coordinate indices */
  unsigned facetnormidx;   /* 1-based facet normal index */
  unsigned material;       /* 0-based index into the model's materials: the one in
                            * force when the face was read (0 before any "usemtl"
                            * and for an unknown name) */
} ObjTriangle;

/* A named group of triangles; groups form a singly linked list. */
typedef struct ObjGroup {
  char* name;             /* owned; compared byte for byte */
  unsigned trianglecount; /* entries in triangles */
  unsigned* triangles;    /* owned; 0-based indices into the model's triangles */
  unsigned material;      /* 0-based index into the model's materials: the last
                           * one in force while the group was current; each
                           * triangle carries its own */
  struct ObjGroup* next;  /* next group in the list, null at the end */
} ObjGroup;

/* The triangles read from one "o" line to the next: a run in triangle
 * order. Objects stand beside groups and change none of them. */
typedef struct ObjObject {
  char* name;              /* owned; the rest of the "o" line without the blanks around it */
  unsigned firsttriangle;  /* 0-based index of its first triangle */
  unsigned trianglecount;  /* its triangles: firsttriangle .. firsttriangle + trianglecount - 1 */
} ObjObject;

/* One segment of an "l" polyline; a polyline of n vertices gives n - 1. */
typedef struct ObjLine {
  unsigned vertexidx[2];   /* 1-based vertex indices */
  unsigned texcoordidx[2]; /* 1-based texture-coordinate indices, 0 where none */
  unsigned material;       /* 0-based index into the model's materials, as a triangle's */
} ObjLine;

/* A loaded model. The list of groups runs from the most recently created
 * group to the first; a model read from a file always ends it with "default". */
typedef struct ObjModel {
  char* path;   /* owned copy of the path given to glmReadOBJ */
  char* mtllib; /* owned; library name from the "mtllib" line, or null */

  unsigned vertexcount;
  float* vertices; /* 3 floats per vertex, entries 1..vertexcount */

  unsigned normalcount;
  float* normals; /* 3 floats per normal, entries 1..normalcount; null if none */

  unsigned texcoordcount;
  float* texcoords; /* 2 floats per entry, 1..texcoordcount; null if none */

  unsigned facetnormcount;
  float* facetnorms; /* 3 floats per facet normal, 1..facetnormcount; null until computed */

  unsigned trianglecount;
  ObjTriangle* triangles; /* trianglecount entries, 0-based */

  unsigned materialcount;
  ObjMaterial* materials; /* materialcount entries; null when no library was read */

  unsigned groupcount;
  ObjGroup* groups; /* head of the group list */

  float position[3]; /* (0, 0, 0) on creation; no operation reads or changes it */

  float* colors; /* 3 floats (RGB) per vertex, entries 1..vertexcount, from "v x y z r g b";
                  * null when no vertex has one; 1 1 1 for a vertex without one */

  unsigned objectcount;
  ObjObject* objects; /* objectcount entries in file order; null when none */

  unsigned* smoothing; /* trianglecount entries: the "s" group in force when the face was
                        * read, 0 for "s off" or "s 0"; null when no triangle is in a group */

  unsigned linecount;
  ObjLine* lines; /* linecount segments of the "l" lines, in file order; null when none */

  unsigned pointcount;
  unsigned* points; /* pointcount 1-based vertex indices of the "p" lines; null when none */
} ObjModel;

/* ------------------------------------------------------------------------ */
/* Render and output mode flags (combined with bitwise OR)                  */
/* ------------------------------------------------------------------------ */

#define DRAW_NONE 0u      /* positions only */
#define DRAW_FLAT 1u      /* one facet normal per triangle */
#define DRAW_SMOOTH 2u    /* one vertex normal per corner */
#define DRAW_TEXTURE 4u   /* one texture coordinate per corner */
#define DRAW_COLOR 8u     /* each triangle's material's diffuse colour as the current colour */
#define DRAW_MATERIAL 16u /* each triangle's material as the front-and-back GL material */
#define DRAW_OUTLINE 32u  /* each triangle as its own GL_LINE_LOOP (drawing only) */
#define DRAW_VERTEXCOLOR 64u /* each corner's vertex colour as the current colour (drawing only) */

/* ------------------------------------------------------------------------ */
/* Messages and failures                                                    */
/* ------------------------------------------------------------------------ */

/* A failure handed back by the operations that take one (glmReadOBJFrom,
 * glmReadOBJMemory and the like) in place of ending the program. */
typedef struct GLMerror {
  unsigned long long line; /* line of the failure in its file, 0 when it has none */
  char message[1024];      /* "" after success; else the message, without its newline, cut to fit */
  int errnum;              /* the system's errno where a file could not be opened, read or
                            * written (ENOENT, EACCES, ENOSPC, ...), ENOMEM where memory ran
                            * out, else 0 */
} GLMerror;

/* Receives every message the library would print (warnings, and the failures
 * of the operations that end the program), the text without its final
 * newline; `failure` tells a fatal failure from a warning. With a handler
 * set nothing is printed. A failure handed back in a GLMerror is not also
 * handed here. Messages of one operation arrive on its calling thread, in
 * the order they would be printed. The handler is process-wide: set it
 * before other threads use the library. */
typedef void (*GLMmessagehandler)(const char* message, bool failure, void* user);

/* Installs `handler`, called with `user`; null prints again. */
void glmSetMessageHandler(GLMmessagehandler handler, void* user);

/* Called after a fatal failure's message has been printed (or handed to the
 * message handler), in place of exit(1). It must not return: it leaves by
 * throwing or longjmp. Tests and fuzz targets install one; null (the
 * default) restores exit(1). Programs that must go on after a failure are
 * better served by the operations that hand a GLMerror back. */
typedef void (*GLMfailurehandler)(void);
void glmSetFailureHandler(GLMfailurehandler handler);

/* ------------------------------------------------------------------------ */
/* Records and groups                                                       */
/* ------------------------------------------------------------------------ */

/* Returns the first group in list order named exactly `name`, or null.
 * Asserts "model". */
ObjGroup* glmLookupGroup(ObjModel* model, const char* name);

/* Returns the group named `name`, creating it at the head of the list
 * (trianglecount 0, triangles null, material 0) when absent. Asserts "model". */
ObjGroup* glmEnsureGroup(ObjModel* model, const char* name);

/* Releases the model, its arrays, strings, materials and groups; tolerates any
 * of them being null. Asserts "model". */
void glmFreeModel(ObjModel* model);

/* ------------------------------------------------------------------------ */
/* OBJ and MTL reading                                                      */
/* ------------------------------------------------------------------------ */

/* Reads the OBJ file at `path` into a new model that the caller releases
 * with glmFreeModel; never returns null: a failure is printed (or handed to
 * the message handler) and ends the program (see glmSetFailureHandler;
 * glmReadOBJFrom hands it back instead). Every byte of the file is read
 * once, in pieces of whole lines, so a file changed or cut short while it is
 * read gives the model of the text read; numbers read the same in every
 * locale. Every statement is one line: its numbers and names are read from
 * that line only (a number missing from a "v", "vn" or "vt" line reads as
 * 0), keywords are whole words, names are kept whole, and a leading UTF-8
 * byte-order mark is skipped. Negative face indices are resolved against the
 * entries read before the face; a positive one may name an entry read later.
 * Each "mtllib" line appends its library's materials (glmReadMTL); the
 * model's mtllib names the first, and a line that names none is skipped. A
 * file that cannot be opened or is a device, a keyword starting with "v"
 * other than v, vn and vt, a face index that is missing, 0 or out of range,
 * and a count past 2^32 - 1 are fatal failures; a material library that
 * cannot be read is only a warning (see glmReadMTL). Messages come in the
 * order of a reader that first counts the file and then fills the model:
 * library warnings and an unknown keyword, then a file too large, then
 * unknown materials and index failures, in file order. Each triangle records
 * the material in force when its face was read. Beside groups and materials
 * the model keeps: a vertex's colour from "v x y z r g b" (six numbers or
 * more); each "o" object as the run of triangles up to the next; the
 * smoothing group ("s N", "s off") of each triangle; each "l" polyline as
 * its segments ("v" or "v/t" corners) in the material in force; and the
 * vertices of "p" lines. Their indices are checked and resolved as face
 * indices are. A regular file of 8 MiB or
 * more is read in two halves at once where there are two processor cores;
 * a thread that reads again reuses its last read's working memory. */
ObjModel* glmReadOBJ(const char* path);

/* How a read gets its bytes. All zero (or a null pointer): files are opened
 * by their names, and one read uses two threads as glmReadOBJ does. With
 * `open` set, the reader opens the OBJ file (for glmReadOBJFrom) and every
 * material library it names through these callbacks instead, by the path it
 * would open ("mtllib" names joined to the OBJ path's directory): `open`
 * returns a handle, or null when the file cannot be opened (errno, when it
 * sets one, is the reason a warning gives); `read` (required) fills up
 * to `size` bytes and returns how many, 0 at the end, -1 on an error;
 * `close` (may be null) releases the handle. `user` is passed to each. A
 * source read through callbacks is read once, in order, on the calling
 * thread. */
typedef struct GLMreadoptions {
  void* (*open)(const char* path, void* user);
  long long (*read)(void* file, void* buffer, unsigned long long size, void* user);
  void (*close)(void* file, void* user);
  void* user;
  unsigned threads; /* the most threads one read may use; 0: as glmReadOBJ, 1: the caller's only */
} GLMreadoptions;

/* Reads the OBJ file at `path` as glmReadOBJ does (the same model, the same
 * warnings, given in the same order), through `options` (may be null), but
 * never ends the program: on a failure it returns null, having released all
 * it allocated, and fills `error` (may be null) with the message glmReadOBJ
 * would print, without its newline, and its line. On success `error` holds
 * line 0 and "". */
ObjModel* glmReadOBJFrom(const char* path, const GLMreadoptions* options, GLMerror* error);

/* As glmReadOBJFrom, for the `size` bytes at `text` (they stay the caller's
 * and need no terminator). `path` (null reads as "") names the text in
 * messages and in the model, and its directory is where material libraries
 * are looked for, through `options` when they give an `open`. */
ObjModel* glmReadOBJMemory(const char* text, unsigned long long size, const char* path,
                           const GLMreadoptions* options, GLMerror* error);

/* Returns a new malloc'd string: `path` up to and including its last "/", or
 * "" when it has none. The caller frees it. */
char* glmPathDirectory(const char* path);

/* Reads the MTL library `name`, looked up in the directory of model->path,
 * and appends its materials to model->materials (entry 0 is "default", made
 * when the model has none; statements before a library's first "newmtl"
 * apply to it), so every material index already held stays valid. A number
 * missing from its line leaves that component unchanged. Reads Ka, Kd, Ks,
 * Ke, Ns, d and Tr, Ni, illum, Tf, Pr, Pm, Ps, Pc, Pcr, aniso and anisor,
 * and the image names of map_Kd, map_Ka, map_Ks, map_d, bump/map_Bump,
 * map_Ke, map_Pr, map_Pm, map_Ps, norm, disp and refl (their options
 * skipped). A library that cannot be opened or
 * is not a regular file (a directory, FIFO or device) prints
 * "glmReadMTL() warning: can't open material file "PATH": REASON." on
 * standard output and leaves the model's materials as they were; the
 * reading goes on. */
void glmReadMTL(ObjModel* model, const char* name);

/* Returns the index of the first material named exactly `name`; when there is
 * none (also with no materials at all) prints a message on standard output
 * and returns 0. */
unsigned glmFindMaterial(ObjModel* model, const char* name);

/* ------------------------------------------------------------------------ */
/* Material maps                                                            */
/* ------------------------------------------------------------------------ */

/* Finds the image file that `map` (a map name of one of the model's
 * materials, such as diffusemap) means. Names are relative to the directory
 * of the model's material library (that of model->path followed by that of
 * model->mtllib); an absolute one stands as it is. Tried in order: the name
 * as written; with every "\" read as "/"; its file name in any letter case
 * in its directory; and, since exporters write absolute Windows paths, its
 * file name in any letter case in the library's directory. Only a regular
 * file that can be read is taken. Returns a new malloc'd path that the
 * caller frees; else null, with `error` (may be null) holding the reason for
 * the first candidate that exists but could not be taken ("a directory",
 * "a FIFO", "a device", "not a regular file", or the system's text, such as
 * for a loop of links or a file that cannot be read), or the system's text
 * for a missing file. Prints nothing. Asserts "model" and "map". */
char* glmFindMap(const ObjModel* model, const char* map, GLMerror* error);

/* ------------------------------------------------------------------------ */
/* Drawing (OpenGL 1.1 immediate mode; call with a current GL context)      */
/* ------------------------------------------------------------------------ */

/* Draws every group, in list order, with the render mode `mode`. A mode that
 * asks for missing data, or for two flags that exclude each other, is
 * corrected with a warning on standard output. DRAW_COLOR enables
 * GL_COLOR_MATERIAL, DRAW_MATERIAL disables it; nothing is restored. With
 * either, each group starts with its first triangle's material (an empty
 * group with its own) and each triangle is drawn in its own material, the GL
 * calls issued again only where it changes. A material index past the
 * material array draws with material 0. DRAW_VERTEXCOLOR (on a model with
 * colors; else corrected with a warning) gives each corner its vertex's
 * colour and enables GL_COLOR_MATERIAL, so ambient and diffuse follow it.
 * Lines and points, when the model has them, come after the triangles, as
 * GL_LINES and GL_POINTS, unlit (GL_LIGHTING disabled between
 * glPushAttrib(GL_ENABLE_BIT) and glPopAttrib), each line in its material's
 * diffuse colour with DRAW_COLOR or DRAW_MATERIAL (points, which have no
 * material, in the current colour), with texture coordinates
 * where it has them and DRAW_TEXTURE asks, and in vertex colours with
 * DRAW_VERTEXCOLOR. A model without them draws no other call.
 * Asserts "model" and "model->vertices". */
void glmDraw(ObjModel* model, unsigned mode);

/* Records glmDraw(model, mode) into a new display list and returns its name
 * (the value glGenLists gave, 0 included). The caller owns the list. */
unsigned glmCompileDisplayList(ObjModel* model, unsigned mode);

/* ------------------------------------------------------------------------ */
/* Vectors and normals                                                      */
/* ------------------------------------------------------------------------ */

/* n = u x v. Asserts "u", "v", "n". */
void glmCrossProduct(const float* u, const float* v, float* n);

/* Returns u . v in single precision. Asserts "u", "v". */
float glmDotProduct(const float* u, const float* v);

/* Divides v by its length in place; a zero vector becomes non-finite.
 * Asserts "v". */
void glmNormalizeVector(float* v);

/* Replaces facetnorms with one unit normal per triangle (entry i + 1 for
 * triangle i, counter-clockwise winding faces the viewer) and sets every
 * facetnormidx; a degenerate triangle gets a non-finite normal. Asserts
 * "model", "model->vertices" and that every vertexidx is in 1..vertexcount. */
void glmComputeFaceNormals(ObjModel* model);

/* Replaces normals with crease-angle vertex normals: at each vertex, corners
 * whose facet normal is within `angle` degrees of the reference facet normal
 * share one averaged normal, the others keep a copy of their facet normal.
 * Every corner of every triangle gets a valid normalidx, also when a triangle
 * names one vertex at several corners. A vertex no triangle uses is reported
 * on standard error. A model of more than 1,431,655,764 triangles, whose
 * corners could need more normals than an index holds, is a fatal failure
 * ("too large") that changes nothing. Asserts "model", "model->facetnorms"
 * and that every vertexidx and facetnormidx is in range. */
void glmVertexNormals(ObjModel* model, float angle);

/* Replaces normals with the normals the file's smoothing groups mean: at each
 * vertex, the corners of the triangles of one smoothing group share the
 * normalized sum of their facet normals (a degenerate triangle's left out),
 * and every triangle of group 0 (or of a model without smoothing) has its
 * facet normal at its three corners. Every corner gets a valid normalidx.
 * Computes the facet normals first when the model has none. Fails as
 * glmVertexNormals does for a model too large. Asserts "model",
 * "model->vertices" and that every index it reads is in range. */
void glmSmoothingGroupNormals(ObjModel* model);

/* ------------------------------------------------------------------------ */
/* Extents and transforms                                                   */
/* ------------------------------------------------------------------------ */

/* Returns -f when f < 0, else f. */
float glmAbsValue(float f);

/* Returns b when a < b, else a (a on equality or when unordered). */
float glmMaxOf(float a, float b);

/* Writes |max| + |min| of each axis over all vertices into dimensions[0..2];
 * (0, 0, 0) for a model without vertices. Asserts "model", "model->vertices",
 * "dimensions". */
void glmMeasureExtents(ObjModel* model, float* dimensions);

/* Centres the model on its bounding box and scales it so its largest measured
 * extent becomes 2; returns the scale. A model whose largest extent is 0 is
 * only centred and 1 is returned; a model without vertices is left unchanged
 * (returns 1). Asserts "model" and "model->vertices". */
float glmFitToUnitCube(ObjModel* model);

/* Multiplies every vertex position by factor. Normals are not changed.
 * Asserts "model". */
void glmScaleVertices(ObjModel* model, float factor);

/* Adds offset[0..2] to every vertex position. Asserts "model". */
void glmTranslateVertices(ObjModel* model, const float* offset);

/* Reverses the winding of every triangle (swaps corners 0 and 2 of each index
 * kind present) and negates facet and vertex normals. Applied twice it
 * restores the model exactly. Asserts "model". */
void glmFlipWinding(ObjModel* model);

/* ------------------------------------------------------------------------ */
/* Texture coordinates                                                      */
/* ------------------------------------------------------------------------ */

/* Replaces texcoords with one planar (x, z) projection per vertex and points
 * every grouped corner at its vertex's pair. A largest extent of 0 uses a
 * scale of 1; a model without vertices is left unchanged. Asserts "model". */
void glmPlanarTexCoords(ObjModel* model);

/* Replaces texcoords with one spherical mapping per vertex normal and points
 * every grouped corner at its normal's pair. Asserts "model" and
 * "model->normals". */
void glmSphericalTexCoords(ObjModel* model);

/* ------------------------------------------------------------------------ */
/* Vertex welding                                                           */
/* ------------------------------------------------------------------------ */

/* True when a and b differ by strictly less than epsilon on every axis (NaN is
 * never close). */
bool glmVectorsClose(const float* a, const float* b, float epsilon);

/* Welds the 1-based array `vectors` of *count 3-vectors: each vector joins the
 * lowest-numbered kept vector that is close to it, or is kept itself. Returns
 * a new malloc'd 1-based array of the kept vectors (the caller frees it), sets
 * *count to their number, and overwrites each input vector's x with its new
 * index as a float. */
float* glmMergeVectors(float* vectors, unsigned* count, float epsilon);

/* Welds the model's vertices with glmMergeVectors and re-points every
 * triangle's vertexidx, and those of lines and points; a kept vertex keeps
 * its colour. Exact for any number of vertices. Asserts "model" and that
 * every vertex index is in 1..vertexcount. */
void glmMergeVertices(ObjModel* model, float epsilon);

/* ------------------------------------------------------------------------ */
/* Writing                                                                  */
/* ------------------------------------------------------------------------ */

/* Writes the model as OBJ text to `filename` with the output mode `mode`
 * (DRAW_FLAT, DRAW_SMOOTH, DRAW_TEXTURE, DRAW_COLOR, DRAW_MATERIAL); a mode
 * that asks for missing data is corrected with a warning on standard output.
 * Each face is written in the form its triangle's data allows (v, v/t, v//n,
 * v/t/n): a triangle has texture coordinates or vertex normals when all three
 * of its indices of that kind are non-zero, a facet normal when facetnormidx
 * is. Numbers are "%f" text where that reads back as the same float, else the
 * shortest text that does. Groups are written in the order they were made,
 * the reader's own "default" (the first made) without a "g" line. A name
 * that is empty or starts with a blank (space, tab, VT, FF or CR, as the
 * reader's names do) follows the "g" directly, any other after one blank, and
 * one that ends in a carriage return is closed by a NUL byte, so that reading
 * the file gives every group the reader can make back under its own name and
 * writing it again the same text. Vertex colours follow their vertices on
 * "v" lines; an "o" line comes before an object's first face and an "s"
 * line where the smoothing group changes (objects without triangles where
 * they stand); lines follow the faces as "l" lines (segments that continue
 * one another join), then points as "p" lines. Where groups interleave,
 * triangles are written group by group and an object may come back as
 * several runs of its name. With DRAW_MATERIAL a "usemtl" line follows each "g" line
 * and comes wherever a triangle's material changes (and after a group's
 * faces where the group's own material is another). With DRAW_MATERIAL and an mtllib it also writes
 * the MTL library beside it; a library name that is absolute or has a ".."
 * component, or that names the OBJ file itself, is refused. Each file goes to
 * a new temporary file in its directory (created as open(2) creates files,
 * under the umask, which is never changed) that replaces the target only once
 * both files are completely written; a symbolic link is followed (a dangling
 * one creates the file it names). A target that is not a regular file (a
 * device, a pipe, a terminal, /dev/stdout) is opened as its name opens and
 * written once its text is complete. Only an existing file in a directory
 * that refuses new files is written in place, after room for the whole text
 * has been reserved; where no temporary can be made for another reason (a
 * full disk, a quota) the write fails. A target that opening for writing
 * would refuse (such as a write-protected file) is refused. Any failure to
 * create, write or close a file is fatal, with the system's reason; a failure
 * leaves both targets as they were and creates no file. Asserts "model", and
 * before creating any file that every group's triangle and material indices
 * and every index the mode writes are in range. */
void glmWriteOBJ(ObjModel* model, const char* filename, unsigned mode);

/* Writes every material of the model as the MTL library `mtllibname` in the
 * directory of `modelpath` (as glmPathDirectory gives it): colours, Ns, d
 * where the dissolve is not 1, every other field where it is not at its
 * unset value (Ke, illum, Tf, Ni, Pr, Pm, Ps, Pc, Pcr, aniso, anisor), and
 * the map names. Material 0 named "default"
 * is the reader's own: its values go before the first "newmtl", and nothing
 * is written for it while they are the reader's initial ones. Put in place as
 * glmWriteOBJ does; a name that is absolute or has a ".." component and any
 * failure are fatal. Asserts "model". */
void glmWriteMTL(ObjModel* model, const char* modelpath, const char* mtllibname);

/* glmWriteOBJ and glmWriteMTL that never end the program: true once the
 * files are in place; on a failure false, both targets as they were, no
 * temporary left, and `error` (may be null) holding the message the other
 * would print, without its newline (line 0). The mode warnings are given as
 * glmWriteOBJ gives them; a broken model is still an assertion. */
bool glmWriteOBJTo(ObjModel* model, const char* filename, unsigned mode, GLMerror* error);
bool glmWriteMTLTo(ObjModel* model, const char* modelpath, const char* mtllibname, GLMerror* error);

/* ------------------------------------------------------------------------ */
/* Images                                                                   */
/* ------------------------------------------------------------------------ */

/* Reads a raw ("P6") PPM file with maxval 1..255 into a new malloc'd buffer of
 * width x height x 3 bytes, top row first, which the caller frees. Samples are
 * scaled from 0..maxval to 0..255 (rounded; one above maxval counts as
 * maxval), so every image comes back at full range. On any failure
 * (unreadable, not P6, a malformed or truncated header, short pixel data, a
 * width or height below 1, more than 2^31 bytes of pixels, maxval above 255)
 * prints one line naming the file on standard error and returns null; *width
 * and *height are written only on success. The header is "P6" and the three
 * decimal numbers width, height and maxval, separated by whitespace on one
 * line or several; "#" starts a comment that runs to its line end. The
 * pixels follow the one whitespace byte (or CR LF) after maxval. */
unsigned char* glmLoadPPM(const char* filename, int* width, int* height);

/* glmLoadPPM that prints nothing: the pixels (the caller frees them) or null
 * with `error` (may be null) holding the line glmLoadPPM would print, without
 * its newline. An image of more than `maxpixels` pixels (0: no limit but
 * glmLoadPPM's) is refused from its header, before any pixel is read. */
unsigned char* glmLoadPPMFrom(const char* filename, int* width, int* height,
                              unsigned long long maxpixels, GLMerror* error);

/* Writes `pixels` (width x height x 3 bytes of RGB, top row first) as a raw
 * PPM file with maxval 255, the form glmLoadPPM reads back. The file is put
 * in place as glmWriteOBJ puts its files: a failure leaves an existing file
 * as it was. A failure to create or write it is fatal: "glmWritePPM() failed:
 * ..." with the system's reason on standard error. Asserts "filename",
 * "pixels" and a width and height above 0. */
void glmWritePPM(const char* filename, const unsigned char* pixels, int width, int height);

/* glmWritePPM that never ends the program: true once the file is in place,
 * else false with an existing file as it was and `error` (may be null)
 * holding glmWritePPM's message without its newline. Asserts as glmWritePPM. */
bool glmWritePPMTo(const char* filename, const unsigned char* pixels, int width, int height,
                   GLMerror* error);

/* Writes the `size` bytes at `data` to `filename`, put in place as
 * glmWritePPM puts its file (see glmWriteOBJ: replaced only once complete, a
 * link followed, /dev/stdout and its kin written through the descriptor, as
 * it appends): for files a program encodes itself, such as PNG images.
 * Prints nothing: true once in place, else false with an existing file as it
 * was and `error` (may be null) holding "glmWriteFileTo() failed: ..."
 * without its newline. Asserts "filename" and data when size > 0. */
bool glmWriteFileTo(const char* filename, const void* data, unsigned long long size,
                    GLMerror* error);

#ifdef __cplusplus
}
#endif

#if defined(__GNUC__)
#pragma GCC visibility pop
#endif

#endif /* GLM_H */
