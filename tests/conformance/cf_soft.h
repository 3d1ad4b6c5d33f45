// The conformance scenes on the software device, opened the way the game
// opens a device.
#pragma once

#include <map>
#include <string>

#include "cf_facts.h"
#include "cf_scene.h"

// Every scene on a fresh device: the pictures, and a reason for each scene
// that could not be drawn (all of them when the device would not open).
struct CfSoftPictures {
  std::map<std::string, CfPic> pics;
  std::map<std::string, std::string> errors;
};
void cf_soft_render_all(CfSoftPictures* out);
