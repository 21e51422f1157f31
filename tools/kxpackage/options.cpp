#include "tools/kxpackage/options.h"

#include <cstdlib>

namespace kxpackage {

namespace {

const char kOverview[] =
    "usage: kxpackage COMMAND [options]\n"
    "\n"
    "Turns the databases of phone applications into JSON data packages.\n"
    "\n"
    "commands:\n"
    "  android DIR -o OUT     package the databases pulled off an Android phone\n"
    "  ios BACKUP -o OUT      package an iOS backup folder\n"
    "  request FILE... -o OUT run host request documents as they stand\n"
    "  report OUT             write a browsable report of an output folder\n"
    "  verify OUT             check an output folder against the hashes of its run\n"
    "  timeline OUT           write every dated record of OUT sorted by time\n"
    "  export OUT --csv       write every list of records of OUT as a CSV file\n"
    "  sample -o DIR          write the sample data set\n"
    "  demo [-o OUT]          write the sample data set and package all of it\n"
    "\n"
    "Run 'kxpackage COMMAND --help' for the options of a command.\n";

const char kCommonOptions[] =
    "  --config DIR     folder holding KxDataConfiger.db (default: beside the library)\n"
    "  --log-dir DIR    where KxDataPackage.log goes (default: OUT/logs)\n"
    "  -v, --verbose    echo the library's log to standard error\n"
    "  --quiet          no progress display\n"
    "  --json           print the summary as JSON\n"
    "  --report         then write the report of OUT (see 'kxpackage report --help')\n"
    "  -h, --help       this help\n"
    "\n"
    "Exit status: 0 every data type succeeded, 1 some failed (the others are still\n"
    "packaged), 2 usage error, 130 interrupted by Ctrl-C.\n";

const char kAndroidHelp[] =
    "usage: kxpackage android DIR -o OUT [--copy TYPE=PATH]... [options]\n"
    "\n"
    "DIR holds files pulled off an Android phone (calllog.db, mmssms.db,\n"
    "contacts2.db, msgstore.db, wa.db, the LINE database, ...). Databases are\n"
    "found by their usual names and, failing that, by their tables. Every data\n"
    "type that has its files is packaged into OUT/<data type>/: result.json (the\n"
    "document exactly as the library delivered it), the side files the packager\n"
    "wrote, and the staged (merged) copies of the databases. DIR is only read;\n"
    "a link in it that leads outside it is not followed (the summary names it).\n"
    "\n"
    "DIR may also be a file written by `adb backup` (versions 1 to 5, compressed\n"
    "or not, plain or AES-256 with the password as for iOS backups): the apps'\n"
    "databases and the telephony provider's messages are taken into\n"
    "OUT/android-backup/ and packaged from there; the summary lists its apps.\n"
    "\n"
    "  -o OUT               output folder (created; must not lie inside DIR)\n"
    "  --copy TYPE=PATH     an older copy of a database, merged in; its extra\n"
    "                       records come back tagged \"deleted\". Repeatable. TYPE is\n"
    "                       call_history, sms, contacts, whatsapp (msgstore.db or\n"
    "                       wa.db) or the data type's number; or an older\n"
    "                       `adb backup` file of the phone\n"
    "  --password-file F    the password of encrypted backup files, on F's first line\n";

const char kIosHelp[] =
    "usage: kxpackage ios BACKUP -o OUT [--copy OLDER_BACKUP]... [--password-file F]\n"
    "                     [options]\n"
    "\n"
    "BACKUP is the folder a computer wrote when it backed an iPhone up (it holds\n"
    "Manifest.db, Info.plist and the files stored under their ids), or the folder\n"
    "right above it when that holds this one backup. Each data type's files are\n"
    "found through Manifest.db; every data type the library can package goes\n"
    "into OUT/<data type>/ (result.json, the side files the packager wrote, and\n"
    "the staged copies of the databases), the others are listed as not available\n"
    "yet. The summary is headed by the phone's name, model, iOS version and the\n"
    "date of the backup. BACKUP is only read. A backup of iOS 4 to 9\n"
    "(Manifest.mbdb, files right in the folder) is first made into the current\n"
    "layout under OUT/converted-backup/ (OUT/decrypted-backup/ when encrypted).\n"
    "A file of BACKUP that is a link to outside it is not followed; the summary\n"
    "names it.\n"
    "\n"
    "An encrypted backup is decrypted into OUT/decrypted-backup/ (readable by you\n"
    "alone), as far as the data types need it, and packaged from there. Its\n"
    "password is read from the file --password-file names (its first line), else\n"
    "from the environment variable KXPACKAGE_BACKUP_PASSWORD, else asked for on\n"
    "the terminal without echo; never from the command line, where other users\n"
    "could see it. Older backups given with --copy may be encrypted too, with\n"
    "the same password.\n"
    "\n"
    "  -o OUT               output folder (created; must not lie inside BACKUP)\n"
    "  --copy OLDER_BACKUP  an earlier backup of the same phone; the records it\n"
    "                       holds that the phone deleted since come back tagged\n"
    "                       \"deleted\". Repeatable. Backups beside BACKUP are not\n"
    "                       taken unless named: they may be of other phones.\n"
    "  --password-file F    the encrypted backup's password, on F's first line\n";

const char kRequestHelp[] =
    "usage: kxpackage request FILE... -o OUT [--staged] [options]\n"
    "\n"
    "Runs host request documents as a host would: every filter request\n"
    "(KxDataFilter) in order, then the package call of each filtered data type\n"
    "(KxDataPackageEx); staged requests (types 29 and 30, or every request with\n"
    "--staged) go through KxDataPackageNew. Each result document is written to\n"
    "OUT/<data type>/result.json; side files go to the request's own temp_folder.\n"
    "\n"
    "  -o OUT       where the result documents go\n"
    "  --staged     send every request through KxDataPackageNew\n";

const char kReportHelp[] =
    "usage: kxpackage report OUT\n"
    "\n"
    "Writes OUT/report/index.html: pages to open in a web browser, straight from\n"
    "the disk and without network access, that show what the output folder OUT\n"
    "holds: the device (from OUT/summary.json, which every packaging run leaves),\n"
    "a page per data type, conversations as threads with their pictures,\n"
    "contacts, calls, notes, photos as a grid, and a search across messages,\n"
    "contacts and notes. Records tagged \"deleted\" are marked. A conversation's\n"
    "messages are loaded when it is opened, so large outputs stay usable.\n"
    "\n"
    "The page runs no script from the data: every text is shown as text, and a\n"
    "content security policy admits only the report's own script files. A\n"
    "picture is linked only when its path lies inside OUT; others are shown as\n"
    "missing. Nothing outside OUT is read. OUT/report is rewritten whole; the\n"
    "commands that package (android, ios, request, demo) write it too with\n"
    "--report.\n";

const char kVerifyHelp[] =
    "usage: kxpackage verify OUT\n"
    "\n"
    "Every packaging run records in OUT/summary.json the source files it read\n"
    "(their place in the backup, size and SHA-256, and whether they were\n"
    "decrypted) and the SHA-256 of every file it wrote under OUT/<data type>/.\n"
    "verify recomputes those hashes, the sources' too where they still lie at\n"
    "their place, and names every file that changed or is gone.\n"
    "\n"
    "Exit status: 0 nothing changed, 1 something changed, 2 OUT holds no record\n"
    "to check against.\n";

const char kTimelineHelp[] =
    "usage: kxpackage timeline OUT\n"
    "\n"
    "Writes OUT/timeline.csv (UTF-8 with a byte order mark, for spreadsheets) and\n"
    "OUT/timeline.jsonl: every dated message and record of every data type in\n"
    "OUT, sorted by time, one per line: time (ISO 8601, the packaging machine's\n"
    "local time), data type, kind, who, text or title, deleted, and the document\n"
    "and place in it the record comes from. Sorted in bounded memory, however\n"
    "many records OUT holds. kxpackage report writes them too.\n";

const char kExportHelp[] =
    "usage: kxpackage export OUT --csv\n"
    "\n"
    "Writes OUT/export/<data type>-<list>.csv for every list of records and of\n"
    "conversations in OUT, as the report shows them: UTF-8 with a byte order\n"
    "mark, so spreadsheets read every script right. A message list has one row\n"
    "per message (conversation, time, sender by name and id, text, kind,\n"
    "deleted, and the document and place it comes from); a record list has the\n"
    "record's title, subtitle, date, text and deleted, then a column per field.\n"
    "A cell that a spreadsheet would take for a formula starts with a quote mark.\n"
    "The report offers the same files on its pages.\n";

const char kSampleHelp[] =
    "usage: kxpackage sample -o DIR [--scale N]\n"
    "\n"
    "Writes the sample data set: DIR/android holds the databases of a phone,\n"
    "DIR/older older copies of the same databases (records deleted since),\n"
    "DIR/ios an iOS backup folder (Manifest.db, Info.plist, the call history,\n"
    "address book and messages with their attachments stored under their ids)\n"
    "DIR/ios-older an earlier backup of the same phone, and DIR/ios-encrypted\n"
    "the backup of DIR/ios encrypted, its password in\n"
    "DIR/ios-encrypted-password.txt.\n"
    "\n"
    "  -o DIR       where to write (created)\n"
    "  --scale N    multiply the record counts by N (default 1)\n";

const char kDemoHelp[] =
    "usage: kxpackage demo [-o OUT] [options]\n"
    "\n"
    "Writes the sample data set into OUT/sample and packages all of it, older\n"
    "copies included, into OUT/output: the Android phone's databases and the\n"
    "iOS backup, with its earlier backup as the copy. OUT defaults to\n"
    "./kxpackage-demo and must not exist yet or be empty.\n";

bool TakeValue(int argc, char** argv, int* i, std::string* value, std::string* error) {
  if (*i + 1 >= argc) {
    *error = std::string(argv[*i]) + " needs a value";
    return false;
  }
  *value = argv[++*i];
  return true;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options* options, std::string* error) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    std::string value;
    if (arg == "-h" || arg == "--help") {
      options->help = true;
    } else if (arg == "-v" || arg == "--verbose") {
      options->verbose = true;
    } else if (arg == "--quiet" || arg == "-q") {
      options->quiet = true;
    } else if (arg == "--json") {
      options->json = true;
    } else if (arg == "--staged") {
      options->staged = true;
    } else if (arg == "--report") {
      options->report = true;
    } else if (arg == "--csv") {
      options->csv = true;
    } else if (arg == "-o" || arg == "--output") {
      if (!TakeValue(argc, argv, &i, &options->output, error)) return false;
    } else if (arg == "--config") {
      if (!TakeValue(argc, argv, &i, &options->config_dir, error)) return false;
    } else if (arg == "--log-dir") {
      if (!TakeValue(argc, argv, &i, &options->log_dir, error)) return false;
    } else if (arg == "--copy") {
      if (!TakeValue(argc, argv, &i, &value, error)) return false;
      options->copies.push_back(value);
    } else if (arg == "--password-file") {
      if (!TakeValue(argc, argv, &i, &options->password_file, error)) return false;
    } else if (arg == "--scale") {
      if (!TakeValue(argc, argv, &i, &value, error)) return false;
      char* end = nullptr;
      const long scale = std::strtol(value.c_str(), &end, 10);
      if (end == value.c_str() || *end != '\0' || scale < 1 || scale > 100000) {
        *error = "--scale needs a whole number from 1 to 100000";
        return false;
      }
      options->scale = static_cast<int>(scale);
    } else if (arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option " + arg;
      return false;
    } else if (options->command.empty()) {
      options->command = arg;
    } else {
      options->positional.push_back(arg);
    }
  }
  return true;
}

std::string HelpText(const std::string& command) {
  if (command == "android") return std::string(kAndroidHelp) + "\n" + kCommonOptions;
  if (command == "ios") return std::string(kIosHelp) + "\n" + kCommonOptions;
  if (command == "request") return std::string(kRequestHelp) + "\n" + kCommonOptions;
  if (command == "report") return kReportHelp;
  if (command == "sample") return kSampleHelp;
  if (command == "verify") return kVerifyHelp;
  if (command == "timeline") return kTimelineHelp;
  if (command == "export") return kExportHelp;
  if (command == "demo") return std::string(kDemoHelp) + "\n" + kCommonOptions;
  return kOverview;
}

}  // namespace kxpackage
