// Matrices, CPU meshes, uploads and per-texture batches.
#include "gfx_fixture.h"

namespace {

Vec3 V(float x, float y, float z) { return Vec3{x, y, z}; }

void expect_near(Vec3 a, Vec3 b) {
  EXPECT_NEAR(a.x, b.x, 1e-5f);
  EXPECT_NEAR(a.y, b.y, 1e-5f);
  EXPECT_NEAR(a.z, b.z, 1e-5f);
}

TEST(Matrices, ProductsApplyTheLeftOperandFirst) {
  const float q = 1.5707963f;  // a quarter turn
  // Translate by (1, 2, 3), then turn about y: the origin lands on (1, 2, 3) turned.
  Mat4 m = m4_mul(m4_translate(1, 2, 3), m4_rot_y(q));
  expect_near(m4_xform_point(m, V(0, 0, 0)), V(3, 2, -1));
  // The other order turns first: the translation stays as given.
  expect_near(m4_xform_point(m4_mul(m4_rot_y(q), m4_translate(1, 2, 3)), V(0, 0, 0)), V(1, 2, 3));
  // Storing over an operand gives the same product.
  Mat4 a = m4_translate(1, 2, 3);
  a = m4_mul(a, m4_rot_y(q));
  EXPECT_EQ(memcmp(&a, &m, sizeof a), 0);
  // Directions ignore the translation; points are not divided by w.
  expect_near(m4_xform_dir(m, V(1, 0, 0)), V(0, 0, -1));
  Mat4 p = m4_persp(1.0f, 1.0f, 1.0f, 100.0f);
  expect_near(m4_xform_point(p, V(0, 0, 1)), V(0, 0, 0));
}

TEST(Matrices, RotationsTurnTheAxesLeftHanded) {
  const float q = 1.5707963f;
  expect_near(m4_xform_point(m4_rot_x(q), V(0, 1, 0)), V(0, 0, 1));
  expect_near(m4_xform_point(m4_rot_y(q), V(0, 0, 1)), V(1, 0, 0));
  expect_near(m4_xform_point(m4_rot_z(q), V(1, 0, 0)), V(0, 1, 0));
  expect_near(m4_xform_point(m4_scale(2), V(1, -2, 3)), V(2, -4, 6));
}

TEST(Matrices, LookAtAndPerspective) {
  // A camera at (0, 0, -5) looking at the origin: the origin is 5 units ahead.
  Mat4 v = m4_look_at(V(0, 0, -5), V(0, 0, 0), V(0, 1, 0));
  expect_near(m4_xform_point(v, V(0, 0, 0)), V(0, 0, 5));
  expect_near(m4_xform_point(v, V(1, 2, -5)), V(1, 2, 0));
  // Looking along +x from the origin: +z of the world is to the camera's left.
  Mat4 side = m4_look_at(V(0, 0, 0), V(10, 0, 0), V(0, 1, 0));
  expect_near(m4_xform_point(side, V(0, 0, 1)), V(-1, 0, 0));
  // Eye on the target: zero axes, finite numbers.
  Mat4 z = m4_look_at(V(1, 1, 1), V(1, 1, 1), V(0, 1, 0));
  for (int i = 0; i < 16; i++) EXPECT_EQ((&z.m[0][0])[i], (i == 15) ? 1.0f : 0.0f) << i;

  // Depth maps the near plane to 0 and the far plane to 1 after the divide.
  Mat4 p = m4_persp(1.2f, 4.0f / 3.0f, 0.5f, 400.0f);
  auto depth = [&](float zv) {
    float zc = zv * p.m[2][2] + p.m[3][2], wc = zv * p.m[2][3];
    return zc / wc;
  };
  EXPECT_NEAR(depth(0.5f), 0.0f, 1e-6f);
  EXPECT_NEAR(depth(400.0f), 1.0f, 1e-6f);
  EXPECT_NEAR(p.m[1][1], 1.0f / 0.68413681f, 1e-4f);  // cot(0.6)
  EXPECT_NEAR(p.m[0][0], p.m[1][1] * 0.75f, 1e-5f);
}

TEST(Meshes, GrowthAndQuads) {
  Mesh m;
  mesh_init(&m);
  for (int i = 0; i < 256; i++) EXPECT_EQ(mesh_add_vertex(&m, (float)i, 0, 0, 0, 1, 0, 0xFFFFFFFFu, 0, 0), i);
  EXPECT_EQ(m.capVerts, 256);
  mesh_add_vertex(&m, 256, 0, 0, 0, 1, 0, 0xFFFFFFFFu, 0, 0);
  EXPECT_EQ(m.capVerts, 512);
  EXPECT_EQ(m.verts[100].x, 100.0f) << "growing keeps the vertices";
  while (m.nverts < 513) mesh_add_vertex(&m, 0, 0, 0, 0, 1, 0, 0, 0, 0);
  EXPECT_EQ(m.capVerts, 1024);

  mesh_add_quad(&m, 0, 1, 2, 3);
  ASSERT_EQ(m.nindices, 6);
  EXPECT_EQ(std::vector<uint16_t>(m.indices, m.indices + 6), (std::vector<uint16_t>{0, 1, 2, 0, 2, 3}));
  EXPECT_EQ(m.capIndices, 512);
  while (m.nindices + 3 <= 512) mesh_add_tri(&m, 4, 5, 6);
  EXPECT_EQ(m.capIndices, 512);
  mesh_add_tri(&m, 7, 8, 9);  // indices 511 to 513
  EXPECT_EQ(m.capIndices, 1024);
  EXPECT_EQ(m.indices[510], 7);
  EXPECT_EQ(m.indices[5], 3) << "growing keeps the indices";
  mesh_free(&m);
  EXPECT_EQ(m.verts, nullptr);
  EXPECT_EQ(m.nverts + m.capVerts + m.nindices + m.capIndices, 0);
}

TEST(Meshes, TransformedAppend) {
  Mesh src = {}, dst = {};
  mesh_add_vertex(&src, 1, 0, 0, 0, 2, 0, 0x80FF4020u, 0.25f, 0.5f);
  mesh_add_vertex(&src, 0, 1, 0, 0, 0, 0, 0xFF102030u, 0, 0);
  mesh_add_vertex(&src, 0, 0, 1, 3, 0, 4, 0xFFFFFFFFu, 1, 1);
  mesh_add_tri(&src, 0, 1, 2);
  mesh_add_vertex(&dst, 9, 9, 9, 0, 1, 0, 0, 0, 0);  // indices of the copy start at 1

  Mat4 t = m4_mul(m4_scale(2), m4_translate(10, 0, 0));
  mesh_append_xform(&dst, &src, &t, 0xFFFFFFFFu);
  ASSERT_EQ(dst.nverts, 4);
  EXPECT_EQ(dst.verts[1].x, 12.0f);
  EXPECT_EQ(dst.verts[1].ny, 1.0f) << "normals come out unit length";
  EXPECT_EQ(dst.verts[2].nx + dst.verts[2].ny + dst.verts[2].nz, 0.0f) << "a zero normal stays zero";
  EXPECT_NEAR(dst.verts[3].nx, 0.6f, 1e-6f);
  EXPECT_EQ(dst.verts[1].colour, 0x80FF4020u);
  EXPECT_EQ(dst.verts[1].u, 0.25f);
  EXPECT_EQ(std::vector<uint16_t>(dst.indices, dst.indices + 3), (std::vector<uint16_t>{1, 2, 3}));

  // A mirror swaps the last two corners so front faces stay front faces;
  // a tint scales red, green and blue and keeps alpha.
  Mat4 mirror = m4_identity();
  mirror.m[0][0] = -1;
  mesh_append_xform(&dst, &src, &mirror, 0xFF808080u);
  EXPECT_EQ(std::vector<uint16_t>(dst.indices + 3, dst.indices + 6), (std::vector<uint16_t>{4, 6, 5}));
  EXPECT_EQ(dst.verts[4].colour, 0x80802010u);  // 255*128/255, 64*128/255, 32*128/255 rounded down
  EXPECT_EQ(dst.verts[5].colour, 0xFF081018u);

  // Appending a mesh to itself copies what it held before the call.
  mesh_append_xform(&src, &src, &t, 0xFFFFFFFFu);
  EXPECT_EQ(src.nverts, 6);
  EXPECT_EQ(std::vector<uint16_t>(src.indices, src.indices + 6), (std::vector<uint16_t>{0, 1, 2, 3, 4, 5}));
  mesh_free(&src);
  mesh_free(&dst);
}

Mesh tri_mesh(int quads) {
  Mesh m = {};
  for (int i = 0; i < quads; i++) {
    int a = mesh_add_vertex(&m, 0, 0, 0, 0, 1, 0, 0xFFFFFFFFu, 0, 0);
    mesh_add_vertex(&m, 1, 0, 0, 0, 1, 0, 0xFFFFFFFFu, 1, 0);
    mesh_add_vertex(&m, 1, 0, 1, 0, 1, 0, 0xFFFFFFFFu, 1, 1);
    mesh_add_vertex(&m, 0, 0, 1, 0, 1, 0, 0xFFFFFFFFu, 0, 1);
    mesh_add_quad(&m, a, a + 3, a + 2, a + 1);
  }
  return m;
}

TEST_F(GfxTest, UploadAndCachedBindings) {
  ASSERT_TRUE(start());
  Mesh empty = {}, noIndices = {}, m = tri_mesh(2);
  GpuMesh g = {}, h = {};
  EXPECT_EQ(gpu_upload(&g, &empty), 0);
  mesh_add_vertex(&noIndices, 0, 0, 0, 0, 1, 0, 0, 0, 0);
  EXPECT_EQ(gpu_upload(&g, &noIndices), 0);
  EXPECT_EQ(g.vb, nullptr);
  EXPECT_EQ(g.ib, nullptr);
  ASSERT_EQ(gpu_upload(&g, &m), 1);
  ASSERT_EQ(gpu_upload(&h, &m), 1);
  EXPECT_EQ(g.nverts, 8);
  EXPECT_EQ(g.nindices, 12);
  EXPECT_EQ(m.nverts, 8) << "the CPU mesh is kept";

  // The first draw binds format, stream and indices; a repeat only draws.
  int calls = g_d3dCalls, drawn = draws_indexed();
  gpu_draw(&g);
  EXPECT_EQ(g_d3dCalls - calls, 4);
  calls = g_d3dCalls;
  gpu_draw(&g);
  EXPECT_EQ(g_d3dCalls - calls, 1);
  calls = g_d3dCalls;
  gpu_draw(&h);  // another mesh: stream and indices again
  EXPECT_EQ(g_d3dCalls - calls, 3);
  // A user-pointer draw unbinds stream 0 but not the indices.
  gfx_fvf(FVF_UI);
  UiVertex quad[3] = {};
  gfx_draw_up(D3DPT_TRIANGLELIST, 1, quad, sizeof(UiVertex));
  calls = g_d3dCalls;
  gpu_draw(&h);
  EXPECT_EQ(g_d3dCalls - calls, 3) << "format, stream, draw";
  EXPECT_EQ(draws_indexed() - drawn, 4);

  // A freed mesh draws nothing, and its buffer is no longer taken as bound.
  gpu_free(&h);
  EXPECT_EQ(g_curVB, nullptr);
  calls = g_d3dCalls;
  gpu_draw(&h);
  EXPECT_EQ(g_d3dCalls, calls);
  gpu_free(&g);
  mesh_free(&m);
  mesh_free(&noIndices);
}

TEST_F(GfxTest, BatchesKeepChunksUnder60000Vertices) {
  ASSERT_TRUE(start());
  Texture* road = tex_get("asphalt");
  Texture* grass = tex_get("grass");
  Batch* list = nullptr;

  Mesh piece = tri_mesh(25);  // 100 vertices
  Mat4 id = m4_identity();
  // 59 950 vertices, then 50 more fit; 100 more open a new chunk.
  Mesh* m = batch_get(&list, road, 0, 59950);
  for (int i = 0; i < 599; i++) mesh_append_xform(m, &piece, &id, 0xFFFFFFFFu);
  for (int i = 0; i < 50; i++) mesh_add_vertex(m, 0, 0, 0, 0, 1, 0, 0, 0, 0);
  EXPECT_EQ(m->nverts, 59950);
  EXPECT_EQ(batch_get(&list, road, 0, 50), m);
  Mesh* next = batch_get(&list, road, 0, 100);
  EXPECT_NE(next, m);
  mesh_append_xform(next, &piece, &id, 0xFFFFFFFFu);
  EXPECT_EQ(batch_draw_calls(&list), 2);

  // Other keys get their own batches at the head of the list; empty chunks count.
  batch_get(&list, road, 1, 10);
  mesh_append_xform(batch_get(&list, grass, 0, 100), &piece, &id, 0xFFFFFFFFu);
  EXPECT_EQ(list->tex, grass);
  EXPECT_EQ(batch_draw_calls(&list), 4);

  batch_upload(&list);
  for (Batch* b = list; b; b = b->next)
    for (BatchChunk* c = b->chunks; c; c = c->next) EXPECT_EQ(c->mesh.verts, nullptr) << "CPU arrays freed";

  // Layer 0: grass (newest batch) first, then both road chunks; the empty
  // chunk of layer 1 draws nothing.
  int drawn = draws_indexed();
  batch_draw(&list, 0);
  EXPECT_EQ(draws_indexed() - drawn, 3);
  EXPECT_EQ(g_bound, road) << "the last batch drawn was the road";
  batch_draw(&list, 1);
  EXPECT_EQ(draws_indexed() - drawn, 3);

  batch_free(&list);
  EXPECT_EQ(list, nullptr);
  mesh_free(&piece);
}

}  // namespace
