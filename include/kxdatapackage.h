/* Public C interface of the kxdatapackage library.
 *
 * The library turns the data files of phone applications into JSON data
 * packages. A host calls InitKxDataPackage once, then for each data type one
 * or more KxDataFilter calls followed by KxDataPackageEx (or all filters
 * followed by one KxDataPackage); the staged data types run through
 * KxDataPackageNew alone. KxDataPackageStop may be called from any thread.
 *
 * All strings are UTF-8 and NUL-terminated. Results arrive through the
 * host's ResultCallback; the text it receives is owned by the library and is
 * valid only for the duration of the call. No function throws.
 */
#ifndef KXDATAPACKAGE_H_
#define KXDATAPACKAGE_H_

/* On Windows the host imports the six functions from kxdatapackage.dll (or
 * finds them with GetProcAddress); they use the C calling convention. The
 * header is plain C, for C and C++ hosts and MSVC as well as GCC. */
#if defined(_WIN32)
#if defined(KXDATAPACKAGE_BUILDING)
#define KXDATAPACKAGE_EXPORT __declspec(dllexport)
#else
#define KXDATAPACKAGE_EXPORT __declspec(dllimport)
#endif
#define KXDATAPACKAGE_CALL __cdecl
#else
#define KXDATAPACKAGE_EXPORT __attribute__((visibility("default")))
#define KXDATAPACKAGE_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Status codes shared by every entry point. */
enum KxStatus {
  KX_STATUS_OK = 0,
  KX_STATUS_INVALID_JSON = -1,         /* KxDataFilter: request is not JSON */
  KX_STATUS_MISSING_INPUT = 1100,      /* missing or invalid argument or input */
  KX_STATUS_ALREADY_PACKAGED = 1101,   /* data type packaged since the last init */
  KX_STATUS_CONFIG_LOAD_FAILED = 1102, /* field configuration cannot be read */
  KX_STATUS_INVALID_JSON_NEW = 1104,   /* KxDataPackageNew: request is not JSON */
  KX_STATUS_OPEN_FAILED = 1105,        /* a source database cannot be opened */
  KX_STATUS_PREPARE_FAILED = 1106,     /* an SQL statement cannot be prepared */
  KX_STATUS_STEP_FAILED = 1107,        /* binding or stepping failed */
  KX_STATUS_QUERY_FAILED = 1108,       /* a source query failed */
  KX_STATUS_BOOK_LIST_FAILED = 1109,   /* book list unreadable */
  KX_STATUS_FILTER_FAILED = 1110,      /* filter failed / configuration not opened */
  KX_STATUS_STOPPED = 1111,            /* stopped on request */
  KX_STATUS_NOT_PACKAGED = 1112        /* type not registered / package failed */
};

/* Receives one result document: result kind, UTF-8 JSON text, its length in
 * bytes. The return value is ignored. */
typedef int(KXDATAPACKAGE_CALL* ResultCallback)(int result_kind, const char* json_text, int length);

/* Starts logging into log_folder/KxDataPackage.log, remembers the folder that
 * holds KxDataConfiger.db, forgets every filtered data type and clears both
 * stop flags. Does nothing when either argument is NULL. Must not run
 * concurrently with any other call. */
KXDATAPACKAGE_EXPORT void KXDATAPACKAGE_CALL InitKxDataPackage(const char* log_folder,
                                                               const char* config_folder);

/* Stages the files named by a filter request document and merges further
 * copies. `length` is only tested for zero. May run on several threads. */
KXDATAPACKAGE_EXPORT int KXDATAPACKAGE_CALL KxDataFilter(const char* request_json, int length);

/* Packages every filtered data type, one callback each. */
KXDATAPACKAGE_EXPORT int KXDATAPACKAGE_CALL KxDataPackage(ResultCallback callback);

/* Packages one filtered data type; its record is forgotten on success. */
KXDATAPACKAGE_EXPORT int KXDATAPACKAGE_CALL KxDataPackageEx(ResultCallback callback, int data_type);

/* Runs a staged packager from one request document. */
KXDATAPACKAGE_EXPORT int KXDATAPACKAGE_CALL KxDataPackageNew(const char* request_json, int length,
                                                             ResultCallback callback);

/* Asks running work to stop; returns at once. Later filter and package calls
 * answer KX_STATUS_STOPPED until the next InitKxDataPackage. */
KXDATAPACKAGE_EXPORT void KXDATAPACKAGE_CALL KxDataPackageStop(void);

#ifdef __cplusplus
}
#endif

#endif /* KXDATAPACKAGE_H_ */
