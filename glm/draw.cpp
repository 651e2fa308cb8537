// Rendering in OpenGL 1.1 immediate mode: one GL call per attribute per
// corner, one group after another.
#include <cstdio>

#include <GL/gl.h>

#include "glm_internal.h"

using namespace glm_internal;

namespace {

const char* const kDrawWarnings[7] = {
    "glmDraw() warning: flat render mode requested with no facet normals defined.\n",
    "glmDraw() warning: smooth render mode requested with no normals defined.\n",
    "glmDraw() warning: texture render mode requested with no texture coordinates defined.\n",
    "glmDraw() warning: flat render mode requested and smooth render mode requested "
    "(using smooth).\n",
    "glmDraw() warning: color render mode requested with no materials defined.\n",
    "glmDraw() warning: material render mode requested with no materials defined.\n",
    "glmDraw() warning: color and material render mode requested using only material mode.\n",
};
const char* const kVertexColorWarning =
    "glmDraw() warning: vertex color render mode requested with no vertex colors defined.\n";

void drawTriangle(const ObjModel* model, const ObjTriangle& t, unsigned mode) {
  if (mode & DRAW_OUTLINE) glBegin(GL_LINE_LOOP);
  if (mode & DRAW_FLAT) glNormal3fv(&model->facetnorms[3 * t.facetnormidx]);
  for (int k = 0; k < 3; k++) {
    if (mode & DRAW_SMOOTH) glNormal3fv(&model->normals[3 * t.normalidx[k]]);
    if (mode & DRAW_TEXTURE) glTexCoord2fv(&model->texcoords[2 * t.texcoordidx[k]]);
    if (mode & DRAW_VERTEXCOLOR) glColor3fv(&model->colors[3 * t.vertexidx[k]]);
    glVertex3fv(&model->vertices[3 * t.vertexidx[k]]);
  }
  if (mode & DRAW_OUTLINE) glEnd();
}

// Sets material `index` as the mode asks; an index past the array (set by
// hand) falls back to material 0.
void applyMaterial(const ObjModel* model, unsigned index, unsigned mode) {
  const ObjMaterial* material = &model->materials[index < model->materialcount ? index : 0];
  if (mode & DRAW_MATERIAL) {
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, material->ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, material->diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, material->specular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, material->shininess);
  }
  if (mode & DRAW_COLOR) glColor3fv(material->diffuse);
}

// A vertex of a line or a point, in its colour where the mode asks.
void lineVertex(const ObjModel* model, unsigned vertex, unsigned texcoord, unsigned mode) {
  if ((mode & DRAW_TEXTURE) && texcoord) glTexCoord2fv(&model->texcoords[2 * texcoord]);
  if (mode & DRAW_VERTEXCOLOR) glColor3fv(&model->colors[3 * vertex]);
  glVertex3fv(&model->vertices[3 * vertex]);
}

// Lines and points have no normals to light them by: they are drawn unlit,
// in their material's diffuse colour (or their vertices' colours).
void drawLinesAndPoints(const ObjModel* model, unsigned mode) {
  glPushAttrib(GL_ENABLE_BIT);
  glDisable(GL_LIGHTING);
  const bool coloured = (mode & (DRAW_COLOR | DRAW_MATERIAL)) != 0;
  if (model->linecount) {
    unsigned current = model->lines[0].material;
    if (coloured) applyMaterial(model, current, DRAW_COLOR);
    glBegin(GL_LINES);
    for (unsigned i = 0; i < model->linecount; i++) {
      const ObjLine& line = model->lines[i];
      if (coloured && line.material != current) {
        glEnd();
        applyMaterial(model, current = line.material, DRAW_COLOR);
        glBegin(GL_LINES);
      }
      for (int k = 0; k < 2; k++) lineVertex(model, line.vertexidx[k], line.texcoordidx[k], mode);
    }
    glEnd();
  }
  if (model->pointcount) {
    glBegin(GL_POINTS);
    for (unsigned i = 0; i < model->pointcount; i++) lineVertex(model, model->points[i], 0, mode);
    glEnd();
  }
  glPopAttrib();
}

}  // namespace

void glmDraw(ObjModel* model, unsigned mode) {
  GLM_ASSERT(model);
  GLM_ASSERT(model->vertices);
  mode = glmCorrectVertexColor(model, glmCorrectMode(model, mode, kDrawWarnings), kVertexColorWarning);

  // Vertex colours are seen lit only where the material follows them.
  if (mode & (DRAW_COLOR | DRAW_VERTEXCOLOR))
    glEnable(GL_COLOR_MATERIAL);
  else if (mode & DRAW_MATERIAL)
    glDisable(GL_COLOR_MATERIAL);

  // Both colour modes have been cleared above when there are no materials.
  const bool coloured = (mode & (DRAW_COLOR | DRAW_MATERIAL)) != 0;
  for (const ObjGroup* group = model->groups; group; group = group->next) {
    // A group starts in its first triangle's material (its own when it has
    // none) and changes only where a triangle's material does.
    unsigned current =
        group->trianglecount > 0 ? model->triangles[group->triangles[0]].material : group->material;
    if (coloured) applyMaterial(model, current, mode);
    if (!(mode & DRAW_OUTLINE)) glBegin(GL_TRIANGLES);
    for (unsigned i = 0; i < group->trianglecount; i++) {
      const ObjTriangle& t = model->triangles[group->triangles[i]];
      if (coloured && t.material != current) applyMaterial(model, current = t.material, mode);
      drawTriangle(model, t, mode);
    }
    if (!(mode & DRAW_OUTLINE)) glEnd();
  }
  if (model->linecount || model->pointcount) drawLinesAndPoints(model, mode);
}

unsigned glmCompileDisplayList(ObjModel* model, unsigned mode) {
  GLuint list = glGenLists(1);
  glNewList(list, GL_COMPILE);
  glmDraw(model, mode);
  glEndList();
  return list;
}
