/* Drives the shared library through its public header only, from plain C:
 * the statuses of every export for bad arguments, and one filter request
 * followed by its package call. Prints "N passed, N failed".
 *
 * On Windows it is the host the DLL is made for: it copies the DLL into a
 * folder with a non-ASCII name and loads it there with LoadLibraryW and
 * GetProcAddress, as the desktop application does. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kxdatapackage.h"

#if defined(_WIN32)
#include <windows.h>

typedef void(KXDATAPACKAGE_CALL* InitFunction)(const char*, const char*);
typedef int(KXDATAPACKAGE_CALL* FilterFunction)(const char*, int);
typedef int(KXDATAPACKAGE_CALL* PackageFunction)(ResultCallback);
typedef int(KXDATAPACKAGE_CALL* PackageExFunction)(ResultCallback, int);
typedef int(KXDATAPACKAGE_CALL* PackageNewFunction)(const char*, int, ResultCallback);
typedef void(KXDATAPACKAGE_CALL* StopFunction)(void);

static InitFunction p_InitKxDataPackage;
static FilterFunction p_KxDataFilter;
static PackageFunction p_KxDataPackage;
static PackageExFunction p_KxDataPackageEx;
static PackageNewFunction p_KxDataPackageNew;
static StopFunction p_KxDataPackageStop;

/* Every call below goes through the pointers GetProcAddress gave. */
#define InitKxDataPackage p_InitKxDataPackage
#define KxDataFilter p_KxDataFilter
#define KxDataPackage p_KxDataPackage
#define KxDataPackageEx p_KxDataPackageEx
#define KxDataPackageNew p_KxDataPackageNew
#define KxDataPackageStop p_KxDataPackageStop

static FARPROC Export(HMODULE library, const char* name) {
  FARPROC address = GetProcAddress(library, name);
  if (address == NULL) fprintf(stderr, "export %s not found\n", name);
  return address;
}

/* dll_path (UTF-8) copied to work_folder\Bibliothèque 备份\ and loaded from
 * there; 0 when every export was found. */
static int LoadExports(const char* dll_path, const char* work_folder) {
  wchar_t source[1024], folder[1024], target[1100];
  HMODULE library;
  if (MultiByteToWideChar(CP_UTF8, 0, dll_path, -1, source, 1024) == 0 ||
      MultiByteToWideChar(CP_UTF8, 0, work_folder, -1, folder, 1024) == 0) {
    return 1;
  }
  wcscat(folder, L"\\Biblioth\u00e8que \u5907\u4efd");
  CreateDirectoryW(folder, NULL);
  wcscpy(target, folder);
  wcscat(target, L"\\kxdatapackage.dll");
  if (!CopyFileW(source, target, FALSE)) {
    fprintf(stderr, "cannot copy %s (%lu)\n", dll_path, (unsigned long)GetLastError());
    return 1;
  }
  library = LoadLibraryW(target);
  if (library == NULL) {
    fprintf(stderr, "LoadLibraryW failed (%lu)\n", (unsigned long)GetLastError());
    return 1;
  }
  p_InitKxDataPackage = (InitFunction)Export(library, "InitKxDataPackage");
  p_KxDataFilter = (FilterFunction)Export(library, "KxDataFilter");
  p_KxDataPackage = (PackageFunction)Export(library, "KxDataPackage");
  p_KxDataPackageEx = (PackageExFunction)Export(library, "KxDataPackageEx");
  p_KxDataPackageNew = (PackageNewFunction)Export(library, "KxDataPackageNew");
  p_KxDataPackageStop = (StopFunction)Export(library, "KxDataPackageStop");
  return p_InitKxDataPackage && p_KxDataFilter && p_KxDataPackage && p_KxDataPackageEx &&
                 p_KxDataPackageNew && p_KxDataPackageStop
             ? 0
             : 1;
}
#endif

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

#if defined(_WIN32)
  if (argc < 4 || LoadExports(argv[3], work_folder) != 0) {
    printf("0 passed, 1 failed\n");
    return EXIT_FAILURE;
  }
#endif

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
