// Packages two generated Viber stores (Contacts.data of the newest version:
// members with their numbers, a one-to-one conversation with each, text
// messages) through the library: 1,000,000 messages in 1,000
// conversations, and 100,000 in 100. The store carries the indexes Core
// Data makes on every relationship column; the backup's Manifest.db holds
// no media.
//
// The reference is the sqlite3 shell printing every message with its
// sender, conversation by conversation in time order: the rows of the
// packager's message query over all conversations at once.
//
// Usage: ios_viber_bench [large|small|all]
#include <string>

#include "bench/store_bench.h"
#include "samples/ios_viber.h"

namespace {

constexpr kx::bench::StoreSize kLarge = {"large", 1000000, 2};
constexpr kx::bench::StoreSize kSmall = {"small", 100000, 3};
constexpr int kMessagesPerChat = 1000;

constexpr char kMessageQuery[] =
    "SELECT V.Z_PK, V.ZTOKEN, V.ZPHONENUMINDEX, COALESCE(NULLIF(N.ZCANONIZEDPHONENUM, ''), "
    "NULLIF(N.ZPHONE, ''), B.ZMEMBERID), COALESCE(NULLIF(B.ZDISPLAYFULLNAME, ''), "
    "NULLIF(B.ZDISPLAYSHORTNAME, ''), B.ZNAME), V.ZDATE, V.ZSTATE, V.ZTEXT, V.ZSYSTEMTYPE, "
    "V.ZMETADATA, V.ZCALLTYPE, A.ZTYPE, A.ZNAME, A.ZDURATION, L.Z_PK, L.ZLATITUDE, "
    "L.ZLONGITUDE, L.ZADDRESS, V.ZBEINGDELETED, V.ZCONVERSATION FROM ZVIBERMESSAGE AS V LEFT "
    "JOIN ZATTACHMENT AS A ON A.Z_PK = V.ZATTACHMENT LEFT JOIN ZVIBERLOCATION AS L ON L.Z_PK = "
    "V.ZLOCATION LEFT JOIN ZPHONENUMBER AS N ON N.Z_PK = V.ZPHONENUMINDEX LEFT JOIN ZMEMBER AS B "
    "ON B.Z_PK = N.ZMEMBER WHERE V.ZCONVERSATION IS NOT NULL ORDER BY V.ZCONVERSATION, V.ZDATE, "
    "V.Z_PK";

bool Generate(const std::string& work, long long messages) {
  const long long chats = messages / kMessagesPerChat;
  const std::string chat_of = "(1 + (i - 1) / " + std::to_string(kMessagesPerChat) + ")";
  const std::string store = kx::JoinPath(work, kx::samples::kIosViberStorePath);
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(store).parent_path(), ignored);
  return kx::bench::WriteEmptyManifest(kx::JoinPath(work, "Manifest.db")) &&
         kx::bench::ExecSql(
             store,
             kx::samples::IosViberSql(kx::samples::kIosViberNewestSchema) +
                 "CREATE INDEX ZPHONENUMBER_ZMEMBER_INDEX ON ZPHONENUMBER (ZMEMBER);"
                 "CREATE INDEX ZVIBERMESSAGE_ZPHONENUMINDEX_INDEX ON ZVIBERMESSAGE "
                 "(ZPHONENUMINDEX);"
                 "CREATE INDEX ZCONVERSATION_ZINTERLOCUTOR_INDEX ON ZCONVERSATION "
                 "(ZINTERLOCUTOR);BEGIN;" +
                 kx::bench::Numbers(chats) +
                 "INSERT INTO ZMEMBER (Z_PK, Z_ENT, ZDISPLAYFULLNAME, ZDISPLAYSHORTNAME, "
                 "ZMEMBERID, ZNAME) SELECT i, 8, 'Member ' || i, 'M' || i, 'viber:' || i, "
                 "'member' || i FROM k;" +
                 kx::bench::Numbers(chats) +
                 "INSERT INTO ZPHONENUMBER (Z_PK, Z_ENT, ZMEMBER, ZPHONETYPE, ZCANONIZEDPHONENUM, "
                 "ZPHONE) SELECT i, 9, i, 'mobile', '380' || (501000000 + i), '+380 ' || "
                 "(501000000 + i) FROM k;" +
                 kx::bench::Numbers(chats) +
                 "INSERT INTO ZCONVERSATION (Z_PK, Z_ENT, ZINTERLOCUTOR, ZDATE, ZSUBTYPE) SELECT "
                 "i, 4, i, 700000000.0 + i, 0 FROM k;" +
                 kx::bench::Numbers(chats) + "INSERT INTO Z_5PHONENUMINDEXES SELECT i, i FROM k;" +
                 kx::bench::Numbers(messages) +
                 "INSERT INTO ZVIBERMESSAGE (Z_PK, Z_ENT, ZBEINGDELETED, ZISREAD, ZSEQ, ZTOKEN, "
                 "ZCONVERSATION, ZPHONENUMINDEX, ZDATE, ZSTATE, ZTEXT) SELECT i, 11, 0, 1, i, "
                 "5000000000 + i, " +
                 chat_of + ", CASE WHEN i % 2 = 0 THEN " + chat_of +
                 " END, 700000000.0 + i * 30.5, CASE WHEN i % 2 = 0 THEN 'received' ELSE "
                 "'delivered' END, 'Message ' || i || ' of the conversation, a line of text of a "
                 "usual length' FROM k;COMMIT;");
}

Json::Value Request(const std::string& work) {
  Json::Value request;
  request["primary_file_object"]["viber_file_path"] =
      kx::JoinPath(work, kx::samples::kIosViberStorePath);
  request["primary_file_object"]["photo_file_path"] = kx::JoinPath(work, "Manifest.db");
  request["other_info"]["has_sub_dir"] = "1";
  request["addtional_param"] = work;
  return request;
}

}  // namespace

int main(int argc, char** argv) {
  const kx::bench::StoreBench bench = {"iOS Viber",  18,      "messages",
                                       Generate,     Request, kx::samples::kIosViberStorePath,
                                       kMessageQuery};
  return kx::bench::RunStoreBenchMain(argc, argv, bench, {&kSmall, &kLarge});
}
