/* A generated panorama for the stream bench, one row at a time so that it never holds the
 * picture: sky and hills in gradients with a little deterministic grain.
 * usage: panorama WIDTH HEIGHT > pano.ppm          (binary PPM, to pipe into cjpeg)
 *        panorama WIDTH HEIGHT out.jpg             (JPEG q90 through libjpeg, when cjpeg is absent) */
#include <stdio.h>
#include <stdlib.h>

#include <jpeglib.h>

static void makeRow(unsigned char* row, int width, int height, int y, unsigned* seed) {
  for (int x = 0; x < width; ++x) {
    /* a hill line that rises and falls along the width */
    int hill = height / 2 + (int)((height / 6) * ((x % 7919) - 3960) / 3960.0 * ((x / 7919) % 2 ? 1 : -1));
    *seed = *seed * 1103515245u + 12345u;
    int grain = (int)((*seed >> 16) % 9) - 4;
    int r, g, b;
    if (y < hill) {
      r = 90 + 100 * y / height;
      g = 140 + 80 * y / height;
      b = 230 - 30 * y / height;
    } else {
      r = 60 + (x / 97) % 40;
      g = 110 + (y - hill) * 60 / height;
      b = 40 + (x / 53) % 30;
    }
    r += grain; g += grain; b += grain;
    row[3 * x] = (unsigned char)(r < 0 ? 0 : r > 255 ? 255 : r);
    row[3 * x + 1] = (unsigned char)(g < 0 ? 0 : g > 255 ? 255 : g);
    row[3 * x + 2] = (unsigned char)(b < 0 ? 0 : b > 255 ? 255 : b);
  }
}

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const int width = atoi(argv[1]), height = atoi(argv[2]);
  unsigned char* row = malloc((size_t)width * 3);
  unsigned seed = 7;
  if (!row) return 1;
  if (argc == 3) {
    printf("P6\n%d %d\n255\n", width, height);
    for (int y = 0; y < height; ++y) {
      makeRow(row, width, height, y, &seed);
      fwrite(row, 3, (size_t)width, stdout);
    }
    return 0;
  }
  FILE* out = fopen(argv[3], "wb");
  if (!out) return 1;
  struct jpeg_compress_struct c;
  struct jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, out);
  c.image_width = (JDIMENSION)width;
  c.image_height = (JDIMENSION)height;
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 90, TRUE);
  jpeg_start_compress(&c, TRUE);
  for (int y = 0; y < height; ++y) {
    makeRow(row, width, height, y, &seed);
    JSAMPROW r = row;
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  fclose(out);
  free(row);
  return 0;
}
