// Running the command-line host in the tests: its exit status, output and
// the files it wrote.
#ifndef KX_TESTS_CLI_CLI_SUPPORT_H_
#define KX_TESTS_CLI_CLI_SUPPORT_H_

#include <gtest/gtest.h>
#include <json/json.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "test_support.h"

namespace kxcli {

namespace fs = std::filesystem;
using kx::test::QueryColumn;
using kx::test::ReadFileBytes;
using kx::test::TempDir;
using kx::test::WriteFileBytes;

struct ToolRun {
  int exit_code = -1;
  std::string out, err;
};

// Starts kxpackage with `args`, its output going to files in `scratch`.
inline pid_t Start(const std::vector<std::string>& args, const TempDir& scratch) {
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> argv;
    std::string program = KXPACKAGE_PATH;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string& arg : copies) argv.push_back(arg.data());
    argv.push_back(nullptr);
    // No terminal to ask a password on, wherever the tests run.
    if (!freopen("/dev/null", "r", stdin) ||
        !freopen(scratch.File("stdout").c_str(), "w", stdout) ||
        !freopen(scratch.File("stderr").c_str(), "w", stderr)) {
      _exit(127);
    }
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  return pid;
}

inline ToolRun Finish(pid_t pid, const TempDir& scratch) {
  ToolRun run;
  int status = 0;
  waitpid(pid, &status, 0);
  run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.out = ReadFileBytes(scratch.File("stdout"));
  run.err = ReadFileBytes(scratch.File("stderr"));
  return run;
}

inline ToolRun RunTool(const std::vector<std::string>& args) {
  TempDir scratch;
  return Finish(Start(args, scratch), scratch);
}

inline Json::Value ParseJson(const std::string& text) {
  Json::Value value;
  Json::CharReaderBuilder builder;
  std::string errors;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &value, &errors)) << errors;
  return value;
}

// `kxpackage <command> <source> -o <out>` with the built configuration and
// a JSON summary, then `more`.
inline ToolRun RunPackage(const std::string& command, const std::string& source,
                          const std::string& out, const std::vector<std::string>& more = {}) {
  std::vector<std::string> args = {command, source, "-o", out, "--config", kx::test::ConfigFolder(),
                                   "--json"};
  args.insert(args.end(), more.begin(), more.end());
  return RunTool(args);
}

inline Json::Value ParseFile(const std::string& path) { return ParseJson(ReadFileBytes(path)); }

// Summary entries by data type name.
inline std::map<std::string, Json::Value> SummaryByName(const std::string& json_text) {
  std::map<std::string, Json::Value> entries;
  const Json::Value summary = ParseJson(json_text);
  for (const Json::Value& entry : summary["data_types"]) {
    entries[entry["name"].asString()] = entry;
  }
  return entries;
}

// Each data type of `expected` packaged that many records, as the summary
// entries say.
inline void ExpectRecords(std::map<std::string, Json::Value>& summary,
                          const std::map<std::string, int>& expected) {
  for (const auto& [name, records] : expected) {
    EXPECT_EQ(records, summary[name]["records"].asInt()) << name;
  }
}

inline std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    files[entry.path().string()] =
        entry.is_regular_file() ? ReadFileBytes(entry.path().string()) : "";
  }
  return files;
}

inline int CountTagged(const Json::Value& items) {
  int tagged = 0;
  for (const Json::Value& item : items) tagged += item["tag"].asString() == "deleted";
  return tagged;
}

// The calls and contacts a backup run tagged "deleted".
inline int TaggedIosRecords(const std::string& out) {
  int tagged = CountTagged(ParseFile(out + "/ios_call_history/result.json")["call_records"]);
  const Json::Value contacts = ParseFile(out + "/ios_contacts/result.json");
  for (const Json::Value& file : contacts["contact_file_path"]) {
    tagged += CountTagged(ParseFile(file.asString())["contacts_info"]);
  }
  return tagged;
}

// A JSON text in one layout: the library lays short arrays out on one line
// or several by their length, which the folders named in them change.
inline std::string OneLayout(const std::string& text) {
  Json::Value value;
  Json::CharReaderBuilder reader_builder;
  std::unique_ptr<Json::CharReader> reader(reader_builder.newCharReader());
  std::string errors;
  if (!reader->parse(text.data(), text.data() + text.size(), &value, &errors)) return text;
  Json::StreamWriterBuilder writer;
  writer["indentation"] = "";
  return Json::writeString(writer, value);
}

// Every file the data types wrote under `root`, its text with the output
// and backup folders named alike (JSON documents in one layout), so that two
// runs compare whole.
inline std::map<std::string, std::string> ComparablePackages(const std::string& root,
                                                             const std::string& backup_root) {
  std::map<std::string, std::string> files;
  for (const auto& [path, bytes] : Snapshot(root)) {
    const std::string relative = fs::relative(path, root).generic_string();
    // The run's own records (its log, its summary with timings) differ, and
    // so do the plain copies of backups in other layouts.
    if (relative.rfind("logs", 0) == 0 || relative.rfind("decrypted-", 0) == 0 ||
        relative.rfind("converted-", 0) == 0 || relative == "summary.json") {
      continue;
    }
    std::string text = bytes;
    for (const std::string& folder : {backup_root, root}) {
      for (size_t at; (at = text.find(folder)) != std::string::npos;) {
        text.replace(at, folder.size(), folder == root ? "OUT" : "BACKUP");
      }
    }
    const bool json = relative.size() > 5 && relative.compare(relative.size() - 5, 5, ".json") == 0;
    files[relative] = json ? OneLayout(text) : text;
  }
  return files;
}

// Tests over the sample data set `kxpackage sample` writes, once per suite.
class SampleSetTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    samples_ = new TempDir;
    const ToolRun run = RunTool({"sample", "-o", samples_->path()});
    ASSERT_EQ(0, run.exit_code) << run.err;
  }
  static void TearDownTestSuite() {
    delete samples_;
    samples_ = nullptr;
  }

  static inline TempDir* samples_ = nullptr;
  TempDir out_;
};

}  // namespace kxcli

#endif  // KX_TESTS_CLI_CLI_SUPPORT_H_
