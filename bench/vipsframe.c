/* The framing job written on the libvips C API, for the side-by-side table of scripts/bench.sh:
 * decode the photo, fit the mask to it with Lanczos 3, pull the photo towards white where the
 * mask is dark, encode JPEG quality 90 with 4:2:0 chroma and no optimised tables.
 * Built by the script only where libvips-dev is installed; not part of the program.
 * usage: vipsframe photo.jpg mask.pgm out.jpg */
#include <vips/vips.h>

int main(int argc, char** argv) {
  if (VIPS_INIT(argv[0]) || argc != 4) vips_error_exit("usage: vipsframe photo mask out.jpg");
  VipsImage* photo = vips_image_new_from_file(argv[1], "access", VIPS_ACCESS_SEQUENTIAL, NULL);
  VipsImage* mask = vips_image_new_from_file(argv[2], NULL);
  if (!photo || !mask) vips_error_exit(NULL);
  VipsImage *fitted, *inverse, *product, *out;
  const double h = (double)photo->Xsize / mask->Xsize, v = (double)photo->Ysize / mask->Ysize;
  /* white + (p - white) * m / 255 = 255 - (255 - p) * m / 255 */
  if (vips_resize(mask, &fitted, h, "vscale", v, "kernel", VIPS_KERNEL_LANCZOS3, NULL) ||
      vips_invert(photo, &inverse, NULL) || vips_multiply(inverse, fitted, &product, NULL) ||
      vips_linear1(product, &out, -1.0 / 255, 255, "uchar", TRUE, NULL) ||
      vips_jpegsave(out, argv[3], "Q", 90, "subsample_mode", VIPS_FOREIGN_SUBSAMPLE_ON,
                    "optimize_coding", FALSE, NULL))
    vips_error_exit(NULL);
  return 0;
}
