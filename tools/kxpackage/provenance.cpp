#include "tools/kxpackage/provenance.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>

#include "tools/kxpackage/host_platform.h"

namespace kxpackage {

namespace fs = std::filesystem;

namespace {

constexpr char kSummaryName[] = "summary.json";
// Options whose value is a secret itself (none take one yet; a password
// is only ever read from a file or the terminal): their value is not kept.
const char* const kSecretOptions[] = {"--password", "--passphrase", "--key"};

std::string Normal(const std::string& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(fs::u8path(path), error);
  return (error ? fs::u8path(path) : absolute).lexically_normal().u8string();
}

// `path` relative to `root` when it lies inside it, else "".
std::string RelativeInside(const std::string& path, const std::string& root) {
  const fs::path relative = fs::u8path(path).lexically_relative(fs::u8path(root));
  const std::string text = relative.u8string();
  if (text.empty() || text == "." || text.compare(0, 2, "..") == 0) return "";
  return relative.generic_u8string();
}

bool IsSecretOption(const std::string& arg) {
  return std::any_of(std::begin(kSecretOptions), std::end(kSecretOptions),
                     [&](const char* option) { return arg == option; });
}

void AddFilesUnder(const fs::path& output, const std::string& folder, Json::Value* staged) {
  std::vector<fs::path> files;
  std::error_code error;
  for (fs::recursive_directory_iterator it(fs::u8path(folder), error), end; !error && it != end;
       it.increment(error)) {
    if (it->is_regular_file(error) && !it->is_symlink(error)) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    Json::Value entry;
    std::uintmax_t size = 0;
    entry["path"] = file.lexically_relative(output).generic_u8string();
    entry["sha256"] = Sha256OfFile(file.u8string(), &size);
    entry["size"] = static_cast<Json::UInt64>(size);
    staged->append(entry);
  }
}

}  // namespace

std::string Sha256OfFile(const std::string& path, std::uintmax_t* size) {
  *size = 0;
  std::ifstream in(fs::u8path(path), std::ios::binary);
  if (!in) return "";
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                  EVP_MD_CTX_free);
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return "";
  std::vector<char> buffer(1 << 16);
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const std::streamsize got = in.gcount();
    if (got <= 0) break;
    EVP_DigestUpdate(context.get(), buffer.data(), static_cast<size_t>(got));
    *size += static_cast<std::uintmax_t>(got);
  }
  if (in.bad()) return "";
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1) return "";
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  BreakDownTime(now, false, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

// The offset is worked out from the local and the UTC time rather than
// taken from strftime's %z, which Windows' C runtime fills with a name.
std::string LocalZone() {
  const std::time_t now = std::time(nullptr);
  std::tm local{}, utc{};
  BreakDownTime(now, true, &local);
  BreakDownTime(now, false, &utc);
  const int days = local.tm_year != utc.tm_year ? (local.tm_year > utc.tm_year ? 1 : -1)
                                                : local.tm_yday - utc.tm_yday;
  const int minutes = (days * 24 + local.tm_hour - utc.tm_hour) * 60 + local.tm_min - utc.tm_min;
  char offset[16], name[64];
  std::snprintf(offset, sizeof offset, "%c%02d:%02d", minutes < 0 ? '-' : '+',
                std::abs(minutes) / 60, std::abs(minutes) % 60);
  std::strftime(name, sizeof name, "%Z", &local);
  return std::string("UTC") + offset + (*name != '\0' ? std::string(" (") + name + ")" : "");
}

Provenance& Provenance::Run() {
  static Provenance run;
  return run;
}

void Provenance::Start(int argc, char** argv) {
  started_ = UtcNow();
  command_line_.clear();
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    const size_t equals = arg.find('=');
    if (equals != std::string::npos && IsSecretOption(arg.substr(0, equals))) {
      command_line_.push_back(arg.substr(0, equals) + "=(not recorded)");
      continue;
    }
    command_line_.push_back(arg);
    if (IsSecretOption(arg) && i + 1 < argc) {
      command_line_.push_back("(not recorded)");
      ++i;
    }
  }
}

void Provenance::NoteBackupFile(const std::string& stored, const std::string& domain,
                                const std::string& relative_path) {
  backup_files_[Normal(stored)] = {domain, relative_path};
}

void Provenance::NoteDecryptedRoot(const std::string& root, const std::string& original) {
  decrypted_roots_.emplace_back(Normal(root), Normal(original));
}

void Provenance::NoteInputRoot(const std::string& root) { input_roots_.push_back(Normal(root)); }

void Provenance::NoteFile(const std::string& name, const std::string& named) {
  const std::string path = Normal(named);
  std::error_code error;
  if (!fs::is_regular_file(fs::u8path(path), error)) return;
  for (Source& known : sources_) {
    if (known.path != path) continue;
    if (std::find(known.data_types.begin(), known.data_types.end(), name) ==
        known.data_types.end()) {
      known.data_types.push_back(name);
    }
    return;
  }
  Source source;
  source.path = path;
  source.data_types.push_back(name);
  source.sha256 = Sha256OfFile(path, &source.size);
  const auto listed = backup_files_.find(path);
  if (listed != backup_files_.end()) {
    source.domain = listed->second.first;
    source.relative_path = listed->second.second;
  }
  for (const auto& [root, original] : decrypted_roots_) {
    const std::string inside = RelativeInside(path, root);
    if (inside.empty()) continue;
    source.decrypted = true;
    // The catalogue itself, read from the decrypted copy.
    if (source.relative_path.empty()) source.relative_path = inside;
    // The encrypted file the copy was made from, where the backup keeps it
    // under the same name.
    const fs::path stored = fs::u8path(original) / fs::u8path(inside);
    std::uintmax_t size = 0;
    if (fs::is_regular_file(stored, error)) {
      source.encrypted_path = stored.u8string();
      source.encrypted_sha256 = Sha256OfFile(source.encrypted_path, &size);
    }
  }
  for (const std::string& root : input_roots_) {
    if (source.relative_path.empty()) source.relative_path = RelativeInside(path, root);
  }
  sources_.push_back(source);
}

void Provenance::NoteRequest(const std::string& name, const std::string& request) {
  Json::Value document;
  Json::CharReaderBuilder builder;
  std::string errors;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  if (!reader->parse(request.data(), request.data() + request.size(), &document, &errors) ||
      !document.isObject()) {
    return;
  }
  for (const char* member : {"primary_file_object", "second_file_objects"}) {
    const Json::Value& files = document[member];
    if (!files.isObject()) continue;
    for (const std::string& key : files.getMemberNames()) {
      const Json::Value& value = files[key];
      if (value.isString()) NoteFile(name, value.asString());
      if (!value.isArray()) continue;
      for (const Json::Value& item : value) {
        if (item.isString()) NoteFile(name, item.asString());
      }
    }
  }
}

Json::Value Provenance::Document(const std::string& output,
                                 const std::vector<std::string>& output_folders) const {
  Json::Value document;
  document["tool"] = "kxpackage";
  document["version"] = KXPACKAGE_VERSION;
  document["library_version"] = KXPACKAGE_VERSION;
  document["command_line"] = Json::Value(Json::arrayValue);
  for (const std::string& arg : command_line_) document["command_line"].append(arg);
  document["started"] = started_;
  document["finished"] = UtcNow();
  // The packagers write dates in this machine's local time.
  document["time_zone"] = LocalZone();
  // The folders the run read: the report copies the pictures records name
  // there, and only there, beside its pages.
  document["inputs"] = Json::Value(Json::arrayValue);
  for (const std::string& root : input_roots_) document["inputs"].append(root);
  document["sources"] = Json::Value(Json::arrayValue);
  for (const Source& source : sources_) {
    Json::Value entry;
    entry["path"] = source.path;
    if (!source.domain.empty()) entry["domain"] = source.domain;
    if (!source.relative_path.empty()) entry["relative_path"] = source.relative_path;
    entry["size"] = static_cast<Json::UInt64>(source.size);
    entry["sha256"] = source.sha256;
    entry["decrypted"] = source.decrypted;
    if (!source.encrypted_path.empty()) {
      entry["encrypted_path"] = source.encrypted_path;
      entry["encrypted_sha256"] = source.encrypted_sha256;
    }
    entry["data_types"] = Json::Value(Json::arrayValue);
    for (const std::string& name : source.data_types) entry["data_types"].append(name);
    document["sources"].append(entry);
  }
  document["staged"] = Json::Value(Json::arrayValue);
  const fs::path root = fs::u8path(Normal(output));
  std::vector<std::string> folders;
  for (const std::string& folder : output_folders) {
    const std::string normal = Normal(folder);
    if (!folder.empty() && std::find(folders.begin(), folders.end(), normal) == folders.end()) {
      folders.push_back(normal);
    }
  }
  for (const std::string& folder : folders) AddFilesUnder(root, folder, &document["staged"]);
  return document;
}

// ---- verify ----

namespace {

Json::Value ReadJsonFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  Json::CharReaderBuilder builder;
  Json::Value value;
  std::string errors;
  if (!in || !Json::parseFromStream(builder, in, &value, &errors)) return Json::Value();
  return value;
}

// A member of the summary as text; the summary lies in OUT and may have
// been edited, so a member of another type reads as "".
std::string Member(const Json::Value& entry, const char* name) {
  const Json::Value& value = entry.isObject() ? entry[name] : Json::Value::nullSingleton();
  return value.isString() ? value.asString() : "";
}

// "" when `path` still has `sha256`, else what happened to it.
std::string Change(const std::string& path, const Json::Value& entry) {
  std::error_code error;
  if (!fs::is_regular_file(fs::u8path(path), error)) return "missing";
  std::uintmax_t size = 0;
  const std::string sha256 = Sha256OfFile(path, &size);
  if (sha256.empty()) return "cannot be read";
  if (sha256 != Member(entry, "sha256")) return "changed (SHA-256 " + sha256 + ")";
  return "";
}

}  // namespace

int VerifyOutput(const std::string& output, FILE* out) {
  const fs::path root = fs::u8path(Normal(output));
  const Json::Value provenance = ReadJsonFile(root / kSummaryName)["provenance"];
  if (!provenance.isObject() || !provenance["staged"].isArray()) {
    std::fprintf(out, "%s: no record of the files to check (made by an older kxpackage?)\n",
                 (root / kSummaryName).u8string().c_str());
    return 2;
  }
  int changed = 0, checked = 0, unreachable = 0;
  for (const Json::Value& entry : provenance["staged"]) {
    const std::string relative = Member(entry, "path");
    if (relative.empty()) continue;
    const fs::path path = (root / fs::u8path(relative)).lexically_normal();
    if (RelativeInside(path.u8string(), root.u8string()).empty()) continue;  // not a place in OUT
    ++checked;
    const std::string change = Change(path.u8string(), entry);
    if (change.empty()) continue;
    ++changed;
    std::fprintf(out, "%s: %s\n", relative.c_str(), change.c_str());
  }
  // The sources too, where they can still be reached: an original that
  // changed since says as much as a staged copy that did.
  for (const Json::Value& entry : provenance["sources"]) {
    const std::string path = Member(entry, "path");
    std::error_code error;
    if (path.empty()) continue;
    if (!fs::exists(fs::u8path(path), error)) {
      ++unreachable;
      continue;
    }
    ++checked;
    const std::string change = Change(path, entry);
    if (change.empty()) continue;
    ++changed;
    std::fprintf(out, "source %s: %s\n", path.c_str(), change.c_str());
  }
  std::fprintf(out, "%d files checked, %d changed or missing", checked, changed);
  if (unreachable > 0) std::fprintf(out, ", %d sources no longer at their place", unreachable);
  std::fprintf(out, "\n%s\n", changed == 0 ? "Unchanged since the run." : "CHANGED since the run.");
  return changed == 0 ? 0 : 1;
}

}  // namespace kxpackage
