/* PNG encoding through the libvips C API, for the side-by-side table of scripts/bench.sh: zlib
 * level 7 with a filter chosen per row, as the other tools of the table do.
 * Built by the script only where libvips-dev is installed; not part of the program.
 * usage: vipspng photo.ppm out.png */
#include <vips/vips.h>

int main(int argc, char** argv) {
  if (VIPS_INIT(argv[0]) || argc != 3) vips_error_exit("usage: vipspng photo out.png");
  VipsImage* photo = vips_image_new_from_file(argv[1], "access", VIPS_ACCESS_SEQUENTIAL, NULL);
  if (!photo) vips_error_exit(NULL);
  if (vips_pngsave(photo, argv[2], "compression", 7, "filter", VIPS_FOREIGN_PNG_FILTER_ALL, NULL))
    vips_error_exit(NULL);
  g_object_unref(photo);
  vips_shutdown();
  return 0;
}
