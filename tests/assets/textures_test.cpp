// The texture table without a device: lookup order, files under
// data\textures and data\ui, generated fallbacks, caches and log lines.
#include <algorithm>

#include "assets_test_util.h"

namespace {

using Textures = AssetsTest;

TEST_F(Textures, MissingFilesGiveGeneratedTexturesSilently) {
  Texture* grass = tex_get("grass.bmp");
  EXPECT_STREQ(grass->name, "grass");
  EXPECT_EQ(grass->generated * 1000 + grass->w, 1064);
  EXPECT_EQ(grass->tex, nullptr);  // no device
  EXPECT_TRUE(tex_get("GRASS") == grass && tex_procedural("Grass.bmp") == grass);
  Texture* white = tex_get(nullptr);
  EXPECT_STREQ(white->name, "white");
  EXPECT_EQ(tex_get(""), white);
  assets_init();
  EXPECT_STREQ(g_textures->name, "font");
  EXPECT_EQ(g_textures->w * 1000 + g_textures->h, 128064);
  EXPECT_TRUE(g_textures->next == white && white->next == grass && !grass->next) << "newest first, each made once";
  EXPECT_EQ(log(), "");
}

TEST_F(Textures, FilesReplaceGeneratedTextures) {
  put("textures/grass.bmp", bmp_data("rgb24_5x3.bmp"));
  Texture* t = tex_get("grass.bmp");
  EXPECT_STREQ(t->name, "grass.bmp");  // registered under the name asked for
  EXPECT_EQ(t->generated * 1000 + t->w * 10 + t->h, 53);
  EXPECT_EQ(tex_get("Grass.BMP"), t);
  EXPECT_NE(tex_procedural("grass"), t);  // the generated one is another record
  put("ui/logo.bmp", bmp_data("argb32_3x2.bmp"));  // data\ui is looked in second
  EXPECT_EQ(tex_get("logo.bmp")->w, 3);
  put("ui/both.bmp", bmp_data("argb32_3x2.bmp"));
  put("textures/both.bmp", bmp_data("rgb24_5x3.bmp"));
  EXPECT_EQ(tex_get("both.bmp")->w, 5);
  EXPECT_EQ(log(), "texture grass.bmp 5x3\r\ntexture logo.bmp 3x2\r\ntexture both.bmp 5x3\r\n");
}

TEST_F(Textures, UnusableFilesAreLoggedOnceAndGenerated) {
  put("textures/sand.bmp", bmp_data("pal8_4x32.bmp"));
  put("ui/title.bmp", bmp_data("rgb24_4096x1.bmp"));
  put("textures/kerb.bmp", bmp_data("rgb24_5x3.bmp").substr(0, 101));  // cut one byte short
  put("textures/noise.bmp", "");
  static const char kSand[] = "sand.bmp";
  Texture* sand = tex_get(kSand);
  EXPECT_EQ(sand, tex_procedural("sand"));
  EXPECT_EQ(tex_get("title.bmp")->generated, 1);
  EXPECT_EQ(tex_get("kerb.bmp")->w, 16);
  EXPECT_EQ(tex_get("noise.bmp")->generated, 1);
  // Asked for again every frame, or from another buffer: not read or logged again.
  for (int i = 0; i < 100; i++) EXPECT_EQ(tex_get(kSand), sand);
  EXPECT_EQ(tex_get(std::string(kSand).c_str()), sand);
  EXPECT_EQ(log(), "texture sand.bmp: unsupported BMP\r\ntexture title.bmp: unsupported BMP\r\n"
                   "texture kerb.bmp: unsupported BMP\r\ntexture noise.bmp: unsupported BMP\r\n");
}

TEST_F(Textures, CachesConfirmTheName) {
  char name[48] = "checker";  // one buffer holding different names in turn
  Texture* checker = tex_get(name);
  EXPECT_EQ(tex_get(name), checker);
  strcpy(name, "kerb");
  EXPECT_STREQ(tex_get(name)->name, "kerb");
  strcpy(name, "CHECKER.bmp");
  EXPECT_EQ(tex_procedural(name), checker);
  strcpy(name, "glow");
  EXPECT_STREQ(tex_procedural(name)->name, "glow");
  std::string longName(70, 'z');  // longer than a record holds: still found again, from another buffer too
  Texture* z = tex_get(longName.c_str());
  EXPECT_EQ(std::string(z->name), longName.substr(0, 47));
  EXPECT_EQ(tex_get(std::string(longName).c_str()), z);
  EXPECT_EQ(z->next->next->next, checker);
}

}  // namespace
