// Drawing the loaded track: background ring, layers, glow and minimap.
#include "track/track.h"

void track_draw_background(float, float, float) {}
void track_draw() {}
void track_draw_glow() {}
void track_minimap(float, float, float, float, uint32_t, int) {}
