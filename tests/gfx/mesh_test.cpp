// Matrices, CPU meshes, uploads and per-texture batches.
#include <math.h>

#include "gfx_fixture.h"

namespace {

TEST(Matrices, PointsAndDirectionsMoveAsDescribed) {
  const float q = 1.5707963f;  // a quarter turn
  const Mat4 moveThenTurn = m4_mul(m4_translate(1, 2, 3), m4_rot_y(q));
  Mat4 over = m4_translate(1, 2, 3);
  over = m4_mul(over, m4_rot_y(q));  // stored over an operand
  const struct {
    Mat4 m;
    Vec3 in, out;
    bool dir = false;
  } cases[] = {
      // Left-handed turns, uniform scale.
      {m4_rot_x(q), {0, 1, 0}, {0, 0, 1}}, {m4_rot_y(q), {0, 0, 1}, {1, 0, 0}}, {m4_rot_z(q), {1, 0, 0}, {0, 1, 0}},
      {m4_scale(2), {1, -2, 3}, {2, -4, 6}},
      // A x B applies A first: moved to (1, 2, 3), then turned about y; directions ignore the move.
      {moveThenTurn, {0, 0, 0}, {3, 2, -1}}, {over, {0, 0, 0}, {3, 2, -1}},
      {m4_mul(m4_rot_y(q), m4_translate(1, 2, 3)), {0, 0, 0}, {1, 2, 3}}, {moveThenTurn, {1, 0, 0}, {0, 0, -1}, true},
      // A camera at (0, 0, -5) looking at the origin; one at the origin looking
      // along +x has world +z to its left.
      {m4_look_at({0, 0, -5}, {0, 0, 0}, {0, 1, 0}), {1, 2, -5}, {1, 2, 0}},
      {m4_look_at({0, 0, 0}, {10, 0, 0}, {0, 1, 0}), {0, 0, 1}, {-1, 0, 0}},
  };
  for (const auto& c : cases) {
    Vec3 v = c.dir ? m4_xform_dir(c.m, c.in) : m4_xform_point(c.m, c.in);
    EXPECT_LT(fabsf(v.x - c.out.x) + fabsf(v.y - c.out.y) + fabsf(v.z - c.out.z), 1e-5f)
        << &c - cases << ": " << v.x << "," << v.y << "," << v.z;
  }
  // Eye on the target: zero axes, finite numbers.
  Mat4 z = m4_look_at(Vec3{1, 1, 1}, Vec3{1, 1, 1}, Vec3{0, 1, 0});
  for (int i = 0; i < 16; i++) EXPECT_EQ((&z.m[0][0])[i], (i == 15) ? 1.0f : 0.0f) << i;
  // Depth maps the near plane to 0 and the far plane to 1 after the divide.
  Mat4 p = m4_persp(1.2f, 4.0f / 3.0f, 0.5f, 400.0f);
  for (float d : {0.5f, 400.0f}) EXPECT_NEAR((d * p.m[2][2] + p.m[3][2]) / (d * p.m[2][3]), d < 1 ? 0 : 1, 1e-6f);
  EXPECT_NEAR(p.m[1][1], 1.0f / 0.68413681f, 1e-4f);  // cot(0.6)
  EXPECT_NEAR(p.m[0][0], p.m[1][1] * 0.75f, 1e-5f);
}

TEST(Meshes, GrowthKeepsVerticesAndIndices) {
  Mesh m;
  mesh_init(&m);
  for (int i = 0; i < 513; i++) ASSERT_EQ(mesh_add_vertex(&m, (float)i, 0, 0, 0, 1, 0, 0xFFFFFFFFu, 0, 0), i);
  for (int i = 0; i < 513; i++) ASSERT_EQ(m.verts[i].x, (float)i);
  mesh_add_quad(&m, 0, 1, 2, 3);
  while (m.nindices < 513) mesh_add_tri(&m, 7, 8, 9);
  EXPECT_EQ(std::vector<uint16_t>(m.indices, m.indices + 9), (std::vector<uint16_t>{0, 1, 2, 0, 2, 3, 7, 8, 9}));
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
  const Vertex& v = dst.verts[1];
  EXPECT_EQ(std::vector<float>({v.x, v.ny, v.u, v.v}), std::vector<float>({12, 1, 0.25f, 0.5f}));  // unit normal
  EXPECT_EQ(v.colour, 0x80FF4020u);
  EXPECT_EQ(dst.verts[2].nx + dst.verts[2].ny + dst.verts[2].nz, 0.0f) << "a zero normal stays zero";
  EXPECT_NEAR(dst.verts[3].nx, 0.6f, 1e-6f);
  EXPECT_EQ(std::vector<uint16_t>(dst.indices, dst.indices + 3), (std::vector<uint16_t>{1, 2, 3}));
  // A mirror swaps the last two corners so front faces stay front faces;
  // a tint scales red, green and blue (rounding down) and keeps alpha.
  Mat4 mirror = m4_identity();
  mirror.m[0][0] = -1;
  mesh_append_xform(&dst, &src, &mirror, 0xFF808080u);
  EXPECT_EQ(std::vector<uint16_t>(dst.indices + 3, dst.indices + 6), (std::vector<uint16_t>{4, 6, 5}));
  EXPECT_EQ(dst.verts[4].colour, 0x80802010u);
  EXPECT_EQ(dst.verts[5].colour, 0xFF081018u);
  // Appending a mesh to itself copies what it held before the call.
  mesh_append_xform(&src, &src, &t, 0xFFFFFFFFu);
  EXPECT_EQ(std::vector<uint16_t>(src.indices, src.indices + src.nindices), (std::vector<uint16_t>{0, 1, 2, 3, 4, 5}));
  mesh_free(&src);
  mesh_free(&dst);
}

// `quads` unit squares on the ground, facing up.
Mesh quad_mesh(int quads) {
  Mesh m = {};
  for (int i = 0; i < quads; i++) {
    for (int k = 0; k < 4; k++) mesh_add_vertex(&m, k == 1 || k == 2, 0, k >= 2, 0, 1, 0, 0xFFFFFFFFu, 0, 0);
    mesh_add_quad(&m, 4 * i, 4 * i + 3, 4 * i + 2, 4 * i + 1);
  }
  return m;
}

TEST_F(GfxTest, UploadAndCachedBindings) {
  ASSERT_TRUE(start());
  Mesh empty = {}, noIndices = quad_mesh(1), m = quad_mesh(2);
  noIndices.nindices = 0;
  GpuMesh g, h;
  // Nothing to upload, or a buffer refused: no buffers, nothing drawn.
  for (int k = 0; k < 4; k++) {
    g_softHooks.failVertexBuffer = k == 2;
    g_softHooks.failIndexBuffer = k == 3;
    memset(&g, 0xAB, sizeof g);
    EXPECT_EQ(gpu_upload(&g, k == 0 ? &empty : k == 1 ? &noIndices : &m), 0) << k;
    GpuMesh none = {};
    EXPECT_EQ(memcmp(&g, &none, sizeof g), 0) << k;
    EXPECT_EQ(draws([&] { gpu_draw(&g); }), 0);
  }
  hooks_reset();
  ASSERT_EQ(gpu_upload(&g, &m), 1);
  ASSERT_EQ(gpu_upload(&h, &m), 1);
  EXPECT_EQ(std::make_pair(g.nverts, g.nindices), std::make_pair(8, 12));
  EXPECT_EQ(m.nverts, 8) << "the CPU mesh is kept";
  // The first draw binds format, stream and indices; a repeat only draws;
  // another mesh binds its stream and indices.
  EXPECT_EQ(calls([&] { gpu_draw(&g); }), 4);
  EXPECT_EQ(calls([&] { gpu_draw(&g); }), 1);
  EXPECT_EQ(calls([&] { gpu_draw(&h); }), 3);
  gfx_state_reset();
  EXPECT_EQ(calls([&] { gpu_draw(&h); }), 4) << "a reset forgets the bindings";
  // A user-pointer draw unbinds stream 0 but not the indices.
  UiVertex tri[3] = {};
  gfx_fvf(FVF_UI);
  gfx_draw_up(D3DPT_TRIANGLELIST, 1, tri, sizeof(UiVertex));
  EXPECT_EQ(calls([&] { gpu_draw(&h); }), 3) << "format, stream, draw";
  // A freed mesh draws nothing, and its buffers are no longer taken as bound.
  gpu_free(&h);
  EXPECT_TRUE(g_curVB == nullptr && g_curIB == nullptr);
  EXPECT_EQ(calls([&] { gpu_draw(&h); }), 0);
  gpu_free(&g);
  mesh_free(&m);
  mesh_free(&noIndices);
}

TEST_F(GfxTest, BatchesKeepChunksUnder60000Vertices) {
  ASSERT_TRUE(start());
  Texture *road = tex_get("asphalt"), *grass = tex_get("grass");
  Batch* list = nullptr;
  Mesh piece = quad_mesh(25);  // 100 vertices
  Mat4 id = m4_identity();
  // 59 950 vertices, then 50 more fit; 100 more open a new chunk.
  Mesh* m = batch_get(&list, road, 0, 59950);
  for (int i = 0; i < 599; i++) mesh_append_xform(m, &piece, &id, 0xFFFFFFFFu);
  for (int i = 0; i < 50; i++) mesh_add_vertex(m, 0, 0, 0, 0, 1, 0, 0, 0, 0);
  EXPECT_EQ(batch_get(&list, road, 0, 50), m);
  Mesh* next = batch_get(&list, road, 0, 100);
  EXPECT_NE(next, m);
  mesh_append_xform(next, &piece, &id, 0xFFFFFFFFu);
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
  EXPECT_EQ(draws([&] { batch_draw(&list, 0); }), 3);
  EXPECT_EQ(g_bound, road) << "the last batch drawn was the road";
  EXPECT_EQ(draws([&] { batch_draw(&list, 1); }), 0);
  batch_free(&list);
  EXPECT_EQ(list, nullptr);
  mesh_free(&piece);
}

}  // namespace
