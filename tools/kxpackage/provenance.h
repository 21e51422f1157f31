// Where an output came from: the tool that made it, when, from which
// command, and every source file the library was handed, with its place in
// the backup, size and SHA-256. Kept in OUT/summary.json; `kxpackage
// verify` checks the output against it later.
#ifndef KXPACKAGE_PROVENANCE_H_
#define KXPACKAGE_PROVENANCE_H_

#include <json/json.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kxpackage {

// The SHA-256 of a file as 64 lower-case hex digits, with its size; "" when
// it cannot be read.
std::string Sha256OfFile(const std::string& path, std::uintmax_t* size);

// The current time as ISO 8601 in UTC ("2024-02-18T08:12:55Z").
std::string UtcNow();

// The local time zone dates are written in: "UTC+01:00 (CET)".
std::string LocalZone();

// One run's record. Every request the host hands the library passes
// through NoteRequest, so each reader of a backup or folder is covered
// without knowing of this ledger; readers that know more (the domain and
// path an iOS backup lists a stored file under) tell it beforehand.
class Provenance {
 public:
  // The ledger of this process's run.
  static Provenance& Run();

  // The command line, with the values of options that may carry a secret
  // left out, and the start time.
  void Start(int argc, char** argv);

  // `stored` is the file an iOS backup keeps as `domain` `relative_path`.
  void NoteBackupFile(const std::string& stored, const std::string& domain,
                      const std::string& relative_path);
  // Files under `root` were decrypted by the host from the encrypted
  // backup at `original`.
  void NoteDecryptedRoot(const std::string& root, const std::string& original);
  // Files under `root` are named by their path relative to it.
  void NoteInputRoot(const std::string& root);

  // Records every file a request names (its primary and second file
  // objects) for the data type `name`: each file is hashed once.
  void NoteRequest(const std::string& name, const std::string& request);

  // {"tool", "version", "library_version", "command_line", "started",
  //  "finished", "time_zone", "inputs": [folder, ...], "sources": [...],
  //  "staged": [...]}: the staged list holds
  // every file under `output_folders`, relative to `output`.
  Json::Value Document(const std::string& output,
                       const std::vector<std::string>& output_folders) const;

 private:
  struct Source {
    std::string path;  // as read
    std::string domain;
    std::string relative_path;
    std::uintmax_t size = 0;
    std::string sha256;
    bool decrypted = false;
    std::string encrypted_path;  // the file as the backup stores it
    std::string encrypted_sha256;
    std::vector<std::string> data_types;
  };
  void NoteFile(const std::string& name, const std::string& path);

  std::vector<std::string> command_line_;
  std::string started_;
  std::map<std::string, std::pair<std::string, std::string>> backup_files_;
  std::vector<std::pair<std::string, std::string>> decrypted_roots_;  // copy, original
  std::vector<std::string> input_roots_;
  std::vector<Source> sources_;
};

// `kxpackage verify OUT`: recomputes the hashes the summary lists, prints
// one line per file that changed or is gone and a closing verdict to
// `out`. 0 when nothing changed, 1 when something did, 2 when OUT holds no
// provenance to check against.
int VerifyOutput(const std::string& output, FILE* out);

}  // namespace kxpackage

#endif  // KXPACKAGE_PROVENANCE_H_
