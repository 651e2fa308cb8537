// Fuzz target for the PPM reader: the input is the image file.
#include <cstdint>
#include <cstdlib>

#include "fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string path = fuzz::writeScratch("image.ppm", data, size);
  int width = -1, height = -1;
  unsigned char* pixels = glmLoadPPM(path.c_str(), &width, &height);
  if (pixels) {
    FUZZ_CHECK(width > 0 && height > 0);
    std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3;
    FUZZ_CHECK(bytes <= size);  // every pixel byte came from the file
    // Touch both ends so AddressSanitizer sees a buffer shorter than promised.
    volatile unsigned char sum = static_cast<unsigned char>(pixels[0] + pixels[bytes - 1]);
    (void)sum;
    std::free(pixels);
  } else {
    FUZZ_CHECK(width == -1 && height == -1);  // written only on success
  }
  unlink(path.c_str());
  return 0;
}
