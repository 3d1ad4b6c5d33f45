// The texture table: lookup order, files under data\textures and data\ui,
// generated fallbacks, caches and log lines (no device).
#include <algorithm>

#include "assets_test_util.h"

namespace {

class Textures : public AssetsTest {
 protected:
  void put(const std::string& folder, const std::string& name, const std::string& data) {
    mkdirs("data/" + folder);
    spit("data/" + folder + "/" + name, data);
  }
};

TEST_F(Textures, MissingFilesGiveGeneratedTexturesSilently) {
  Texture* grass = tex_get("grass.bmp");
  EXPECT_STREQ(grass->name, "grass");
  EXPECT_EQ(grass->generated, 1);
  EXPECT_EQ(grass->w, 64);
  EXPECT_EQ(grass->h, 64);
  EXPECT_EQ(grass->tex, nullptr);  // no device
  EXPECT_EQ(tex_get("grass"), grass);
  EXPECT_EQ(tex_get("GRASS.BMP"), grass);
  EXPECT_EQ(tex_procedural("Grass"), grass);
  EXPECT_EQ(grass->next, nullptr);  // made once

  Texture* white = tex_get(nullptr);
  EXPECT_STREQ(white->name, "white");
  EXPECT_EQ(tex_get(""), white);
  EXPECT_EQ(white->w, 8);

  EXPECT_EQ(g_textures, white);  // newest first
  EXPECT_EQ(white->next, grass);
  EXPECT_EQ(log(), "");
}

TEST_F(Textures, FilesReplaceGeneratedTextures) {
  put("textures", "grass.bmp", bmp_data("rgb24_5x3.bmp"));
  Texture* t = tex_get("grass.bmp");
  EXPECT_STREQ(t->name, "grass.bmp");  // registered under the name asked for
  EXPECT_EQ(t->generated, 0);
  EXPECT_EQ(t->w, 5);
  EXPECT_EQ(t->h, 3);
  EXPECT_EQ(tex_get("Grass.BMP"), t);
  EXPECT_EQ(log(), "texture grass.bmp 5x3\r\n");  // read once
  // The generated texture of the base name is a different record.
  Texture* gen = tex_procedural("grass");
  EXPECT_NE(gen, t);
  EXPECT_EQ(gen->generated, 1);

  // data\ui is the second place looked in; data\textures wins when both exist.
  put("ui", "logo.bmp", bmp_data("argb32_3x2.bmp"));
  Texture* logo = tex_get("logo.bmp");
  EXPECT_EQ(logo->generated, 0);
  EXPECT_EQ(logo->w, 3);
  put("ui", "both.bmp", bmp_data("argb32_3x2.bmp"));
  put("textures", "both.bmp", bmp_data("rgb24_5x3.bmp"));
  EXPECT_EQ(tex_get("both.bmp")->w, 5);
}

TEST_F(Textures, UnusableFilesAreLoggedAndGenerated) {
  put("textures", "sand.bmp", bmp_data("pal8_4x32.bmp"));
  put("ui", "title.bmp", bmp_data("rgb24_4096x1.bmp"));
  std::string cut = bmp_data("rgb24_5x3.bmp");
  cut.pop_back();
  put("textures", "kerb.bmp", cut);
  put("textures", "noise.bmp", "");

  static const char kSand[] = "sand.bmp";
  Texture* sand = tex_get(kSand);
  EXPECT_STREQ(sand->name, "sand");
  EXPECT_EQ(sand->generated, 1);
  EXPECT_EQ(sand->w, 64);
  Texture* title = tex_get("title.bmp");
  EXPECT_EQ(title->generated, 1);
  EXPECT_STREQ(title->name, "title");
  EXPECT_EQ(tex_get("kerb.bmp")->w, 16);
  EXPECT_EQ(tex_get("noise.bmp")->generated, 1);
  EXPECT_EQ(log(),
            "texture sand.bmp: unsupported BMP\r\n"
            "texture title.bmp: unsupported BMP\r\n"
            "texture kerb.bmp: unsupported BMP\r\n"
            "texture noise.bmp: unsupported BMP\r\n");

  // Asked for again and again (every frame, or from other buffers): the
  // file is not read again and the problem is not logged again.
  for (int i = 0; i < 100; i++) EXPECT_EQ(tex_get(kSand), sand);
  std::string again = "SAND.BMP";
  EXPECT_EQ(tex_get(again.c_str()), sand);
  put("textures", "sand.bmp", bmp_data("rgb24_5x3.bmp"));  // not looked at again during the run
  EXPECT_EQ(tex_get(kSand), sand);
  std::string after = log();
  EXPECT_EQ(std::count(after.begin(), after.end(), '\n'), 4);
}

TEST_F(Textures, CachesConfirmTheName) {
  // One buffer holding different names in turn: the address alone must not
  // answer.
  char name[48] = "checker";
  Texture* checker = tex_get(name);
  EXPECT_EQ(tex_get(name), checker);
  strcpy(name, "kerb");
  Texture* kerb = tex_get(name);
  EXPECT_NE(kerb, checker);
  EXPECT_STREQ(kerb->name, "kerb");
  strcpy(name, "CHECKER.bmp");
  EXPECT_EQ(tex_procedural(name), checker);
  strcpy(name, "glow");
  EXPECT_STREQ(tex_procedural(name)->name, "glow");

  // A name longer than a record holds still finds the texture it made.
  std::string longName(70, 'z');
  Texture* z = tex_get(longName.c_str());
  EXPECT_EQ(strlen(z->name), 47u);
  EXPECT_EQ(tex_get(longName.c_str()), z);
  std::string copy = longName;
  EXPECT_EQ(tex_procedural(copy.c_str()), z);
}

TEST_F(Textures, InitMakesWhiteAndFont) {
  assets_init();
  ASSERT_NE(g_textures, nullptr);
  EXPECT_STREQ(g_textures->name, "font");
  EXPECT_EQ(g_textures->w, 128);
  EXPECT_EQ(g_textures->h, 64);
  ASSERT_NE(g_textures->next, nullptr);
  EXPECT_STREQ(g_textures->next->name, "white");
  EXPECT_EQ(g_textures->next->next, nullptr);
}

}  // namespace
