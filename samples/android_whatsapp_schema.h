// The table definitions of WhatsApp's databases on Android, as the
// application writes them (msgstore.db in its older layout and in three
// versions of the newer one, and wa.db). Each text holds one or more
// statements separated by ";".
#ifndef KX_SAMPLES_ANDROID_WHATSAPP_SCHEMA_H_
#define KX_SAMPLES_ANDROID_WHATSAPP_SCHEMA_H_

namespace kx::samples {

inline constexpr char kWhatsAppPropsTable[] =
    "CREATE TABLE props (_id INTEGER PRIMARY KEY AUTOINCREMENT, key TEXT UNIQUE, value TEXT);"
    "CREATE TABLE android_metadata (locale TEXT);"
    "INSERT INTO android_metadata VALUES ('en_US');";

inline constexpr char kWhatsAppOlderLayoutTables[] =
    "CREATE TABLE messages (_id INTEGER PRIMARY KEY AUTOINCREMENT, key_remote_jid TEXT NOT NULL, "
    "key_from_me INTEGER, key_id TEXT NOT NULL, status INTEGER, needs_push INTEGER, data TEXT, "
    "timestamp INTEGER, media_url TEXT, media_mime_type TEXT, media_wa_type TEXT, media_size "
    "INTEGER, media_name TEXT, media_caption TEXT, media_hash TEXT, media_duration INTEGER, origin "
    "INTEGER, latitude REAL, longitude REAL, thumb_image TEXT, remote_resource TEXT, "
    "received_timestamp INTEGER, send_timestamp INTEGER, receipt_server_timestamp INTEGER, "
    "receipt_device_timestamp INTEGER, read_device_timestamp INTEGER, played_device_timestamp "
    "INTEGER, raw_data BLOB, recipient_count INTEGER, participant_hash TEXT, starred INTEGER, "
    "quoted_row_id INTEGER, mentioned_jids TEXT, multicast_id TEXT, edit_version INTEGER, "
    "media_enc_hash TEXT, payment_transaction_id TEXT, forwarded INTEGER, preview_type INTEGER, "
    "send_count INTEGER, lookup_tables INTEGER, future_message_type INTEGER);"
    "CREATE UNIQUE INDEX messages_key_index on messages (key_remote_jid, key_from_me, key_id);"
    "CREATE INDEX media_type_index on messages (media_wa_type);"
    "CREATE INDEX media_type_jid_index on messages (key_remote_jid, media_wa_type);"
    "CREATE INDEX messages_jid_id_index on messages (key_remote_jid, _id);"
    "CREATE INDEX starred_index on messages (starred);"
    "CREATE TABLE chat_list (_id INTEGER PRIMARY KEY AUTOINCREMENT, key_remote_jid TEXT UNIQUE, "
    "message_table_id INTEGER, subject TEXT, creation INTEGER, last_read_message_table_id "
    "INTEGER, last_read_receipt_sent_message_table_id INTEGER, archived INTEGER, sort_timestamp "
    "INTEGER, mod_tag INTEGER, gen REAL, my_messages INTEGER, plaintext_disabled BOOLEAN, "
    "last_message_table_id INTEGER, unseen_message_count INTEGER, unseen_missed_calls_count "
    "INTEGER, unseen_row_count INTEGER, vcard_ui_dismissed INTEGER);"
    "CREATE TABLE messages_quotes (_id INTEGER PRIMARY KEY AUTOINCREMENT, key_remote_jid TEXT NOT "
    "NULL, key_from_me INTEGER, key_id TEXT NOT NULL, status INTEGER, needs_push INTEGER, data "
    "TEXT, timestamp INTEGER, media_url TEXT, media_mime_type TEXT, media_wa_type TEXT, "
    "media_size INTEGER, media_name TEXT, media_caption TEXT, media_hash TEXT, media_duration "
    "INTEGER, origin INTEGER, latitude REAL, longitude REAL, thumb_image TEXT, remote_resource "
    "TEXT, received_timestamp INTEGER, send_timestamp INTEGER, receipt_server_timestamp INTEGER, "
    "receipt_device_timestamp INTEGER, read_device_timestamp INTEGER, played_device_timestamp "
    "INTEGER, raw_data BLOB, recipient_count INTEGER, participant_hash TEXT, starred INTEGER, "
    "quoted_row_id INTEGER, mentioned_jids TEXT, multicast_id TEXT, edit_version INTEGER, "
    "media_enc_hash TEXT, payment_transaction_id TEXT, forwarded INTEGER, preview_type INTEGER, "
    "send_count INTEGER, lookup_tables INTEGER, future_message_type INTEGER);"
    "CREATE TABLE message_thumbnails (thumbnail BLOB, timestamp DATETIME, key_remote_jid TEXT NOT "
    "NULL, key_from_me INTEGER, key_id TEXT NOT NULL);"
    "CREATE UNIQUE INDEX messages_thumbnail_key_index ON message_thumbnails (key_remote_jid, "
    "key_from_me, key_id);"
    "CREATE TABLE group_participants (_id INTEGER PRIMARY KEY AUTOINCREMENT, gjid TEXT NOT NULL, "
    "jid TEXT NOT NULL, admin INTEGER, pending INTEGER, sent_sender_key INTEGER);"
    "CREATE UNIQUE INDEX group_participants_index ON group_participants (gjid, jid);"
    "CREATE TABLE messages_links (_id INTEGER PRIMARY KEY AUTOINCREMENT, key_remote_jid TEXT, "
    "message_row_id INTEGER, link_index INTEGER);"
    "CREATE TABLE messages_vcards (_id INTEGER PRIMARY KEY AUTOINCREMENT, message_row_id "
    "INTEGER, sender_jid TEXT, chat_jid TEXT, vcard TEXT);"
    "CREATE TABLE media_refs (_id INTEGER PRIMARY KEY AUTOINCREMENT, path TEXT UNIQUE, ref_count "
    "INTEGER);";

// Tables every version of the newer layout has.
inline constexpr char kWhatsAppNewerJidTable[] =
    "CREATE TABLE jid (_id INTEGER PRIMARY KEY AUTOINCREMENT, user TEXT NOT NULL, server TEXT NOT "
    "NULL, agent INTEGER, device INTEGER, type INTEGER, raw_string TEXT);"
    "CREATE UNIQUE INDEX jid_key_new_index ON jid (    user,    server,    agent,    device,    "
    "type);"
    "CREATE UNIQUE INDEX jid_raw_string_index ON jid (    raw_string);";

inline constexpr char kWhatsAppChatTable2023[] =
    "CREATE TABLE chat (_id INTEGER PRIMARY KEY AUTOINCREMENT,jid_row_id INTEGER UNIQUE,hidden "
    "INTEGER,subject TEXT,created_timestamp INTEGER,display_message_row_id "
    "INTEGER,last_message_row_id INTEGER,last_read_message_row_id "
    "INTEGER,last_read_receipt_sent_message_row_id INTEGER,last_important_message_row_id "
    "INTEGER,archived INTEGER,sort_timestamp INTEGER,mod_tag INTEGER,gen REAL,spam_detection "
    "INTEGER,unseen_earliest_message_received_time INTEGER,unseen_message_count "
    "INTEGER,unseen_missed_calls_count INTEGER,unseen_row_count INTEGER,plaintext_disabled "
    "INTEGER,vcard_ui_dismissed INTEGER,change_number_notified_message_row_id "
    "INTEGER,show_group_description INTEGER,ephemeral_expiration "
    "INTEGER,last_read_ephemeral_message_row_id INTEGER,ephemeral_setting_timestamp INTEGER, "
    "unseen_important_message_count INTEGER NOT NULL DEFAULT 0, "
    "ephemeral_disappearing_messages_initiator INTEGER, group_type INTEGER NOT NULL DEFAULT 0, "
    "last_message_reaction_row_id INTEGER, last_seen_message_reaction_row_id INTEGER, "
    "unseen_message_reaction_count INTEGER, growth_lock_level INTEGER, growth_lock_expiration_ts "
    "INTEGER, last_read_message_sort_id INTEGER, display_message_sort_id INTEGER, "
    "last_message_sort_id INTEGER, last_read_receipt_sent_message_sort_id INTEGER, "
    "has_new_community_admin_dialog_been_acknowledged INTEGER NOT NULL DEFAULT 0, "
    "history_sync_progress INTEGER, ephemeral_displayed_exemptions INTEGER, chat_lock INTEGER);";

inline constexpr char kWhatsAppChatTable2021[] =
    "CREATE TABLE chat (_id INTEGER PRIMARY KEY AUTOINCREMENT,jid_row_id INTEGER UNIQUE,hidden "
    "INTEGER,subject TEXT,created_timestamp INTEGER,display_message_row_id "
    "INTEGER,last_message_row_id INTEGER,last_read_message_row_id "
    "INTEGER,last_read_receipt_sent_message_row_id INTEGER,last_important_message_row_id "
    "INTEGER,archived INTEGER,sort_timestamp INTEGER,mod_tag INTEGER,gen REAL,spam_detection "
    "INTEGER,unseen_earliest_message_received_time INTEGER,unseen_message_count "
    "INTEGER,unseen_missed_calls_count INTEGER,unseen_row_count INTEGER,plaintext_disabled "
    "INTEGER,vcard_ui_dismissed INTEGER,change_number_notified_message_row_id "
    "INTEGER,show_group_description INTEGER,ephemeral_expiration "
    "INTEGER,last_read_ephemeral_message_row_id INTEGER,ephemeral_setting_timestamp "
    "INTEGER,ephemeral_disappearing_messages_initiator INTEGER,unseen_important_message_count "
    "INTEGER NOT NULL DEFAULT 0 );";

inline constexpr char kWhatsAppMessageTable2023[] =
    "CREATE TABLE message (_id INTEGER PRIMARY KEY AUTOINCREMENT, chat_row_id INTEGER NOT NULL, "
    "from_me INTEGER NOT NULL, key_id TEXT NOT NULL, sender_jid_row_id INTEGER, status INTEGER, "
    "broadcast INTEGER, recipient_count INTEGER, participant_hash TEXT, origination_flags "
    "INTEGER, origin INTEGER, timestamp INTEGER, received_timestamp INTEGER, "
    "receipt_server_timestamp INTEGER, message_type INTEGER, text_data TEXT, starred INTEGER, "
    "lookup_tables INTEGER, sort_id INTEGER NOT NULL DEFAULT 0 , message_add_on_flags INTEGER, "
    "view_mode INTEGER, translated_text TEXT);";

inline constexpr char kWhatsAppMessageTable2021[] =
    "CREATE TABLE message (_id INTEGER PRIMARY KEY AUTOINCREMENT, chat_row_id INTEGER NOT NULL, "
    "from_me INTEGER NOT NULL, key_id TEXT NOT NULL, sender_jid_row_id INTEGER, status INTEGER, "
    "broadcast INTEGER, recipient_count INTEGER, participant_hash TEXT, origination_flags "
    "INTEGER, origin INTEGER, timestamp INTEGER, received_timestamp INTEGER, "
    "receipt_server_timestamp INTEGER, message_type INTEGER, text_data TEXT, starred INTEGER, "
    "lookup_tables INTEGER, sort_id INTEGER NOT NULL DEFAULT 0 );";

inline constexpr char kWhatsAppMessageIndexes[] =
    "CREATE INDEX message_sort_id_index ON message (sort_id);"
    "CREATE UNIQUE INDEX message_key_index on message (chat_row_id, from_me, key_id, "
    "sender_jid_row_id);"
    "CREATE INDEX message_starred_index on message (starred);"
    "CREATE INDEX message_type_chat_index on message (chat_row_id, message_type);"
    "CREATE INDEX message_chat_id_index ON message (chat_row_id,_id);"
    "CREATE INDEX message_type_index ON message(message_type);";

inline constexpr char kWhatsAppMediaTable2023[] =
    "CREATE TABLE message_media (  message_row_id INTEGER PRIMARY KEY, chat_row_id INTEGER, "
    "autotransfer_retry_enabled INTEGER, multicast_id TEXT, media_job_uuid TEXT, transferred "
    "INTEGER, transcoded INTEGER, file_path TEXT, file_size INTEGER, suspicious_content INTEGER, "
    "trim_from INTEGER, trim_to INTEGER, face_x INTEGER, face_y INTEGER, media_key BLOB, "
    "media_key_timestamp INTEGER, width INTEGER, height INTEGER, has_streaming_sidecar INTEGER, "
    "gif_attribution INTEGER, thumbnail_height_width_ratio REAL, direct_path TEXT, "
    "first_scan_sidecar BLOB, first_scan_length INTEGER, message_url TEXT, mime_type TEXT, "
    "file_length INTEGER, media_name TEXT, file_hash TEXT, media_duration INTEGER, page_count "
    "INTEGER, enc_file_hash TEXT, partial_media_hash TEXT, partial_media_enc_hash TEXT, "
    "is_animated_sticker INTEGER, original_file_hash TEXT, mute_video INTEGER DEFAULT 0, "
    "media_caption TEXT);"
    "CREATE INDEX message_media_chat_index ON message_media(chat_row_id);"
    "CREATE INDEX message_media_hash_index ON message_media(file_hash);";

inline constexpr char kWhatsAppMediaTable2021[] =
    "CREATE TABLE message_media (  message_row_id INTEGER PRIMARY KEY, chat_row_id INTEGER, "
    "autotransfer_retry_enabled INTEGER, multicast_id TEXT, media_job_uuid TEXT, transferred "
    "INTEGER, transcoded INTEGER, file_path TEXT, file_size INTEGER, suspicious_content INTEGER, "
    "trim_from INTEGER, trim_to INTEGER, face_x INTEGER, face_y INTEGER, media_key BLOB, "
    "media_key_timestamp INTEGER, width INTEGER, height INTEGER, has_streaming_sidecar INTEGER, "
    "gif_attribution INTEGER, thumbnail_height_width_ratio REAL, direct_path TEXT, "
    "first_scan_sidecar BLOB, first_scan_length INTEGER, message_url TEXT, mime_type TEXT, "
    "file_length INTEGER, media_name TEXT, file_hash TEXT, media_duration INTEGER, page_count "
    "INTEGER, enc_file_hash TEXT, partial_media_hash TEXT, partial_media_enc_hash TEXT, "
    "is_animated_sticker INTEGER);"
    "CREATE INDEX message_media_chat_index ON message_media(chat_row_id);"
    "CREATE INDEX message_media_hash_index ON message_media(file_hash);";

inline constexpr char kWhatsAppNewerCommonSatellites[] =
    "CREATE TABLE message_thumbnail (message_row_id INTEGER PRIMARY KEY, thumbnail BLOB);"
    "CREATE TABLE media_hash_thumbnail (media_hash TEXT PRIMARY KEY, thumbnail BLOB);"
    "CREATE TABLE message_location (message_row_id INTEGER PRIMARY KEY, chat_row_id INTEGER, "
    "latitude REAL, longitude REAL, place_name TEXT, place_address TEXT, url TEXT, "
    "live_location_share_duration INTEGER, live_location_sequence_number INTEGER, "
    "live_location_final_latitude REAL, live_location_final_longitude REAL, "
    "live_location_final_timestamp INTEGER, map_download_status INTEGER);"
    "CREATE TABLE message_system (message_row_id INTEGER PRIMARY KEY, action_type INTEGER NOT "
    "NULL);"
    "CREATE TABLE message_system_group (message_row_id INTEGER PRIMARY KEY, is_me_joined "
    "INTEGER);"
    "CREATE TABLE message_system_value_change (message_row_id INTEGER PRIMARY KEY, old_data "
    "TEXT);"
    "CREATE TABLE message_system_number_change (message_row_id INTEGER PRIMARY KEY, "
    "old_jid_row_id INTEGER, new_jid_row_id INTEGER);"
    "CREATE TABLE message_system_chat_participant (message_row_id INTEGER, user_jid_row_id "
    "INTEGER);"
    "CREATE INDEX message_system_chat_participant_index ON message_system_chat_participant "
    "(message_row_id);"
    "CREATE TABLE message_revoked (message_row_id INTEGER PRIMARY KEY, revoked_key_id TEXT NOT "
    "NULL);"
    "CREATE TABLE message_vcard (_id INTEGER PRIMARY KEY AUTOINCREMENT, message_row_id INTEGER, "
    "vcard TEXT);"
    "CREATE UNIQUE INDEX message_vcard_index ON message_vcard (message_row_id, vcard);"
    "CREATE TABLE message_ephemeral(message_row_id INTEGER PRIMARY KEY, duration INTEGER NOT "
    "NULL, expire_timestamp INTEGER NOT NULL);"
    "CREATE TABLE group_participant_user (_id INTEGER PRIMARY KEY AUTOINCREMENT, "
    "group_jid_row_id INTEGER NOT NULL, user_jid_row_id INTEGER NOT NULL, rank INTEGER, pending "
    "INTEGER);"
    "CREATE UNIQUE INDEX group_participant_user_index ON group_participant_user "
    "(group_jid_row_id, user_jid_row_id);";

inline constexpr char kWhatsAppQuotedTables2021[] =
    "CREATE TABLE message_quoted (message_row_id INTEGER PRIMARY KEY AUTOINCREMENT, chat_row_id "
    "INTEGER NOT NULL, parent_message_chat_row_id INTEGER NOT NULL, from_me INTEGER NOT NULL, "
    "sender_jid_row_id INTEGER, key_id TEXT NOT NULL, timestamp INTEGER, message_type INTEGER, "
    "origin INTEGER, text_data TEXT, payment_transaction_id TEXT, lookup_tables INTEGER);";

inline constexpr char kWhatsAppQuotedTables2023[] =
    "CREATE TABLE message_quoted (    message_row_id             INTEGER PRIMARY KEY "
    "AUTOINCREMENT,    chat_row_id                INTEGER NOT NULL,    "
    "parent_message_chat_row_id INTEGER NOT NULL,    from_me                    INTEGER NOT "
    "NULL,    sender_jid_row_id          INTEGER,    key_id                     TEXT    NOT "
    "NULL,    timestamp                  INTEGER,    message_type               INTEGER,    "
    "origin                     INTEGER,    text_data                  TEXT,    "
    "payment_transaction_id     TEXT,    lookup_tables              INTEGER, quoted_source "
    "INTEGER);";

inline constexpr char kWhatsAppQuotedSatellites[] =
    "CREATE TABLE message_quoted_media (message_row_id INTEGER PRIMARY KEY, media_job_uuid TEXT, "
    "transferred INTEGER, file_path TEXT, file_size INTEGER, media_key BLOB, media_key_timestamp "
    "INTEGER, width INTEGER, height INTEGER, direct_path TEXT, message_url TEXT, mime_type TEXT, "
    "file_length INTEGER, media_name TEXT, file_hash TEXT, media_duration INTEGER, page_count "
    "INTEGER, enc_file_hash TEXT, thumbnail BLOB);"
    "CREATE TABLE message_quoted_vcard (_id INTEGER PRIMARY KEY AUTOINCREMENT, message_row_id "
    "INTEGER, vcard TEXT);"
    "CREATE UNIQUE INDEX message_quoted_vcard_index ON message_quoted_vcard (message_row_id, "
    "vcard);"
    "CREATE TABLE message_quoted_text (message_row_id INTEGER PRIMARY KEY, thumbnail BLOB);"
    "CREATE TABLE message_quoted_location (message_row_id INTEGER PRIMARY KEY, latitude REAL, "
    "longitude REAL, place_name TEXT, place_address TEXT, url TEXT, thumbnail BLOB);";

inline constexpr char kWhatsAppLinkTable[] =
    "CREATE TABLE message_link (_id INTEGER PRIMARY KEY AUTOINCREMENT, chat_row_id INTEGER, "
    "message_row_id INTEGER, link_index INTEGER);"
    "CREATE UNIQUE INDEX message_link_index ON message_link (message_row_id, link_index);";

inline constexpr char kWhatsAppTables2023Only[] =
    "CREATE TABLE message_view_once_media (message_row_id INTEGER PRIMARY KEY, state INTEGER NOT "
    "NULL );"
    "CREATE INDEX message_view_once_media_state_index ON message_view_once_media (state);"
    "CREATE TABLE message_ephemeral_setting (message_row_id INTEGER PRIMARY KEY, "
    "setting_duration INTEGER, setting_reason INTEGER);"
    "CREATE TABLE message_system_group_with_parent (message_row_id INTEGER PRIMARY KEY, "
    "linked_parent_group_name TEXT);"
    "CREATE TABLE message_system_sibling_group_link_change(message_row_id INTEGER NOT "
    "NULL,subgroup_raw_jid TEXT NOT NULL,subgroup_subject TEXT NOT NULL,parent_group_jid_row_id "
    "INTEGER,PRIMARY KEY (message_row_id, subgroup_raw_jid));";

inline constexpr char kWhatsAppContactsTable[] =
    "CREATE TABLE wa_contacts (_id INTEGER PRIMARY KEY AUTOINCREMENT, jid TEXT NOT NULL, "
    "is_whatsapp_user BOOLEAN NOT NULL, status TEXT, status_timestamp INTEGER, number TEXT, "
    "raw_contact_id INTEGER, display_name TEXT, phone_type INTEGER, phone_label TEXT, "
    "unseen_msg_count INTEGER, photo_ts INTEGER, thumb_ts INTEGER, photo_id_timestamp INTEGER, "
    "given_name TEXT, family_name TEXT, wa_name TEXT, sort_name TEXT, nickname TEXT, company "
    "TEXT, title TEXT, status_autodownload_disabled INTEGER, keep_timestamp INTEGER, "
    "is_spam_reported INTEGER, is_sidelist_synced BOOLEAN DEFAULT 0, is_business_synced BOOLEAN "
    "DEFAULT 0);"
    "CREATE INDEX is_wa_index ON wa_contacts (is_whatsapp_user);"
    "CREATE INDEX jid_index ON wa_contacts (jid);"
    "CREATE TABLE android_metadata (locale TEXT);";

// Newer wa_contacts definitions, each one CREATE TABLE text without its ";"
// (as sqlite_master keeps it). They declare disappearing_mode_timestamp LONG.
// Contacts database version 74 (the same text since version 69):
inline constexpr char kWhatsAppContactsTableV74[] =
    "CREATE TABLE wa_contacts (_id INTEGER PRIMARY KEY AUTOINCREMENT, jid TEXT NOT NULL, "
    "is_whatsapp_user BOOLEAN NOT NULL, status TEXT, status_timestamp INTEGER, number TEXT, "
    "raw_contact_id INTEGER, display_name TEXT, phone_type INTEGER, phone_label TEXT, "
    "unseen_msg_count INTEGER, photo_ts INTEGER, thumb_ts INTEGER, photo_id_timestamp INTEGER, "
    "given_name TEXT, family_name TEXT, wa_name TEXT, sort_name TEXT, nickname TEXT, company "
    "TEXT, title TEXT, status_autodownload_disabled INTEGER, keep_timestamp INTEGER, "
    "is_spam_reported INTEGER, is_sidelist_synced BOOLEAN DEFAULT 0, is_business_synced BOOLEAN "
    "DEFAULT 0, disappearing_mode_duration INTEGER, disappearing_mode_timestamp LONG, "
    "history_sync_initial_phash TEXT)";
// A 2023 store: written without blanks, is_starred appended by an upgrade.
inline constexpr char kWhatsAppContactsTable2023[] =
    "CREATE TABLE wa_contacts(_id INTEGER PRIMARY KEY AUTOINCREMENT,jid TEXT NOT NULL,"
    "is_whatsapp_user BOOLEAN NOT NULL,status TEXT,status_timestamp INTEGER,number TEXT,"
    "raw_contact_id INTEGER,display_name TEXT,phone_type INTEGER,phone_label TEXT,"
    "unseen_msg_count INTEGER,photo_ts INTEGER,thumb_ts INTEGER,photo_id_timestamp INTEGER,"
    "given_name TEXT,family_name TEXT,wa_name TEXT,sort_name TEXT,nickname TEXT,company TEXT,"
    "title TEXT,status_autodownload_disabled INTEGER,keep_timestamp INTEGER,is_spam_reported "
    "INTEGER,is_sidelist_synced BOOLEAN DEFAULT 0,is_business_synced BOOLEAN DEFAULT 0,"
    "disappearing_mode_duration INTEGER,disappearing_mode_timestamp LONG,"
    "history_sync_initial_phash TEXT, is_starred BOOLEAN)";
// A 2025 store: unseen_msg_count is gone, seven columns are new.
inline constexpr char kWhatsAppContactsTable2025[] =
    "CREATE TABLE wa_contacts(_id INTEGER PRIMARY KEY AUTOINCREMENT,jid TEXT NOT NULL,"
    "is_whatsapp_user BOOLEAN NOT NULL,status TEXT,status_timestamp INTEGER,number TEXT,"
    "raw_contact_id INTEGER,display_name TEXT,phone_type INTEGER,phone_label TEXT,photo_ts "
    "INTEGER,thumb_ts INTEGER,photo_id_timestamp INTEGER,given_name TEXT,family_name TEXT,"
    "wa_name TEXT,sort_name TEXT,nickname TEXT,company TEXT,title TEXT,"
    "status_autodownload_disabled INTEGER,keep_timestamp INTEGER,is_spam_reported INTEGER,"
    "is_sidelist_synced BOOLEAN DEFAULT 0,is_business_synced BOOLEAN DEFAULT 0,"
    "disappearing_mode_duration INTEGER,disappearing_mode_timestamp LONG,"
    "history_sync_initial_phash TEXT,is_starred BOOLEAN,is_wa_created_contact BOOLEAN,"
    "sync_policy INTEGER,status_emoji TEXT,is_contact_synced INTEGER,is_reachable INTEGER, "
    "external_user_state INTEGER, disappearing_mode_support_disabled INTEGER)";
inline constexpr char kWhatsAppContactsIndexes[] =
    "CREATE INDEX is_wa_index ON wa_contacts (is_whatsapp_user);"
    "CREATE INDEX jid_index ON wa_contacts (jid);";

}  // namespace kx::samples

#endif  // KX_SAMPLES_ANDROID_WHATSAPP_SCHEMA_H_
