#pragma once
// The waterfall's four colour scales: a level position p = 10 x level - 1000 becomes a colour
// running from black (100 dB) to white (253 dB).
#include "imaging/picture.h"

enum ColourScale { kMonochrome = 0, kBlueScale = 1, kGoldScale = 2, kFullColour = 3 };

// The colour of position p under `scale` (the ColorType setting); a scale number outside
// 0..3 draws as "Blue", the setting's default.
Colour levelColour(double p, int scale);
