// Screenshots as PNG files, free of GL so they can be tested without a window.
#ifndef OBJVIEW_SCREENSHOT_H
#define OBJVIEW_SCREENSHOT_H

#include <string>
#include <vector>

namespace objview {

// Whether `path` names a PNG file (by its extension, in any letter case).
bool isPngName(const std::string& path);

// A PNG file of `rgb`, 3 bytes a pixel, top row first; empty on failure.
std::vector<unsigned char> encodePng(const unsigned char* rgb, int width, int height);

// Writes `bytes` to `path` as the library writes its files (glmWriteFileTo);
// on failure returns false with the library's message in `why`.
bool putFile(const std::string& path, const std::vector<unsigned char>& bytes, std::string& why);

}  // namespace objview

#endif
