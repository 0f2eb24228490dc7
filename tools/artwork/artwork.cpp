// Draws the images the program loads by name from its bundle's Resources
// folder, at build time, as PNG files under <Resources>/Images/...
//
//   quorvel-artwork <Resources folder>
//
// Every picture is drawn with cairo in one light-grey style: soft vertical
// gradients, thin grey borders, dark grey glyphs with a white emboss. Pieces
// that the views stretch (middles, backgrounds) are a few pixels wide and
// uniform along the stretched axis, so that they stretch cleanly.
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "ArtworkDraw.h"

namespace {

struct Picture {
  std::string folder;  // under Images/
  std::string name;
  int width, height;
  std::function<void(cairo_t*, int, int)> paint;
};

std::vector<Picture>& Pictures() {
  static std::vector<Picture> pictures;
  return pictures;
}

void Add(const std::string& folder, const std::string& name, int w, int h, std::function<void(cairo_t*, int, int)> p) {
  Pictures().push_back(Picture{folder, name, w, h, std::move(p)});
}

bool Write(const std::filesystem::path& root, const Picture& picture) {
  std::filesystem::path folder = root / "Images" / picture.folder;
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    fprintf(stderr, "quorvel-artwork: cannot make %s: %s\n", folder.c_str(), error.message().c_str());
    return false;
  }
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, picture.width, picture.height);
  cairo_t* cr = cairo_create(surface);
  picture.paint(cr, picture.width, picture.height);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  std::filesystem::path file = folder / picture.name;
  cairo_status_t status = cairo_surface_write_to_png(surface, file.c_str());
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    fprintf(stderr, "quorvel-artwork: cannot write %s: %s\n", file.c_str(), cairo_status_to_string(status));
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: quorvel-artwork <Resources folder>\n");
    return 2;
  }
  ArtworkAddViewPieces(Add);
  ArtworkAddLibraryPieces(Add);
  ArtworkAddErrorPaneIcons(Add);
  const std::filesystem::path root = argv[1];
  int failures = 0;
  for (const Picture& picture : Pictures())
    if (!Write(root, picture)) ++failures;
  failures += ArtworkWriteApplicationIcons(root.string());
  return failures == 0 ? 0 : 1;
}
