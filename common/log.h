// The logging layer: one thread-safe log file per process.
//
// Every line carries the time, the level and the module name. Levels: 0
// detail, 1 progress, 2 recoverable problem, 3 error. Logging never fails the
// caller: when the log file cannot be opened, messages are dropped.
#ifndef KX_COMMON_LOG_H_
#define KX_COMMON_LOG_H_

namespace kx {

// The one module name every message carries.
constexpr const char kLogModule[] = "KxPackageDataSDK";

constexpr int kLogDetail = 0;
constexpr int kLogProgress = 1;
constexpr int kLogProblem = 2;
constexpr int kLogError = 3;

}  // namespace kx

// Opens (appending) the log file at `log_file_path`. `config_folder` is
// accepted for the sake of the calling convention and not used. Calling it
// again switches to the new file.
void InitLogEx(const char* config_folder, const char* module_name, const char* log_file_path);

// Writes one line. `format` is printf-style. Safe from any thread.
void LogEx(const char* module_name, int level, const char* format, ...)
#if defined(__MINGW32__)
    // MinGW formats with its own C99 printf (%zu, %lld), not the C runtime's.
    __attribute__((format(gnu_printf, 3, 4)))
#elif defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

// Plain message with the library's module name.
#define KX_LOG(level, ...) LogEx(::kx::kLogModule, (level), __VA_ARGS__)

// "[stem], at LINE line, message": the old-style packagers' error prefix.
#define KX_LOG_AT(level, stem, fmt, ...) \
  LogEx(::kx::kLogModule, (level), "[%s], at %d line, " fmt, (stem), __LINE__, ##__VA_ARGS__)

// "[operation](LINE): message": the staged packagers' error prefix.
#define KX_LOG_OP(level, operation, fmt, ...) \
  LogEx(::kx::kLogModule, (level), "[%s](%d): " fmt, (operation), __LINE__, ##__VA_ARGS__)

#endif  // KX_COMMON_LOG_H_
