// The table definitions of sms.db by version.
#include <string>

#include "samples/ios_messages.h"

namespace kx::samples {

namespace {

// iOS 6 and version 1, iOS 9: the tables as the open iOS backup reader
// iphonebackuptools keeps them for iOS 6.1.6 and 9.2.1
// (schemas/messages/iOS6.1.6.sql, iOS9.2.1.sql). Both list the same tables
// in the same order; iOS 9 added columns at the ends of message, chat and
// attachment, and the table deleted_messages.
constexpr char kIos6Message[] =
    "CREATE TABLE _SqliteDatabaseProperties (key TEXT, value TEXT, UNIQUE(key));"
    "CREATE TABLE message (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, "
    "text TEXT, replace INTEGER DEFAULT 0, service_center TEXT, handle_id INTEGER DEFAULT 0, "
    "subject TEXT, country TEXT, attributedBody BLOB, version INTEGER DEFAULT 0, type INTEGER "
    "DEFAULT 0, service TEXT, account TEXT, account_guid TEXT, error INTEGER DEFAULT 0, date "
    "INTEGER, date_read INTEGER, date_delivered INTEGER, is_delivered INTEGER DEFAULT 0, "
    "is_finished INTEGER DEFAULT 0, is_emote INTEGER DEFAULT 0, is_from_me INTEGER DEFAULT 0, "
    "is_empty INTEGER DEFAULT 0, is_delayed INTEGER DEFAULT 0, is_auto_reply INTEGER DEFAULT 0, "
    "is_prepared INTEGER DEFAULT 0, is_read INTEGER DEFAULT 0, is_system_message INTEGER DEFAULT "
    "0, is_sent INTEGER DEFAULT 0, has_dd_results INTEGER DEFAULT 0, is_service_message INTEGER "
    "DEFAULT 0, is_forward INTEGER DEFAULT 0, was_downgraded INTEGER DEFAULT 0, is_archive "
    "INTEGER DEFAULT 0, cache_has_attachments INTEGER DEFAULT 0, cache_roomnames TEXT, "
    "was_data_detected INTEGER DEFAULT 0, was_deduplicated INTEGER DEFAULT 0";
constexpr char kIos9Message[] =
    ", is_audio_message INTEGER DEFAULT 0, is_played INTEGER DEFAULT 0, date_played INTEGER, "
    "item_type INTEGER DEFAULT 0, other_handle INTEGER DEFAULT 0, group_title TEXT, "
    "group_action_type INTEGER DEFAULT 0, share_status INTEGER DEFAULT 0, share_direction INTEGER "
    "DEFAULT 0, is_expirable INTEGER DEFAULT 0, expire_state INTEGER DEFAULT 0, "
    "message_action_type INTEGER DEFAULT 0, message_source INTEGER DEFAULT 0";
constexpr char kIos6Chat[] =
    ");CREATE TABLE chat (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, "
    "style INTEGER, state INTEGER, account_id TEXT, properties BLOB, chat_identifier TEXT, "
    "service_name TEXT, room_name TEXT, account_login TEXT, is_archived INTEGER DEFAULT 0, "
    "last_addressed_handle TEXT";
constexpr char kIos9Chat[] =
    ", display_name TEXT, group_id TEXT, is_filtered INTEGER DEFAULT 0, successful_query INTEGER "
    "DEFAULT 1";
constexpr char kIos6Attachment[] =
    ");CREATE TABLE attachment (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT "
    "NULL, created_date INTEGER DEFAULT 0, start_date INTEGER DEFAULT 0, filename TEXT, uti "
    "TEXT, mime_type TEXT, transfer_state INTEGER DEFAULT 0, is_outgoing INTEGER DEFAULT 0";
constexpr char kIos9Attachment[] =
    ", user_info BLOB, transfer_name TEXT, total_bytes INTEGER DEFAULT 0";
constexpr char kIos6HandlesAndJoins[] =
    ");CREATE TABLE handle (ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, id TEXT NOT NULL, "
    "country TEXT, service TEXT NOT NULL, uncanonicalized_id TEXT, UNIQUE (id, service));"
    "CREATE TABLE message_attachment_join (message_id INTEGER REFERENCES message (ROWID) ON "
    "DELETE CASCADE, attachment_id INTEGER REFERENCES attachment (ROWID) ON DELETE CASCADE, "
    "UNIQUE(message_id, attachment_id));"
    "CREATE TABLE chat_handle_join (chat_id INTEGER REFERENCES chat (ROWID) ON DELETE CASCADE, "
    "handle_id INTEGER REFERENCES handle (ROWID) ON DELETE CASCADE, UNIQUE(chat_id, handle_id));"
    "CREATE TABLE chat_message_join (chat_id INTEGER REFERENCES chat (ROWID) ON DELETE CASCADE, "
    "message_id INTEGER REFERENCES message (ROWID) ON DELETE CASCADE, PRIMARY KEY (chat_id, "
    "message_id));";
constexpr char kIos9DeletedMessages[] =
    "CREATE TABLE deleted_messages (ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, guid TEXT NOT "
    "NULL);";

std::string Ios6Or9Tables(bool ios9) {
  return std::string(kIos6Message) + (ios9 ? kIos9Message : "") + kIos6Chat +
         (ios9 ? kIos9Chat : "") + kIos6Attachment + (ios9 ? kIos9Attachment : "") +
         kIos6HandlesAndJoins + (ios9 ? kIos9DeletedMessages : "");
}

// Version 2, iOS 11: iphonebackuptools' schemas/messages/iOS11.2.sql.
constexpr char kMessagesV2[] =
    "CREATE TABLE _SqliteDatabaseProperties (key TEXT, value TEXT, UNIQUE(key));"
    "CREATE TABLE deleted_messages (ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, guid TEXT NOT "
    "NULL);"
    "CREATE TABLE chat_handle_join (chat_id INTEGER REFERENCES chat (ROWID) ON DELETE CASCADE, "
    "handle_id INTEGER REFERENCES handle (ROWID) ON DELETE CASCADE, UNIQUE(chat_id, handle_id));"
    "CREATE TABLE sync_deleted_messages (ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, guid TEXT "
    "NOT NULL, recordID TEXT );"
    "CREATE TABLE message_processing_task (ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, guid "
    "TEXT NOT NULL, task_flags INTEGER NOT NULL );"
    "CREATE TABLE handle (ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, id TEXT NOT NULL, "
    "country TEXT, service TEXT NOT NULL, uncanonicalized_id TEXT, UNIQUE (id, service) );"
    "CREATE TABLE sync_deleted_chats (ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, guid TEXT "
    "NOT NULL, recordID TEXT,timestamp INTEGER);"
    "CREATE TABLE message_attachment_join (message_id INTEGER REFERENCES message (ROWID) ON "
    "DELETE CASCADE, attachment_id INTEGER REFERENCES attachment (ROWID) ON DELETE CASCADE, "
    "UNIQUE(message_id, attachment_id));"
    "CREATE TABLE sync_deleted_attachments (ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, guid "
    "TEXT NOT NULL, recordID TEXT );"
    "CREATE TABLE kvtable (ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, key TEXT UNIQUE NOT "
    "NULL, value BLOB NOT NULL);"
    "CREATE TABLE chat_message_join (chat_id INTEGER REFERENCES chat (ROWID) ON DELETE CASCADE, "
    "message_id INTEGER REFERENCES message (ROWID) ON DELETE CASCADE, message_date INTEGER "
    "DEFAULT 0, PRIMARY KEY (chat_id, message_id));"
    "CREATE TABLE message (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, "
    "text TEXT, replace INTEGER DEFAULT 0, service_center TEXT, handle_id INTEGER DEFAULT 0, "
    "subject TEXT, country TEXT, attributedBody BLOB, version INTEGER DEFAULT 0, type INTEGER "
    "DEFAULT 0, service TEXT, account TEXT, account_guid TEXT, error INTEGER DEFAULT 0, date "
    "INTEGER, date_read INTEGER, date_delivered INTEGER, is_delivered INTEGER DEFAULT 0, "
    "is_finished INTEGER DEFAULT 0, is_emote INTEGER DEFAULT 0, is_from_me INTEGER DEFAULT 0, "
    "is_empty INTEGER DEFAULT 0, is_delayed INTEGER DEFAULT 0, is_auto_reply INTEGER DEFAULT 0, "
    "is_prepared INTEGER DEFAULT 0, is_read INTEGER DEFAULT 0, is_system_message INTEGER DEFAULT "
    "0, is_sent INTEGER DEFAULT 0, has_dd_results INTEGER DEFAULT 0, is_service_message INTEGER "
    "DEFAULT 0, is_forward INTEGER DEFAULT 0, was_downgraded INTEGER DEFAULT 0, is_archive "
    "INTEGER DEFAULT 0, cache_has_attachments INTEGER DEFAULT 0, cache_roomnames TEXT, "
    "was_data_detected INTEGER DEFAULT 0, was_deduplicated INTEGER DEFAULT 0, is_audio_message "
    "INTEGER DEFAULT 0, is_played INTEGER DEFAULT 0, date_played INTEGER, item_type INTEGER "
    "DEFAULT 0, other_handle INTEGER DEFAULT 0, group_title TEXT, group_action_type INTEGER "
    "DEFAULT 0, share_status INTEGER DEFAULT 0, share_direction INTEGER DEFAULT 0, is_expirable "
    "INTEGER DEFAULT 0, expire_state INTEGER DEFAULT 0, message_action_type INTEGER DEFAULT 0, "
    "message_source INTEGER DEFAULT 0, associated_message_guid TEXT, associated_message_type "
    "INTEGER DEFAULT 0, balloon_bundle_id TEXT, payload_data BLOB, expressive_send_style_id "
    "TEXT, associated_message_range_location INTEGER DEFAULT 0, associated_message_range_length "
    "INTEGER DEFAULT 0, time_expressive_send_played INTEGER, message_summary_info BLOB, "
    "ck_sync_state INTEGER DEFAULT 0, ck_record_id TEXT, ck_record_change_tag TEXT, "
    "destination_caller_id TEXT);"
    "CREATE TABLE chat (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, style "
    "INTEGER, state INTEGER, account_id TEXT, properties BLOB, chat_identifier TEXT, service_name "
    "TEXT, room_name TEXT, account_login TEXT, is_archived INTEGER DEFAULT 0, "
    "last_addressed_handle TEXT, display_name TEXT, group_id TEXT, is_filtered INTEGER, "
    "successful_query INTEGER, engram_id TEXT, server_change_token TEXT, ck_sync_state INTEGER "
    "DEFAULT 0, original_group_id TEXT, last_read_message_timestamp INTEGER DEFAULT 0, "
    "ck_record_system_property_blob BLOB);"
    "CREATE TABLE attachment (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, "
    "created_date INTEGER DEFAULT 0, start_date INTEGER DEFAULT 0, filename TEXT, uti TEXT, "
    "mime_type TEXT, transfer_state INTEGER DEFAULT 0, is_outgoing INTEGER DEFAULT 0, user_info "
    "BLOB, transfer_name TEXT, total_bytes INTEGER DEFAULT 0, is_sticker INTEGER DEFAULT 0, "
    "sticker_user_info BLOB, attribution_info BLOB, hide_attachment INTEGER DEFAULT 0, "
    "ck_sync_state INTEGER DEFAULT 0, ck_server_change_token_blob BLOB, ck_record_id TEXT, "
    "original_guid TEXT UNIQUE NOT NULL);";

// Version 3, iOS 16-17: the message, chat and attachment columns the open
// reader imessage-exporter documents for iOS stores (docs/tables: the sr_ck_
// columns of the second CloudKit zone), with the columns iOS 16 and 17
// added at the end of message (date_retracted to is_kt_verified) and the
// recently-deleted tables, as `.schema` dumps of current stores print them.
constexpr char kMessagesV3[] =
    "CREATE TABLE _SqliteDatabaseProperties (key TEXT, value TEXT, UNIQUE(key));"
    "CREATE TABLE deleted_messages (ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, guid TEXT NOT "
    "NULL);"
    "CREATE TABLE chat_handle_join (chat_id INTEGER REFERENCES chat (ROWID) ON DELETE CASCADE, "
    "handle_id INTEGER REFERENCES handle (ROWID) ON DELETE CASCADE, UNIQUE(chat_id, handle_id));"
    "CREATE TABLE sync_deleted_messages (ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, guid TEXT "
    "NOT NULL, recordID TEXT );"
    "CREATE TABLE message_processing_task (ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, guid "
    "TEXT NOT NULL, task_flags INTEGER NOT NULL );"
    "CREATE TABLE handle (ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, id TEXT NOT NULL, "
    "country TEXT, service TEXT NOT NULL, uncanonicalized_id TEXT, person_centric_id TEXT, UNIQUE "
    "(id, service) );"
    "CREATE TABLE sync_deleted_chats (ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, guid TEXT "
    "NOT NULL, recordID TEXT,timestamp INTEGER);"
    "CREATE TABLE message_attachment_join (message_id INTEGER REFERENCES message (ROWID) ON "
    "DELETE CASCADE, attachment_id INTEGER REFERENCES attachment (ROWID) ON DELETE CASCADE, "
    "UNIQUE(message_id, attachment_id));"
    "CREATE TABLE sync_deleted_attachments (ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, guid "
    "TEXT NOT NULL, recordID TEXT );"
    "CREATE TABLE kvtable (ROWID INTEGER PRIMARY KEY AUTOINCREMENT UNIQUE, key TEXT UNIQUE NOT "
    "NULL, value BLOB NOT NULL);"
    "CREATE TABLE chat_message_join (chat_id INTEGER REFERENCES chat (ROWID) ON DELETE CASCADE, "
    "message_id INTEGER REFERENCES message (ROWID) ON DELETE CASCADE, message_date INTEGER "
    "DEFAULT 0, PRIMARY KEY (chat_id, message_id));"
    "CREATE TABLE message (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, "
    "text TEXT, replace INTEGER DEFAULT 0, service_center TEXT, handle_id INTEGER DEFAULT 0, "
    "subject TEXT, country TEXT, attributedBody BLOB, version INTEGER DEFAULT 0, type INTEGER "
    "DEFAULT 0, service TEXT, account TEXT, account_guid TEXT, error INTEGER DEFAULT 0, date "
    "INTEGER, date_read INTEGER, date_delivered INTEGER, is_delivered INTEGER DEFAULT 0, "
    "is_finished INTEGER DEFAULT 0, is_emote INTEGER DEFAULT 0, is_from_me INTEGER DEFAULT 0, "
    "is_empty INTEGER DEFAULT 0, is_delayed INTEGER DEFAULT 0, is_auto_reply INTEGER DEFAULT 0, "
    "is_prepared INTEGER DEFAULT 0, is_read INTEGER DEFAULT 0, is_system_message INTEGER DEFAULT "
    "0, is_sent INTEGER DEFAULT 0, has_dd_results INTEGER DEFAULT 0, is_service_message INTEGER "
    "DEFAULT 0, is_forward INTEGER DEFAULT 0, was_downgraded INTEGER DEFAULT 0, is_archive "
    "INTEGER DEFAULT 0, cache_has_attachments INTEGER DEFAULT 0, cache_roomnames TEXT, "
    "was_data_detected INTEGER DEFAULT 0, was_deduplicated INTEGER DEFAULT 0, is_audio_message "
    "INTEGER DEFAULT 0, is_played INTEGER DEFAULT 0, date_played INTEGER, item_type INTEGER "
    "DEFAULT 0, other_handle INTEGER DEFAULT 0, group_title TEXT, group_action_type INTEGER "
    "DEFAULT 0, share_status INTEGER DEFAULT 0, share_direction INTEGER DEFAULT 0, is_expirable "
    "INTEGER DEFAULT 0, expire_state INTEGER DEFAULT 0, message_action_type INTEGER DEFAULT 0, "
    "message_source INTEGER DEFAULT 0, associated_message_guid TEXT DEFAULT NULL, "
    "associated_message_type INTEGER DEFAULT 0, balloon_bundle_id TEXT DEFAULT NULL, "
    "payload_data BLOB, expressive_send_style_id TEXT DEFAULT NULL, "
    "associated_message_range_location INTEGER DEFAULT 0, associated_message_range_length "
    "INTEGER DEFAULT 0, time_expressive_send_played INTEGER DEFAULT 0, message_summary_info BLOB "
    "DEFAULT NULL, ck_sync_state INTEGER DEFAULT 0, ck_record_id TEXT DEFAULT NULL, "
    "ck_record_change_tag TEXT DEFAULT NULL, destination_caller_id TEXT DEFAULT NULL, "
    "sr_ck_sync_state INTEGER DEFAULT 0, sr_ck_record_id TEXT DEFAULT NULL, "
    "sr_ck_record_change_tag TEXT DEFAULT NULL, is_corrupt INTEGER DEFAULT 0, reply_to_guid TEXT "
    "DEFAULT NULL, sort_id INTEGER DEFAULT 0, is_spam INTEGER DEFAULT 0, has_unseen_mention "
    "INTEGER DEFAULT 0, thread_originator_guid TEXT DEFAULT NULL, thread_originator_part TEXT "
    "DEFAULT NULL, syndication_ranges TEXT DEFAULT NULL, was_delivered_quietly INTEGER DEFAULT 0, "
    "did_notify_recipient INTEGER DEFAULT 0, synced_syndication_ranges TEXT DEFAULT NULL, "
    "date_retracted INTEGER DEFAULT 0, date_edited INTEGER DEFAULT 0, was_detonated INTEGER "
    "DEFAULT 0, part_count INTEGER, is_stewie INTEGER DEFAULT 0, is_sos INTEGER DEFAULT 0, "
    "is_critical INTEGER DEFAULT 0, bia_reference_id TEXT DEFAULT NULL, is_kt_verified INTEGER "
    "DEFAULT 0);"
    "CREATE TABLE chat (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, style "
    "INTEGER, state INTEGER, account_id TEXT, properties BLOB, chat_identifier TEXT, service_name "
    "TEXT, room_name TEXT, account_login TEXT, is_archived INTEGER DEFAULT 0, "
    "last_addressed_handle TEXT, display_name TEXT, group_id TEXT, is_filtered INTEGER DEFAULT 0, "
    "successful_query INTEGER DEFAULT 1, engram_id TEXT, server_change_token TEXT, ck_sync_state "
    "INTEGER DEFAULT 0, last_read_message_timestamp INTEGER DEFAULT 0, "
    "ck_record_system_property_blob BLOB, original_group_id TEXT DEFAULT NULL, "
    "sr_server_change_token TEXT, sr_ck_sync_state INTEGER DEFAULT 0, cloudkit_record_id TEXT "
    "DEFAULT NULL, sr_cloudkit_record_id TEXT DEFAULT NULL, last_addressed_sim_id TEXT DEFAULT "
    "NULL, is_blackholed INTEGER DEFAULT 0, syndication_date INTEGER DEFAULT 0, syndication_type "
    "INTEGER DEFAULT 0, is_recovered INTEGER DEFAULT 0, is_deleting_incoming_messages INTEGER "
    "DEFAULT 0);"
    "CREATE TABLE attachment (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, guid TEXT UNIQUE NOT NULL, "
    "created_date INTEGER DEFAULT 0, start_date INTEGER DEFAULT 0, filename TEXT, uti TEXT, "
    "mime_type TEXT, transfer_state INTEGER DEFAULT 0, is_outgoing INTEGER DEFAULT 0, user_info "
    "BLOB, transfer_name TEXT, total_bytes INTEGER DEFAULT 0, is_sticker INTEGER DEFAULT 0, "
    "sticker_user_info BLOB, attribution_info BLOB, hide_attachment INTEGER DEFAULT 0, "
    "ck_sync_state INTEGER DEFAULT 0, ck_server_change_token_blob BLOB DEFAULT NULL, ck_record_id "
    "TEXT DEFAULT NULL, original_guid TEXT UNIQUE NOT NULL, sr_ck_record_id TEXT DEFAULT NULL, "
    "sr_ck_sync_state INTEGER DEFAULT 0, sr_ck_server_change_token_blob BLOB DEFAULT NULL, "
    "is_commsafety_sensitive INTEGER DEFAULT 0);"
    "CREATE TABLE chat_recoverable_message_join (chat_id INTEGER REFERENCES chat (ROWID) ON "
    "DELETE CASCADE, message_id INTEGER REFERENCES message (ROWID) ON DELETE CASCADE, "
    "delete_date INTEGER, ck_sync_state INTEGER DEFAULT 0, PRIMARY KEY (chat_id, message_id), "
    "CHECK (delete_date != 0));"
    "CREATE TABLE unsynced_removed_recoverable_messages (ROWID INTEGER PRIMARY KEY AUTOINCREMENT "
    "UNIQUE, chat_guid TEXT NOT NULL, message_guid TEXT NOT NULL, part_index INTEGER);"
    "CREATE TABLE recoverable_message_part (chat_id INTEGER REFERENCES chat (ROWID) ON DELETE "
    "CASCADE, message_id INTEGER REFERENCES message (ROWID) ON DELETE CASCADE, part_index "
    "INTEGER, delete_date INTEGER, part_text BLOB NOT NULL, ck_sync_state INTEGER DEFAULT 0, "
    "PRIMARY KEY (chat_id, message_id, part_index), CHECK (delete_date != 0));"
    "CREATE INDEX chat_recoverable_message_join_message_id_idx ON "
    "chat_recoverable_message_join(message_id);";

// Indexes on the joins that every version's store carries (schema dumps of
// real stores list them by these names).
constexpr char kJoinIndexes[] =
    "CREATE INDEX chat_handle_join_idx_handle_id ON chat_handle_join(handle_id);"
    "CREATE INDEX chat_message_join_idx_chat_id ON chat_message_join(chat_id);"
    "CREATE INDEX chat_message_join_idx_message_id_only ON chat_message_join(message_id);"
    "CREATE INDEX message_attachment_join_idx_message_id ON message_attachment_join(message_id);"
    "CREATE INDEX message_attachment_join_idx_attachment_id ON "
    "message_attachment_join(attachment_id);"
    "CREATE INDEX message_idx_handle_id ON message(handle_id);"
    "CREATE INDEX message_idx_other_handle ON message(other_handle);"
    "CREATE INDEX chat_idx_chat_identifier ON chat(chat_identifier);"
    "CREATE INDEX chat_idx_chat_room_name_service_name ON chat(room_name, service_name);";

// From iOS 11 on.
constexpr char kDateIndexes[] =
    "CREATE INDEX message_idx_date ON message(date);"
    "CREATE INDEX chat_message_join_idx_message_date_id_chat_id ON chat_message_join(chat_id, "
    "message_date, message_id);";

}  // namespace

std::string IosMessagesSql(int schema_version) {
  if (schema_version == 1) return Ios6Or9Tables(true) + kJoinIndexes;
  if (schema_version == 2) return std::string(kMessagesV2) + kJoinIndexes + kDateIndexes;
  return std::string(kMessagesV3) + kJoinIndexes + kDateIndexes;
}

std::string IosMessagesSqlOfIos6() { return Ios6Or9Tables(false); }

}  // namespace kx::samples
