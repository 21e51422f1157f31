/* Initialises the installed library with its installed configuration and
 * checks two answers. */
#include <stdio.h>
#include <string.h>

#include <kxdatapackage.h>

int main(int argc, char** argv) {
  const char* log_folder = argc > 1 ? argv[1] : ".";
  FILE* config = fopen(KX_CONFIG_DIR "/KxDataConfiger.db", "rb");
  if (config == NULL) {
    fprintf(stderr, "no configuration in %s\n", KX_CONFIG_DIR);
    return 1;
  }
  fclose(config);
  InitKxDataPackage(log_folder, KX_CONFIG_DIR);
  if (KxDataFilter("not json", 8) != KX_STATUS_INVALID_JSON) return 1;
  if (KxDataPackageEx(NULL, 3) != KX_STATUS_MISSING_INPUT) return 1;
  puts("consumer ok");
  return 0;
}
