// A game frame drawn through the game's own graphics layer and assets
// (device start-up, batches, models, effect quads, the 2D layer and the
// screenshot), for comparing the layer on the real Direct3D 9 with the layer
// on the software device. (The presented back buffer cannot be compared:
// Wine discards it at Present; the magnification is compared at device
// level by the magnify scenes.)
#pragma once

// The picture it writes into the folder: the screenshot as gfx_save_shot
// makes it for a requested display size, bars included.
#define CF_LAYER_SHOT "layer_shot.bmp"

enum { CF_LAYER_W = 1024, CF_LAYER_H = 768 };  // the display size asked for

// Starts the graphics layer on the window (null on Linux), draws the frame,
// writes the picture into dir (ending with the path separator) and shuts the
// layer down. 1 on success, otherwise 0 with a reason in err.
int cf_layer_run(void* window, const char* dir, char* err, int cap);
