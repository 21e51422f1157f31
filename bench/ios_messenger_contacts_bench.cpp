// Packages two generated Messenger stores (fbomnistore.db of the newest
// release: the account's contact collection index, five tokens a person,
// and the contacts table) through the library: 20,000 people, and 2,000.
//
// The reference is the sqlite3 shell printing the packager's two reads: the
// token rows of the collection index and the contacts table.
//
// Usage: ios_messenger_contacts_bench [large|small|all]
#include <string>

#include "bench/store_bench.h"
#include "samples/ios_messenger.h"

namespace {

constexpr kx::bench::StoreSize kLarge = {"large", 20000, 2};
constexpr kx::bench::StoreSize kSmall = {"small", 2000, 3};

#define KX_INDEX_TABLE "\"collection_index#messenger_contacts_ios:100004211234567\""

constexpr char kContactQuery[] =
    "select primary_key, field_name, field_value from " KX_INDEX_TABLE
    " where field_name ='phone_number_tokens' or field_name = 'name_search_tokens' or field_name "
    "= 'username';select name as username, profile_picture_url, profile_picture_large_url, "
    "phone_number, email_address from contacts";

bool Generate(const std::string& work, long long people) {
  const std::string key = "(100002000000000 + i)";
  return kx::bench::ExecSql(
      kx::JoinPath(work, "fbomnistore.db"),
      kx::samples::IosMessengerSql(kx::samples::kIosMessengerNewestSchema) + "BEGIN;" +
          kx::bench::Numbers(people) +
          "INSERT INTO " KX_INDEX_TABLE
          " (primary_key, field_name, field_value, sort_key) SELECT " +
          key + ", 'username', 'user.' || i, i FROM k UNION ALL SELECT " + key +
          ", 'name_search_tokens', 'first' || i, i FROM k UNION ALL SELECT " + key +
          ", 'name_search_tokens', 'last' || (i % 977), i FROM k UNION ALL SELECT " + key +
          ", 'phone_number_tokens', '4670' || (1000000 + i), i FROM k UNION ALL SELECT " + key +
          ", 'phone_number_tokens', '70' || (1000000 + i), i FROM k ORDER BY 4;" +
          kx::bench::Numbers(people) +
          "INSERT INTO contacts (id, profile_picture_url, name, profile_picture_large_url, "
          "phone_number, email_address, username, contact_type, first_name) SELECT " +
          key +
          ", 'https://pics.example/s/' || i || '.jpg', 'First' || i || ' Last' || (i % "
          "977), 'https://pics.example/l/' || i || '.jpg', '+4670' || (1000000 + i), 'user' || "
          "i || '@example.com', 'user.' || i, 1, 'First' || i FROM k;COMMIT;");
}

Json::Value Request(const std::string& work) {
  Json::Value request;
  request["primary_file_object"]["fbomnistore_file_path"] = kx::JoinPath(work, "fbomnistore.db");
  return request;
}

}  // namespace

int main(int argc, char** argv) {
  const kx::bench::StoreBench bench = {
      "Messenger contacts", 23, "people", Generate, Request, "fbomnistore.db", kContactQuery};
  return kx::bench::RunStoreBenchMain(argc, argv, bench, {&kSmall, &kLarge});
}
