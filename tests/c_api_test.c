/* Drives the shared library through its public header only, from plain C:
 * the statuses of every export for bad arguments, and one filter request
 * followed by its package call. Prints "N passed, N failed". */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kxdatapackage.h"

static int g_passed = 0;
static int g_failed = 0;
static int g_callbacks = 0;

#define CHECK_EQ(expected, actual)                                                       \
  do {                                                                                   \
    long e_ = (long)(expected), a_ = (long)(actual);                                     \
    if (e_ == a_) {                                                                      \
      ++g_passed;                                                                        \
    } else {                                                                             \
      ++g_failed;                                                                        \
      fprintf(stderr, "%s:%d: expected %ld, got %ld (%s)\n", __FILE__, __LINE__, e_, a_, \
              #actual);                                                                  \
    }                                                                                    \
  } while (0)

static int OnResult(int kind, const char* text, int length) {
  (void)kind;
  (void)text;
  (void)length;
  ++g_callbacks;
  return 0;
}

int main(int argc, char** argv) {
  const char* config_folder = argc > 1 ? argv[1] : ".";
  const char* work_folder = argc > 2 ? argv[2] : ".";
  char request[4096];

  InitKxDataPackage(NULL, NULL); /* ignored */
  InitKxDataPackage(work_folder, config_folder);

  CHECK_EQ(1100, KxDataFilter(NULL, 5));
  CHECK_EQ(1100, KxDataFilter("{}", 0));
  CHECK_EQ(-1, KxDataFilter("not json", 8));
  CHECK_EQ(1100, KxDataFilter("{\"temp_folder\": \"x\"}", 20));
  CHECK_EQ(1100, KxDataFilter("{\"package_type\": 31, \"temp_folder\": \"x\"}", 40));
  CHECK_EQ(1112, KxDataPackageEx(OnResult, 3));
  CHECK_EQ(0, KxDataPackage(OnResult));
  CHECK_EQ(1100, KxDataPackageNew(NULL, 1, OnResult));
  CHECK_EQ(1104, KxDataPackageNew("{", 1, OnResult));
  CHECK_EQ(0, KxDataPackageNew("{\"package_type\": 5}", 1, OnResult));

  /* Data type 14 has no filter function: its record ends filtered. */
  snprintf(request, sizeof request, "{\"package_type\": 14, \"temp_folder\": \"%s\"}", work_folder);
  CHECK_EQ(0, KxDataFilter(request, (int)strlen(request)));

  KxDataPackageStop();
  CHECK_EQ(1111, KxDataPackageEx(OnResult, 14));
  CHECK_EQ(1111, KxDataPackage(OnResult));
  InitKxDataPackage(work_folder, config_folder);
  CHECK_EQ(1112, KxDataPackageEx(OnResult, 14)); /* init forgot the record */
  CHECK_EQ(0, g_callbacks);

  printf("%d passed, %d failed\n", g_passed, g_failed);
  return g_failed == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}
