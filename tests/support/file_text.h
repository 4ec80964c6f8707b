#pragma once
// The whole content of a file as text ("" when it cannot be read), for tests that check what
// the program wrote.
#include <fstream>
#include <sstream>
#include <string>

inline std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}
