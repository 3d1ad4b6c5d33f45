// The art pack: textures and models for every name the built-in circuits,
// the cars and the title screen ask for, drawn and built in code, written as
// the BMP and SKM files the game reads from its data folder.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "gfx/gfx.h"

struct PackImage {
  int w = 0, h = 0;
  std::vector<uint32_t> px;  // A8R8G8B8, top row first
  PackImage() = default;
  PackImage(int nw, int nh, uint32_t fill = 0xFF000000u) : w(nw), h(nh), px((size_t)nw * nh, fill) {}
  uint32_t& at(int x, int y) { return px[(size_t)y * w + x]; }
  void set(int x, int y, uint32_t c) {
    if (x >= 0 && y >= 0 && x < w && y < h) px[(size_t)y * w + x] = c;
  }
  void rect(int x, int y, int rw, int rh, uint32_t c) {
    for (int j = 0; j < rh; j++)
      for (int i = 0; i < rw; i++) set(x + i, y + j, c);
  }
};

// What the game asks for by name.
struct PackNames {
  std::vector<std::string> textures;  // file names as the circuits write them ("road_city.bmp")
  std::vector<std::string> models;    // base names ("lamp_post", "car_wedge_2")
};

// One file of the pack: its path below the pack folder ("data/textures/x.bmp").
struct PackFile {
  std::string path;
  std::vector<uint8_t> bytes;
};

// Names the built-in circuits (read by the track loader), the cars and the
// title screen ask for. Needs the device (pack_device_open) for the loads.
PackNames pack_names();
// Every file of the pack, in a fixed order. Fails (empty, message on
// stderr) when a name has neither a design nor a reason to stay generated.
std::vector<PackFile> pack_build();

// FNV-1a (64-bit) over every file's path and bytes, in order.
uint64_t pack_hash(const std::vector<PackFile>& files);

// Names whose generated look is the one intended; the pack leaves them out.
bool pack_keeps_generated(const std::string& base);

// File encodings the game reads back: 24-bit bottom-up BMP (exact magenta is
// the see-through key), SKM1 model.
std::vector<uint8_t> pack_bmp(const PackImage& img);
std::vector<uint8_t> pack_skm(const Mesh& m, const char* texture);

// The software device standing in for d3d9.dll, for tools that load circuits
// or draw. 1 = ready.
int pack_device_open();
void pack_device_close();

// ---- designs (art_textures.cpp, art_models.cpp) --------------------------------------------
// Fills img for a texture file name of the pack; false when it has no design.
// Circuit pictures (thumbnails) read the circuit loaded in g_track.
bool art_texture(const std::string& base, PackImage* img);
// Builds a model of the pack into m and names its texture (a file of the
// pack, or "" for plain vertex colours); false when it has no design.
bool art_model(const std::string& base, Mesh* m, std::string* texture);
// The glow companion a model gets ("lamp_post_glow", "car_wedge_glow"), or "".
std::string art_glow_of(const std::string& base);
