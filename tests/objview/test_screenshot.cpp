// Screenshots as PNG files: encoded losslessly and put in place whole.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "images.h"
#include "screenshot.h"

using namespace objview;
namespace fs = std::filesystem;

TEST(ObjviewScreenshot, APngDecodesToThePixelsItWasMadeOf) {
  std::vector<unsigned char> rgb(7 * 5 * 3);
  for (std::size_t i = 0; i < rgb.size(); i++) rgb[i] = static_cast<unsigned char>(i * 37);
  const fs::path dir = fs::temp_directory_path() / ("objview-shot-" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::string why;
  ASSERT_TRUE(putFile((dir / "a.png").string(), encodePng(rgb.data(), 7, 5), why)) << why;
  Image image;
  ASSERT_TRUE(readImage((dir / "a.png").string(), image, why)) << why;
  EXPECT_EQ(image.width * 10 + image.height, 75);
  EXPECT_EQ(image.rgb, rgb);
  EXPECT_TRUE(isPngName("A.PNG") && !isPngName("a.ppm") && !isPngName("png"));
  fs::remove_all(dir);
}

TEST(ObjviewScreenshot, PutFileReplacesWhatALinkLeadsToKeepingItsModeAndFailsWithoutLitter) {
  const fs::path dir = fs::temp_directory_path() / ("objview-put-" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "old.png") << "old";
  fs::permissions(dir / "old.png", fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink("old.png", dir / "link.png");
  std::string why;
  ASSERT_TRUE(putFile((dir / "link.png").string(), {'n', 'e', 'w'}, why)) << why;
  EXPECT_TRUE(fs::is_symlink(dir / "link.png"));
  std::ifstream in(dir / "old.png");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new");
  EXPECT_EQ(fs::status(dir / "old.png").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_FALSE(putFile((dir / "no" / "such.png").string(), {'x'}, why));
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
  fs::remove_all(dir);
}
