#pragma once
// The sample photograph of the assets, which many end-to-end cases send.
#include <string>

inline const std::string kSample = std::string(PELIMO_SOURCE_DIR) + "/assets/sample-640x480.jpg";
