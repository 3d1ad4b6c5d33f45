// 4 x 4 matrices for row vectors (p' = p x M), left-handed, as the device takes them.
#include "gfx/gfx.h"

Mat4 m4_identity() {
  Mat4 r;
  memset(&r, 0, sizeof r);
  r.m[0][0] = r.m[1][1] = r.m[2][2] = r.m[3][3] = 1.0f;
  return r;
}

Mat4 m4_mul(const Mat4& a, const Mat4& b) {
  Mat4 r;  // a temporary, so the result may be stored over either operand
  for (int i = 0; i < 4; i++) {
    for (int j = 0; j < 4; j++) {
      r.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] + a.m[i][3] * b.m[3][j];
    }
  }
  return r;
}

Mat4 m4_translate(float x, float y, float z) {
  Mat4 r = m4_identity();
  r.m[3][0] = x;
  r.m[3][1] = y;
  r.m[3][2] = z;
  return r;
}

Mat4 m4_scale(float s) {
  Mat4 r = m4_identity();
  r.m[0][0] = r.m[1][1] = r.m[2][2] = s;
  return r;
}

// A turn by a in the plane of axes i and j, taking axis i towards axis j.
static Mat4 plane_turn(float a, int i, int j) {
  Mat4 r = m4_identity();
  float c = f_cos(a), s = f_sin(a);
  r.m[i][i] = c;
  r.m[i][j] = s;
  r.m[j][i] = -s;
  r.m[j][j] = c;
  return r;
}

Mat4 m4_rot_x(float a) { return plane_turn(a, 1, 2); }
Mat4 m4_rot_y(float a) { return plane_turn(a, 2, 0); }
Mat4 m4_rot_z(float a) { return plane_turn(a, 0, 1); }

static Vec3 normalised(Vec3 v) {
  float len = f_sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  if (len <= 0.000001f) return Vec3{0.0f, 0.0f, 0.0f};
  return Vec3{v.x / len, v.y / len, v.z / len};
}

static Vec3 cross(Vec3 a, Vec3 b) {
  return Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

static float dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Mat4 m4_look_at(Vec3 eye, Vec3 at, Vec3 up) {
  Vec3 z = normalised(Vec3{at.x - eye.x, at.y - eye.y, at.z - eye.z});
  Vec3 x = normalised(cross(up, z));
  Vec3 y = cross(z, x);
  Mat4 r;
  r.m[0][0] = x.x, r.m[0][1] = y.x, r.m[0][2] = z.x, r.m[0][3] = 0.0f;
  r.m[1][0] = x.y, r.m[1][1] = y.y, r.m[1][2] = z.y, r.m[1][3] = 0.0f;
  r.m[2][0] = x.z, r.m[2][1] = y.z, r.m[2][2] = z.z, r.m[2][3] = 0.0f;
  r.m[3][0] = -dot(x, eye), r.m[3][1] = -dot(y, eye), r.m[3][2] = -dot(z, eye), r.m[3][3] = 1.0f;
  return r;
}

Mat4 m4_persp(float fovy, float aspect, float zn, float zf) {
  Mat4 r;
  memset(&r, 0, sizeof r);
  float c = f_cos(fovy * 0.5f) / f_sin(fovy * 0.5f);
  r.m[0][0] = c / aspect;
  r.m[1][1] = c;
  r.m[2][2] = zf / (zf - zn);
  r.m[2][3] = 1.0f;
  r.m[3][2] = -zn * zf / (zf - zn);
  return r;
}

Vec3 m4_xform_point(const Mat4& m, Vec3 v) {
  return Vec3{v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0] + m.m[3][0],
              v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1] + m.m[3][1],
              v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2] + m.m[3][2]};
}

Vec3 m4_xform_dir(const Mat4& m, Vec3 v) {
  return Vec3{v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0],
              v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1],
              v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2]};
}
