// SPDX-FileCopyrightText: 2026 The rgb authors
// SPDX-License-Identifier: MIT
// An outside program using the installed library from C++.
#include <rgb/rgb.h>

#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::vector<unsigned char> pixels{9, 8, 7, 6, 5, 4, 3, 2, 1};
  if (writeRGBFile(argv[1], pixels.data(), 3, 1, 1) != 1) return 1;
  unsigned char* images = nullptr;
  int width = 0;
  int height = 0;
  const bool ok = readRGBFile(argv[1], &images, &width, &height) == 1 && width == 3 &&
                  std::vector<unsigned char>(images, images + 9) == pixels;
  std::free(images);
  return ok ? 0 : 1;
}
